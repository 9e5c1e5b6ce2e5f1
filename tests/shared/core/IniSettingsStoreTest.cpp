#include "shared/core/IniSettingsStore.h"
#include "shared/core/Exceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TmpfsMount.h"
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
                                  "[SOFTWARE]\nNaN=@Variant(\\0\\0\\0\\x6\\x7f\\xf8\\0\\0\\0\\0\\0\\0)\n"}) {
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
    }
}

// The second process of the test below: it saves values one at a time.
TEST(IniSettingsStore, SavingProcess)
{
    const QStringList job = qEnvironmentVariable("QD_SETTINGS_WRITER").split(QLatin1Char('|'));
    if (job.size() != 2)
        GTEST_SKIP() << "runs only as a process started by TwoProcessesSavingAtOnceKeepEveryValue";
    TIniSettingsStore store(job[0]);
    for (int i = 0; i < 50; ++i) {
        store.SetValue(Key, job[1] + QString::number(i), i);
        store.Flush();
    }
}

TEST(IniSettingsStore, TwoProcessesSavingAtOnceKeepEveryValue)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
    QProcess writers[2];
    for (int w = 0; w < 2; ++w) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QD_SETTINGS_WRITER"), QStringLiteral("%1|W%2-").arg(fileName).arg(w));
        writers[w].setProcessEnvironment(env);
        writers[w].start(QCoreApplication::applicationFilePath(), {"--gtest_filter=IniSettingsStore.SavingProcess"});
    }
    for (QProcess& writer : writers)
        ASSERT_TRUE(writer.waitForFinished(120000) && writer.exitCode() == 0);
    const TIniSettingsStore store(fileName);
    EXPECT_EQ(store.ValueNames(Key).size(), 100);
    EXPECT_FALSE(QFile::exists(store.LockFileName()));
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
    // Bytes to save, and pages left free beside the one the lock file takes.
    for (const auto& [bytes, freePages] : {std::pair{2000, 0UL}, std::pair{60000, 2UL}}) {
        struct statvfs fs;
        ASSERT_TRUE(disk.Fill(qint64(1 + freePages) * 4096));
        ASSERT_TRUE(::statvfs(target.constData(), &fs) == 0 && fs.f_bavail == 1 + freePages);
        store.SetValue(Key, QStringLiteral("New"), QString(bytes, QLatin1Char('n')));
        const QString message = FlushError(store);
        EXPECT_TRUE(message.endsWith(QStringLiteral("No space left on device"))) << message.toStdString();
        EXPECT_EQ(ReadAll(fileName), before) << bytes;
        EXPECT_EQ(QDir(disk.Folder()).entryList(QDir::Files), QStringList{"Quandrel.ini"});

        disk.Unfill();
        EXPECT_EQ(FlushError(store), QString()) << "once there is room again";
        EXPECT_EQ(TIniSettingsStore(fileName).Value(Key, QStringLiteral("New")), store.Value(Key, QStringLiteral("New")));
        ASSERT_TRUE(store.RemoveValue(Key, QStringLiteral("New")));
        ASSERT_EQ(FlushError(store), QString());
    }
}
