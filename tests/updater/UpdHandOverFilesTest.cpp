#include "updater/UpdHandOver.h"

#include "support/SyncLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The installer and its queue keep their names through a power cut right after the hand-over.
TEST(UpdHandOverFiles, ThePrivateFolderIsSyncedOnceEachFileHasItsName)
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

// Nothing at the names of the hand-over's files is followed or written over.
TEST(UpdHandOverFiles, ALinkPlantedAtTheQueuesNameIsRefusedAndNotFollowed)
{
    QTemporaryDir dir;
    updHandOver::TPrepared prepared;
    prepared.Folder = dir.filePath(QStringLiteral("private"));
    ASSERT_TRUE(QDir().mkpath(prepared.Folder));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QFile::link(outside, prepared.Folder + QLatin1Char('/') + QLatin1String(updInstall::QueueName)));
    QString error;
    EXPECT_FALSE(updHandOver::Prepare({dir.filePath(QStringLiteral("app"))}, prepared, error));
    EXPECT_TRUE(error.contains(QLatin1String("File exists"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(outside));
}
