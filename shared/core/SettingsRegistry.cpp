#include "shared/core/SettingsRegistry.h"

#include "shared/core/Exceptions.h"

#include <QtEndian>
#include <cstring>

const QString TSettingsRegistry::PartialKeySuffix = QStringLiteral("~partial");

QString TSettingsRegistry::ToStorePath(const QString& base, const QString& key)
{
    QStringList segments;
    if (!key.startsWith(QLatin1Char('\\')))
        segments = base.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    segments += key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return segments.join(QLatin1Char('/'));
}

void TSettingsRegistry::CheckValueName(const QString& name)
{
    if (!TSettingsStore::IsValidValueName(name))
        throw ArgumentException(QStringLiteral("Invalid value name \"%1\"").arg(name), QStringLiteral("name"));
}

bool TSettingsRegistry::OpenKey(const QString& key, bool canCreate)
{
    const QString path = PathOf(key);
    if (!FStore.HasKey(path)) {
        if (!canCreate)
            return false;
        FStore.CreateKey(path);
    }
    FCurrentPath = path;
    return true;
}

QString TSettingsRegistry::CurrentKey() const
{
    return QString(FCurrentPath).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

bool TSettingsRegistry::KeyExists(const QString& key) const
{
    return FStore.HasKey(PathOf(key));
}

bool TSettingsRegistry::CreateKey(const QString& key)
{
    FStore.CreateKey(PathOf(key));
    return true;
}

bool TSettingsRegistry::DeleteKey(const QString& key)
{
    const QString path = PathOf(key);
    if (path.isEmpty())
        return false;
    return FStore.RemoveKey(path);
}

QStringList TSettingsRegistry::GetKeyNames() const
{
    return FStore.SubKeyNames(FCurrentPath);
}

QStringList TSettingsRegistry::GetValueNames() const
{
    return FStore.ValueNames(FCurrentPath);
}

bool TSettingsRegistry::ValueExists(const QString& name) const
{
    return FStore.HasValue(FCurrentPath, name);
}

bool TSettingsRegistry::DeleteValue(const QString& name)
{
    return FStore.RemoveValue(FCurrentPath, name);
}

std::optional<QString> TSettingsRegistry::ReadString(const QString& name) const
{
    const auto value = FStore.Value(FCurrentPath, name);
    if (!value || !std::holds_alternative<QString>(*value))
        return std::nullopt;
    return std::get<QString>(*value);
}

std::optional<int32_t> TSettingsRegistry::ReadInteger(const QString& name) const
{
    const auto value = FStore.Value(FCurrentPath, name);
    if (!value || !std::holds_alternative<int32_t>(*value))
        return std::nullopt;
    return std::get<int32_t>(*value);
}

std::optional<bool> TSettingsRegistry::ReadBool(const QString& name) const
{
    const auto value = ReadInteger(name);
    if (!value)
        return std::nullopt;
    return *value != 0;
}

std::optional<double> TSettingsRegistry::ReadFloat(const QString& name) const
{
    const auto bytes = ReadBinary(name);
    if (!bytes || bytes->size() != qsizetype(sizeof(double)))
        return std::nullopt;
    const quint64 bits = qFromLittleEndian<quint64>(bytes->constData());
    double result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

std::optional<QByteArray> TSettingsRegistry::ReadBinary(const QString& name) const
{
    const auto value = FStore.Value(FCurrentPath, name);
    if (!value || !std::holds_alternative<QByteArray>(*value))
        return std::nullopt;
    return std::get<QByteArray>(*value);
}

void TSettingsRegistry::WriteString(const QString& name, const QString& value)
{
    CheckValueName(name);
    FStore.SetValue(FCurrentPath, name, value);
}

void TSettingsRegistry::WriteInteger(const QString& name, int32_t value)
{
    CheckValueName(name);
    FStore.SetValue(FCurrentPath, name, value);
}

void TSettingsRegistry::WriteBool(const QString& name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

void TSettingsRegistry::WriteFloat(const QString& name, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray bytes(sizeof bits, '\0');
    qToLittleEndian(bits, bytes.data());
    WriteBinary(name, bytes);
}

void TSettingsRegistry::WriteBinary(const QString& name, const QByteArray& value)
{
    CheckValueName(name);
    FStore.SetValue(FCurrentPath, name, value);
}

void TSettingsRegistry::CopyTree(const QString& from, const QString& to)
{
    FStore.CreateKey(to);
    for (const QString& name : FStore.ValueNames(from))
        if (const auto value = FStore.Value(from, name))
            FStore.SetValue(to, name, *value);
    for (const QString& sub : FStore.SubKeyNames(from))
        CopyTree(from + QLatin1Char('/') + sub, to + QLatin1Char('/') + sub);
}

void TSettingsRegistry::CopyKey(const QString& from, const QString& to)
{
    CopyPath(PathOf(from), PathOf(to));
}

void TSettingsRegistry::CopyPath(const QString& src, const QString& dst)
{
    if (!FStore.HasKey(src))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" does not exist").arg(src));
    if (FStore.HasKey(dst))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" already exists").arg(dst));
    if (src.isEmpty() || dst == src || dst.startsWith(src + QLatin1Char('/')))
        throw ArgumentException(QStringLiteral("Cannot copy key \"%1\" into itself").arg(src));
    CopyTree(src, dst);
}

void TSettingsRegistry::RenameKey(const QString& from, const QString& to)
{
    FStore.RenameKey(PathOf(from), PathOf(to));
}

void TSettingsRegistry::MoveKey(const QString& from, const QString& to, bool deleteOld)
{
    const QString src = PathOf(from);
    const QString dst = PathOf(to);
    if (!FStore.HasKey(src) || FStore.HasKey(dst))
        return;
    const QString partial = dst + PartialKeySuffix;
    if (FStore.HasKey(partial))
        FStore.RemoveKey(partial);
    CopyPath(src, partial);
    FStore.RenameKey(partial, dst);
    if (deleteOld)
        FStore.RemoveKey(src);
}
