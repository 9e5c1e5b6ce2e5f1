#include "support/MainWindowHarness.h"

#include "shared/core/IniSettingsStore.h"

#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(FirstStartTest, DesignedClientSize)
{
    TMainWindowHarness h;
    TMainForm& form = *h.Form;
    EXPECT_EQ(form.size(), QSize(660, 486 + form.menuBar()->sizeHint().height()));
}

// A settings file that cannot be kept, or is no settings file: the program starts all the same,
// says why, and leaves the file as it is.
TEST(FirstStartTest, ASettingsFileThatCannotBeKeptIsReportedAndLeftAsItIs)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString large = dir.filePath(QStringLiteral("large.ini"));
    ASSERT_TRUE(blocker.copy(large));
    ASSERT_TRUE(QFile::resize(large, TIniSettingsStore::MaxFileSize + 1));
    const struct {
        QString file;
        QString reason;
    } cases[] = {
        {dir.filePath(QStringLiteral("plain/Quandrel.ini")), QStringLiteral("Not a directory")},
        {pipe, QStringLiteral("is a named pipe")},
        {large, QStringLiteral("larger than the 8 MB")},
    };
    for (const auto& c : cases) {
        const qint64 size = QFileInfo(c.file).size();
        TMainWindowHarness h(std::make_unique<TIniSettingsStore>(c.file));
        ASSERT_NE(h.Form, nullptr);
        bool reported = false;
        for (const auto& [text, type] : h.Shown)
            reported = reported || (type == TMsgDlgType::Error && text.contains(c.file) && text.contains(c.reason));
        EXPECT_TRUE(reported) << c.file.toStdString();
        EXPECT_EQ(QFileInfo(c.file).size(), size);
    }
    EXPECT_FALSE(QFileInfo(pipe).isFile());
}
