#include "shared/core/IniSettingsStore.h"
#include "shared/core/Exceptions.h"

#include "shared/core/IniText.h"
#include "shared/io/FileLock.h"
#include "support/ChildProcess.h"
#include "support/TmpfsMount.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
const QString Key = QStringLiteral("SOFTWARE/Orvanta");

QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& fileName, const QByteArray& content)
{
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

QString FlushError(TSettingsStore& store)
{
    try {
        store.Flush();
    } catch (const IOException& e) {
        return e.Message();
    }
    return QString();
}

TSettingsValue Text(const char* text)
{
    return QString::fromLatin1(text);
}

// Makes file permissions count for this thread, and the threads it starts, as they count for an
// ordinary user: root's power to read, write and change any file is set aside. Nothing changes
// for a user who has no such power.
void ActAsAnOrdinaryUser()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        data[capability / 32].effective &= ~(1u << (capability % 32));
    ::syscall(SYS_capset, &header, data);
}

mode_t ModeOf(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}
} // namespace

TEST(IniSettingsStore, EveryReadAfterAnyNumberOfSavesGivesWhatWasLastSavedHereOrElsewhere)
{
    QTemporaryDir dir;
    TIniSettingsStore first(dir.filePath(QStringLiteral("Quandrel.ini")));
    TIniSettingsStore second(first.FileName());
    for (const char* round : {"1", "2", "3"}) {
        first.SetValue(Key, QStringLiteral("Mine"), Text(round));
        first.Flush();
        EXPECT_EQ(second.Value(Key, QStringLiteral("Mine")), Text(round)) << "saved by the other instance";
        second.SetValue(Key, QStringLiteral("Other"), Text(round));
        second.Flush();
        EXPECT_EQ(first.Value(Key, QStringLiteral("Other")), Text(round));
        EXPECT_EQ(first.Value(Key, QStringLiteral("Mine")), Text(round));
    }
    first.CreateKey(Key + QStringLiteral("/Empty"));
    first.Flush();
    EXPECT_TRUE(second.HasKey(Key + QStringLiteral("/Empty")));
    // Unsaved changes stay over what the other instance saves meanwhile.
    first.SetValue(Key, QStringLiteral("Mine"), Text("pending"));
    second.SetValue(Key, QStringLiteral("Other"), Text("4"));
    second.Flush();
    EXPECT_EQ(first.Value(Key, QStringLiteral("Mine")), Text("pending"));
    EXPECT_EQ(first.Value(Key, QStringLiteral("Other")), Text("4"));
}

// Texts holding what the file's format treats in a way of its own read back as they were saved,
// here and by QSettings: a byte-order mark after a quote, an escape or a comma, blanks at the
// ends, separators, a nul.
TEST(IniSettingsStore, EveryTextReadsBackAsItWasSaved)
{
    const QString bom(QChar(0xFEFF));
    const QString texts[] = {QStringLiteral("a\"") + bom + QStringLiteral("b"), QStringLiteral("\\") + bom,
                             QStringLiteral("a,") + bom + QStringLiteral("b"), bom + QStringLiteral("start"),
                             QStringLiteral("a\n") + bom + bom, QStringLiteral(" both ends "), QStringLiteral("x;y=z"),
                             QStringLiteral("@x"), QString::fromUtf16(u"nul\u0000inside", 10)};
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Quandrel.ini"));
    {
        TIniSettingsStore store(file);
        for (int i = 0; i < int(std::size(texts)); ++i)
            store.SetValue(Key, QStringLiteral("V%1").arg(i), texts[i]);
        ASSERT_EQ(FlushError(store), QString());
    }
    const TIniSettingsStore store(file);
    QSettings settings(file, QSettings::IniFormat);
    for (int i = 0; i < int(std::size(texts)); ++i) {
        const QString name = QStringLiteral("V%1").arg(i);
        EXPECT_EQ(store.Value(Key, name), TSettingsValue(texts[i])) << i;
        EXPECT_EQ(settings.value(Key + QLatin1Char('/') + name).toString(), QStringLiteral("sz:") + texts[i]) << i;
    }
}

