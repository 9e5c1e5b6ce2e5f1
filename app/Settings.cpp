#include "app/Settings.h"

#include "shared/core/SettingsRegistry.h"

#include <QtEndian>
#include <exception>

const QString TSettings::RegistryKey = QStringLiteral("SOFTWARE\\Orvanta\\Quandrel\\3");

namespace {
const QString AutoUpdateConfiguredName = QStringLiteral("AutoUpdateConfigured");
const QString CanCheckForAutoUpdateName = QStringLiteral("CanCheckForAutoUpdate");
const QString LastUpdateCheckName = QStringLiteral("LastUpdateCheck");
const QString PageMarginsName = QStringLiteral("PageMargins");
const QString LandscapeName = QStringLiteral("Landscape");

// Four little-endian 32-bit integers: Left, Top, Right, Bottom.
constexpr qsizetype MarginsSize = 16;

QByteArray MarginsToBytes(const TMarginsRect& margins)
{
    QByteArray bytes(MarginsSize, '\0');
    const int32_t parts[4] = {margins.Left, margins.Top, margins.Right, margins.Bottom};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(parts[i], bytes.data() + 4 * i);
    return bytes;
}

TMarginsRect MarginsFromBytes(const QByteArray& bytes)
{
    auto part = [&](int i) { return int32_t(qFromLittleEndian<qint32>(bytes.constData() + 4 * i)); };
    return TMarginsRect::Make(part(0), part(1), part(2), part(3));
}
} // namespace

TSettings::TSettings() : TSettings(TSettingsStore::Application()) {}

TSettings::TSettings(TSettingsStore& store) : FStore(store)
{
    LoadSettings();
}

void TSettings::LoadSettings()
{
    TSettingsRegistry reg(FStore);
    // Reading opens the key with creation allowed, as writing does.
    reg.OpenKey(QLatin1Char('\\') + RegistryKey, true);

    AutoUpdateConfigured = reg.ReadBool(AutoUpdateConfiguredName).value_or(false);
    CanCheckForAutoUpdate = reg.ReadBool(CanCheckForAutoUpdateName).value_or(false);

    LastUpdateCheck = DateTime();
    if (const auto day = reg.ReadFloat(LastUpdateCheckName)) {
        try {
            LastUpdateCheck = DateTime::FromOADate(*day);
        } catch (const std::exception&) {
            // A day count outside the calendar is as good as none.
        }
    }

    const auto margins = reg.ReadBinary(PageMarginsName);
    PageMargins = margins && margins->size() == MarginsSize ? MarginsFromBytes(*margins) : DefaultPageMargins;

    Landscape = reg.ReadBool(LandscapeName).value_or(false);
}

void TSettings::SaveSettings()
{
    TSettingsRegistry reg(FStore);
    reg.OpenKey(QLatin1Char('\\') + RegistryKey, true);
    reg.WriteBool(AutoUpdateConfiguredName, AutoUpdateConfigured);
    reg.WriteBool(CanCheckForAutoUpdateName, CanCheckForAutoUpdate);
    reg.WriteFloat(LastUpdateCheckName, LastUpdateCheck.ToOADate());
    reg.WriteBinary(PageMarginsName, MarginsToBytes(PageMargins));
    reg.WriteBool(LandscapeName, Landscape);
    reg.Flush();
}
