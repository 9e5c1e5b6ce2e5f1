#include "shared/core/IniText.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace IniText {

namespace {

const QLatin1String GeneralSection("General");

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsBreak(char c)
{
    return c == '\n' || c == '\r';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of the count hexadecimal digits at text[at], or -1.
int HexNumber(QByteArrayView text, qsizetype at, int count)
{
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const int digit = HexValue(text[at + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

QByteArrayView Trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

// Collects bytes as UTF-8 and single UTF-16 units in their order.
class TTextBuilder {
public:
    void AddBytes(QByteArrayView bytes) { FBytes += bytes; }
    void AddUnit(char16_t unit)
    {
        Flush();
        FText += QChar(unit);
    }
    QString& Text()
    {
        Flush();
        return FText;
    }

private:
    void Flush()
    {
        if (!FBytes.isEmpty())
            FText += QString::fromUtf8(FBytes);
        FBytes.clear();
    }
    QByteArray FBytes;
    QString FText;
};

// "a\b%20c" -> "a/b c": '\' separates segments, "%XX" and "%UXXXX" are escaped characters.
QString UnescapeKey(QByteArrayView raw)
{
    TTextBuilder key;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\') {
            key.AddUnit(u'/');
            continue;
        }
        if (c == '%') {
            if (const int unit = i + 1 < raw.size() && raw[i + 1] == 'U' ? HexNumber(raw, i + 2, 4) : -1; unit >= 0) {
                key.AddUnit(char16_t(unit));
                i += 5;
                continue;
            }
            if (const int code = HexNumber(raw, i + 1, 2); code >= 0) {
                key.AddUnit(char16_t(code));
                i += 2;
                continue;
            }
        }
        key.AddBytes(raw.sliced(i, 1));
    }
    return key.Text();
}

// The string a value's text stands for; nothing when it is a list (a comma outside quotes).
std::optional<QString> UnescapeValue(QByteArrayView v)
{
    TTextBuilder text;
    bool quoted = false;
    bool hadQuotes = false;
    // Blanks up to here came from quotes or escapes and are never cut off the end.
    qsizetype kept = 0;
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < v.size() && IsBlank(v[i]))
            ++i;
    };
    skipBlanks();
    while (i < v.size()) {
        const char c = v[i];
        if (c == '\\') {
            if (++i >= v.size())
                break;
            const char e = v[i++];
            static const char Simple[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'},  {'t', '\t'},
                                             {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            bool simple = false;
            for (const auto& [code, character] : Simple)
                if (e == code) {
                    text.AddUnit(char16_t(character));
                    simple = true;
                }
            if (simple) {
            } else if (e == 'x' && i < v.size() && HexValue(v[i]) >= 0) {
                char16_t unit = 0;
                for (; i < v.size() && HexValue(v[i]) >= 0; ++i)
                    unit = char16_t(unit * 16 + HexValue(v[i]));
                text.AddUnit(unit);
            } else if (e >= '0' && e <= '7') {
                char16_t unit = char16_t(e - '0');
                for (; i < v.size() && v[i] >= '0' && v[i] <= '7'; ++i)
                    unit = char16_t(unit * 8 + (v[i] - '0'));
                text.AddUnit(unit);
            } else if (IsBreak(e)) {
                // A line continued: "\r\n" and "\n\r" count as one break.
                if (i < v.size() && IsBreak(v[i]) && v[i] != e)
                    ++i;
            }
            // Any other escaped character is left out.
            kept = text.Text().size();
        } else if (c == '"') {
            ++i;
            hadQuotes = true;
            quoted = !quoted;
            if (!quoted) {
                skipBlanks();
                kept = text.Text().size();
            }
        } else if (c == ',' && !quoted) {
            return std::nullopt;
        } else {
            qsizetype end = i + 1;
            while (end < v.size() && v[end] != '\\' && v[end] != '"' && v[end] != ',')
                ++end;
            text.AddBytes(v.sliced(i, end - i));
            i = end;
        }
    }
    QString& result = text.Text();
    if (!hadQuotes)
        while (result.size() > kept && (result.back() == QLatin1Char(' ') || result.back() == QLatin1Char('\t')))
            result.chop(1);
    return result;
}

// The string a stored text stands for once its "@" forms are read; nothing for a typed value.
std::optional<QString> FromStored(QString text)
{
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.startsWith(QLatin1String("@@")))
        return text.mid(1);
    if (!text.endsWith(QLatin1Char(')')))
        return text;
    if (text.startsWith(QLatin1String("@String(")))
        return text.mid(8, text.size() - 9);
    for (const char* typed : {"@ByteArray(", "@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("})
        if (text.startsWith(QLatin1String(typed)))
            return std::nullopt;
    if (text == QLatin1String("@Invalid()"))
        return std::nullopt;
    return text;
}

// The end of the logical line that starts at `at`: a break ends it unless it is escaped or
// inside quotes. A ';' outside quotes starts a comment, which runs to the end of its line;
// contentEnd is where the content stops.
qsizetype LineEnd(QByteArrayView text, qsizetype at, qsizetype& contentEnd)
{
    bool quoted = false;
    qsizetype i = at;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            const char e = text[i + 1];
            i += 2;
            if (IsBreak(e) && i < text.size() && IsBreak(text[i]) && text[i] != e)
                ++i;
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (!quoted && (IsBreak(c) || c == ';')) {
            contentEnd = i;
            while (i < text.size() && !IsBreak(text[i]))
                ++i;
            return i;
        }
        ++i;
    }
    contentEnd = i;
    return i;
}

void AppendKey(QByteArray& out, QStringView key)
{
    static const char Hex[] = "0123456789ABCDEF";
    for (const QChar ch : key) {
        const char16_t u = ch.unicode();
        if (u == u'/') {
            out += '\\';
        } else if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_' ||
                   u == u'-' || u == u'.') {
            out += char(u);
        } else if (u <= 0xFF) {
            out += '%';
            out += Hex[u >> 4];
            out += Hex[u & 15];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += Hex[(u >> shift) & 15];
        }
    }
}