// Lines a hand edit or another program leaves behind: each is dropped, and the file's other
// entries and every later save go on.
TEST(IniSettingsStore, ALineTheStoreCannotCarryIsDroppedAndSavesSucceed)
{
    for (const QByteArray line : {"=\n", "[SOFTWARE]\n=x\n", "[SOFTWARE//Orvanta]\nx=1\n", "[SOFTWARE]\nList=a, b\n",
                                  "[SOFTWARE]\nNaN=@Variant(\\0\\0\\0\\x6\\x7f\\xf8\\0\\0\\0\\0\\0\\0)\n",
                                  "[SOFTWARE]\nBack%5Cslash=sz:x\n"}) {
        QTemporaryDir dir;
        const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
        WriteFile(fileName, "[SOFTWARE]\nKept=sz:yes\n" + line);
        {
            TIniSettingsStore store(fileName);
            store.SetValue(Key, QStringLiteral("New"), 7);
            EXPECT_EQ(FlushError(store), QString()) << line.constData();
        }
        const TIniSettingsStore reread(fileName);
        EXPECT_EQ(reread.Value(QStringLiteral("SOFTWARE"), QStringLiteral("Kept")), Text("yes")) << line.constData();
        EXPECT_EQ(reread.Value(Key, QStringLiteral("New")), TSettingsValue(7)) << line.constData();
        EXPECT_EQ(reread.ValueNames(QStringLiteral("SOFTWARE")), QStringList{QStringLiteral("Kept")});
        EXPECT_EQ(IniText::Parse(ReadAll(fileName)).keys(),
                  (QStringList{"SOFTWARE/.", "SOFTWARE/Kept", "SOFTWARE/Orvanta/.", "SOFTWARE/Orvanta/New"}))
            << "gone from the file: " << line.constData();
    }
}

namespace {
// The second process of the tests below. "save <file> <prefix>": saves values one at a time,
// a save that finds the lock held keeping its value for the next. "hold <lock file>": takes the
// lock as a save does, says "locked" and keeps it until it is killed.
//
// "save-as-user <file>": saves one value as an ordinary user would (see ActAsAnOrdinaryUser) and
// prints why the save failed, nothing when it succeeded.
// "saves <file> <prefix> <count>": saves count values one at a time and prints how many saves
// failed and how long the longest one took.
int SettingsChild(const QStringList& job)
{
    if (job.size() == 2 && job[0] == QLatin1String("save-as-user")) {
        ActAsAnOrdinaryUser();
        TIniSettingsStore store(job[1]);
        store.SetValue(Key, QStringLiteral("Name"), Text("value"));
        std::fputs(FlushError(store).toUtf8().constData(), stdout);
        return 0;
    }
    if (job.size() == 4 && job[0] == QLatin1String("saves")) {
        TIniSettingsStore store(job[1]);
        int failed = 0;
        qint64 longest = 0;
        for (int i = 0; i < job[3].toInt(); ++i) {
            store.SetValue(Key, job[2] + QString::number(i), i);
            QElapsedTimer timer;
            timer.start();
            failed += FlushError(store).isEmpty() ? 0 : 1;
            longest = std::max(longest, timer.elapsed());
        }
        std::printf("%d %lld\n", failed, static_cast<long long>(longest));
        return FlushError(store).isEmpty() ? 0 : 1;
    }
    if (job.size() == 3 && job[0] == QLatin1String("save")) {
        TIniSettingsStore store(job[1]);
        for (int i = 0; i < 50; ++i) {
            store.SetValue(Key, job[2] + QString::number(i), i);
            FlushError(store);
        }
        return FlushError(store).isEmpty() ? 0 : 1;
    }
    if (job.size() == 2 && job[0] == QLatin1String("hold")) {
        TFileLock lock(QFile::encodeName(job[1]).toStdString());
        if (!lock.Lock(60000))
            return 1;
        std::fputs("locked\n", stdout);
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    return 2;
}
const bool SettingsChildRegistered = RegisterChild("settings", &SettingsChild);
} // namespace

TEST(IniSettingsStore, TwoProcessesSavingAtOnceKeepEveryValue)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
    QProcess writers[2];
    for (int w = 0; w < 2; ++w)
        ASSERT_TRUE(StartChild(writers[w], "settings", {"save", fileName, QStringLiteral("W%1-").arg(w)}));
    for (QProcess& writer : writers)
        ASSERT_TRUE(writer.waitForFinished(120000) && writer.exitCode() == 0);
    const TIniSettingsStore store(fileName);
    EXPECT_EQ(store.ValueNames(Key).size(), 100);
}

