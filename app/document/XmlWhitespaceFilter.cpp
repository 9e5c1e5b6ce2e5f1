#include "app/document/XmlWhitespaceFilter.h"

#include "app/document/BranchIndex.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

// What the scanning loops need to know of a byte.
enum : uint8_t { cOther = 0, cBlank = 1, cLt = 2, cGt = 4, cQuote = 8 };

constexpr std::array<uint8_t, 256> MakeClasses()
{
    std::array<uint8_t, 256> classes{};
    for (unsigned char c : {' ', '\t', '\r', '\n'})
        classes[c] = cBlank;
    classes['<'] = cLt;
    classes['>'] = cGt;
    classes['"'] = cQuote;
    classes['\''] = cQuote;
    return classes;
}

constexpr std::array<uint8_t, 256> Classes = MakeClasses();

inline uint8_t ClassOf(char c) { return Classes[static_cast<unsigned char>(c)]; }

// Most runs between two markup characters are short, and a document has millions of them, so
// they are scanned eight bytes at a time without a call: each word is copied whole (only what
// precedes the stop counts) and its stop characters found by the exact zero-byte test.
constexpr bool WordScan = std::endian::native == std::endian::little;
constexpr uint64_t Ones = 0x0101010101010101u;
constexpr uint64_t LowBits = 0x7F7F7F7F7F7F7F7Fu;

// 0x80 in every byte of x that is zero, 0 in the others.
inline uint64_t ZeroBytes(uint64_t x) { return ~(((x & LowBits) + LowBits) | x | LowBits); }
inline uint64_t BytesEqual(uint64_t word, char c) { return ZeroBytes(word ^ (Ones * static_cast<unsigned char>(c))); }
inline uint64_t Load(const char* p)
{
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Past the blanks at p; spaces, eight at a time, are told by one comparison.
inline const char* SkipBlanks(const char* p, const char* end)
{
    constexpr uint64_t Spaces = Ones * ' ';
    for (;;) {
        if constexpr (WordScan) {
            while (end - p >= 8 && Load(p) == Spaces)
                p += 8;
        }
        if (p == end || ClassOf(*p) != cBlank)
            return p;
        ++p;
    }
}

// Copies from p to out + pos up to the first byte that stops(word) marks (the high bit of its
// byte set), or while at least eight bytes are left; answers the marks of the word it stopped
// in, 0 when it ran out. The output has room for every input byte, so a whole word may be
// written where fewer are copied.
template <class Stops>
inline uint64_t CopyWords(const char*& p, const char* end, char* out, size_t& pos, Stops stops)
{
    if constexpr (WordScan) {
        while (end - p >= 8) {
            const uint64_t word = Load(p);
            std::memcpy(out + pos, &word, 8);
            const uint64_t marks = stops(word);
            if (marks) {
                const unsigned n = unsigned(std::countr_zero(marks)) / 8;
                p += n;
                pos += n;
                return marks;
            }
            p += 8;
            pos += 8;
        }
    }
    return 0;
}

} // namespace

