#include "shared/core/IniSettingsStore.h"
#include "shared/core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A write beyond the file size limit is cut short, the way a disk that fills up part-way cuts it.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FSaved);
        rlimit small = FSaved;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FSaved{};
    void (*FOldHandler)(int) = nullptr;
};
} // namespace

TEST(IniSettingsStoreSaving, AWriteCutShortFailsWithTheReasonAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
    {
        TIniSettingsStore store(fileName);
        store.SetValue(QStringLiteral("Software/Old"), QStringLiteral("Kept"), QStringLiteral("yes"));
        store.Flush();
    }
    const QByteArray before = ReadAll(fileName);
    ASSERT_FALSE(before.isEmpty());

    TIniSettingsStore store(fileName);
    for (int i = 0; i < 100; ++i)
        store.SetValue(QStringLiteral("Software/New"), QStringLiteral("Value %1").arg(i), QString(40, QLatin1Char('x')));
    try {
        TFileSizeLimit limit(1000);
        store.Flush();
        FAIL() << "a write cut short was reported as success";
    } catch (const IOException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("File too large"))) << e.Message().toStdString();
    }
    EXPECT_EQ(ReadAll(fileName), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Quandrel.ini")});

    store.Flush();
    TIniSettingsStore reread(fileName);
    EXPECT_EQ(reread.Value(QStringLiteral("Software/New"), QStringLiteral("Value 99")), store.Value(QStringLiteral("Software/New"), QStringLiteral("Value 99")));
    EXPECT_TRUE(reread.HasValue(QStringLiteral("Software/Old"), QStringLiteral("Kept")));
}

TEST(IniSettingsStoreSaving, ASaveKeepsWhatAnotherInstanceSavedMeanwhile)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Quandrel.ini"));
    TIniSettingsStore first(fileName);
    TIniSettingsStore second(fileName);
    first.SetValue(QStringLiteral("Software/A"), QStringLiteral("Shared"), QStringLiteral("first"));
    first.SetValue(QStringLiteral("Software/A"), QStringLiteral("Mine"), QStringLiteral("first"));
    first.Flush();
    second.SetValue(QStringLiteral("Software/A"), QStringLiteral("Shared"), QStringLiteral("second"));
    second.Flush();
    const TIniSettingsStore reread(fileName);
    EXPECT_EQ(reread.Value(QStringLiteral("Software/A"), QStringLiteral("Mine")), TSettingsValue(QStringLiteral("first")));
    EXPECT_EQ(reread.Value(QStringLiteral("Software/A"), QStringLiteral("Shared")), TSettingsValue(QStringLiteral("second")));
}
