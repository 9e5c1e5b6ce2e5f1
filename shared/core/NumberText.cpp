#include "shared/core/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr int64_t MoneyScale = 10000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// How the digits beyond a money amount's fourth decimal compare with half a unit.
enum class TRest { None, BelowHalf, Half, AboveHalf };

// A decimal text read exactly as money: the units of its digits up to the fourth decimal (after
// the exponent has moved the point), and what the digits beyond them add.
struct TExactMoney {
    bool Negative = false;
    unsigned __int128 Units = 0; // capped far above the money range
    TRest Rest = TRest::None;
};

// False when the text is no decimal of the form "-12.5e3" (at least one digit, an optional
// exponent with at least one digit), so that the double reading decides.
bool ReadExactMoney(std::string_view s, TExactMoney& read)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        read.Negative = s[i] == '-';
        ++i;
    }
    std::string_view digits[2]; // before and after the point
    for (int part = 0; part < 2; ++part) {
        const size_t begin = i;
        while (i < s.size() && IsDigit(s[i]))
            ++i;
        digits[part] = s.substr(begin, i - begin);
        if (part == 1 || i >= s.size() || s[i] != '.')
            break;
        ++i;
    }
    if (digits[0].empty() && digits[1].empty())
        return false;
    // Beyond a few thousand decimal places every digit lies far outside the money range.
    constexpr long ExponentCap = 100000;
    long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
            negative = s[i] == '-';
            ++i;
        }
        const size_t begin = i;
        for (; i < s.size() && IsDigit(s[i]); ++i)
            exponent = std::min(ExponentCap, exponent * 10 + (s[i] - '0'));
        if (i == begin)
            return false;
        if (negative)
            exponent = -exponent;
    }
    if (i != s.size())
        return false;

    const long count = long(digits[0].size() + digits[1].size());
    const auto digit = [&](long k) {
        if (k < 0 || k >= count)
            return 0;
        const size_t at = size_t(k);
        return at < digits[0].size() ? digits[0][at] - '0' : digits[1][at - digits[0].size()] - '0';
    };
    // The digits up to the fourth decimal are those before index end.
    const long end = long(digits[0].size()) + exponent + 4;
    const unsigned __int128 cap = (unsigned __int128)1 << 100;
    for (long k = 0; k < end; ++k)
        read.Units = std::min(cap, read.Units * 10 + unsigned(digit(k)));
    bool anyAfter = false;
    for (long k = std::max(end + 1, 0L); k < count && !anyAfter; ++k)
        anyAfter = digit(k) != 0;
    const int first = digit(end);
    if (first > 5 || (first == 5 && anyAfter))
        read.Rest = TRest::AboveHalf;
    else if (first == 5)
        read.Rest = TRest::Half;
    else if (first > 0 || anyAfter)
        read.Rest = TRest::BelowHalf;
    return true;
}

} // namespace

TNumberTextResult ParseNumberText(std::string_view s, double& value)
{
    // from_chars takes a '-' but no '+'; one sign at most.
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-')
            return TNumberTextResult::NotANumber;
    }
    // from_chars also accepts "inf" and "nan", which no document holds.
    if (s.empty() || !(IsDigit(s.front()) || s.front() == '-' || s.front() == '.'))
        return TNumberTextResult::NotANumber;
    double parsed = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), parsed);
    if (ec == std::errc::result_out_of_range)
        return TNumberTextResult::OutOfRange;
    if (ec != std::errc() || end != s.data() + s.size())
        return TNumberTextResult::NotANumber;
    if (!std::isfinite(parsed))
        return TNumberTextResult::OutOfRange;
    value = parsed;
    return TNumberTextResult::Ok;
}

TNumberTextResult ParseMoneyText(std::string_view text, int64_t& money)
{
    TExactMoney exact;
    if (!ReadExactMoney(text, exact))
        return TNumberTextResult::NotANumber;
    // Whether the amount fits is decided on the text's own value: near the ends a double is
    // coarser than a unit and would take one past the end for the end itself.
    const bool up = exact.Rest == TRest::AboveHalf || (exact.Rest == TRest::Half && (exact.Units & 1) != 0);
    const unsigned __int128 units = exact.Units + (up ? 1 : 0);
    const unsigned __int128 limit = exact.Negative ? (unsigned __int128)(uint64_t(1) << 63)
                                                   : (unsigned __int128)((uint64_t(1) << 63) - 1);
    if (units > limit)
        return TNumberTextResult::OutOfRange;
    if (exact.Rest == TRest::None) {
        money = units == 0 ? 0 : exact.Negative ? -int64_t(units - 1) - 1 : int64_t(units);
        return TNumberTextResult::Ok;
    }
    // More precision than money holds: as a double, times 10000, rounded, as older files were read.
    double value = 0;
    const TNumberTextResult result = ParseNumberText(text, value);
    if (result != TNumberTextResult::Ok)
        return result;
    const double rounded = std::nearbyint(value * double(MoneyScale)); // to nearest, halves to even
    // The amount fits; the double's rounding may stray past an end, which then holds it.
    if (rounded >= 9223372036854775808.0)
        money = INT64_MAX;
    else if (rounded <= -9223372036854775808.0)
        money = INT64_MIN;
    else
        money = int64_t(rounded);
    return TNumberTextResult::Ok;
}
