#include "shared/core/IniSettingsStore.h"
#include "shared/core/Exceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
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
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(content), content.size());
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
    const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
    TIniSettingsStore first(fileName);
    TIniSettingsStore second(fileName);
    for (const char* round : {"1", "2", "3"}) {
        first.SetValue(Key, QStringLiteral("Mine"), Text(round));
        first.SetValue(Key, QStringLiteral("Shared"), Text(round));
        first.Flush();
        EXPECT_EQ(first.Value(Key, QStringLiteral("Mine")), Text(round));
        EXPECT_EQ(second.Value(Key, QStringLiteral("Shared")), Text(round)) << "saved by the other instance";
        second.SetValue(Key, QStringLiteral("Shared"), Text("second"));
        second.Flush();
        EXPECT_EQ(first.Value(Key, QStringLiteral("Shared")), Text("second"));
        EXPECT_EQ(second.Value(Key, QStringLiteral("Mine")), Text(round));
    }
    // Unsaved changes stay over what another instance saves meanwhile.
    first.SetValue(Key, QStringLiteral("Pending"), Text("first"));
    second.SetValue(Key, QStringLiteral("Other"), Text("second"));
    second.Flush();
    EXPECT_EQ(first.Value(Key, QStringLiteral("Pending")), Text("first"));
    EXPECT_EQ(first.Value(Key, QStringLiteral("Other")), Text("second"));
}

// Lines a hand edit or another program leaves behind: each is dropped, and the file's other
// entries and every later save go on.
TEST(IniSettingsStore, ALineTheStoreCannotCarryIsDroppedAndSavesSucceed)
{
    const struct {
        const char* name;
        QByteArray line;
    } cases[] = {
        {"no name", "=\n"},
        {"no name in a key", "[SOFTWARE]\n=x\n"},
        {"empty key segments", "[SOFTWARE//Orvanta]\nx=1\n"},
        {"a typed value", "[SOFTWARE]\nNumber=@Variant(\\0\\0\\0\\x6\\x7f\\xf8\\0\\0\\0\\0\\0\\0)\n"},
        {"a list", "[SOFTWARE]\nList=a, b\n"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
        WriteFile(fileName, "[SOFTWARE]\nKept=sz:yes\n" + c.line);
        {
            TIniSettingsStore store(fileName);
            EXPECT_EQ(store.Value(QStringLiteral("SOFTWARE"), QStringLiteral("Kept")), Text("yes")) << c.name;
            store.SetValue(Key, QStringLiteral("New"), 7);
            EXPECT_EQ(FlushError(store), QString()) << c.name;
        }
        const TIniSettingsStore reread(fileName);
        EXPECT_EQ(reread.Value(QStringLiteral("SOFTWARE"), QStringLiteral("Kept")), Text("yes")) << c.name;
        EXPECT_EQ(reread.Value(Key, QStringLiteral("New")), TSettingsValue(7)) << c.name;
        EXPECT_EQ(reread.ValueNames(QStringLiteral("SOFTWARE")), QStringList{QStringLiteral("Kept")}) << c.name;
    }
    // A value that reads as a number not a number is text to the store.
    QTemporaryDir dir;
    QSettings(dir.filePath(QStringLiteral("nan.ini")), QSettings::IniFormat).setValue("K/Real", std::nan(""));
    TIniSettingsStore store(dir.filePath(QStringLiteral("nan.ini")));
    store.SetValue(QStringLiteral("K"), QStringLiteral("Other"), 1);
    EXPECT_EQ(FlushError(store), QString());
}

// A second process: started by the test below, it saves values one at a time.
TEST(IniSettingsStore, SavingProcess)
{
    const QStringList job = qEnvironmentVariable("QD_SETTINGS_WRITER").split(QLatin1Char('|'));
    if (job.size() != 3)
        GTEST_SKIP() << "runs only as a process started by TwoProcessesSavingAtOnceKeepEveryValue";
    TIniSettingsStore store(job[0]);
    for (int i = 0; i < job[2].toInt(); ++i) {
        store.SetValue(Key, job[1] + QString::number(i), i);
        store.Flush();
    }
}

TEST(IniSettingsStore, TwoProcessesSavingAtOnceKeepEveryValue)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
    constexpr int Count = 50;
    QProcess writers[2];
    for (int w = 0; w < 2; ++w) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QD_SETTINGS_WRITER"), QStringLiteral("%1|W%2-|%3").arg(fileName).arg(w).arg(Count));
        writers[w].setProcessEnvironment(env);
        writers[w].start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--gtest_filter=IniSettingsStore.SavingProcess")});
    }
    for (QProcess& writer : writers) {
        ASSERT_TRUE(writer.waitForFinished(120000));
        EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardOutput().toStdString();
    }
    const TIniSettingsStore store(fileName);
    EXPECT_EQ(store.ValueNames(Key).size(), 2 * Count);
    EXPECT_FALSE(QFile::exists(store.LockFileName()));
}

