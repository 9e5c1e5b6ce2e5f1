#include "shared/core/StringHelpers.h"

#include "shared/core/Exceptions.h"
#include "shared/core/Path.h"

#include <QFileInfo>

#include <charconv>
#include <cmath>

#ifndef QD_VERSION_MAJOR
#define QD_VERSION_MAJOR 0
#endif
#ifndef QD_VERSION_MINOR
#define QD_VERSION_MINOR 0
#endif
#ifndef QD_VERSION_PATCH
#define QD_VERSION_PATCH 0
#endif
#ifndef QD_VERSION_TWEAK
#define QD_VERSION_TWEAK 0
#endif
#ifndef QD_PRERELEASE
#define QD_PRERELEASE 0
#endif

namespace {

// The field's number after its leading blanks, or -1 when it is not a plain decimal number.
int ParseDateField(const QString& text, qsizetype from, qsizetype length)
{
    qsizetype i = from;
    const qsizetype end = from + length;
    while (i < end && text[i] == u' ')
        ++i;
    if (i == end)
        return -1;
    int value = 0;
    for (; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

void RequireFinite(double value)
{
    if (!std::isfinite(value))
        throw EConvertError(QStringLiteral("A number that is not finite has no text form"));
}

// to_chars writes "1.5e+20" and "1e-07"; documents carry "1.5E20" and "1E-7".
QString WithCompactExponent(const char* begin, const char* end)
{
    const char* e = begin;
    while (e != end && *e != 'e')
        ++e;
    QString result = QString::fromLatin1(begin, e - begin);
    if (e == end)
        return result;
    result += u'E';
    const char* p = e + 1;
    if (p != end && *p == '-')
        result += u'-';
    if (p != end && (*p == '-' || *p == '+'))
        ++p;
    while (p + 1 < end && *p == '0')
        ++p;
    result += QString::fromLatin1(p, end - p);
    return result;
}

[[noreturn]] void RaiseNotAFloat(const QString& text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

} // namespace

QString DateToYMDString(TDateTime date)
{
    if (date == 0)
        return QString(QLatin1StringView(""));
    const DateValue::TDecoded d = DateValue::Decode(date);
    return QString::number(d.Year).rightJustified(4, u' ') + QString::number(d.Month).rightJustified(2, u' ')
           + QString::number(d.Day).rightJustified(2, u' ');
}

TDateTime YMDStringToDate(const QString& text)
{
    if (text.size() < 8)
        return 0;
    const int year = ParseDateField(text, 0, 4);
    const int month = ParseDateField(text, 4, 2);
    const int day = ParseDateField(text, 6, 2);
    if (year < 0 || month < 0 || day < 0)
        return 0;
    try {
        return DateValue::EncodeDate(year, month, day);
    } catch (const ArgumentOutOfRangeException&) {
        return 0;
    }
}

QString FloatToInvariantString(double value)
{
    RequireFinite(value);
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    char buffer[64];
    // The general form with 15 significant digits: trailing zeros dropped, scientific notation
    // below 1E-4 and from 1E15 on.
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return WithCompactExponent(buffer, r.ptr);
}

QString FloatToRoundTripString(double value)
{
    RequireFinite(value);
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return WithCompactExponent(buffer, r.ptr);
}

double InvariantStringToFloat(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    if (begin < end && text[begin] == u'+') {
        ++begin;
        if (begin < end && text[begin] == u'-')
            RaiseNotAFloat(text);
    }
    // Only digits, one sign, the point and the exponent may appear: this keeps out "inf",
    // "nan", hexadecimal forms and a second sign.
    char buffer[128];
    if (begin == end || end - begin >= qsizetype(sizeof buffer))
        RaiseNotAFloat(text);
    qsizetype n = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        const bool allowed = (c >= u'0' && c <= u'9') || c == u'.' || c == u'e' || c == u'E' || c == u'+' || c == u'-';
        if (!allowed)
            RaiseNotAFloat(text);
        buffer[n++] = char(c);
    }
    double value = 0;
    const auto r = std::from_chars(buffer, buffer + n, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != buffer + n || !std::isfinite(value))
        RaiseNotAFloat(text);
    return value;
}

QString GetProgramVersion(int partCount)
{
    // "+ 0" keeps an empty definition (no fourth version part) a valid expression.
    const int parts[4] = {QD_VERSION_MAJOR + 0, QD_VERSION_MINOR + 0, QD_VERSION_PATCH + 0, QD_VERSION_TWEAK + 0};
    QString result = QString::number(parts[0]);
    for (int i = 1; i < 4 && i < partCount; ++i)
        result += u'.' + QString::number(parts[i]);
    return result;
}

bool IsPreReleaseBuild()
{
    return QD_PRERELEASE + 0 != 0;
}

QString WithTypeExtension(const QString& fileName, const QStringList& extensions, const QString& typeExtension)
{
    if (typeExtension.isEmpty() || extensions.contains(QFileInfo(fileName).suffix(), Qt::CaseInsensitive))
        return fileName;
    return fileName + QLatin1Char('.') + typeExtension;
}

QString SanitizeFileName(const QString& text)
{
    const TDynCharArray invalid = Path::GetInvalidPathChars();
    QString result = text;
    for (QChar& c : result)
        if (invalid.contains(c))
            c = u'_';
    if (result.size() > 70)
        result.truncate(result[69].isHighSurrogate() ? 69 : 70);
    if (result.isEmpty())
        return QStringLiteral("_");
    return result;
}

bool HasPrefix(QString& s, const QString& prefix, bool strip)
{
    if (prefix.isEmpty())
        return true;
    if (!s.startsWith(prefix, Qt::CaseSensitive))
        return false;
    if (strip)
        s.remove(0, prefix.size());
    return true;
}

TFontStyles StringToFontStyles(const QString& text)
{
    const QString upper = text.toUpper();
    TFontStyles styles;
    if (upper.contains(QLatin1StringView("BOLD")))
        styles.Include(fsBold);
    if (upper.contains(QLatin1StringView("ITALIC")))
        styles.Include(fsItalic);
    if (upper.contains(QLatin1StringView("UNDERLINE")))
        styles.Include(fsUnderline);
    if (upper.contains(QLatin1StringView("STRIKEOUT")))
        styles.Include(fsStrikeOut);
    return styles;
}
