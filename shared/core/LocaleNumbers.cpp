#include "shared/core/LocaleNumbers.h"

#include "shared/core/NumberText.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <vector>

namespace {

constexpr int SignificantDigits = 15;

// Blanks that a locale grouping with a space may be typed with: whoever types a number types a
// plain blank, whoever copies it from the screen gets the locale's own.
bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\u00A0' || c == u'\u202F' || c == u'\u2009';
}

QLocale WithGrouping(const QLocale& locale, bool grouped)
{
    QLocale result(locale);
    result.setNumberOptions(grouped ? locale.numberOptions() & ~QLocale::NumberOptions(QLocale::OmitGroupSeparator)
                                    : locale.numberOptions() | QLocale::OmitGroupSeparator);
    return result;
}

// The locale's grouping, from how it writes a long and a short whole number.
void ReadGrouping(const QLocale& locale, TNumberSymbols& s)
{
    const QLocale grouped = WithGrouping(locale, true);
    const QStringList parts = grouped.toString(qlonglong(1234567890123456LL)).split(s.Group);
    if (parts.size() < 3) {
        s.Group.clear();
        return;
    }
    s.FirstGroup = int(parts.at(parts.size() - 1).size());
    s.OtherGroups = int(parts.at(parts.size() - 2).size());
    if (s.FirstGroup < 1 || s.OtherGroups < 1)
        s.FirstGroup = s.OtherGroups = 3;
    for (int least = 1; least <= 4; ++least) {
        if (grouped.toString(qlonglong(std::pow(10.0, s.FirstGroup + least - 1))).contains(s.Group)) {
            s.MinimumGrouping = least;
            break;
        }
    }
}

int DigitValue(QChar c, char16_t zero)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (zero != u'0' && c.unicode() >= zero && c.unicode() <= zero + 9)
        return c.unicode() - zero;
    return -1;
}

// A typed number taken apart: runs of digits and the separators between them, then an
// exponent.
struct TScanned {
    bool Negative = false;
    std::vector<std::string> Runs{std::string()};
    std::vector<QChar> Separators;
    std::string Exponent; // with its sign, empty when none
};

bool Scan(const QString& t, const TNumberSymbols& s, TScanned& out)
{
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (!s.Minus.isEmpty() && t.startsWith(s.Minus)) {
        out.Negative = true;
        i = s.Minus.size();
    } else if (t.at(0) == u'-' || t.at(0) == u'\u2212' || t.at(0) == u'+') {
        out.Negative = t.at(0) != u'+';
        i = 1;
    }
    for (; i < n; ++i) {
        const QChar c = t.at(i);
        if (const int d = DigitValue(c, s.Zero); d >= 0) {
            out.Runs.back() += char('0' + d);
        } else if (c == u'e' || c == u'E') {
            break;
        } else if (c == u'.' || c == u',' || c == s.Decimal.at(0) || (!s.Group.isEmpty() && c == s.Group.at(0)) ||
                   IsBlank(c) || c == u'\'') {
            out.Separators.push_back(c);
            out.Runs.emplace_back();
        } else {
            return false;
        }
    }
    // Only a decimal point may stand at either end of the digits, and never two separators
    // side by side.
    for (size_t r = 1; r + 1 < out.Runs.size(); ++r)
        if (out.Runs[r].empty())
            return false;
    bool anyDigit = false;
    for (const std::string& run : out.Runs)
        anyDigit = anyDigit || !run.empty();
    if (!anyDigit)
        return false;
    if (i < n) {
        ++i;
        if (i < n && (t.at(i) == u'-' || t.at(i) == u'+' || t.at(i) == u'\u2212'))
            out.Exponent += t.at(i++) == u'+' ? '+' : '-';
        if (i == n)
            return false;
        for (; i < n; ++i) {
            if (t.at(i) < u'0' || t.at(i) > u'9')
                return false;
            out.Exponent += char(t.at(i).unicode());
        }
    }
    return true;
}

// Digits before the first group separator: 1 to 3 of them, or as many as the locale's further
// groups hold, and not starting with 0; then groups of three, or the locale's own sizes.
bool GroupsCorrectly(const std::vector<std::string>& runs, size_t count, const TNumberSymbols& s)
{
    if (count <= 1)
        return true;
    if (runs[0].empty() || runs[0][0] == '0')
        return false;
    bool inThrees = runs[0].size() <= 3;
    for (size_t r = 1; r < count; ++r)
        inThrees = inThrees && runs[r].size() == 3;
    bool ownWay = runs[0].size() <= size_t(s.OtherGroups) && runs[count - 1].size() == size_t(s.FirstGroup);
    for (size_t r = 1; r + 1 < count; ++r)
        ownWay = ownWay && runs[r].size() == size_t(s.OtherGroups);
    return inThrees || ownWay;
}

// The number in the form documents keep (NumberText.h).
std::string InvariantText(bool negative, const std::string& whole, const std::string& fraction,
                          const std::string& exponent)
{
    std::string text = negative ? "-" : "";
    text += whole.empty() ? "0" : whole;
    if (!fraction.empty())
        text += "." + fraction;
    if (!exponent.empty())
        text += "e" + exponent;
    return text;
}