// The lock beside the settings file holds a save back only while a live instance saves: nothing a
// crash leaves in its place (the lock of a killed holder, an empty or garbled lock file, a folder)
// stops or delays a save, and a holder that does not let go delays it no more than a moment.
TEST(IniSettingsStore, OnlyALiveHolderOfTheLockHoldsASaveBackAndOnlyForAMoment)
{
    enum TLeft { KilledHolder, EmptyFile, Garbage, LockOfALiveProcess, Folder, LiveHolder };
    for (const TLeft left : {KilledHolder, EmptyFile, Garbage, LockOfALiveProcess, Folder, LiveHolder}) {
        SCOPED_TRACE(int(left));
        QTemporaryDir dir;
        TIniSettingsStore store(dir.filePath(QStringLiteral("Quandrel.ini")));
        const QString lock = store.LockFileName();
        QProcess holder;
        if (left == KilledHolder || left == LiveHolder) {
            ASSERT_TRUE(StartChild(holder, "settings", {"hold", lock}));
            ASSERT_TRUE(holder.waitForReadyRead(60000) && holder.readLine() == "locked\n");
            if (left == KilledHolder) {
                ::kill(pid_t(holder.processId()), SIGKILL);
                ASSERT_TRUE(holder.waitForFinished(60000));
            }
        } else if (left == Folder) {
            ASSERT_TRUE(QDir().mkpath(lock));
        } else {
            const QByteArray content[] = {"", QByteArray("\x93\x00\xff garbage", 13),
                                          QByteArray::number(QCoreApplication::applicationPid()) + "\nquandrel\n" +
                                              QSysInfo::machineHostName().toUtf8() + "\n"};
            WriteFile(lock, content[left - EmptyFile]);
        }
        store.SetValue(Key, QStringLiteral("Name"), Text("value"));
        struct stat held;
        ASSERT_TRUE(left != LiveHolder || ::lstat(QFile::encodeName(lock).constData(), &held) == 0);
        QElapsedTimer timer;
        timer.start();
        const QString error = FlushError(store);
        const qint64 waited = timer.elapsed();
        if (left == LiveHolder) {
            // A held lock is waited for a second, measured around the save alone on a monotonic
            // clock: what the save does besides waiting (no file is written) takes milliseconds
            // even on a busy machine, so that anything past 1.5 s is a longer wait.
            EXPECT_GE(waited, 1000);
            EXPECT_LE(waited, 1500);
            EXPECT_EQ(error, QStringLiteral("Cannot write the settings file \"%1\": another program keeps it locked (\"%2\").")
                                 .arg(store.FileName(), lock));
            struct stat after;
            ASSERT_EQ(::lstat(QFile::encodeName(lock).constData(), &after), 0);
            EXPECT_TRUE(after.st_ino == held.st_ino && after.st_dev == held.st_dev) << "waited for, never replaced";
            ::kill(pid_t(holder.processId()), SIGKILL);
            ASSERT_TRUE(holder.waitForFinished(60000));
            EXPECT_EQ(FlushError(store), QString()) << "the change was kept for the next save";
        } else {
            EXPECT_EQ(error, QString());
            // A save that waited for the lock's deadline takes at least the second it waited.
            EXPECT_LT(waited, 1000);
        }
        EXPECT_EQ(TIniSettingsStore(store.FileName()).Value(Key, QStringLiteral("Name")), Text("value"));
    }
}

