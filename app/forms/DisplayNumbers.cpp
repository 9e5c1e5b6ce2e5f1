#include "app/forms/DisplayNumbers.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// The locale's number symbols, looked up once per change of the default locale: a large sheet
// formats hundreds of thousands of numbers.
struct TSymbols {
    QLocale Locale;
    QString Decimal, Group, Minus, Zero;
};

const TSymbols& Symbols()
{
    thread_local TSymbols symbols{QLocale::c(), QString(), QString(), QString(), QString()};
    thread_local bool filled = false;
    const QLocale current;
    if (!filled || !(symbols.Locale == current)) {
        symbols = {current, current.decimalPoint(), current.groupSeparator(), current.negativeSign(),
                   current.zeroDigit()};
        filled = true;
    }
    return symbols;
}

// Adds one unit in the last place of a string of decimal digits; true when it carries out of
// the first digit ("999" becomes "000").
bool Increment(std::string& digits)
{
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

} // namespace

QString FormatDisplayNumber(double value, int decimals, bool grouped)
{
    decimals = std::max(decimals, 0);
    const TSymbols& symbols = Symbols();
    if (!std::isfinite(value))
        return symbols.Locale.toString(value);
    // 15 significant digits first: decimals beyond them are zeros, never the binary noise of
    // the double. Then rounded to the decimals shown, an exact half away from zero.
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
    const std::string text(buffer, written.ptr);
    const size_t e = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2); // 15 digits
    int exponent = std::stoi(text.substr(e + 1));
    if (value == 0)
        exponent = 0;
    // digits[k] has the place value 10^(exponent - k); keep those down to 10^-decimals.
    const int keep = exponent + 1 + decimals;
    if (keep < int(digits.size())) {
        const bool up = keep >= 0 && digits[size_t(keep)] >= '5';
        digits.resize(size_t(std::max(keep, 0)));
        if (keep < 0 || digits.empty()) {
            digits = up ? "1" : "0";
            exponent = up ? -decimals : 0;
            if (!up)
                digits.clear();
        } else if (up && Increment(digits)) {
            digits.insert(digits.begin(), '1');
            ++exponent;
        }
    }
    // Integer and fraction digits.
    std::string integer, fraction;
    for (int place = std::max(exponent, 0); place >= -decimals; --place) {
        const int k = exponent - place;
        const char digit = k >= 0 && k < int(digits.size()) ? digits[size_t(k)] : '0';
        (place >= 0 ? integer : fraction) += digit;
    }
    const bool negative = value < 0 && (integer.find_first_not_of('0') != std::string::npos ||
                                        fraction.find_first_not_of('0') != std::string::npos);
    QString result;
    result.reserve(int(integer.size() + integer.size() / 3 + fraction.size() + 4));
    if (negative)
        result += symbols.Minus;
    const char16_t zero = symbols.Zero.isEmpty() ? u'0' : symbols.Zero.at(0).unicode();
    for (size_t i = 0; i < integer.size(); ++i) {
        if (grouped && i > 0 && (integer.size() - i) % 3 == 0)
            result += symbols.Group;
        result += QChar(char16_t(zero + (integer[i] - '0')));
    }
    if (!fraction.empty()) {
        result += symbols.Decimal;
        for (const char digit : fraction)
            result += QChar(char16_t(zero + (digit - '0')));
    }
    return result;
}

bool ParseDisplayNumber(const QString& text, double& value)
{
    bool ok = false;
    const double read = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(read))
        return false;
    value = read;
    return true;
}