double ToDouble(const std::string& invariant)
{
    // The C library's reading, in the C locale whatever the process's own is.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(invariant.c_str(), nullptr, cLocale);
}

double ToDouble(bool negative, const std::string& whole, const std::string& fraction, const std::string& exponent)
{
    return ToDouble(InvariantText(negative, whole, fraction, exponent));
}

TLocaleNumber Refused()
{
    TLocaleNumber result;
    result.Kind = TNumberText::Invalid;
    return result;
}

TLocaleNumber Reading(std::string invariant)
{
    TLocaleNumber result;
    result.Value = ToDouble(invariant);
    result.Kind = std::isfinite(result.Value) ? TNumberText::Number : TNumberText::TooLarge;
    result.Invariant = std::move(invariant);
    return result;
}

TLocaleNumber Read(const QString& text, const TNumberSymbols& s)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    TScanned n;
    if (!Scan(t, s, n))
        return Refused();
    const QChar decimal = s.Decimal.at(0);
    const QChar group = s.Group.isEmpty() ? QChar() : s.Group.at(0);
    auto isGroup = [&](QChar c) {
        return !group.isNull() && c != decimal &&
               (c == group || (IsBlank(group) && IsBlank(c)) || (group == u'\u2019' && c == u'\''));
    };
    const size_t seps = n.Separators.size();

    // In the locale: group separators, then at most one decimal point.
    size_t point = seps;
    bool inLocale = true;
    for (size_t k = 0; k < seps && inLocale; ++k) {
        if (n.Separators[k] == decimal && k + 1 == seps)
            point = k;
        else
            inLocale = isGroup(n.Separators[k]);
    }
    const size_t wholeRuns = point + 1;
    if (inLocale && (wholeRuns == 1 || GroupsCorrectly(n.Runs, wholeRuns, s))) {
        std::string whole;
        for (size_t r = 0; r < wholeRuns; ++r)
            whole += n.Runs[r];
        // Only a decimal point stands at the end ("12,") or at the start (",5").
        if (point == seps && n.Runs.back().empty())
            return Refused();
        return Reading(InvariantText(n.Negative, whole, point < seps ? n.Runs.back() : std::string(), n.Exponent));
    }

    // In the other common convention: one separator, the decimal point of the other.
    const QChar other = decimal == u'.' ? u',' : u'.';
    if (seps != 1 || n.Separators[0] != other)
        return Refused();
    const std::string& whole = n.Runs[0];
    const std::string& fraction = n.Runs[1];
    TLocaleNumber result = Reading(InvariantText(n.Negative, whole, fraction, n.Exponent));
    // Three digits after the one separator could be a group of thousands, unless what stands before
    // it is a lone 0, which no grouping begins with ("0.125" under de_DE can only be 0,125).
    if (fraction.size() == 3 && !whole.empty() && whole != "0" && result.IsNumber()) {
        result.Kind = TNumberText::Ambiguous;
        result.AsFraction = result.Value;
        result.AsGrouped = ToDouble(n.Negative, whole + fraction, std::string(), n.Exponent);
        result.FractionDigits = 3;
        result.Value = 0;
        result.Invariant.clear();
    }
    return result;
}

} // namespace

TNumberSymbols TNumberSymbols::Of(const QLocale& locale)
{
    // The dialogs and views ask for one locale, over and over.
    thread_local QLocale lastLocale = QLocale::c();
    thread_local std::optional<TNumberSymbols> last;
    if (last && lastLocale == locale && lastLocale.numberOptions() == locale.numberOptions())
        return *last;
    TNumberSymbols s;
    s.Decimal = locale.decimalPoint();
    if (s.Decimal.isEmpty())
        s.Decimal = QStringLiteral(".");
    s.Minus = locale.negativeSign();
    const QString zero = locale.zeroDigit();
    s.Zero = zero.size() == 1 ? zero.at(0).unicode() : u'0';
    if (!locale.numberOptions().testFlag(QLocale::OmitGroupSeparator)) {
        s.Group = locale.groupSeparator();
        if (!s.Group.isEmpty())
            ReadGrouping(locale, s);
    }
    lastLocale = locale;
    last = s;
    return s;
}

const TNumberSymbols& TNumberSymbols::Current()
{
    thread_local QLocale locale = QLocale::c();
    thread_local std::optional<TNumberSymbols> symbols;
    const QLocale current;
    if (!symbols || !(locale == current)) {
        symbols = Of(current);
        locale = current;
    }
    return *symbols;
}

qsizetype TNumberSymbols::SeparatorCount(qsizetype digits) const
{
    if (Group.isEmpty() || digits < FirstGroup + MinimumGrouping)
        return 0;
    return 1 + (digits - FirstGroup - 1) / OtherGroups;
}

bool TNumberSymbols::SeparatorBefore(qsizetype right, qsizetype digits) const
{
    if (Group.isEmpty() || digits < FirstGroup + MinimumGrouping || right <= 0 || right >= digits)
        return false;
    return right == FirstGroup || (right > FirstGroup && (right - FirstGroup) % OtherGroups == 0);
}