// Reading and saving the settings need no temporary folder: not when it is full, and they leave
// nothing in it.
TEST(IniSettingsStore, TheTemporaryFolderPlaysNoPartInSettings)
{
    TTmpfsMount temp(64);
    if (!temp.SkipReason().isEmpty())
        GTEST_SKIP() << temp.SkipReason().toStdString();
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Orvanta/Quandrel.ini"));
    {
        TIniSettingsStore store(fileName);
        store.SetValue(Key, QStringLiteral("Kept"), Text("yes"));
        ASSERT_EQ(FlushError(store), QString());
    }
    ASSERT_TRUE(temp.Fill());
    const QByteArray previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.Folder()));
    {
        TIniSettingsStore store(fileName);
        EXPECT_EQ(store.RefusedReason(), QString());
        EXPECT_EQ(store.Value(Key, QStringLiteral("Kept")), Text("yes"));
        store.SetValue(Key, QStringLiteral("New"), Text("saved"));
        EXPECT_EQ(FlushError(store), QString());
    }
    qputenv("TMPDIR", previous);
    EXPECT_EQ(TIniSettingsStore(fileName).Value(Key, QStringLiteral("New")), Text("saved"));
    EXPECT_EQ(QDir(temp.Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{".filler"});
}

// What is no settings file is never read, never waited for and never written over. Every path
// lies in the test's own folder, device nodes too: a save that wrongly went ahead would replace
// only the test's node, never a device of the system's.
TEST(IniSettingsStore, APathThatIsNoSettingsFileIsRefusedAndLeftAsItIs)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
    const QString large = dir.filePath(QStringLiteral("large.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    WriteFile(large, "[SOFTWARE]\nKept=sz:yes\n");
    ASSERT_TRUE(QFile::resize(large, TIniSettingsStore::MaxFileSize + 1));
    std::vector<std::pair<QString, QString>> cases = {
        {pipe, QStringLiteral("'%1' is a named pipe, not a file.").arg(pipe)},
        {dir.path(), QStringLiteral("'%1' is a folder, not a file.").arg(dir.path())},
        {large, QStringLiteral("'%1' is larger than the 8 MB a settings file may hold.").arg(large)},
    };
    // The devices of /dev/zero, which reads for ever, and /dev/null, which takes every write.
    const std::pair<const char*, dev_t> devices[] = {{"zero.ini", makedev(1, 5)}, {"null.ini", makedev(1, 3)}};
    QString noDevices;
    for (const auto& [name, device] : devices) {
        const QString node = dir.filePath(QLatin1String(name));
        if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, device) != 0)
            noDevices = QStringLiteral("no device node can be made here: ") + QString::fromLocal8Bit(std::strerror(errno));
        else
            cases.push_back({node, QStringLiteral("'%1' is a device, not a file.").arg(node)});
    }
    for (const auto& [file, reason] : cases) {
        TIniSettingsStore store(file);
        EXPECT_TRUE(store.SubKeyNames(QString()).isEmpty()) << file.toStdString();
        store.SetValue(Key, QStringLiteral("Name"), Text("value"));
        EXPECT_EQ(FlushError(store), QStringLiteral("Cannot write the settings file \"%1\": %2 The program uses "
                                                    "default settings and leaves the file as it is.")
                                         .arg(file, reason));
    }
    EXPECT_EQ(ReadAll(large).left(24), QByteArray("[SOFTWARE]\nKept=sz:yes\n\0", 24));
    EXPECT_EQ(QFileInfo(large).size(), TIniSettingsStore::MaxFileSize + 1);
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    for (const auto& [name, device] : devices) {
        struct stat info;
        if (::lstat(QFile::encodeName(dir.filePath(QLatin1String(name))).constData(), &info) == 0) {
            EXPECT_TRUE(S_ISCHR(info.st_mode) && info.st_rdev == device) << name;
        }
    }
    if (!noDevices.isEmpty())
        GTEST_SKIP() << "the device rows: " << noDevices.toStdString();
}

