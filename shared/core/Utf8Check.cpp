#include "shared/core/Utf8Check.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <string>

bool TUtf8Check::Fail()
{
    FFailed = true;
    FErrorOffset = FStart;
    FErrorLine = FStartLine;
    FErrorColumn = FStartColumn;
    return false;
}

namespace {

// Plain ASCII takes most of a document; eight bytes are taken at once while none has its high
// bit set, and only their line breaks are counted.
constexpr uint64_t HighBits = 0x8080808080808080u;
constexpr uint64_t LowBits = 0x7F7F7F7F7F7F7F7Fu;
constexpr uint64_t LineFeeds = 0x0A0A0A0A0A0A0A0Au;

} // namespace

const uint8_t* TUtf8Check::SkipAscii(const uint8_t* p, const uint8_t* end)
{
    if constexpr (std::endian::native != std::endian::little)
        return p;
    uint64_t lines = 0;
    uint64_t column = FColumn;
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & HighBits)
            break;
        // A byte of t is zero where the word has a line feed; with no high bit set anywhere the
        // sums below carry into no other byte, so the mask is exact.
        const uint64_t t = word ^ LineFeeds;
        const uint64_t feeds = ~(((t & LowBits) + LowBits) | t) & HighBits;
        if (feeds == 0) {
            column += 8;
        } else {
            // One bit a line feed, summed into the top byte by the multiplication.
            lines += ((feeds >> 7) * 0x0101010101010101u) >> 56;
            // The characters after the last line feed begin the new line.
            column = uint64_t(std::countl_zero(feeds)) / 8;
        }
        p += 8;
    }
    FLine += lines;
    FColumn = column;
    return p;
}

bool TUtf8Check::Feed(const char* data, size_t size)
{
    if (FFailed)
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(data);
    const uint8_t* const end = p + size;
    while (p < end) {
        if (FNeed == 0) {
            const uint8_t* skipped = SkipAscii(p, end);
            FOffset += uint64_t(skipped - p);
            p = skipped;
            if (p == end)
                break;
        }
        const uint8_t b = *p++;
        if (FNeed > 0) {
            if (b < FLow || b > FHigh)
                return Fail();
            FLow = 0x80;
            FHigh = 0xBF;
            --FNeed;
            ++FOffset;
            continue;
        }
        // Where the character begins, for the message should it prove malformed.
        FStart = FOffset++;
        FStartLine = FLine;
        FStartColumn = ++FColumn;
        if (b < 0x80) {
            if (b == '\n') {
                ++FLine;
                FColumn = 0;
            }
            continue;
        }
        // Overlong forms, surrogates and values past U+10FFFF are refused by the range of the
        // first continuation byte.
        if (b >= 0xC2 && b <= 0xDF) {
            FNeed = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            FNeed = 2;
            FLow = b == 0xE0 ? 0xA0 : 0x80;
            FHigh = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            FNeed = 3;
            FLow = b == 0xF0 ? 0x90 : 0x80;
            FHigh = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return Fail();
        }
    }
    return true;
}

bool TUtf8Check::Finish()
{
    if (!FFailed && FNeed > 0)
        return Fail();
    return !FFailed;
}

QString TUtf8Check::ErrorMessage() const
{
    return QStringLiteral("The file is not valid UTF-8 text: the bytes at line %1, column %2 (byte offset %3) are not a "
                          "UTF-8 character.")
        .arg(FErrorLine)
        .arg(FErrorColumn)
        .arg(FErrorOffset);
}

bool TUtf8Check::ReadAsUtf8(std::string_view head)
{
    auto starts = [&](std::string_view prefix) { return head.substr(0, prefix.size()) == prefix; };
    using namespace std::string_view_literals;
    if (starts("\xEF\xBB\xBF"sv))
        head.remove_prefix(3);
    else if (starts("\xFE\xFF"sv) || starts("\xFF\xFE"sv) || starts("\0\0\xFE\xFF"sv))
        return false;
    // UTF-16 and UTF-32 without a mark show a zero byte beside the '<' of the first tag.
    if (head.size() >= 2 && (head[0] == '\0' || head[1] == '\0'))
        return false;
    if (!starts("<?xml"sv))
        return true;
    const size_t end = head.find("?>");
    std::string_view declaration = head.substr(0, end);
    const size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return true;
    std::string_view rest = declaration.substr(at + 8);
    const size_t open = rest.find_first_of("\"'");
    if (open == std::string_view::npos)
        return true;
    const size_t close = rest.find(rest[open], open + 1);
    std::string name(rest.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return name != "iso-8859-1" && name != "latin1";
}
