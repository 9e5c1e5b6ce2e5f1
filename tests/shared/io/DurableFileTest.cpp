#include "shared/io/DurableFile.h"

#include "support/ChildProcess.h"
#include "support/SyncLog.h"
#include "support/TmpfsMount.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

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
    std::string Path(const QString& name) const { return Dir.filePath(name).toStdString(); }
    // Every entry, hidden ones too, in one order (names that differ in case alone included).
    QStringList Names() const
    {
        QStringList names = QDir(Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
        names.sort(Qt::CaseSensitive);
        return names;
    }
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

namespace {

bool Save(const std::string& name, const std::string& text)
{
    TDurableFile file(name);
    return file.Open() && file.Write(text) && file.Commit();
}

// The second processes of the tests below.
// "save <file> <bytes>": saves the file again and again, <bytes> bytes each time in 64 KiB
// writes, says "saved" after the first save and goes on until it is killed.
// "script <file>": writes a file as a shell script's mktemp and echo do, without any lock: makes
// it, writes "begun", says "writing", and once a line comes on its input writes " ended".
int DurableChild(const QStringList& job)
{
    if (job.size() == 3 && job[0] == QLatin1String("save")) {
        const std::string name = job[1].toStdString();
        const std::string block(65536, 'x');
        for (bool first = true;; first = false) {
            TDurableFile file(name);
            if (!file.Open())
                return 1;
            for (int left = job[2].toInt(); left > 0; left -= int(block.size()))
                file.Write(block.data(), std::min(block.size(), size_t(left)));
            if (!file.Commit())
                return 1;
            if (first) {
                std::fputs("saved\n", stdout);
                std::fflush(stdout);
            }
        }
    }
    if (job.size() == 2 && job[0] == QLatin1String("script")) {
        const int fd = open(job[1].toStdString().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0 || write(fd, "begun", 5) != 5)
            return 1;
        std::fputs("writing\n", stdout);
        std::fflush(stdout);
        char line[8];
        if (!std::fgets(line, sizeof line, stdin) || write(fd, " ended", 6) != 6)
            return 1;
        return close(fd) == 0 ? 0 : 1;
    }
    return 2;
}
const bool DurableChildRegistered = RegisterChild("durable", &DurableChild);

} // namespace

// The writer removes what killed saves of the same file left, and nothing else: not the user's
// own files beside it, whatever their names, not a file another program is writing without a
// lock, not the leftovers of earlier versions (whose names users also choose), not a live save's
// file, and nothing that is not a plain file of this user.
TEST(DurableFile, ASaveRemovesOnlyWhatKilledSavesLeftAndKeepsEveryOtherNameBesideIt)
{
    TFolder folder;
    const std::string target = folder.Path("tree.qdn");
    Put(target, "old");
    enum TKind { File, Link, Folder, Fifo, Device, OtherUsers, Locked };
    struct Row {
        const char* Name;
        TKind Kind;
        bool Removed;
    };
    std::vector<Row> rows = {
        // the user's own files, as one save removed them before
        {"tree.qdn.Copy01", File, false},
        {"tree.qdn.Draft1", File, false},
        {"tree.qdn.Week42", File, false},
        {"tree.qdn.Old123", File, false},
        {"tree.qdn.Rev2b1", File, false},
        {"tree.qdn.V1Beta", File, false},
        {"tree.qdn.backup", File, false},
        {".tree.qdn.swp", File, false},
        // what an earlier version left: worth less than a user's file of such a name
        {"tree.qdn.Qs8tUv", File, false},
        // close to the writer's form, but not it
        {"tree.qdn.qdtmp-k03vq9a1t7mc", File, false},
        {"..tree.qdn.qdtmp-k03vq9a1t7mc", File, false},
        {".tree.qdn.qdtmp-k03vq9a1t7m", File, false},
        {".tree.qdn.qdtmp-k03vq9a1t7mcc", File, false},
        {".tree.qdn.qdtmp-k03vq9a1t7mC", File, false},
        {".tree.qdn.qdtmp-k03vq9a1t7mz", File, false},
        {".tree.qdn.qdtmp-k03vq9a1t7m-", File, false},
        {".tree.qdn.qdtmp-k03vq9a1t7mc.bak", File, false},
        {".tree.qdn.qdtmp_k03vq9a1t7mc", File, false},
        {".tree.qdn.QDTMP-k03vq9a1t7mc", File, false},
        {".tree.qdn.qdtmp-", File, false},
        {".tree.qdnx.qdtmp-k03vq9a1t7mc", File, false},
        {".tree.qd.qdtmp-k03vq9a1t7mc", File, false},
        {".other.qdn.qdtmp-k03vq9a1t7mc", File, false},
        // the writer's form, but no file a killed save of this user left
        {".tree.qdn.qdtmp-link00000000", Link, false},
        {".tree.qdn.qdtmp-f01der000000", Folder, false},
        {".tree.qdn.qdtmp-f1f000000000", Fifo, false},
        {".tree.qdn.qdtmp-1ocked000000", Locked, false},
        // what killed saves left
        {".tree.qdn.qdtmp-k03vq9a1t7mc", File, true},
        {".tree.qdn.qdtmp-0123456789uv", File, true},
    };
    if (geteuid() == 0) {
        rows.push_back({".tree.qdn.qdtmp-dev1ce000000", Device, false});
        rows.push_back({".tree.qdn.qdtmp-0ther0000000", OtherUsers, false});
    } else {
        std::fprintf(stderr, "a device node and another user's file need root: those rows do not run\n");
    }
    // A live save of the same file, and a script still writing its file of mktemp's form. (The
    // live save's Open sweeps too: it comes before the rows, so that only the save below does.)
    TDurableFile live(target);
    ASSERT_TRUE(live.Open() && live.Write("live"));
    QProcess script;
    ASSERT_TRUE(StartChild(script, "durable", {QStringLiteral("script"), folder.Dir.filePath("tree.qdn.Wrt9ng")}));
    ASSERT_TRUE(script.waitForReadyRead(60000) && script.readLine() == "writing\n");
    int held = -1;
    for (const Row& row : rows) {
        const std::string path = folder.Path(row.Name);
        switch (row.Kind) {
        case File:
        case Locked:
        case OtherUsers: Put(path, row.Name); break;
        case Link: ASSERT_EQ(symlink("tree.qdn.backup", path.c_str()), 0); break;
        case Folder:
            ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
            Put(path + "/inside", "inside");
            break;
        case Fifo: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); break;
        // Made here, in the test's own folder: a node like the null device's, which no open here can harm.
        case Device: ASSERT_EQ(mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0); break;
        }
        if (row.Kind == OtherUsers) {
            ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
        }
        if (row.Kind == Locked) {
            held = open(path.c_str(), O_RDONLY);
            ASSERT_EQ(flock(held, LOCK_EX), 0);
        }
    }
    const QStringList before = folder.Names();

    ASSERT_TRUE(Save(target, "new"));
    QStringList expected = before;
    for (const Row& row : rows) {
        if (row.Removed)
            expected.removeOne(QString::fromUtf8(row.Name));
    }
    EXPECT_EQ(folder.Names().join(' ').toStdString(), expected.join(' ').toStdString());
    for (const Row& row : rows) {
        if (row.Kind == File && !row.Removed) {
            EXPECT_EQ(Read(folder.Path(row.Name)), row.Name);
        }
    }
    EXPECT_EQ(Read(folder.Path(".tree.qdn.qdtmp-f01der000000/inside")), "inside");

    script.write("go\n");
    ASSERT_TRUE(script.waitForFinished(60000) && script.exitCode() == 0) << script.readAllStandardError().toStdString();
    EXPECT_EQ(Read(folder.Path("tree.qdn.Wrt9ng")), "begun ended");
    EXPECT_TRUE(live.Commit()) << live.Reason();
    EXPECT_EQ(Read(target), "live");
    close(held);
}

