#include "shared/core/IniSettingsStore.h"
#include "shared/core/SystemErrors.h"

#include "shared/core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <unistd.h>
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

QMap<QString, QVariant> AllEntries(QSettings& settings)
{
    QMap<QString, QVariant> entries;
    for (const QString& key : settings.allKeys())
        entries.insert(key, settings.value(key));
    return entries;
}

[[noreturn]] void ThrowCannotWrite(const QString& fileName, const QString& reason)
{
    throw IOException(QStringLiteral("Cannot write the settings file \"%1\": %2").arg(fileName, reason));
}

// Writes all of content to file, answering the system's reason when any of it did not reach the disk.
QString WriteAll(QFileDevice& file, const QByteArray& content)
{
    errno = 0;
    const bool written = file.write(content) == content.size() && file.flush() && ::fsync(file.handle()) == 0;
    const int writeErrno = errno;
    return written ? QString() : SystemErrors::ReasonFor(file, writeErrno);
}
} // namespace

TIniSettingsStore::TIniSettingsStore(const QString& fileName)
    : FFileName(fileName)
{
    if (fileName.isEmpty())
        throw ArgumentException(QStringLiteral("The settings file needs a name"), QStringLiteral("fileName"));
    FScratch = std::make_unique<QTemporaryDir>();
    if (!FScratch->isValid())
        throw IOException(QStringLiteral("Cannot make a working copy of the settings file \"%1\": %2")
                              .arg(fileName, FScratch->errorString()));
    const QString copyName = FScratch->filePath(QStringLiteral("settings.ini"));
    QFile original(fileName);
    if (original.open(QIODevice::ReadOnly)) {
        QFile copy(copyName);
        const QString reason = copy.open(QIODevice::WriteOnly) ? WriteAll(copy, original.readAll())
                                                                : SystemErrors::ReasonFor(copy);
        if (!reason.isEmpty())
            throw IOException(QStringLiteral("Cannot make a working copy of the settings file \"%1\": %2")
                                  .arg(fileName, reason));
    }
    FSettings = std::make_unique<QSettings>(copyName, QSettings::IniFormat);
}

TIniSettingsStore::~TIniSettingsStore()
{
    if (FChanges.empty())
        return;
    try {
        Save();
    } catch (const Exception&) {
        // Nobody is left to tell; the old file is still whole.
    }
}

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
        if (!FSettings->contains(marker)) {
            Put(marker, MarkerText);
        }
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
    Drop(fullName);
    for (const auto& [key, value] : survivors)
        Put(key, value);
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
        Put(Join(dst, key), value);
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
    Put(Join(key, name), Encode(value));
}

bool TIniSettingsStore::RemoveValue(const QString& path, const QString& name)
{
    const QString full = Join(Normalized(path), name);
    if (!IsValidValueName(name) || !FSettings->contains(full))
        return false;
    RemoveEntry(full, false);
    return true;
}

void TIniSettingsStore::Put(const QString& key, const QVariant& value)
{
    FSettings->setValue(key, value);
    FChanges.emplace_back(key, value);
}

void TIniSettingsStore::Drop(const QString& name)
{
    FSettings->remove(name);
    FChanges.emplace_back(name, std::nullopt);
}

void TIniSettingsStore::Save()
{
    if (const auto kind = SystemErrors::KindOf(FFileName);
        kind != SystemErrors::TPathKind::Missing && kind != SystemErrors::TPathKind::RegularFile)
        ThrowCannotWrite(FFileName, SystemErrors::NotARegularFile(FFileName));
    // A link stays a link: the new file replaces the one it points to.
    const QFileInfo link(FFileName);
    const QFileInfo target(link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath());

    // Another instance may have saved since this one read the file: its entries stay, and this
    // one's changes are laid over them in the order they were made.
    QTemporaryFile base(FScratch->filePath(QStringLiteral("base-XXXXXX.ini")));
    if (!base.open())
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(base));
    if (target.exists()) {
        QFile current(target.absoluteFilePath());
        if (!current.open(QIODevice::ReadOnly))
            ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(current));
        if (const QString reason = WriteAll(base, current.readAll()); !reason.isEmpty())
            ThrowCannotWrite(FFileName, reason);
    }
    base.close();
    auto merged = std::make_unique<QSettings>(base.fileName(), QSettings::IniFormat);
    for (const auto& [key, value] : FChanges) {
        if (value)
            merged->setValue(key, *value);
        else
            merged->remove(key);
    }
    const QByteArray content = Rendered(*merged);

    if (!QDir().mkpath(target.absolutePath()))
        ThrowCannotWrite(FFileName, SystemErrors::WhyCannotWrite(FFileName));
    QTemporaryFile temp(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(temp));
    if (target.exists())
        temp.setPermissions(QFile::permissions(target.absoluteFilePath()));
    if (const QString reason = WriteAll(temp, content); !reason.isEmpty())
        ThrowCannotWrite(FFileName, reason);
    temp.close();
    if (!ReadsBackWhole(temp.fileName(), *merged))
        ThrowCannotWrite(FFileName, SystemErrors::WhyCannotWrite(FFileName));
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(errno));
    temp.setAutoRemove(false);
    FSettings = std::move(merged);
    FChanges.clear();
}

QByteArray TIniSettingsStore::Rendered(QSettings& settings) const
{
    // A fresh file each time: a copy QSettings cut short once would otherwise never be rewritten,
    // as it believes the file already holds what it wrote.
    QTemporaryFile file(FScratch->filePath(QStringLiteral("save-XXXXXX.ini")));
    if (!file.open())
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(file));
    file.close();
    {
        QSettings rendered(file.fileName(), QSettings::IniFormat);
        for (const QString& key : settings.allKeys())
            rendered.setValue(key, settings.value(key));
        rendered.sync();
        if (rendered.status() != QSettings::NoError)
            ThrowCannotWrite(FFileName, SystemErrors::WhyCannotWrite(file.fileName()));
    }
    if (!ReadsBackWhole(file.fileName(), settings))
        ThrowCannotWrite(FFileName, SystemErrors::WhyCannotWrite(file.fileName()));
    QFile copy(file.fileName());
    if (!copy.open(QIODevice::ReadOnly))
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(copy));
    return copy.readAll();
}

bool TIniSettingsStore::ReadsBackWhole(const QString& fileName, QSettings& settings) const
{
    QSettings written(fileName, QSettings::IniFormat);
    return written.status() == QSettings::NoError && AllEntries(written) == AllEntries(settings);
}

void TIniSettingsStore::Flush()
{
    if (!FChanges.empty())
        Save();
}
