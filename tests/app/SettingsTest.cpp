#include "app/PrintFormUnit.h"
#include "app/Settings.h"
#include "shared/core/IniSettingsStore.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"
#include "support/MainWindowHarness.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <limits>

namespace {

const QString Key = QStringLiteral("\\SOFTWARE\\Orvanta\\Quandrel\\3");

TEST(Settings, SavedValuesReadBackInTheirStoredForm)
{
    TMemorySettingsStore store;
    {
        TSettings settings(store);
        settings.AutoUpdateConfigured = true;
        settings.CanCheckForAutoUpdate = true;
        settings.LastUpdateCheck = DateTime::Create(2026, 12, 6, 17, 45, 30, 250);
        settings.PageMargins = TMarginsRect::Make(-1, 2540, std::numeric_limits<int32_t>::max(), 0);
        settings.Landscape = true;
        settings.SaveSettings();
    }
    TSettingsRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(Key, false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("AutoUpdateConfigured")), 1);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("CanCheckForAutoUpdate")), 1);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Landscape")), 1);
    EXPECT_EQ(reg.ReadFloat(QStringLiteral("LastUpdateCheck")),
              DateTime::Create(2026, 12, 6, 17, 45, 30, 250).ToOADate());
    EXPECT_EQ(reg.ReadBinary(QStringLiteral("PageMargins")),
              QByteArray::fromHex("ffffffff"
                                  "ec090000"
                                  "ffffff7f"
                                  "00000000"));
}

// The user's settings outlive opening a document (which saves the recent-file list) and a print
// preview closed unchanged: every later read, and the next start, sees them.
TEST(Settings, OpeningADocumentAndPrintingKeepEverySetting)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Orvanta/Quandrel.ini"));
    const QString document = dir.filePath(QStringLiteral("tree.qdn"));
    const DateTime lastCheck{DateTime::Now().Ticks - DateTime::TicksPerDay};
    const TMarginsRect margins = TMarginsRect::Make(3000, 2000, 1500, 2500);
    {
        TIniSettingsStore store(fileName);
        TSettings settings(store);
        settings.AutoUpdateConfigured = settings.CanCheckForAutoUpdate = settings.Landscape = true;
        settings.LastUpdateCheck = lastCheck;
        settings.PageMargins = margins;
        settings.SaveSettings();
    }
    auto expectUserSettings = [&](TSettingsStore& store, const char* when) {
        const TSettings now(store);
        EXPECT_TRUE(now.AutoUpdateConfigured && now.CanCheckForAutoUpdate && now.Landscape) << when;
        EXPECT_EQ(now.LastUpdateCheck, lastCheck) << when;
        EXPECT_EQ(now.PageMargins, margins) << when;
    };
    {
        TMainWindowHarness h(std::make_unique<TIniSettingsStore>(fileName));
        h.Form->ExecuteSaveDialog = [&](const QString&) { return document; };
        ASSERT_TRUE(h.Form->SaveDocument(true));
        h.Form->ExecuteOpenDialog = [&] { return document; };
        h.Form->FileOpenMenuItemClick();
        expectUserSettings(TSettingsStore::Application(), "after opening");
        TSettingsRegistry reg(TSettingsStore::Application());
        ASSERT_TRUE(reg.OpenKey(Key + QStringLiteral("\\RecentFiles"), false));
        EXPECT_EQ(reg.ReadString(QStringLiteral("File 0")), document);

        SetPrinterListHook([] { return true; });
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        h.Form->FilePrintMenuItem->trigger();
        SetPrinterListHook({});
        expectUserSettings(TSettingsStore::Application(), "after printing");
        EXPECT_TRUE(h.Shown.empty());
    }
    TIniSettingsStore nextStart(fileName);
    expectUserSettings(nextStart, "at the next start");
}

} // namespace