void AppendSection(QByteArray& out, const QString& section)
{
    out += '[';
    // A section of that name would be read as the one of names without a section.
    if (section.compare(GeneralSection, Qt::CaseInsensitive) == 0)
        out += '%' + section.toUtf8();
    else
        AppendKey(out, section);
    out += "]\n";
}

void AppendValue(QByteArray& out, const QString& value)
{
    QString text = value;
    if (text.contains(QChar(0)))
        text = QLatin1String("@String(") + text + QLatin1Char(')');
    else if (text.startsWith(QLatin1Char('@')))
        text.prepend(QLatin1Char('@'));
    const bool quote = text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' ')) ||
                       text.contains(QLatin1Char(',')) || text.contains(QLatin1Char(';')) ||
                       text.contains(QLatin1Char('='));
    if (quote)
        out += '"';
    // After a numeric escape a hexadecimal digit would be read as part of it.
    bool afterNumber = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        static const char Simple[][2] = {{'\\', '\\'}, {'"', '"'},  {'\a', 'a'}, {'\b', 'b'},
                                         {'\f', 'f'},  {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'}, {'\v', 'v'}};
        const auto simple = std::find_if(std::begin(Simple), std::end(Simple), [u](const char* s) { return s[0] == u; });
        if (simple != std::end(Simple)) {
            out += '\\';
            out += (*simple)[1];
            afterNumber = false;
        } else if (u == 0) {
            out += "\\0";
            afterNumber = true;
        } else if (u < 0x20 || (afterNumber && u < 0x80 && HexValue(char(u)) >= 0)) {
            out += "\\x" + QByteArray::number(int(u), 16);
            afterNumber = true;
        } else if (u < 0x80) {
            out += char(u);
            afterNumber = false;
        } else {
            qsizetype end = i + 1;
            while (end < text.size() && text[end].unicode() >= 0x80)
                ++end;
            out += QStringView(text).sliced(i, end - i).toUtf8();
            i = end - 1;
            afterNumber = false;
        }
    }
    if (quote)
        out += '"';
}

} // namespace

TEntries Parse(QByteArrayView text)
{
    TEntries entries;
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    QString section;
    qsizetype i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c) || IsBreak(c)) {
            ++i;
            continue;
        }
        if (c == ';' || c == '[') {
            const qsizetype start = i + 1;
            while (i < text.size() && !IsBreak(text[i]) && !(c == '[' && text[i] == ']'))
                ++i;
            if (c == '[') {
                const QByteArrayView raw = Trimmed(text.sliced(start, i - start));
                if (QLatin1String(raw.data(), raw.size()).compare(GeneralSection, Qt::CaseInsensitive) == 0)
                    section.clear();
                else if (raw.size() == 8 && raw.front() == '%' &&
                         QLatin1String(raw.data() + 1, 7).compare(GeneralSection, Qt::CaseInsensitive) == 0)
                    section = QString::fromLatin1(raw.sliced(1));
                else
                    section = UnescapeKey(raw);
            }
            while (i < text.size() && !IsBreak(text[i]))
                ++i;
            continue;
        }
        qsizetype contentEnd = i;
        const qsizetype end = LineEnd(text, i, contentEnd);
        const QByteArrayView line = text.sliced(i, contentEnd - i);
        i = end;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const std::optional<QString> value = UnescapeValue(line.sliced(equals + 1));
        std::optional<QString> stored = value ? FromStored(*value) : std::nullopt;
        const QString key = UnescapeKey(Trimmed(line.first(equals)));
        if (key.isEmpty())
            continue;
        const QString name = section.isEmpty() ? key : section + QLatin1Char('/') + key;
        // The last of two entries of one name counts, even when it is no text.
        if (stored)
            entries.insert(name, *std::move(stored));
        else
            entries.remove(name);
    }
    return entries;
}

QByteArray Render(const TEntries& entries)
{
    // Section -> its entries' keys and texts, the section of names without '/' first.
    QMap<QString, QList<std::pair<QString, QString>>> sections;
    QList<std::pair<QString, QString>> general;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        if (slash < 0)
            general.append({it.key(), it.value()});
        else
            sections[it.key().left(slash)].append({it.key().mid(slash + 1), it.value()});
    }
    QByteArray out;
    auto appendSection = [&out](const QString* section, const QList<std::pair<QString, QString>>& lines) {
        if (!out.isEmpty())
            out += '\n';
        if (section)
            AppendSection(out, *section);
        else
            out += "[General]\n";
        for (const auto& [key, value] : lines) {
            AppendKey(out, key);
            out += '=';
            AppendValue(out, value);
            out += '\n';
        }
    };
    if (!general.isEmpty())
        appendSection(nullptr, general);
    for (auto it = sections.begin(); it != sections.end(); ++it)
        appendSection(&it.key(), it.value());
    return out;
}

} // namespace IniText
