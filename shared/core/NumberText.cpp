#include "shared/core/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr int64_t MoneyScale = 10000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The exact path of ParseMoneyText; false when the text has another form, so that the rounding
// path decides.
bool TryExactMoney(std::string_view s, int64_t& money, TNumberTextResult& result)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    // The accumulator is capped far above the money range, so overlong digit runs cannot wrap.
    const unsigned __int128 cap = (unsigned __int128)1 << 100;
    const unsigned __int128 limit = negative ? (unsigned __int128)(uint64_t(1) << 63)
                                             : (unsigned __int128)((uint64_t(1) << 63) - 1);
    unsigned __int128 units = 0;
    size_t digits = 0;
    int decimals = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++digits)
        units = std::min(cap, units * 10 + unsigned(s[i] - '0'));
    if (i < s.size() && s[i] == '.') {
        ++i;
        for (; i < s.size() && IsDigit(s[i]); ++i, ++digits) {
            if (decimals < 4) {
                units = std::min(cap, units * 10 + unsigned(s[i] - '0'));
                ++decimals;
            } else if (s[i] != '0') {
                return false; // more precision than money holds
            }
        }
    }
    if (i != s.size() || digits == 0)
        return false;
    for (; decimals < 4; ++decimals)
        units *= 10;
    if (units > limit) {
        result = TNumberTextResult::OutOfRange;
        return true;
    }
    if (units == 0)
        money = 0;
    else
        money = negative ? -int64_t(units - 1) - 1 : int64_t(units);
    result = TNumberTextResult::Ok;
    return true;
}

} // namespace

TNumberTextResult ParseNumberText(std::string_view s, double& value)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
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
    TNumberTextResult result = TNumberTextResult::Ok;
    if (TryExactMoney(text, money, result))
        return result;
    double value = 0;
    result = ParseNumberText(text, value);
    if (result != TNumberTextResult::Ok)
        return result;
    const double rounded = std::nearbyint(value * double(MoneyScale)); // to nearest, halves to even
    // 2^63 is exactly representable; anything at or beyond it overflows the money type.
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        return TNumberTextResult::OutOfRange;
    money = int64_t(rounded);
    return TNumberTextResult::Ok;
}
