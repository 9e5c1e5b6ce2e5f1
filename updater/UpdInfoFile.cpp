#include "updater/UpdInfoFile.h"

#include "updater/UpdUtils.h"

#include <QStringList>

namespace updInfoFile {

namespace {

QByteArray AsciiUpper(QByteArray s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

} // namespace

QByteArray ReadTag(const QByteArray& text, const QByteArray& tag, bool braced, const QByteArray& def)
{
    QByteArray key = AsciiUpper(tag) + '=';
    if (braced)
        key += '{';
    const qsizetype at = AsciiUpper(text).indexOf(key);
    QByteArray value;
    if (at >= 0) {
        const qsizetype start = at + key.size();
        qsizetype end = start;
        while (end < text.size() &&
               (braced ? text[end] != '}' : static_cast<unsigned char>(text[end]) >= 32))
            ++end;
        value = text.mid(start, end - start);
    }
    return value.isEmpty() ? def : value;
}

std::optional<QDate> ParseUpdateDate(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3)
        return std::nullopt;
    bool ok[3];
    const int month = parts[0].toInt(&ok[0]), day = parts[1].toInt(&ok[1]), year = parts[2].toInt(&ok[2]);
    const QDate date(year, month, day);
    if (!ok[0] || !ok[1] || !ok[2] || !date.isValid())
        return std::nullopt;
    return date;
}

QString FormatUpdateDate(const QDate& date)
{
    return QStringLiteral("%1/%2/%3")
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

std::optional<bool> IsNewer(const QByteArray& text, TupdAutoUpdaterVersionControl control,
                            const QString& versionNumber, const QString& versionDate)
{
    if (control == TupdAutoUpdaterVersionControl::byNumber)
        return updUtils::CompareVersions(QString::fromUtf8(ReadTag(text, "#version", false)), versionNumber) > 0;
    const auto published = ParseUpdateDate(QString::fromUtf8(ReadTag(text, "#date", false)));
    const auto running = ParseUpdateDate(versionDate);
    if (!published || !running)
        return std::nullopt;
    return *running < *published;
}

QStringList FileEntries(const QByteArray& text)
{
    QStringList entries;
    auto add = [&](const QByteArray& value) {
        const QString s = QString::fromUtf8(value);
        if (!s.isEmpty() && !entries.contains(s, Qt::CaseInsensitive))
            entries << s;
    };
    add(ReadTag(text, "#url", false));
    add(ReadTag(text, "#url0", false));
    for (int n = int(entries.size()) + 1;; ++n) {
        const QByteArray value = ReadTag(text, "#url" + QByteArray::number(n), false);
        if (value.isEmpty())
            break;
        add(value);
    }
    return entries;
}

TupdUpgradeMethod Method(const QByteArray& text)
{
    const QByteArray method = ReadTag(text, "#method", false);
    if (method.startsWith('1'))
        return TupdUpgradeMethod::umUseExternalSetup;
    if (method.startsWith('2'))
        return TupdUpgradeMethod::umRedirectToURL;
    return TupdUpgradeMethod::umSelfUpgrade;
}

} // namespace updInfoFile