// What is no settings file is never read, never waited for and never written over.
TEST(IniSettingsStore, APathThatIsNoSettingsFileIsRefusedAndLeftAsItIs)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
    const QString zero = dir.filePath(QStringLiteral("zero.ini"));
    const QString large = dir.filePath(QStringLiteral("large.ini"));
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    ASSERT_TRUE(QDir().mkpath(folder));
    WriteFile(large, "[SOFTWARE]\nKept=sz:yes\n");
    ASSERT_TRUE(QFile::resize(large, TIniSettingsStore::MaxFileSize + 1));
    const struct {
        QString file;
        QString reason;
    } cases[] = {
        {pipe, QStringLiteral("'%1' is a named pipe, not a file.").arg(pipe)},
        {zero, QStringLiteral("'%1' is a device, not a file.").arg(zero)},
        {folder, QStringLiteral("'%1' is a folder, not a file.").arg(folder)},
        {large, QStringLiteral("'%1' is larger than the 8 MB a settings file may hold.").arg(large)},
    };
    for (const auto& c : cases) {
        const QByteArray before = QFileInfo(c.file).isFile() ? ReadAll(c.file) : QByteArray();
        TIniSettingsStore store(c.file);
        EXPECT_TRUE(store.SubKeyNames(QString()).isEmpty()) << c.file.toStdString();
        store.SetValue(Key, QStringLiteral("Name"), Text("value"));
        EXPECT_EQ(FlushError(store).toStdString(),
                  QStringLiteral("Cannot write the settings file \"%1\": %2 The program uses default settings and "
                                 "leaves the file as it is.")
                      .arg(c.file, c.reason)
                      .toStdString());
        EXPECT_EQ(QFileInfo(c.file).isFile() ? ReadAll(c.file) : QByteArray(), before);
    }
    EXPECT_EQ(QFileInfo(zero).symLinkTarget(), QStringLiteral("/dev/zero"));
    EXPECT_EQ(QFileInfo(pipe).isFile(), false);
}

// A filled file system cuts the save short: below the write buffer's size only the flush tells,
// above it the write itself stops part-way.
TEST(IniSettingsStore, AFullDiskFailsTheSaveWithTheReasonAndKeepsTheOldFileByteForByte)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system for the test needs root";
    QTemporaryDir mountPoint;
    const QByteArray target = QFile::encodeName(mountPoint.path());
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    struct TUnmount {
        QByteArray Path;
        ~TUnmount() { ::umount(Path.constData()); }
    } unmount{target};

    const QString fileName = mountPoint.filePath(QStringLiteral("Quandrel.ini"));
    {
        TIniSettingsStore store(fileName);
        store.SetValue(Key, QStringLiteral("Old"), Text("kept"));
        ASSERT_EQ(FlushError(store), QString());
    }
    const QByteArray before = ReadAll(fileName);
    const QString filler = mountPoint.filePath(QStringLiteral("filler"));
    const struct {
        int bytes;
        unsigned long freePages; // beside the one the lock file takes
    } cases[] = {{2000, 0}, {60000, 2}};
    for (const auto& c : cases) {
        // The file system filled up to the free pages wanted.
        QFile::remove(filler);
        struct statvfs fs;
        ASSERT_EQ(::statvfs(target.constData(), &fs), 0);
        WriteFile(filler, QByteArray(qsizetype(fs.f_bavail - 1 - c.freePages) * qsizetype(fs.f_bsize), 'f'));
        ASSERT_EQ(::statvfs(target.constData(), &fs), 0);
        ASSERT_EQ(fs.f_bavail, 1 + c.freePages);

        TIniSettingsStore store(fileName);
        store.SetValue(Key, QStringLiteral("New"), QString(c.bytes, QLatin1Char('n')));
        const QString message = FlushError(store);
        EXPECT_TRUE(message.endsWith(QStringLiteral("No space left on device"))) << message.toStdString();
        EXPECT_EQ(ReadAll(fileName), before) << c.bytes;
        EXPECT_EQ(QDir(mountPoint.path()).entryList(QDir::Files),
                  (QStringList{QStringLiteral("filler"), QStringLiteral("Quandrel.ini")}));

        QFile::remove(filler);
        EXPECT_EQ(FlushError(store), QString()) << "once there is room again";
        EXPECT_EQ(TIniSettingsStore(fileName).Value(Key, QStringLiteral("New")), store.Value(Key, QStringLiteral("New")));
        ASSERT_TRUE(store.RemoveValue(Key, QStringLiteral("New")));
        ASSERT_EQ(FlushError(store), QString());
    }
}