// The size bound holds to the byte: a file of exactly that size is a settings file.
TEST(IniSettingsStore, AFileOfExactlyTheSizeLimitIsRead)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Quandrel.ini"));
    WriteFile(file, "[SOFTWARE]\nKept=sz:yes\n");
    ASSERT_TRUE(QFile::resize(file, TIniSettingsStore::MaxFileSize));
    TIniSettingsStore store(file);
    EXPECT_EQ(store.RefusedReason(), QString());
    EXPECT_EQ(store.Value(QStringLiteral("SOFTWARE"), QStringLiteral("Kept")), Text("yes"));
    store.SetValue(Key, QStringLiteral("Name"), Text("value"));
    EXPECT_EQ(FlushError(store), QString());
    EXPECT_EQ(TIniSettingsStore(file).Value(QStringLiteral("SOFTWARE"), QStringLiteral("Kept")), Text("yes"));
}

// The program's lock is no lock to QSettings, which keeps its own "<file>.lock" and takes any
// file there that it cannot read for a live lock until it is 30 s old: a QSettings writer of the
// same file (earlier versions of the program were one) saves at once beside the program's lock,
// and leaves it there.
TEST(IniSettingsStore, AQSettingsWriterOfTheFileSavesAtOnceBesideTheProgramsLock)
{
    QTemporaryDir dir;
    TIniSettingsStore store(dir.filePath(QStringLiteral("Quandrel.ini")));
    store.SetValue(Key, QStringLiteral("Ours"), Text("kept"));
    ASSERT_EQ(FlushError(store), QString());
    ASSERT_TRUE(QFileInfo::exists(store.LockFileName()));
    QElapsedTimer timer;
    timer.start();
    {
        QSettings settings(store.FileName(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("SOFTWARE/Orvanta/Theirs"), QStringLiteral("sz:saved"));
        settings.sync();
        EXPECT_EQ(settings.status(), QSettings::NoError);
    }
    // A save of a few bytes takes milliseconds even on a busy machine; a wait for the lock, tens
    // of seconds.
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(QFileInfo::exists(store.LockFileName()));
    EXPECT_EQ(store.Value(Key, QStringLiteral("Theirs")), Text("saved"));
    EXPECT_EQ(store.Value(Key, QStringLiteral("Ours")), Text("kept"));
}

// What stands at the lock's name but cannot be opened is replaced by a new lock file and the save
// goes on; a link is removed, never followed. Only when the folder does not let it be replaced is
// the save refused, and the message blames the lock file. The saves run as an ordinary user, for
// whom permissions count (root's power over every file set aside).
TEST(IniSettingsStore, ALockFileThatCannotBeOpenedIsReplacedAndTheSaveGoesOn)
{
    enum TLeft { DanglingLink, LinkToAFile, NoPermissions, AnotherUsers, InAFolderThatCannotChange, AFolderOfMode000 };
    const char* const names[] = {"dangling link", "link to a file",      "mode 000",
                                 "another user's", "unchangeable folder", "folder of mode 000"};
    QString skipped;
    for (const TLeft left :
         {DanglingLink, LinkToAFile, NoPermissions, AnotherUsers, InAFolderThatCannotChange, AFolderOfMode000}) {
        SCOPED_TRACE(names[left]);
        if (left == AnotherUsers && ::geteuid() != 0) {
            skipped = QStringLiteral("making a file of another user's needs root");
            continue;
        }
        QTemporaryDir dir, outside;
        const QString folder = dir.filePath(QStringLiteral("Orvanta"));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/Quandrel.ini");
        WriteFile(file, "[SOFTWARE]\nKept=sz:yes\n");
        const QString lock = TIniSettingsStore(file).LockFileName();
        const QByteArray lockName = QFile::encodeName(lock);
        const QString victim = outside.filePath(QStringLiteral("victim"));
        WriteFile(victim, "victim\n");
        ASSERT_TRUE(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        if (left == DanglingLink) {
            ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("missing")), lock));
        } else if (left == LinkToAFile) {
            ASSERT_TRUE(QFile::link(victim, lock));
        } else if (left == AFolderOfMode000) {
            // A folder may hold anything of the user's, and is never removed.
            ASSERT_TRUE(QDir().mkpath(lock + QStringLiteral("/kept")));
            ASSERT_EQ(::chmod(lockName.constData(), 0), 0);
        } else {
            WriteFile(lock, "");
            ASSERT_EQ(::chmod(lockName.constData(), left == AnotherUsers ? 0600 : 0), 0);
            if (left == AnotherUsers) {
                ASSERT_EQ(::chown(lockName.constData(), 4242, 4242), 0);
            }
        }
        if (left == InAFolderThatCannotChange) {
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0500), 0);
        }

        QProcess saver;
        ASSERT_TRUE(StartChild(saver, "settings", {"save-as-user", file}));
        ASSERT_TRUE(saver.waitForFinished(60000) && saver.exitCode() == 0);
        const QString error = QString::fromUtf8(saver.readAllStandardOutput());
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        if (left == AFolderOfMode000)
            ::chmod(lockName.constData(), 0700);

        EXPECT_EQ(ReadAll(victim), "victim\n");
        EXPECT_EQ(ModeOf(victim) & 07777, 0644u);
        EXPECT_FALSE(QFileInfo::exists(outside.filePath(QStringLiteral("missing"))));
        if (left == InAFolderThatCannotChange || left == AFolderOfMode000) {
            EXPECT_TRUE(left != AFolderOfMode000 || QFileInfo(lock + QStringLiteral("/kept")).isDir());
            EXPECT_TRUE(error.contains(QLatin1Char('"') + lock + QLatin1Char('"')) && error.contains(QLatin1String("Permission denied")))
                << error.toStdString();
            EXPECT_FALSE(error.contains(QLatin1Char('"') + file + QLatin1Char('"'))) << error.toStdString();
            EXPECT_EQ(ReadAll(file), "[SOFTWARE]\nKept=sz:yes\n");
            continue;
        }
        EXPECT_EQ(error, QString());
        struct stat made;
        ASSERT_EQ(::lstat(lockName.constData(), &made), 0);
        EXPECT_TRUE(S_ISREG(made.st_mode) && made.st_uid == ::geteuid()) << made.st_mode << " " << made.st_uid;
        EXPECT_EQ(made.st_mode & 07777, 0600u);
        const TIniSettingsStore reread(file);
        EXPECT_EQ(reread.Value(Key, QStringLiteral("Name")), Text("value"));
        EXPECT_EQ(reread.Value(QStringLiteral("SOFTWARE"), QStringLiteral("Kept")), Text("yes"));
    }
    if (!skipped.isEmpty())
        GTEST_SKIP() << "another user's lock: " << skipped.toStdString();
}

