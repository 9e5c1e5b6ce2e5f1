#include "Component/formula/XmlScanner.h"

#include <cstring>

namespace {

// Deep enough for any real spreadsheet part; a deeper nesting is a crafted file.
constexpr size_t MaxDepth = 256;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameEnd(char c)
{
    return IsBlank(c) || c == '/' || c == '>' || c == '=';
}

std::string_view LocalPart(std::string_view qualified)
{
    const size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

const char* Find(const char* from, const char* end, const char* what)
{
    const size_t n = std::strlen(what);
    for (const char* p = from; p + n <= end;) {
        p = static_cast<const char*>(std::memchr(p, what[0], size_t(end - p)));
        if (!p || p + n > end)
            return nullptr;
        if (std::memcmp(p, what, n) == 0)
            return p;
        ++p;
    }
    return nullptr;
}

void AppendUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

TXmlScanner::TXmlScanner(const char* begin, const char* end) : FPos(begin), FEnd(end)
{
    // A UTF-8 byte-order mark is allowed; other encodings are refused on the first token.
    if (FEnd - FPos >= 3 && std::memcmp(FPos, "\xEF\xBB\xBF", 3) == 0)
        FPos += 3;
    FAttributes.reserve(8);
}

TXmlScanner::TToken TXmlScanner::Fail(const QString& message)
{
    if (FError.isEmpty())
        FError = message;
    FPos = FEnd;
    return TToken::Error;
}

bool TXmlScanner::Attribute(std::string_view localName, std::string_view& rawValue) const
{
    for (const auto& [name, value] : FAttributes) {
        if (LocalPart(name) == localName) {
            rawValue = value;
            return true;
        }
    }
    return false;
}

TXmlScanner::TToken TXmlScanner::Next()
{
    if (!FError.isEmpty())
        return TToken::Error;
    if (FPendingEnd) {
        FPendingEnd = false;
        FStack.pop_back();
        return TToken::EndElement;
    }
    FCData = false;
    for (;;) {
        if (FPos >= FEnd) {
            if (!FStack.empty())
                return Fail(QStringLiteral("the XML ends inside element <%1>")
                                .arg(QString::fromUtf8(FStack.back().data(), qsizetype(FStack.back().size()))));
            if (!FRootSeen)
                return Fail(QStringLiteral("the XML has no root element"));
            return TToken::EndOfDocument;
        }
        if (*FPos != '<') {
            const char* lt = static_cast<const char*>(std::memchr(FPos, '<', size_t(FEnd - FPos)));
            const char* stop = lt ? lt : FEnd;
            FText = std::string_view(FPos, size_t(stop - FPos));
            FPos = stop;
            if (FStack.empty()) {
                for (char c : FText)
                    if (!IsBlank(c))
                        return Fail(FText.size() >= 2 && (uchar(FText[0]) == 0xFF || uchar(FText[0]) == 0xFE)
                                        ? QStringLiteral("the XML is not in UTF-8")
                                        : QStringLiteral("text outside the XML root element"));
                continue;
            }
            return TToken::Text;
        }
        const size_t left = size_t(FEnd - FPos);
        if (left >= 2 && FPos[1] == '?') {
            const char* close = Find(FPos + 2, FEnd, "?>");
            if (!close)
                return Fail(QStringLiteral("an unterminated processing instruction"));
            FPos = close + 2;
            continue;
        }
        if (left >= 4 && std::memcmp(FPos, "<!--", 4) == 0) {
            const char* close = Find(FPos + 4, FEnd, "-->");
            if (!close)
                return Fail(QStringLiteral("an unterminated comment"));
            FPos = close + 3;
            continue;
        }
        if (left >= 9 && std::memcmp(FPos, "<![CDATA[", 9) == 0) {
            const char* close = Find(FPos + 9, FEnd, "]]>");
            if (!close)
                return Fail(QStringLiteral("an unterminated CDATA section"));
            if (FStack.empty())
                return Fail(QStringLiteral("text outside the XML root element"));
            FText = std::string_view(FPos + 9, size_t(close - FPos - 9));
            FPos = close + 3;
            FCData = true;
            return TToken::Text;
        }
        if (left >= 2 && FPos[1] == '!')
            return Fail(QStringLiteral("a document type declaration, which is not accepted"));
        if (left >= 2 && FPos[1] == '/') {
            const char* p = FPos + 2;
            const char* nameStart = p;
            while (p < FEnd && !IsNameEnd(*p))
                ++p;
            std::string_view name(nameStart, size_t(p - nameStart));
            while (p < FEnd && IsBlank(*p))
                ++p;
            if (p >= FEnd || *p != '>')
                return Fail(QStringLiteral("a malformed end tag"));
            if (FStack.empty() || FStack.back() != name)
                return Fail(QStringLiteral("the end tag </%1> does not match the open element")
                                .arg(QString::fromUtf8(name.data(), qsizetype(name.size()))));
            FStack.pop_back();
            FLocalName = LocalPart(name);
            FPos = p + 1;
            return TToken::EndElement;
        }
        if (!ParseStartTag())
            return TToken::Error;
        return TToken::StartElement;
    }
}

bool TXmlScanner::ParseStartTag()
{
    const char* p = FPos + 1;
    const char* nameStart = p;
    while (p < FEnd && !IsNameEnd(*p))
        ++p;
    if (p == nameStart) {
        Fail(QStringLiteral("a malformed start tag"));
        return false;
    }
    const std::string_view name(nameStart, size_t(p - nameStart));
    FAttributes.clear();
    bool selfClosing = false;
    for (;;) {
        while (p < FEnd && IsBlank(*p))
            ++p;
        if (p >= FEnd) {
            Fail(QStringLiteral("an unterminated start tag"));
            return false;
        }
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '/') {
            if (p + 1 >= FEnd || p[1] != '>') {
                Fail(QStringLiteral("a malformed start tag"));
                return false;
            }
            selfClosing = true;
            p += 2;
            break;
        }
        const char* attrStart = p;
        while (p < FEnd && !IsNameEnd(*p))
            ++p;
        const std::string_view attrName(attrStart, size_t(p - attrStart));
        while (p < FEnd && IsBlank(*p))
            ++p;
        if (attrName.empty() || p >= FEnd || *p != '=') {
            Fail(QStringLiteral("an attribute without a value"));
            return false;
        }
        ++p;
        while (p < FEnd && IsBlank(*p))
            ++p;
        if (p >= FEnd || (*p != '"' && *p != '\'')) {
            Fail(QStringLiteral("an attribute value without quotes"));
            return false;
        }
        const char quote = *p++;
        const char* close = static_cast<const char*>(std::memchr(p, quote, size_t(FEnd - p)));
        if (!close) {
            Fail(QStringLiteral("an unterminated attribute value"));
            return false;
        }
        FAttributes.emplace_back(attrName, std::string_view(p, size_t(close - p)));
        p = close + 1;
    }
    if (FStack.empty()) {
        if (FRootSeen) {
            Fail(QStringLiteral("a second XML root element"));
            return false;
        }
        FRootSeen = true;
    }
    if (FStack.size() >= MaxDepth) {
        Fail(QStringLiteral("elements nested too deeply"));
        return false;
    }
    FStack.push_back(name);
    FLocalName = LocalPart(name);
    FPendingEnd = selfClosing;
    FPos = p;
    return true;
}

bool TXmlScanner::AppendDecoded(std::string_view raw, std::string& out)
{
    size_t i = 0;
    while (i < raw.size()) {
        const size_t amp = raw.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(i));
            break;
        }
        out.append(raw.substr(i, amp - i));
        const size_t semi = raw.find(';', amp);
        if (semi == std::string_view::npos || semi - amp > 12)
            return false;
        const std::string_view entity = raw.substr(amp + 1, semi - amp - 1);
        if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "amp")
            out += '&';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (entity.size() >= 2 && entity[0] == '#') {
            char32_t cp = 0;
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string_view digits = entity.substr(hex ? 2 : 1);
            if (digits.empty())
                return false;
            for (char c : digits) {
                int d;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                else
                    return false;
                cp = cp * (hex ? 16 : 10) + char32_t(d);
                if (cp > 0x10FFFF)
                    return false;
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            AppendUtf8(cp, out);
        } else {
            return false;
        }
        i = semi + 1;
    }
    return true;
}