QString TNumberSymbols::GroupDigits(QStringView digits) const
{
    const qsizetype count = digits.size();
    QString result;
    result.reserve(count + SeparatorCount(count) * Group.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (SeparatorBefore(count - i, count))
            result += Group;
        result += digits.at(i);
    }
    return result;
}

QString FormatLocaleNumber(double value, int decimals, const QLocale& locale)
{
    if (decimals < 0)
        decimals = 0;
    if (!std::isfinite(value))
        return locale.toString(value);
    // The digits that carry meaning: 15 significant ones, counted from the first non-zero digit.
    int meaningful = decimals;
    if (value != 0) {
        // Rounding to 15 significant digits first keeps 0.1 + 0.2 from showing as 0.30000000000000004.
        value = QLocale::c().toDouble(QString::number(value, 'g', SignificantDigits));
        const int exponent = int(std::floor(std::log10(std::fabs(value))));
        meaningful = std::max(0, std::min(decimals, SignificantDigits - 1 - exponent));
    }
    QString text = WithGrouping(locale, false).toString(value, 'f', meaningful);
    if (meaningful < decimals) {
        if (meaningful == 0)
            text += locale.decimalPoint();
        text += QString(locale.zeroDigit()).repeated(decimals - meaningful);
    }
    const TNumberSymbols s = TNumberSymbols::Of(locale);
    if (s.Group.isEmpty())
        return text;
    qsizetype begin = 0;
    while (begin < text.size() && DigitValue(text.at(begin), s.Zero) < 0)
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && DigitValue(text.at(end), s.Zero) >= 0)
        ++end;
    return text.left(begin) + s.GroupDigits(QStringView(text).mid(begin, end - begin)) + text.mid(end);
}

TLocaleNumber ReadLocaleNumber(const QString& text, const QLocale& locale)
{
    return Read(text, TNumberSymbols::Of(locale));
}

TLocaleNumber ReadLocaleMoney(const QString& text, const QString& currencySymbol, const QLocale& locale)
{
    const TNumberSymbols s = TNumberSymbols::Of(locale);
    const TLocaleNumber plain = Read(text, s);
    if (plain.Kind != TNumberText::Invalid)
        return plain;
    QString t = text;
    // The symbol is looked for only in what is no number as it stands: a symbol of digits or
    // separators would otherwise eat a part of the number.
    const qsizetype at = currencySymbol.isEmpty() ? -1 : t.indexOf(currencySymbol);
    if (at >= 0)
        t.remove(at, currencySymbol.size());
    t = t.trimmed();
    int signs = 0;
    if (t.startsWith(u'(') && t.endsWith(u')')) {
        ++signs;
        t = t.mid(1, t.size() - 2).trimmed();
    }
    auto isMinus = [&s](QChar c) { return c == u'-' || c == u'\u2212' || (s.Minus.size() == 1 && c == s.Minus.at(0)); };
    if (!t.isEmpty() && isMinus(t.back())) {
        ++signs;
        t.chop(1);
    } else if (!t.isEmpty() && isMinus(t.front())) {
        ++signs;
        t.remove(0, 1);
    }
    TLocaleNumber money = Read(t.trimmed(), s);
    if (signs > 1 || money.Kind == TNumberText::Invalid || money.Kind == TNumberText::Empty ||
        (signs > 0 && (money.Value < 0 || money.AsFraction < 0)))
        return plain;
    if (signs > 0) {
        if (!money.Invariant.empty() && money.Invariant.front() == '-')
            money.Invariant.erase(0, 1); // "-0" in brackets
        else
            money.Invariant.insert(0, 1, '-');
        money.Value = -money.Value;
        money.AsFraction = -money.AsFraction;
        money.AsGrouped = -money.AsGrouped;
    }
    return money;
}

std::optional<int64_t> ReadingToMoney(const TLocaleNumber& reading)
{
    int64_t money = 0;
    if (!reading.IsNumber() || ParseMoneyText(reading.Invariant, money) != TNumberTextResult::Ok)
        return std::nullopt;
    return money;
}

std::optional<double> ParseLocaleNumber(const QString& text, const QLocale& locale)
{
    const TLocaleNumber reading = ReadLocaleNumber(text, locale);
    if (!reading.IsNumber())
        return std::nullopt;
    return reading.Value;
}

QString NumberRefusal(const TLocaleNumber& reading, const QLocale& locale)
{
    switch (reading.Kind) {
    case TNumberText::Number:
        return QString();
    case TNumberText::Ambiguous:
        return LocaleNumberTexts::AmbiguousNumber.arg(FormatLocaleNumber(reading.AsFraction, reading.FractionDigits, locale),
                                                      FormatLocaleNumber(reading.AsGrouped, 0, locale));
    case TNumberText::TooLarge:
        return LocaleNumberTexts::TooLarge;
    case TNumberText::Empty:
    case TNumberText::Invalid:
        break;
    }
    return LocaleNumberTexts::InvalidNumber;
}