// Instances that find the lock unusable replace it in turn, under a lock on the folder: one
// that waited for another's replacement finds that instance's new lock file and waits for it,
// and never removes it.
TEST(IniSettingsStore, AReplacementWaitsForAnotherAndKeepsTheLockFileThatOneMade)
{
    using namespace std::chrono_literals;
    QTemporaryDir dir;
    TIniSettingsStore store(dir.filePath(QStringLiteral("Quandrel.ini")));
    const QByteArray lock = QFile::encodeName(store.LockFileName());
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("missing")), store.LockFileName()));
    // The other instance, replacing.
    TFileLock folder(QFile::encodeName(dir.path()).toStdString());
    ASSERT_TRUE(folder.Lock(0));
    store.SetValue(Key, QStringLiteral("Name"), Text("value"));
    std::atomic<bool> done = false;
    QString error;
    std::thread saver([&] {
        error = FlushError(store);
        done = true;
    });
    // Both waits stay well inside the save's second.
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(done) << "the lock was replaced while another instance replaced it";
    ASSERT_EQ(::unlink(lock.constData()), 0);
    TFileLock made(lock.toStdString());
    ASSERT_TRUE(made.Lock(0));
    folder.Unlock();
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(done) << "the save went on while the other instance held its new lock";
    made.Unlock();
    saver.join();
    EXPECT_EQ(error.toStdString(), "");
    EXPECT_TRUE(S_ISREG(ModeOf(store.LockFileName())));
    EXPECT_EQ(TIniSettingsStore(store.FileName()).Value(Key, QStringLiteral("Name")), Text("value"));
}

