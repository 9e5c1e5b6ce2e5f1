#include "shared/io/DurableFile.h"

#include "support/SyncLog.h"
#include "support/TmpfsMount.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : "<missing>";
}

void Put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct TFolder {
    QTemporaryDir Dir;
    std::string Path(const char* name) const { return Dir.filePath(QString::fromUtf8(name)).toStdString(); }
    QStringList Names() const { return QDir(Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System); }
};

} // namespace

TEST(DurableFile, ANewFileIsMadeAtItsNameOnlyAndNothingThereIsReplacedOrFollowed)
{
    TFolder folder;
    const std::string name = folder.Path("Queue.txt");
    synclog::Watch(name);
    TDurableFile file(name);
    file.SetCreateNew();
    file.SetMode(0640);
    ASSERT_TRUE(file.Open() && file.Write("a\r\nb\r\n") && file.Commit()) << file.Reason();
    EXPECT_EQ(Read(name), "a\r\nb\r\n");
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(ModeOf(name), 0640u & ~mask);
    EXPECT_TRUE(synclog::FolderSyncedAfterRename(folder.Dir.path().toStdString(), name));

    // A planted link is not followed, and a file already there stays as it is.
    const std::string elsewhere = folder.Path("elsewhere");
    ASSERT_EQ(symlink(elsewhere.c_str(), folder.Path("planted").c_str()), 0);
    for (const char* taken : {"Queue.txt", "planted"}) {
        TDurableFile again(folder.Path(taken));
        again.SetCreateNew();
        EXPECT_FALSE(again.Open()) << taken;
        EXPECT_EQ(again.Error(), EEXIST) << taken;
    }
    EXPECT_EQ(Read(name), "a\r\nb\r\n");
    EXPECT_EQ(Read(elsewhere), "<missing>");
}

TEST(DurableFile, AReplacementKeepsTheOldFilesPermissionsAndLinksAndRefusesAFolder)
{
    TFolder folder;
    const std::string real = folder.Path("real.qdns"), link = folder.Path("link.qdns");
    Put(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0604), 0);
    ASSERT_EQ(symlink("real.qdns", link.c_str()), 0);
    TDurableFile file(link);
    ASSERT_TRUE(file.Open() && file.Write("new") && file.Commit()) << file.Reason();
    EXPECT_EQ(Read(real), "new");
    EXPECT_EQ(ModeOf(real), 0604u);
    struct stat st {};
    EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_EQ(folder.Names(), (QStringList{"link.qdns", "real.qdns"}));

    TDurableFile intoFolder(folder.Dir.path().toStdString());
    EXPECT_FALSE(intoFolder.Open());
    EXPECT_EQ(intoFolder.Error(), EISDIR);
}

// The journal's way: a temporary name of the caller's, and the file kept open and locked.
TEST(DurableFile, AFileKeptOpenIsHandedOverLockedUnderItsName)
{
    TFolder folder;
    const std::string name = folder.Path("Journal.txt");
    Put(name + ".new", "stale");
    TDurableFile file(name);
    file.SetTemporaryName("Journal.txt.new");
    file.SetKeepOpen();
    ASSERT_TRUE(file.Open() && file.Write("begin\n") && file.Commit()) << file.Reason();
    const int fd = file.Release();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(folder.Names(), QStringList{"Journal.txt"});
    struct stat held {}, named {};
    ASSERT_TRUE(fstat(fd, &held) == 0 && stat(name.c_str(), &named) == 0);
    EXPECT_EQ(held.st_ino, named.st_ino);
    const int other = open(name.c_str(), O_RDONLY);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "not locked";
    EXPECT_EQ(write(fd, "done\n", 5), 5);
    EXPECT_EQ(Read(name), "begin\ndone\n");
    close(other);
    close(fd);
}

TEST(DurableFile, AFailedWriteOrFolderSyncFailsTheCommitWithTheReason)
{
    TTmpfsMount disk(64);
    if (!disk.SkipReason().isEmpty())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    const std::string name = disk.Path(QStringLiteral("tree.qdn")).toStdString();
    Put(name, "old");
    ASSERT_TRUE(disk.Fill(0));
    TDurableFile full(name);
    ASSERT_TRUE(full.Open());
    EXPECT_FALSE(full.Write(std::string(20000, 'x')));
    EXPECT_FALSE(full.Write("more")) << "a write after a failure";
    EXPECT_FALSE(full.Commit());
    EXPECT_EQ(full.Error(), ENOSPC);
    EXPECT_EQ(Read(name), "old");
    disk.Unfill();
    EXPECT_EQ(QDir(disk.Folder()).entryList(QDir::Files), QStringList{"tree.qdn"});

    synclog::Watch(name);
    synclog::FolderSyncError() = EIO;
    TDurableFile unsynced(name);
    EXPECT_TRUE(unsynced.Open() && unsynced.Write("new"));
    EXPECT_FALSE(unsynced.Commit());
    EXPECT_EQ(unsynced.Reason(), std::strerror(EIO));
    synclog::FolderSyncError() = 0;
}
