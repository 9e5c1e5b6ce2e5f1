#include "app/Settings.h"
#include "shared/core/IniSettingsStore.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {

const QString Key = QStringLiteral("\\SOFTWARE\\Orvanta\\Quandrel\\3");

TSettingsRegistry OpenSettingsKey(TSettingsStore& store)
{
    TSettingsRegistry reg(store);
    EXPECT_TRUE(reg.OpenKey(Key, true));
    return reg;
}

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
    TSettingsRegistry reg = OpenSettingsKey(store);
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

    TSettings again(store);
    EXPECT_TRUE(again.AutoUpdateConfigured);
    EXPECT_TRUE(again.CanCheckForAutoUpdate);
    EXPECT_EQ(again.LastUpdateCheck, DateTime::Create(2026, 12, 6, 17, 45, 30, 250));
    EXPECT_EQ(again.PageMargins, TMarginsRect::Make(-1, 2540, std::numeric_limits<int32_t>::max(), 0));
    EXPECT_TRUE(again.Landscape);
}

} // namespace