// A lock file that another instance replaced while a save waited for it locks nothing: the save
// takes the lock on the file now at the name, and waits for whoever holds that one.
TEST(IniSettingsStore, AWaiterTakesTheLockOfTheFileNowAtTheName)
{
    using namespace std::chrono_literals;
    QTemporaryDir dir;
    TIniSettingsStore store(dir.filePath(QStringLiteral("Quandrel.ini")));
    const QByteArray lock = QFile::encodeName(store.LockFileName());
    TFileLock first(lock.toStdString());
    ASSERT_TRUE(first.Lock(0));
    store.SetValue(Key, QStringLiteral("Name"), Text("value"));
    QString error;
    std::thread saver([&] { error = FlushError(store); });
    std::this_thread::sleep_for(150ms);
    WriteFile(store.LockFileName() + QStringLiteral(".new"), "");
    ASSERT_EQ(::rename(lock + ".new", lock.constData()), 0);
    TFileLock second(lock.toStdString());
    ASSERT_TRUE(second.Lock(0));
    first.Unlock();
    saver.join();
    EXPECT_EQ(error.toStdString(), QStringLiteral("Cannot write the settings file \"%1\": another program keeps it locked (\"%2\").")
                                       .arg(store.FileName(), store.LockFileName())
                                       .toStdString());
    second.Unlock();
    EXPECT_EQ(FlushError(store).toStdString(), "");
}

// The settings file holds the paths of recent documents: a new one is the user's alone, whatever
// the umask; one the user already has keeps its permissions. The lock is the user's alone, so
// that nobody else can open it and hold it.
TEST(IniSettingsStore, TheLockAndANewSettingsFileAreTheUsersAlone)
{
    const mode_t mask = ::umask(0);
    // Permissions before (0 for none) and of the settings file after.
    const struct {
        mode_t File;
        mode_t Lock;
        mode_t FileAfter;
    } cases[] = {{0, 0, 0600}, {0644, 0644, 0644}, {0640, 0666, 0640}, {0600, 0604, 0600}, {0664, 0600, 0664}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.File << " " << c.Lock);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Quandrel.ini"));
        TIniSettingsStore store(file);
        for (const auto& [path, mode] : {std::pair{file, c.File}, std::pair{store.LockFileName(), c.Lock}})
            if (mode != 0) {
                WriteFile(path, "");
                ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
            }
        store.SetValue(Key, QStringLiteral("Name"), Text("value"));
        EXPECT_EQ(FlushError(store), QString());
        EXPECT_EQ(ModeOf(file) & 07777, c.FileAfter);
        EXPECT_EQ(ModeOf(store.LockFileName()) & 07777, 0600u);
    }
    ::umask(mask);
}

