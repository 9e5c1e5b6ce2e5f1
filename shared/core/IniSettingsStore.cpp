#include "shared/core/IniSettingsStore.h"
#include "shared/core/SystemErrors.h"

#include "shared/core/Exceptions.h"

#include <QSettings>
#include <QStandardPaths>
#include <utility>
#include <vector>

const QString TIniSettingsStore::KeyMarker = QStringLiteral(".");

namespace {
const QLatin1String StringTag("sz:");
const QLatin1String IntegerTag("dword:");
const QLatin1String BinaryTag("hex:");
const QLatin1String MarkerText("key");

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('/') + name;
}

QString Normalized(const QString& path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

QString ParentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

bool IsHexDigits(QStringView text)
{
    for (QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    return true;
}

QString Encode(const TSettingsValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return StringTag + *text;
    if (const auto* number = std::get_if<int32_t>(&value))
        return IntegerTag + QStringLiteral("%1").arg(uint32_t(*number), 8, 16, QLatin1Char('0'));
    return BinaryTag + QString::fromLatin1(std::get<QByteArray>(value).toHex());
}

std::optional<TSettingsValue> Decode(const QVariant& stored)
{
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = stored.toString();
    if (text.startsWith(StringTag))
        return TSettingsValue(text.mid(StringTag.size()));
    if (text.startsWith(IntegerTag)) {
        const QStringView digits = QStringView(text).mid(IntegerTag.size());
        if (digits.isEmpty() || digits.size() > 8 || !IsHexDigits(digits))
            return std::nullopt;
        return TSettingsValue(int32_t(digits.toUInt(nullptr, 16)));
    }
    if (text.startsWith(BinaryTag)) {
        const QStringView digits = QStringView(text).mid(BinaryTag.size());
        if (digits.size() % 2 != 0 || !IsHexDigits(digits))
            return std::nullopt;
        return TSettingsValue(QByteArray::fromHex(digits.toLatin1()));
    }
    return std::nullopt;
}

class TGroupScope {
public:
    TGroupScope(QSettings& settings, const QString& path) : FSettings(settings) { FSettings.beginGroup(path); }
    ~TGroupScope() { FSettings.endGroup(); }
    TGroupScope(const TGroupScope&) = delete;
    TGroupScope& operator=(const TGroupScope&) = delete;

private:
    QSettings& FSettings;
};

// Every entry below `path`, with names relative to it.
std::vector<std::pair<QString, QVariant>> EntriesBelow(QSettings& settings, const QString& path)
{
    std::vector<std::pair<QString, QVariant>> entries;
    TGroupScope scope(settings, path);
    for (const QString& key : settings.allKeys())
        entries.emplace_back(key, settings.value(key));
    return entries;
}
} // namespace

TIniSettingsStore::TIniSettingsStore(const QString& fileName)
    : FFileName(fileName)
{
    if (fileName.isEmpty())
        throw ArgumentException(QStringLiteral("The settings file needs a name"), QStringLiteral("fileName"));
    FSettings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

TIniSettingsStore::~TIniSettingsStore() = default;

QString TIniSettingsStore::DefaultFileName()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return QString();
    return folder + QStringLiteral("/Orvanta/Quandrel.ini");
}

bool TIniSettingsStore::HasKey(const QString& path) const
{
    const QString key = Normalized(path);
    if (key.isEmpty())
        return true;
    TGroupScope scope(*FSettings, key);
    return !FSettings->childKeys().isEmpty() || !FSettings->childGroups().isEmpty();
}

void TIniSettingsStore::CreateKey(const QString& path)
{
    QString prefix;
    for (const QString& segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        prefix = Join(prefix, segment);
        const QString marker = Join(prefix, KeyMarker);
        if (!FSettings->contains(marker))
            FSettings->setValue(marker, MarkerText);
    }
}

void TIniSettingsStore::RemoveEntry(const QString& fullName, bool group)
{
    std::vector<std::pair<QString, QVariant>> survivors;
    if (group) {
        if (FSettings->contains(fullName))
            survivors.emplace_back(fullName, FSettings->value(fullName));
    } else {
        for (auto& [key, value] : EntriesBelow(*FSettings, fullName))
            survivors.emplace_back(Join(fullName, key), std::move(value));
    }
    FSettings->remove(fullName);
    for (const auto& [key, value] : survivors)
        FSettings->setValue(key, value);
}

bool TIniSettingsStore::RemoveKey(const QString& path)
{
    const QString key = Normalized(path);
    if (key.isEmpty())
        throw ArgumentException(QStringLiteral("The root key cannot be removed"), QStringLiteral("path"));
    if (!HasKey(key))
        return false;
    RemoveEntry(key, true);
    return true;
}

void TIniSettingsStore::RenameKey(const QString& from, const QString& to)
{
    const QString src = Normalized(from);
    const QString dst = Normalized(to);
    if (src.isEmpty() || dst.isEmpty() || dst == src || dst.startsWith(src + QLatin1Char('/')))
        throw ArgumentException(QStringLiteral("Cannot rename key \"%1\" to \"%2\"").arg(from, to));
    if (!HasKey(src))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" does not exist").arg(from));
    if (HasKey(dst))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" already exists").arg(to));
    const auto entries = EntriesBelow(*FSettings, src);
    CreateKey(ParentOf(dst));
    for (const auto& [key, value] : entries)
        FSettings->setValue(Join(dst, key), value);
    RemoveEntry(src, true);
}

QStringList TIniSettingsStore::SubKeyNames(const QString& path) const
{
    TGroupScope scope(*FSettings, Normalized(path));
    return FSettings->childGroups();
}

QStringList TIniSettingsStore::ValueNames(const QString& path) const
{
    TGroupScope scope(*FSettings, Normalized(path));
    QStringList names = FSettings->childKeys();
    names.removeAll(KeyMarker);
    return names;
}

bool TIniSettingsStore::HasValue(const QString& path, const QString& name) const
{
    return IsValidValueName(name) && FSettings->contains(Join(Normalized(path), name));
}

std::optional<TSettingsValue> TIniSettingsStore::Value(const QString& path, const QString& name) const
{
    if (!IsValidValueName(name))
        return std::nullopt;
    const QVariant stored = FSettings->value(Join(Normalized(path), name));
    if (!stored.isValid())
        return std::nullopt;
    return Decode(stored);
}

void TIniSettingsStore::SetValue(const QString& path, const QString& name, const TSettingsValue& value)
{
    if (!IsValidValueName(name))
        throw ArgumentException(QStringLiteral("Invalid value name \"%1\"").arg(name), QStringLiteral("name"));
    const QString key = Normalized(path);
    CreateKey(key);
    FSettings->setValue(Join(key, name), Encode(value));
}

bool TIniSettingsStore::RemoveValue(const QString& path, const QString& name)
{
    const QString full = Join(Normalized(path), name);
    if (!IsValidValueName(name) || !FSettings->contains(full))
        return false;
    RemoveEntry(full, false);
    return true;
}

void TIniSettingsStore::Flush()
{
    FSettings->sync();
    if (FSettings->status() == QSettings::AccessError)
        throw IOException(QStringLiteral("Cannot write the settings file \"%1\": %2")
                              .arg(FFileName, SystemErrors::WhyCannotWrite(FFileName)));
}
