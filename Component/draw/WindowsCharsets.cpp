#include "Component/draw/WindowsCharsets.h"

#include <array>
#include <iconv.h>
#include <iterator>
#include <unordered_map>

namespace {

struct TCodePage {
    const char* Name; // as the system's converter knows it
    uint8_t Charset;  // the font character set that selects it
};

// In the order of preference: a run that several hold is written in the first, so plain Western
// text keeps the Western character set.
constexpr TCodePage CodePages[] = {{"CP1252", 0},   {"CP1250", 238}, {"CP1251", 204},
                                   {"CP1253", 161}, {"CP1254", 162}, {"CP1257", 186}};
constexpr size_t PageCount = std::size(CodePages);
using TPageMask = uint32_t;
constexpr TPageMask NoPage = 0;

using TPageBytes = std::unordered_map<char16_t, uint8_t>;

// What each code page holds, asked of the system's converter once: the byte of every character.
const std::array<TPageBytes, PageCount>& PageTables()
{
    static const std::array<TPageBytes, PageCount> tables = [] {
        std::array<TPageBytes, PageCount> t;
        for (size_t page = 0; page < PageCount; ++page) {
            const iconv_t cd = iconv_open("UTF-16LE", CodePages[page].Name);
            if (cd == iconv_t(-1))
                continue; // without the converter that page holds nothing; its text is drawn otherwise
            for (int byte = 1; byte < 256; ++byte) {
                char in = char(byte), out[8];
                char *from = &in, *to = out;
                size_t inLeft = 1, outLeft = sizeof out;
                if (iconv(cd, &from, &inLeft, &to, &outLeft) != size_t(-1) && sizeof out - outLeft == 2)
                    t[page].emplace(char16_t(uint8_t(out[0]) | uint8_t(out[1]) << 8), uint8_t(byte));
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
            iconv_close(cd);
        }
        return t;
    }();
    return tables;
}

// The code pages that can write the character, one bit each in the order above.
TPageMask PagesHolding(QChar c)
{
    TPageMask mask = NoPage;
    for (size_t page = 0; page < PageCount; ++page)
        if (PageTables()[page].count(c.unicode()))
            mask |= TPageMask(1) << page;
    if (mask == NoPage && c.isSpace() && c != QChar(0x00A0))
        return PagesHolding(QChar(0x00A0));
    return mask;
}

uint8_t ByteIn(size_t page, QChar c)
{
    const TPageBytes& bytes = PageTables()[page];
    const auto at = bytes.find(c.unicode());
    return at != bytes.end() ? at->second : bytes.at(0x00A0);
}

} // namespace

std::vector<TCharsetRun> WindowsCharsetRuns(const QString& text)
{
    std::vector<TCharsetRun> runs;
    std::vector<TPageMask> masks;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const TPageMask mask = pair ? NoPage : PagesHolding(text.at(i));
        if (!runs.empty() && (masks.back() == NoPage ? mask == NoPage : (masks.back() & mask) != NoPage)) {
            masks.back() &= mask;
            runs.back().Length += units;
        } else {
            runs.push_back(TCharsetRun{i, units, std::nullopt, QByteArray()});
            masks.push_back(mask);
        }
        i += units;
    }
    for (size_t r = 0; r < runs.size(); ++r) {
        if (masks[r] == NoPage)
            continue;
        size_t page = 0;
        while (!(masks[r] & (TPageMask(1) << page)))
            ++page;
        TCharsetRun& run = runs[r];
        run.Charset = CodePages[page].Charset;
        run.Bytes.reserve(run.Length);
        for (qsizetype i = run.From; i < run.From + run.Length; ++i)
            run.Bytes.append(char(ByteIn(page, text.at(i))));
    }
    return runs;
}
