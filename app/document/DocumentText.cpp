#include "app/document/DocumentText.h"

#include "shared/core/Exceptions.h"
#include "shared/core/NumberText.h"

#include <array>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>

namespace DocumentText {

namespace {

constexpr int64_t kMoneyScale = 10000;

[[noreturn]] void RaiseNotANumber(std::string_view text, const char* elementName)
{
    throw FormatException(QStringLiteral("'%1' is not a valid number in element '%2'.")
                              .arg(Excerpt(text), QLatin1String(elementName)));
}

[[noreturn]] void RaiseOutOfRange(std::string_view text, const char* elementName)
{
    throw FormatException(QStringLiteral("'%1' in element '%2' is out of range.")
                              .arg(Excerpt(text), QLatin1String(elementName)));
}

// Ids are read a hundred thousand at a time, and their digits and letters come in no order a
// branch could predict: a table tells them apart.
constexpr std::array<int8_t, 256> MakeHexValues()
{
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[size_t(c)] = int8_t(c >= '0' && c <= '9' ? c - '0'
                                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                          : -1);
    return values;
}

constexpr std::array<int8_t, 256> HexValues = MakeHexValues();

int HexValue(char c) { return HexValues[static_cast<unsigned char>(c)]; }

double ParseDouble(std::string_view s, const char* elementName)
{
    double value = 0;
    switch (ParseNumberText(s, value)) {
    case TNumberTextResult::Ok: break;
    case TNumberTextResult::NotANumber: RaiseNotANumber(s, elementName);
    case TNumberTextResult::OutOfRange: RaiseOutOfRange(s, elementName);
    }
    return value;
}

} // namespace

QString Excerpt(std::string_view utf8)
{
    constexpr qsizetype kCharacters = 64;
    // No character takes more than four bytes, so these hold the first 64 whole.
    constexpr size_t kBytes = 4 * kCharacters;
    QString text = ToQString(utf8.substr(0, kBytes));
    if (utf8.size() <= kBytes && text.size() <= kCharacters)
        return text;
    text.truncate(kCharacters);
    if (text.back().isHighSurrogate())
        text.chop(1);
    return text + QStringLiteral("...");
}

std::string_view Trim(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string MoneyToText(int64_t money)
{
    // The magnitude as unsigned, so the most negative value needs no special case.
    uint64_t magnitude = money < 0 ? uint64_t(0) - uint64_t(money) : uint64_t(money);
    uint64_t whole = magnitude / kMoneyScale;
    unsigned fraction = unsigned(magnitude % kMoneyScale);
    char buffer[32];
    char* p = buffer;
    if (money < 0)
        *p++ = '-';
    p = std::to_chars(p, buffer + sizeof buffer, whole).ptr;
    if (fraction != 0) {
        *p++ = '.';
        char digits[4] = {char('0' + fraction / 1000), char('0' + fraction / 100 % 10),
                          char('0' + fraction / 10 % 10), char('0' + fraction % 10)};
        int count = 4;
        while (digits[count - 1] == '0')
            --count;
        for (int k = 0; k < count; ++k)
            *p++ = digits[k];
    }
    return std::string(buffer, p);
}

int64_t TextToMoney(std::string_view text, const char* elementName)
{
    std::string_view s = Trim(text);
    int64_t money = 0;
    switch (ParseMoneyText(s, money)) {
    case TNumberTextResult::Ok: break;
    case TNumberTextResult::NotANumber: RaiseNotANumber(s, elementName);
    case TNumberTextResult::OutOfRange: RaiseOutOfRange(s, elementName);
    }
    return money;
}

std::string DoubleToText(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

double TextToDouble(std::string_view text, const char* elementName)
{
    return ParseDouble(Trim(text), elementName);
}

bool TryTextToInt(std::string_view text, int& value)
{
    std::string_view s = Trim(text);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty() || s.front() == '+')
        return false;
    int parsed = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), parsed);
    if (ec != std::errc() || end != s.data() + s.size())
        return false;
    value = parsed;
    return true;
}

int TextToInt(std::string_view text, const char* elementName)
{
    int value = 0;
    if (Trim(text).empty())
        throw FormatException(QStringLiteral("Element '%1' is missing or empty.").arg(QLatin1String(elementName)));
    if (!TryTextToInt(text, value))
        throw FormatException(QStringLiteral("'%1' is not a valid integer value in element '%2'.")
                                  .arg(Excerpt(text), QLatin1String(elementName)));
    return value;
}

std::string IntToText(int value)
{
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string GuidToText(const TGuid& guid)
{
    static const char hex[] = "0123456789abcdef";
    std::string s(36, '-');
    auto put = [&](size_t at, uint64_t v, int digits) {
        for (int k = digits - 1; k >= 0; --k, v >>= 4)
            s[at + size_t(k)] = hex[v & 0xF];
    };
    put(0, guid.D1, 8);
    put(9, guid.D2, 4);
    put(14, guid.D3, 4);
    put(19, guid.D4[0], 2);
    put(21, guid.D4[1], 2);
    for (int k = 0; k < 6; ++k)
        put(24 + size_t(2 * k), guid.D4[2 + k], 2);
    return s;
}

TGuid TextToGuid(std::string_view text)
{
    if (text.size() == 36 && text[8] == '-' && text[13] == '-' && text[18] == '-' && text[23] == '-') {
        uint8_t nibbles[32];
        int n = 0;
        int invalid = 0;
        for (size_t i = 0; i < 36; ++i) {
            if (i == 8 || i == 13 || i == 18 || i == 23)
                continue;
            const int v = HexValue(text[i]);
            invalid |= v;
            nibbles[n++] = uint8_t(v);
        }
        const bool ok = invalid >= 0;
        if (ok) {
            auto take = [&](int from, int count) {
                uint64_t v = 0;
                for (int k = 0; k < count; ++k)
                    v = (v << 4) | nibbles[from + k];
                return v;
            };
            TGuid g;
            g.D1 = uint32_t(take(0, 8));
            g.D2 = uint16_t(take(8, 4));
            g.D3 = uint16_t(take(12, 4));
            for (int k = 0; k < 8; ++k)
                g.D4[k] = uint8_t(take(16 + 2 * k, 2));
            return g;
        }
    }
    return Guid::Parse(ToQString(text));
}

} // namespace DocumentText