bool TXmlWhitespaceFilter::Feed(const char* data, size_t size)
{
    if (FFailed)
        return false;
    // Wide encodings put zero bytes among the first ones (the markup is ASCII).
    for (size_t i = 0; FFed + i < 4 && i < size; ++i) {
        unsigned char b = static_cast<unsigned char>(data[i]);
        if (b == 0 || ((FFed + i) == 0 && (b == 0xFE || b == 0xFF)))
            return !(FFailed = true);
    }
    FFed += size;
    // The state lives in locals while the bytes are scanned: the output is a char buffer, which
    // the compiler must otherwise assume to overlap every member, reloading them after each byte.
    char* const out = FOut;
    size_t pos = FPos;
    TState state = FState;
    size_t segmentStart = FSegmentStart;
    bool segmentBlank = FSegmentBlank;
    bool noChildren = FNoChildren;
    bool endTag = FEndTag;
    char quote = FQuote;
    char prev = FPrev;
    int match = FMatch;
    size_t tagStart = FTagStart;
    int depth = FDepth;
    TBranchIndex* const index = FIndex;
    const char* p = data;
    const char* const end = data + size;
    // Text, markup start and tag follow each other in a fixed cycle, so each jumps straight to
    // the next: a dispatch on the state between them would be mispredicted at nearly every one.
    // The rarer forms (comments, CDATA, processing instructions) go byte by byte.
    switch (state) {
    case sText: goto Text;
    case sLt: goto Lt;
    case sTag: goto Tag;
    default: goto Rare;
    }
Text:
    state = sText;
    if (segmentBlank) {
        // Indentation, most of a document's bytes: scanned without being copied, and copied only
        // when it may stay.
        const char* from = p;
        p = SkipBlanks(p, end);
        const bool dropped = p + 1 < end && *p == '<' && pos == segmentStart && !(p[1] == '/' && noChildren);
        if (!dropped) {
            std::memcpy(out + pos, from, size_t(p - from));
            pos += size_t(p - from);
        }
        if (p == end)
            goto Done;
        if (*p == '<') {
            ++p;
            goto Lt;
        }
        segmentBlank = false;
        noChildren = false;
    }
    // The rest of a text up to the next markup.
    if (!CopyWords(p, end, out, pos, [](uint64_t word) { return BytesEqual(word, '<'); })) {
        while (p < end && *p != '<')
            out[pos++] = *p++;
        if (p == end)
            goto Done;
    }
    ++p;
Lt:
    state = sLt;
    if (p == end)
        goto Done;
    {
        const char c = *p++;
        // Decide the whitespace run before this markup, then write the '<' held back.
        if (segmentBlank && pos > segmentStart && !(c == '/' && noChildren))
            pos = segmentStart;
        tagStart = pos;
        out[pos++] = '<';
        out[pos++] = c;
        quote = 0;
        prev = c;
        if (c == '/') {
            endTag = true;
        } else if (c == '!') {
            state = sBang;
            goto Rare;
        } else if (c == '?') {
            match = 0;
            state = sPI;
            goto Rare;
        } else {
            endTag = false;
            noChildren = false; // the parent has this element as a child
        }
    }
Tag:
    state = sTag;
    for (;;) {
        if (quote) {
            // Inside a quoted value only its closing quote matters.
            const char q = quote;
            if (!CopyWords(p, end, out, pos, [q](uint64_t word) { return BytesEqual(word, q); }))
                while (p < end && *p != q)
                    out[pos++] = *p++;
            if (p == end)
                goto Done;
            prev = out[pos++] = *p++;
            quote = 0;
        }
        // Names and blanks up to the next character that matters.
        auto stops = [](uint64_t word) {
            return BytesEqual(word, '>') | BytesEqual(word, '"') | BytesEqual(word, '\'');
        };
        const char* from = p;
        if (!CopyWords(p, end, out, pos, stops))
            while (p < end && !(ClassOf(*p) & (cGt | cQuote)))
                out[pos++] = *p++;
        if (p > from)
            prev = p[-1];
        if (p == end)
            goto Done;
        const char c = *p++;
        out[pos++] = c;
        if (c == '>')
            break;
        quote = c;
        prev = c;
    }
    // After an end tag or an empty element the enclosing element has a child; after a start tag
    // the new element has none yet.
    noChildren = !endTag && prev != '/';
    if (endTag) {
        --depth;
        if (index && depth == index->OpenDepth())
            index->End(pos);
    } else {
        // Only names that may be Tree, Branch or Branches are worth a look.
        const char first = out[tagStart + 1];
        if (index && (first == 'B' || first == 'T'))
            index->Start(out + tagStart, pos - tagStart, tagStart, depth, prev == '/');
        if (prev != '/')
            ++depth;
    }
    segmentStart = pos;
    segmentBlank = true;
    goto Text;
Rare:
    while (p < end) {
        const char c = *p++;
        out[pos++] = c;
        switch (state) {
        case sBang:
            if (c == '-') {
                state = sBangDash;
            } else if (c == '[') {
                match = 0;
                noChildren = false;
                state = sCData;
            } else {
                FFailed = true;
                return false;
            }
            break;
        case sBangDash:
            if (c != '-') {
                FFailed = true;
                return false;
            }
            match = 0;
            state = sComment;
            break;
        case sComment:
        case sCData:
            if (c == (state == sComment ? '-' : ']')) {
                match = match < 2 ? match + 1 : 2;
            } else if (c == '>' && match == 2) {
                segmentStart = pos;
                segmentBlank = true;
                goto Text;
            } else {
                match = 0;
            }
            break;
        case sPI:
            if (c == '>' && match == 1) {
                segmentStart = pos;
                segmentBlank = true;
                goto Text;
            }
            match = c == '?' ? 1 : 0;
            break;
        default:
            break;
        }
    }
Done:
    FPos = pos;
    FState = state;
    FSegmentStart = segmentStart;
    FSegmentBlank = segmentBlank;
    FNoChildren = noChildren;
    FEndTag = endTag;
    FQuote = quote;
    FPrev = prev;
    FMatch = match;
    FTagStart = tagStart;
    FDepth = depth;
    return true;
}

size_t TXmlWhitespaceFilter::Finish()
{
    if (FState == sText && FSegmentBlank)
        FPos = FSegmentStart;
    else if (FState == sLt)
        Put('<');
    return FPos;
}

std::string FilterXmlWhitespace(std::string_view bytes)
{
    std::string out(bytes.size(), '\0');
    TXmlWhitespaceFilter filter(out.data());
    if (!filter.Feed(bytes.data(), bytes.size()))
        return std::string(bytes);
    out.resize(filter.Finish());
    return out;
}
