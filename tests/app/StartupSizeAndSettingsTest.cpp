#include "support/MainWindowHarness.h"

#include "shared/core/IniSettingsStore.h"

#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FirstStartTest, DesignedClientSizeAndAnUnwritableSettingsFileReported)
{
    QTemporaryDir dir;
    {
        TMainWindowHarness h(std::make_unique<TIniSettingsStore>(dir.filePath(QStringLiteral("Quandrel.ini"))));
        TMainForm& form = *h.Form;
        EXPECT_EQ(form.size(), QSize(660, 486 + form.menuBar()->sizeHint().height()));
    }
    // The settings file's folder is a plain file: the file can never be written, and the program
    // starts all the same.
    QFile blocker(dir.filePath(QStringLiteral("Orvanta")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TMainWindowHarness h(std::make_unique<TIniSettingsStore>(dir.filePath(QStringLiteral("Orvanta/Quandrel.ini"))));
    ASSERT_NE(h.Form, nullptr);
    bool reported = false;
    for (const auto& [text, type] : h.Shown)
        reported = reported || (type == TMsgDlgType::Error && text.contains(QStringLiteral("Orvanta/Quandrel.ini")));
    EXPECT_TRUE(reported);
}