// Instances that save back to back are served in turn: none waits out the lock's deadline while
// the others take the lock again and again.
TEST(IniSettingsStore, InstancesSavingBackToBackAreServedInTurn)
{
    // On a file system of the test's own in memory when there can be one, with a file of some
    // thousand settings: a save then holds the lock for milliseconds and lets it go for a moment
    // only, as saves of a large file on a slow disk do, and waiters that only looked now and then
    // missed their turn for more than a second.
    TTmpfsMount memory(16384);
    QTemporaryDir dir;
    const QString file = memory.SkipReason().isEmpty() ? memory.Path(QStringLiteral("Quandrel.ini"))
                                                       : dir.filePath(QStringLiteral("Quandrel.ini"));
    QByteArray filler = "[SOFTWARE]\n";
    for (int i = 0; i < 3000; ++i)
        filler += "Filler\\V" + QByteArray::number(i) + "=sz:" + QByteArray(40, 'x') + "\n";
    WriteFile(file, filler);
    constexpr int Instances = 4;
    constexpr int Saves = 100;
    QProcess savers[Instances];
    for (int i = 0; i < Instances; ++i)
        ASSERT_TRUE(StartChild(savers[i], "settings", {"saves", file, QStringLiteral("S%1-").arg(i), QString::number(Saves)}));
    for (QProcess& saver : savers) {
        ASSERT_TRUE(saver.waitForFinished(300000));
        EXPECT_EQ(saver.exitCode(), 0);
        const QList<QByteArray> numbers = saver.readAllStandardOutput().trimmed().split(' ');
        ASSERT_EQ(numbers.size(), 2);
        EXPECT_EQ(numbers[0].toInt(), 0) << "saves failed";
        // The lock is waited for at most a second, and what a save does besides takes
        // milliseconds.
        EXPECT_LE(numbers[1].toLongLong(), 1500) << "the longest save, in ms";
    }
    const TIniSettingsStore store(file);
    EXPECT_EQ(store.ValueNames(Key).size(), Instances * Saves);
    EXPECT_EQ(store.ValueNames(QStringLiteral("SOFTWARE/Filler")).size(), 3000);
}

// A filled file system cuts the save short: below the write buffer's size only the flush tells,
// above it the write itself stops part-way.
TEST(IniSettingsStore, AFullDiskFailsTheSaveWithTheReasonAndKeepsTheOldFileByteForByte)
{
    TTmpfsMount disk(256);
    if (!disk.SkipReason().isEmpty())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    const QByteArray target = QFile::encodeName(disk.Folder());
    const QString fileName = disk.Path(QStringLiteral("Quandrel.ini"));
    TIniSettingsStore store(fileName);
    store.SetValue(Key, QStringLiteral("Old"), Text("kept"));
    ASSERT_EQ(FlushError(store), QString());
    const QByteArray before = ReadAll(fileName);
    // Bytes to save, and pages left free.
    for (const auto& [bytes, freePages] : {std::pair{2000, 0UL}, std::pair{60000, 2UL}}) {
        struct statvfs fs;
        ASSERT_TRUE(disk.Fill(qint64(freePages) * 4096));
        ASSERT_TRUE(::statvfs(target.constData(), &fs) == 0 && fs.f_bavail == freePages);
        store.SetValue(Key, QStringLiteral("New"), QString(bytes, QLatin1Char('n')));
        const QString message = FlushError(store);
        EXPECT_TRUE(message.endsWith(QStringLiteral("No space left on device"))) << message.toStdString();
        EXPECT_EQ(ReadAll(fileName), before) << bytes;

        disk.Unfill();
        EXPECT_EQ(QDir(disk.Folder()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{"Quandrel.ini", QFileInfo(store.LockFileName()).fileName()}));
        EXPECT_EQ(FlushError(store), QString()) << "once there is room again";
        EXPECT_EQ(TIniSettingsStore(fileName).Value(Key, QStringLiteral("New")), store.Value(Key, QStringLiteral("New")));
        ASSERT_TRUE(store.RemoveValue(Key, QStringLiteral("New")));
        ASSERT_EQ(FlushError(store), QString());
    }
}
