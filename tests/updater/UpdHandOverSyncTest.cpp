#include "updater/UpdHandOver.h"

#include "support/SyncLog.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The installer and its queue keep their names through a power cut right after the hand-over.
TEST(UpdHandOverSync, ThePrivateFolderIsSyncedOnceEachFileHasItsName)
{
    QTemporaryDir dir;
    updHandOver::TPrepared prepared;
    prepared.Folder = dir.path();
    QString error;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    const std::string queue = folder + "/" + updInstall::QueueName;
    synclog::Watch(queue);
    ASSERT_TRUE(updHandOver::Prepare({dir.filePath(QStringLiteral("app"))}, prepared, error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(prepared.Installer).isExecutable());
    // The queue is written last: a sync once it has its name keeps the installer's too.
    EXPECT_TRUE(synclog::FolderSyncedAfterRename(folder, queue));
}
