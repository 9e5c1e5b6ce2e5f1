#include "app/document/XmlWhitespaceFilter.h"

#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        switch (FState) {
        case sText: {
            if (c == '<') {
                FState = sLt;
                break;
            }
            // The run up to the next markup is copied in one go.
            const char* end = static_cast<const char*>(std::memchr(data + i, '<', size - i));
            const size_t n = end ? size_t(end - (data + i)) : size - i;
            if (FSegmentBlank) {
                for (size_t k = 0; k < n; ++k)
                    if (!IsBlank(data[i + k])) {
                        FSegmentBlank = false;
                        FNoChildren = false;
                        break;
                    }
            }
            std::memcpy(FOut + FPos, data + i, n);
            FPos += n;
            i += n - 1;
            break;
        }
        case sLt:
            // Decide the whitespace run before this markup, then write the '<' held back.
            if (FSegmentBlank && FPos > FSegmentStart && !(c == '/' && FNoChildren))
                FPos = FSegmentStart;
            Put('<');
            Put(c);
            FQuote = 0;
            FPrev = c;
            if (c == '/') {
                FEndTag = true;
                FState = sTag;
            } else if (c == '!') {
                FState = sBang;
            } else if (c == '?') {
                FMatch = 0;
                FState = sPI;
            } else {
                FEndTag = false;
                FNoChildren = false; // the parent has this element as a child
                FState = sTag;
            }
            break;
        case sTag:
            if (!FQuote && c != '>' && c != '"' && c != '\'') {
                // Names and blanks inside the tag up to the next character that matters.
                size_t n = 1;
                while (i + n < size && data[i + n] != '>' && data[i + n] != '"' && data[i + n] != '\'')
                    ++n;
                std::memcpy(FOut + FPos, data + i, n);
                FPos += n;
                FPrev = data[i + n - 1];
                i += n - 1;
                break;
            }
            Put(c);
            if (FQuote) {
                if (c == FQuote)
                    FQuote = 0;
            } else if (c == '"' || c == '\'') {
                FQuote = c;
            } else if (c == '>') {
                // After an end tag or an empty element the enclosing element has a child; after
                // a start tag the new element has none yet.
                FNoChildren = !FEndTag && FPrev != '/';
                StartText();
                break;
            }
            FPrev = c;
            break;
        case sBang:
            Put(c);
            if (c == '-') {
                FState = sBangDash;
            } else if (c == '[') {
                FMatch = 0;
                FNoChildren = false;
                FState = sCData;
            } else {
                return !(FFailed = true);
            }
            break;
        case sBangDash:
            Put(c);
            if (c != '-')
                return !(FFailed = true);
            FMatch = 0;
            FState = sComment;
            break;
        case sComment:
        case sCData: {
            Put(c);
            const char repeated = FState == sComment ? '-' : ']';
            if (c == repeated) {
                FMatch = FMatch < 2 ? FMatch + 1 : 2;
            } else if (c == '>' && FMatch == 2) {
                StartText();
            } else {
                FMatch = 0;
            }
            break;
        }
        case sPI:
            Put(c);
            if (c == '>' && FMatch == 1)
                StartText();
            else
                FMatch = c == '?' ? 1 : 0;
            break;
        }
    }
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
