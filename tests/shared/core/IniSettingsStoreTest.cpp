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
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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
int SettingsChild(const QStringList& job)
{
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
        QElapsedTimer timer;
        timer.start();
        const QString error = FlushError(store);
        EXPECT_LT(timer.elapsed(), 3000);
        if (left == LiveHolder) {
            EXPECT_EQ(error, QStringLiteral("Cannot write the settings file \"%1\": another program keeps it locked (\"%2\").")
                                 .arg(store.FileName(), lock));
            ::kill(pid_t(holder.processId()), SIGKILL);
            ASSERT_TRUE(holder.waitForFinished(60000));
            EXPECT_EQ(FlushError(store), QString()) << "the change was kept for the next save";
        } else {
            EXPECT_EQ(error, QString());
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

// What is no settings file is never read, never waited for and never written over.
TEST(IniSettingsStore, APathThatIsNoSettingsFileIsRefusedAndLeftAsItIs)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
    const QString zero = dir.filePath(QStringLiteral("zero.ini"));
    const QString large = dir.filePath(QStringLiteral("large.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    WriteFile(large, "[SOFTWARE]\nKept=sz:yes\n");
    ASSERT_TRUE(QFile::resize(large, TIniSettingsStore::MaxFileSize + 1));
    const QString cases[][2] = {
        {pipe, QStringLiteral("'%1' is a named pipe, not a file.").arg(pipe)},
        {zero, QStringLiteral("'%1' is a device, not a file.").arg(zero)},
        {dir.path(), QStringLiteral("'%1' is a folder, not a file.").arg(dir.path())},
        {large, QStringLiteral("'%1' is larger than the 8 MB a settings file may hold.").arg(large)},
    };
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
    EXPECT_EQ(QFileInfo(zero).symLinkTarget(), QStringLiteral("/dev/zero"));
    EXPECT_FALSE(QFileInfo(pipe).isFile());
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
        EXPECT_EQ(QDir(disk.Folder()).entryList(QDir::Files | QDir::Hidden), (QStringList{"Quandrel.ini", "Quandrel.ini.lock"}));
        EXPECT_EQ(FlushError(store), QString()) << "once there is room again";
        EXPECT_EQ(TIniSettingsStore(fileName).Value(Key, QStringLiteral("New")), store.Value(Key, QStringLiteral("New")));
        ASSERT_TRUE(store.RemoveValue(Key, QStringLiteral("New")));
        ASSERT_EQ(FlushError(store), QString());
    }
}
