#include "app/forms/GridNumbers.h"

#include "shared/core/LocaleNumbers.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// True when value lies exactly half-way between two numbers with `decimals` decimals (negative
// for places left of the point): when 2 * value * 10^decimals is an odd integer. With value an
// odd integer m times 2^e, that is e = -(decimals + 1), and for negative decimals m a multiple
// of 5^-decimals.
bool IsExactHalf(double value, int decimals)
{
    if (value == 0 || !std::isfinite(value) || decimals > 1100 || decimals < -27)
        return false;
    int exponent = 0;
    const double mantissa = std::frexp(std::fabs(value), &exponent);
    auto integer = static_cast<unsigned long long>(std::ldexp(mantissa, 53));
    exponent -= 53;
    const int zeros = __builtin_ctzll(integer);
    integer >>= zeros;
    exponent += zeros;
    if (exponent != -(decimals + 1))
        return false;
    unsigned long long five = 1;
    for (int i = 0; i < -decimals; ++i)
        five *= 5;
    return integer % five == 0;
}

// The neighbour of an exact half one step further from zero, which rounds the way the locale
// formatter rounds a half (away from zero) where the C++ conversions round it to even.
double AwayFromHalf(double value, int decimals)
{
    return IsExactHalf(value, decimals) ? std::nextafter(value, value < 0 ? -HUGE_VAL : HUGE_VAL) : value;
}

constexpr double Powers[] = {1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12,
                             1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,
                             1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,
                             1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,
                             1e22};

// The decimal exponent of a non-zero finite value, from its binary exponent and the powers of
// ten a double holds exactly (log10 is slow, and a large sheet needs this for every number).
int DecimalExponent(double value)
{
    value = std::fabs(value);
    int binary = 0;
    std::frexp(value, &binary);
    int exponent = int(std::floor((binary - 1) * 0.30102999566398120));
    if (exponent < -22 || exponent > 21)
        return int(std::floor(std::log10(value)));
    if (value < Powers[exponent + 22])
        --exponent;
    else if (value >= Powers[exponent + 23])
        ++exponent;
    return exponent;
}

// floor(log10(value)) as FormatLocaleNumber takes it, which just below a power of ten may round
// up to that power: log10 is asked only there.
int LocaleExponent(double value)
{
    const int exponent = DecimalExponent(value);
    if (exponent >= -23 && exponent <= 21 && std::fabs(value) < Powers[exponent + 23] * (1 - 1e-14))
        return exponent;
    return int(std::floor(std::log10(std::fabs(value))));
}

} // namespace

QString FormatGridNumber(double value, int decimals)
{
    decimals = std::max(decimals, 0);
    const TNumberSymbols& symbols = TNumberSymbols::Current();
    if (!std::isfinite(value))
        return QLocale().toString(value);
    // The steps of FormatLocaleNumber: 15 significant digits, then the decimals that leaves,
    // rounded from the double exactly (a half away from zero), then zeros.
    int meaningful = decimals;
    if (value == 0) {
        value = 0; // no sign on a zero
    } else {
        char buffer[32];
        const double nudged = AwayFromHalf(value, 14 - DecimalExponent(value));
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, nudged, std::chars_format::scientific, 14).ptr;
        std::from_chars(buffer, end, value);
        const int exponent = LocaleExponent(value);
        meaningful = std::max(0, std::min(decimals, 14 - exponent));
    }
    char fixed[400];
    const std::string text(fixed, std::to_chars(fixed, fixed + sizeof fixed, AwayFromHalf(value, meaningful),
                                                 std::chars_format::fixed, meaningful).ptr);
    const size_t point = text.find('.');
    const size_t first = text[0] == '-' ? 1 : 0;
    const size_t integerEnd = point == std::string::npos ? text.size() : point;
    QString result;
    result.reserve(int(text.size() + text.size() / 3 + size_t(decimals) + 2));
    if (first)
        result += symbols.Minus;
    const char16_t zero = symbols.Zero;
    const auto digits = qsizetype(integerEnd - first);
    for (size_t i = first; i < integerEnd; ++i) {
        if (symbols.SeparatorBefore(qsizetype(integerEnd - i), digits))
            result += symbols.Group;
        result += QChar(char16_t(zero + (text[i] - '0')));
    }
    if (decimals > 0) {
        result += symbols.Decimal;
        if (point != std::string::npos)
            for (size_t i = point + 1; i < text.size(); ++i)
                result += QChar(char16_t(zero + (text[i] - '0')));
        result += QString(decimals - meaningful, QChar(zero));
    }
    return result;
}
