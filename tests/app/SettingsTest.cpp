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

void ExpectDefaults(const TSettings& settings)
{
    EXPECT_FALSE(settings.AutoUpdateConfigured);
    EXPECT_FALSE(settings.CanCheckForAutoUpdate);
    EXPECT_EQ(settings.LastUpdateCheck.Ticks, 0);
    EXPECT_EQ(settings.PageMargins, TMarginsRect::Make(1000, 1000, 1000, 1000));
    EXPECT_FALSE(settings.Landscape);
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

TEST(Settings, ValuesOfTheWrongKindOrSizeOrOutsideTheCalendarReadAsDefaults)
{
    const QList<std::function<void(TSettingsRegistry&)>> corruptions = {
        [](TSettingsRegistry& reg) {
            reg.WriteString(QStringLiteral("AutoUpdateConfigured"), QStringLiteral("1"));
            reg.WriteBinary(QStringLiteral("CanCheckForAutoUpdate"), QByteArray(4, '\1'));
            reg.WriteInteger(QStringLiteral("LastUpdateCheck"), 45000);
            reg.WriteString(QStringLiteral("PageMargins"), QStringLiteral("1000,1000,1000,1000"));
            reg.WriteFloat(QStringLiteral("Landscape"), 1.0);
        },
        [](TSettingsRegistry& reg) {
            reg.WriteBinary(QStringLiteral("LastUpdateCheck"), QByteArray(4, '\0'));
            reg.WriteBinary(QStringLiteral("PageMargins"), QByteArray(15, '\1'));
        },
        [](TSettingsRegistry& reg) {
            reg.WriteFloat(QStringLiteral("LastUpdateCheck"), std::numeric_limits<double>::quiet_NaN());
            reg.WriteBinary(QStringLiteral("PageMargins"), QByteArray(17, '\1'));
        },
        [](TSettingsRegistry& reg) { reg.WriteFloat(QStringLiteral("LastUpdateCheck"), 1e300); },
        [](TSettingsRegistry& reg) { reg.WriteFloat(QStringLiteral("LastUpdateCheck"), -std::numeric_limits<double>::infinity()); },
    };
    for (qsizetype i = 0; i < corruptions.size(); ++i) {
        SCOPED_TRACE(i);
        TMemorySettingsStore store;
        TSettingsRegistry reg = OpenSettingsKey(store);
        corruptions[i](reg);
        ExpectDefaults(TSettings(store));
    }
}

} // namespace
