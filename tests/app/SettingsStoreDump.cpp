#include "SettingsStoreDump.h"

namespace {
QString Describe(const std::optional<TSettingsValue>& value)
{
    if (!value)
        return QStringLiteral("<unreadable>");
    if (const auto* text = std::get_if<QString>(&*value))
        return QStringLiteral("sz:") + *text;
    if (const auto* number = std::get_if<int32_t>(&*value))
        return QStringLiteral("int:%1").arg(*number);
    return QStringLiteral("bin:") + QString::fromLatin1(std::get<QByteArray>(*value).toHex());
}

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('/') + name;
}

// `shown` is `path` as it appears in the lines: relative to where the dump started.
void Dump(const TSettingsStore& store, const QString& path, const QString& shown, QStringList& lines)
{
    for (const QString& name : store.ValueNames(path))
        lines << shown + QLatin1Char('|') + name + QLatin1Char('=') + Describe(store.Value(path, name));
    for (const QString& sub : store.SubKeyNames(path)) {
        lines << Join(shown, sub) + QLatin1Char('/');
        Dump(store, Join(path, sub), Join(shown, sub), lines);
    }
}
} // namespace

QStringList DumpStore(const TSettingsStore& store, const QString& path)
{
    QStringList lines;
    Dump(store, path, QString(), lines);
    lines.sort();
    return lines;
}