// Saves killed at any moment, of a short name and of one so long that the writer's temporary
// names keep only part of it: the next save of each leaves the target and nothing else of the
// writer's beside the user's files.
TEST(DurableFile, SavesKilledAtAnyMomentLeaveNothingOnceTheNextSaveIsDone)
{
    TFolder folder;
    const QString shortName = QStringLiteral("tree.qdn"), longName = QString(246, QLatin1Char('n')) + ".qdn";
    const QStringList users = {"tree.qdn.Copy01", "tree.qdn.Wrt9ng", longName + ".v2"};
    for (const QString& user : users)
        Put(folder.Path(user), "mine");
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int interrupted = 0;
    const int rounds = 40;
    for (int round = 0; round < rounds; ++round) {
        const QString name = round % 4 == 3 ? longName : shortName;
        QProcess saver;
        ASSERT_TRUE(StartChild(saver, "durable", {QStringLiteral("save"), folder.Dir.filePath(name), QStringLiteral("1048576")}));
        ASSERT_TRUE(saver.waitForReadyRead(60000) && saver.readLine() == "saved\n") << saver.readAllStandardError().toStdString();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        ::kill(pid_t(saver.processId()), SIGKILL);
        ASSERT_TRUE(saver.waitForFinished(60000));
        ASSERT_EQ(saver.exitStatus(), QProcess::CrashExit) << "the saver ended before it was killed";

        QStringList expected = users;
        expected << shortName;
        if (round >= 3)
            expected << longName;
        expected.sort(Qt::CaseSensitive);
        interrupted += folder.Names() != expected;
        const std::string text = "round " + std::to_string(round);
        ASSERT_TRUE(Save(folder.Path(name), text));
        EXPECT_EQ(folder.Names(), expected) << "round " << round;
        EXPECT_EQ(Read(folder.Path(name)), text);
    }
    // Most kills land in the middle of a save, as a save is almost all of the saver's time; none
    // at all would mean the rounds above tested nothing.
    EXPECT_GT(interrupted, 0);
    for (const QString& user : users)
        EXPECT_EQ(Read(folder.Path(user)), "mine");
}

// A power cut at any moment leaves the old content or the whole new one: the content is on the
// disk before it takes the name, and the name is on the disk before the save counts as done.
TEST(DurableFile, TheContentIsSyncedBeforeItTakesTheNameAndTheFolderAfterwards)
{
    TFolder folder;
    const std::string real = folder.Path("real.qdn"), link = folder.Path("link.qdn"), fresh = folder.Path("new.qdn");
    Put(real, "old");
    ASSERT_EQ(symlink("real.qdn", link.c_str()), 0);
    for (const auto& [written, named] : {std::pair{real, real}, std::pair{fresh, fresh}, std::pair{link, real}}) {
        synclog::Watch(named);
        ASSERT_TRUE(Save(written, "new " + written));
        EXPECT_EQ(Read(named), "new " + written);
        EXPECT_TRUE(synclog::SyncedBeforeRename(named)) << written;
        EXPECT_TRUE(synclog::FolderSyncedAfterRename(folder.Dir.path().toStdString(), named)) << written;
    }
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
    EXPECT_EQ(QDir(disk.Folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"tree.qdn"});

    synclog::Watch(name);
    synclog::FolderSyncError() = EIO;
    TDurableFile unsynced(name);
    EXPECT_TRUE(unsynced.Open() && unsynced.Write("new"));
    EXPECT_FALSE(unsynced.Commit());
    EXPECT_EQ(unsynced.Reason(), std::strerror(EIO));
    synclog::FolderSyncError() = 0;
}
