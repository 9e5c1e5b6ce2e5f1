#include "shared/core/CheckedSaveFile.h"

#include "support/SyncLog.h"
#include "support/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every entry, hidden ones too, in one order (names that differ in case alone included).
QStringList Entries(const QString& folder)
{
    QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    entries.sort(Qt::CaseSensitive);
    return entries;
}

} // namespace

// A power cut right after a save must take neither the new content nor the new name with it.
TEST(CheckedSaveFile, TheContentIsSyncedBeforeTheRenameAndTheFolderOnceTheNewFileHasTheName)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("tree.qdn"));
    ASSERT_EQ(WriteWholeFile(name, "old"), QString());
    synclog::Watch(QFile::encodeName(name).toStdString());
    ASSERT_EQ(WriteWholeFile(name, "new"), QString());
    EXPECT_TRUE(synclog::SyncedBeforeRename(synclog::Watched()));
    EXPECT_TRUE(synclog::FolderSyncedAfterRename(QFile::encodeName(dir.path()).toStdString(), synclog::Watched()));
    // A sync that fails leaves the save unconfirmed: the user is told and the document stays modified.
    synclog::FolderSyncError() = EIO;
    EXPECT_EQ(WriteWholeFile(name, "newer"), QStringLiteral("Input/output error"));
    synclog::FolderSyncError() = 0;
}

// An encoder writing to a full disk learns at the write that does not fit, and at every one
// after it, so that it stops there; what it wrote never takes the old file's place.
TEST(CheckedSaveFile, AWriteThatDoesNotFitFailsAtOnceAndEveryOneAfterIt)
{
    TTmpfsMount disk(64);
    if (!disk.SkipReason().isEmpty())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    const QString name = disk.Path(QStringLiteral("tree.qdn"));
    ASSERT_EQ(WriteWholeFile(name, "old"), QString());
    ASSERT_TRUE(disk.Fill(8192)); // the write gets part of the way
    TCheckedSaveFile file(name);
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(file.WriteAll(std::string(32768, 'x')));
    EXPECT_EQ(file.Reason(), QStringLiteral("No space left on device"));
    EXPECT_EQ(file.errorString(), file.Reason());
    disk.Unfill();
    EXPECT_EQ(file.write("more", 4), -1);
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.Reason(), QStringLiteral("No space left on device"));
    EXPECT_EQ(ReadAll(name), "old");
}

// A save killed half-way leaves its temporary file; the next save of that file removes it, and
// nothing else: not a file that only looks alike, not another user's, not one a live save writes,
// not what an earlier version left.
TEST(CheckedSaveFile, TheNextSaveRemovesWhatAKilledSaveLeftAndNothingElse)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("tree.qdn"));
    ASSERT_EQ(WriteWholeFile(name, "old"), QString());
    TCheckedSaveFile live(name);
    ASSERT_TRUE(live.Open() && live.WriteAll("being written"));
    const QStringList liveFile = Entries(dir.path()).filter(QStringLiteral("tree.qdn."));
    const pid_t child = fork();
    if (child == 0) {
        TCheckedSaveFile file(name);
        if (file.Open() && file.WriteAll("half a docu"))
            raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save was not killed";
    QStringList killed = Entries(dir.path()).filter(QStringLiteral("tree.qdn."));
    for (const QString& entry : liveFile)
        killed.removeOne(entry);
    ASSERT_EQ(killed.size(), 1) << "the killed save left no file of its own";

    const auto path = [&dir](const char* entry) { return QFile::encodeName(dir.filePath(QString::fromLatin1(entry))); };
    QStringList kept = {"tree.qdn.backup", "tree.qdn.Backup", "tree.qdn.BACKUP", "tree.qdn.Ab3xYz9", "tree.qdnAb3xYz",
                        "other.qdn.Ab3xYz", "tree.qdn.Qs8tUv", "tree.qdn.Lk4mNo", "tree.qdn.Ff5gHh"};
    for (const QString& entry : kept.mid(0, 7))
        ASSERT_EQ(WriteWholeFile(dir.filePath(entry), "mine"), QString());
    ASSERT_EQ(symlink("tree.qdn.backup", path("tree.qdn.Lk4mNo").constData()), 0);
    ASSERT_EQ(mkfifo(path("tree.qdn.Ff5gHh").constData(), 0600), 0);
    if (geteuid() == 0) {
        kept << "tree.qdn.Ou7vWx";
        ASSERT_EQ(WriteWholeFile(dir.filePath(kept.constLast()), "theirs"), QString());
        ASSERT_EQ(chown(path("tree.qdn.Ou7vWx").constData(), 65534, 65534), 0);
    }
    const QStringList before = Entries(dir.path());

    ASSERT_EQ(WriteWholeFile(name, "new"), QString());
    QStringList expected = before;
    for (const QString& leftover : killed)
        expected.removeOne(leftover);
    EXPECT_EQ(Entries(dir.path()).join(QLatin1Char(' ')).toStdString(), expected.join(QLatin1Char(' ')).toStdString());
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("tree.qdn.backup"))), "mine");
    EXPECT_TRUE(live.Commit()) << live.Reason().toStdString();
    EXPECT_EQ(ReadAll(name), "being written");
}
