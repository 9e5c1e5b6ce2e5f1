#include "shared/core/IniText.h"

#include <QDataStream>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QVariant>

#include <optional>

// Reading follows QSettings step by step, since any shortcut reads some file differently: the
// file is cut into lines, the lines into sections, the sections are read in the order of their
// names (one name's sections as one), and each value is taken apart by the same rules, down to
// where trailing blanks are cut and where a byte-order mark is dropped.

namespace IniText {

namespace {

const QLatin1String GeneralSection("General");

enum : unsigned char { Space = 1, Special = 2 };

// What ends or shapes a line: blanks before a line are skipped, and breaks, quotes, ';', '=' and
// '\' have a meaning of their own.
unsigned char Traits(char c)
{
    switch (c) {
    case '\t':
    case ' ':
        return Space;
    case '\n':
    case '\r':
        return Space | Special;
    case '"':
    case ';':
    case '=':
    case '\\':
        return Special;
    default:
        return 0;
    }
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

// The next line from pos on: its start and length, and where its first '=' outside quotes is
// (-1 for none). A break inside quotes or after '\' does not end a line; a ';' at a line's start
// makes the line a comment, which is skipped, and elsewhere outside quotes ends the line (the
// rest then starts the next one, a comment). False when no line is left.
bool ReadLine(QByteArrayView data, qsizetype& pos, qsizetype& lineStart, qsizetype& lineLength, qsizetype& equals)
{
    const qsizetype size = data.size();
    bool quoted = false;
    equals = -1;
    lineStart = pos;
    while (lineStart < size && (Traits(data[lineStart]) & Space))
        ++lineStart;
    qsizetype i = lineStart;
    while (i < size) {
        char c = data[i];
        while (!(Traits(c) & Special)) {
            if (++i == size)
                goto end;
            c = data[i];
        }
        ++i;
        if (c == '=') {
            if (!quoted && equals == -1)
                equals = i - 1;
        } else if (IsBreak(c)) {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!quoted) {
                --i;
                goto end;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char escaped = data[i++];
                if (i < size) {
                    const char next = data[i];
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (c == '"') {
            quoted = !quoted;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < size && !IsBreak(data[i]))
                    ++i;
                while (i < size && (Traits(data[i]) & Space))
                    ++i;
                lineStart = i;
            } else if (!quoted) {
                --i;
                goto end;
            }
        }
    }
end:
    pos = i;
    lineLength = i - lineStart;
    return lineLength > 0;
}

// "a\b%20c" -> "a/b c": '\' separates segments, "%XX" and "%UXXXX" are escaped characters, read
// with the number rules QSettings uses (which let a sign or blanks stand among the digits).
QString UnescapeKey(QByteArrayView raw)
{
    const QString decoded = QString::fromUtf8(raw);
    const qsizetype size = decoded.size();
    QString key;
    qsizetype i = 0;
    while (i < size) {
        const QChar c = decoded[i];
        if (c == QLatin1Char('\\')) {
            key += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c != QLatin1Char('%') || i == size - 1) {
            key += c;
            ++i;
            continue;
        }
        int digits = 2;
        qsizetype first = i + 1;
        if (decoded[first] == QLatin1Char('U')) {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort unit = first + digits > size ? 0 : QStringView(decoded).sliced(first, digits).toUShort(&ok, 16);
        if (!ok) {
            key += QLatin1Char('%');
            ++i;
            continue;
        }
        key += QChar(unit);
        i = first + digits;
    }
    return key;
}

// Cuts blanks off the end of text, but none before limit.
void ChopBlanks(QString& text, qsizetype limit)
{
    while (text.size() > limit && (text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\t')))
        text.chop(1);
}

// The string a value's text stands for; nothing when it is a list (a comma outside quotes).
//
// Plain runs of bytes go through one UTF-8 decoder for the whole value, as in QSettings: a
// byte-order mark is dropped only where that decoder starts, and a character cut in two by an
// escape is joined again after it.
std::optional<QString> UnescapeValue(QByteArrayView v)
{
    static const char Simple[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'},  {'t', '\t'},
                                     {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QStringDecoder fromUtf8(QStringDecoder::Utf8);
    QString text;
    bool list = false;
    bool quoted = false;
    bool hadQuotes = false;
    // Blanks before here came from quotes or escapes and are never cut off.
    qsizetype limit = 0;
    const qsizetype size = v.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < size && (v[i] == ' ' || v[i] == '\t'))
            ++i;
    };
    skipBlanks();
    while (i < size) {
        const char c = v[i];
        if (c == '\\') {
            // A '\' that ends the value ends it as it is, without cutting blanks.
            if (++i >= size)
                return list ? std::nullopt : std::optional<QString>(text);
            const char e = v[i++];
            bool simple = false;
            for (const auto& [code, character] : Simple)
                if (e == code) {
                    text += QLatin1Char(character);
                    simple = true;
                    break;
                }
            if (!simple && e == 'x') {
                if (i >= size)
                    return list ? std::nullopt : std::optional<QString>(text);
                if (HexValue(v[i]) >= 0) {
                    char16_t unit = 0;
                    for (; i < size && HexValue(v[i]) >= 0; ++i)
                        unit = char16_t(unit * 16 + HexValue(v[i]));
                    text += QChar(unit);
                }
            } else if (!simple && e >= '0' && e <= '7') {
                char16_t unit = char16_t(e - '0');
                for (; i < size && v[i] >= '0' && v[i] <= '7'; ++i)
                    unit = char16_t(unit * 8 + (v[i] - '0'));
                text += QChar(unit);
            } else if (!simple && IsBreak(e)) {
                // A line continued: "\r\n" and "\n\r" count as one break.
                if (i < size && IsBreak(v[i]) && v[i] != e)
                    ++i;
            }
            // Any other escaped character is left out.
            limit = text.size();
        } else if (c == '"') {
            ++i;
            hadQuotes = true;
            quoted = !quoted;
            if (!quoted) {
                skipBlanks();
                limit = text.size();
            }
        } else if (c == ',' && !quoted) {
            // The items of a list are of no interest, only that it is one; each item starts
            // afresh as QSettings's do.
            list = true;
            text.clear();
            hadQuotes = false;
            ++i;
            skipBlanks();
            limit = 0;
        } else {
            qsizetype end = i + 1;
            while (end < size && v[end] != '\\' && v[end] != '"' && v[end] != ',')
                ++end;
            text += fromUtf8(v.sliced(i, end - i));
            i = end;
        }
    }
    if (list)
        return std::nullopt;
    if (!hadQuotes)
        ChopBlanks(text, limit);
    return text;
}

// How many arguments "@Rect(1 2 3 4)" and its kind hold, counted as QSettings counts them.
qsizetype ArgumentCount(QStringView text, qsizetype open)
{
    qsizetype count = 0;
    for (const QChar c : text.sliced(open + 1))
        if (c == QLatin1Char(' ') || c == QLatin1Char(')'))
            ++count;
    return count;
}

// The text of a "@Variant(...)" or "@DateTime(...)" value that holds a string; nothing when it
// holds anything else, which is not even decoded.
std::optional<QString> VariantText(QStringView text)
{
    const bool dateTime = text[1] == QLatin1Char('D');
    QByteArray bytes = text.sliced(dateTime ? 10 : 9).toLatin1();
    const auto version = dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0;
    QDataStream peek(bytes);
    peek.setVersion(version);
    quint32 type = 0;
    peek >> type;
    // A type without a number of its own is named, after a null mark in the later version.
    if (type == (dateTime ? quint32(QMetaType::User) : 127u)) {
        qint8 isNull = 0;
        if (dateTime)
            peek >> isNull;
        QByteArray name;
        peek >> name;
        if (QMetaType::fromName(name).id() != QMetaType::QString)
            return std::nullopt;
    } else if (type != QMetaType::QString) {
        return std::nullopt;
    }
    QDataStream stream(bytes);
    stream.setVersion(version);
    QVariant value;
    stream >> value;
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

// The string a stored text stands for once its "@" forms are read; nothing for a typed value.
std::optional<QString> FromStored(const QString& text)
{
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.endsWith(QLatin1Char(')'))) {
        if (text.startsWith(QLatin1String("@ByteArray(")))
            return std::nullopt;
        if (text.startsWith(QLatin1String("@String(")))
            return text.sliced(8).chopped(1);
        if (text.startsWith(QLatin1String("@Variant(")) || text.startsWith(QLatin1String("@DateTime(")))
            return VariantText(text);
        // A shape with the wrong number of arguments stays a text.
        if (text.startsWith(QLatin1String("@Rect("))) {
            if (ArgumentCount(text, 5) == 4)
                return std::nullopt;
        } else if (text.startsWith(QLatin1String("@Size("))) {
            if (ArgumentCount(text, 5) == 2)
                return std::nullopt;
        } else if (text.startsWith(QLatin1String("@Point("))) {
            if (ArgumentCount(text, 6) == 2)
                return std::nullopt;
        } else if (text == QLatin1String("@Invalid()")) {
            return std::nullopt;
        }
    }
    if (text.startsWith(QLatin1String("@@")))
        return text.mid(1);
    return text;
}

// Whether a name can be asked for: QSettings reads "a//b", "/a" or "a/" into names that no
// question reaches, since every name asked for loses its empty segments first.
bool IsReachable(const QString& name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('/')) && !name.endsWith(QLatin1Char('/')) &&
           !name.contains(QLatin1String("//"));
}

// Reads the entries of one section's lines into entries; prefix is the section's name and '/'
// (empty for the section of names without one).
void ReadSection(const QString& prefix, QByteArrayView data, TEntries& entries)
{
    qsizetype pos = 0;
    qsizetype lineStart = 0;
    qsizetype lineLength = 0;
    qsizetype equals = -1;
    while (ReadLine(data, pos, lineStart, lineLength, equals)) {
        if (equals < 0)
            continue;
        const QString name = prefix + UnescapeKey(data.sliced(lineStart, equals - lineStart).trimmed());
        if (!IsReachable(name))
            continue;
        const std::optional<QString> value = UnescapeValue(data.sliced(equals + 1, lineStart + lineLength - equals - 1));
        std::optional<QString> stored = value ? FromStored(*value) : std::nullopt;
        // The last of two entries of one name counts, even when it is no text.
        if (stored)
            entries.insert(name, *std::move(stored));
        else
            entries.remove(name);
    }
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
    // A section of that name would be read as the one of names without a section. QSettings
    // writes "[%General]" for it in any case, which reads back as "General"; the name's own case
    // reads back as it was.
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
    const qsizetype start = out.size();
    bool quote = false;
    // After a numeric escape a hexadecimal digit would be read as part of it.
    bool afterNumber = false;
    // One encoder for the whole value, fed a character at a time, as in QSettings: half of a
    // surrogate pair that stands alone comes out where the encoder next gets a character.
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (const QChar& character : text) {
        const char16_t u = character.unicode();
        if (u == u';' || u == u',' || u == u'=')
            quote = true;
        if (afterNumber && u < 0x80 && HexValue(char(u)) >= 0) {
            out += "\\x" + QByteArray::number(int(u), 16);
            continue;
        }
        afterNumber = false;
        static const char Simple[][2] = {{'\\', '\\'}, {'"', '"'},  {'\a', 'a'}, {'\b', 'b'},
                                         {'\f', 'f'},  {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'}, {'\v', 'v'}};
        const char* simple = nullptr;
        for (const char* s : Simple)
            if (char16_t(s[0]) == u)
                simple = s;
        if (simple) {
            out += '\\';
            out += simple[1];
        } else if (u == 0) {
            out += "\\0";
            afterNumber = true;
        } else if (u < 0x20) {
            out += "\\x" + QByteArray::number(int(u), 16);
            afterNumber = true;
        } else {
            out += QByteArray(toUtf8(QStringView(&character, 1)));
        }
    }
    if (quote || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

} // namespace

TEntries Parse(QByteArrayView data)
{
    // Section name and '/' (empty for names without one) -> the bytes of its lines. Sections of
    // one name are one section, and they are read in name order, whatever their order in the file.
    QMap<QString, QByteArray> sections;
    QString current;
    qsizetype currentStart = 0;
    // A byte-order mark at the start is passed over where sections are looked for, but stays
    // in the first section's lines, where it belongs to the first name (and is dropped there
    // only when the name starts with it).
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    qsizetype lineStart = 0;
    qsizetype lineLength = 0;
    qsizetype equals = -1;
    auto endSection = [&] {
        QByteArray& lines = sections[current];
        if (!lines.isEmpty())
            lines += '\n';
        lines += data.first(lineStart).sliced(currentStart);
    };
    while (ReadLine(data, pos, lineStart, lineLength, equals)) {
        const QByteArrayView line = data.sliced(lineStart, lineLength);
        if (!line.startsWith('['))
            continue;
        endSection();
        qsizetype close = line.indexOf(']');
        if (close < 0)
            close = lineLength;
        const QByteArrayView name = line.first(close).sliced(1).trimmed();
        if (name.compare(QByteArrayView("general"), Qt::CaseInsensitive) == 0) {
            current.clear();
        } else {
            if (name.compare(QByteArrayView("%general"), Qt::CaseInsensitive) == 0)
                current = QString::fromLatin1(name.sliced(1));
            else
                current = UnescapeKey(name);
            current += QLatin1Char('/');
        }
        currentStart = pos;
    }
    endSection();
    TEntries entries;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it)
        ReadSection(it.key(), it.value(), entries);
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
