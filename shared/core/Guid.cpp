#include "shared/core/Guid.h"

#include "shared/core/Exceptions.h"
#include "shared/core/NullString.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <random>
#include <cstring>
#include <pthread.h>
#include <sys/random.h>

namespace {

const QString& DigitsMessage()
{
    static const QString message =
        QStringLiteral("Guid should contain 32 digits with 4 dashes (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)");
    return message;
}

// Digit values of the ASCII characters, -1 for the rest; a table keeps parsing free of
// unpredictable branches on random digits.
constexpr auto HexTable = [] {
    std::array<int8_t, 128> t{};
    for (int c = 0; c < 128; ++c)
        t[size_t(c)] = c >= '0' && c <= '9' ? int8_t(c - '0')
                       : c >= 'a' && c <= 'f' ? int8_t(c - 'a' + 10)
                       : c >= 'A' && c <= 'F' ? int8_t(c - 'A' + 10)
                                              : int8_t(-1);
    return t;
}();

// Digit value of c, or -1 when c is not a hexadecimal digit.
inline int HexValue(char16_t c)
{
    return c < 128 ? HexTable[c] : -1;
}

// Reads from the last character to the first, so of several bad characters the last one is
// reported. Digits beyond the eighth from the right no longer fit and add nothing.
uint32_t HexSpanToCardinal(const char16_t* s, qsizetype len)
{
    uint32_t result = 0;
    for (qsizetype k = 0; k < len; ++k) {
        const char16_t c = s[len - 1 - k];
        const int v = HexValue(c);
        if (v < 0)
            throw InvalidOperationException(QStringLiteral("Not a valid hexadecimal character: ") + QChar(c));
        if (k < 8)
            result |= uint32_t(v) << (4 * k);
    }
    return result;
}

void FillRandom(void* buffer, size_t size)
{
    auto* p = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t n = getrandom(p, size, 0);
        if (n > 0) {
            p += n;
            size -= size_t(n);
        } else if (n < 0 && errno != EINTR) {
            // No kernel source (very old kernel or a sandbox): fall back to the library's.
            std::random_device device;
            while (size > 0) {
                *p++ = static_cast<unsigned char>(device());
                --size;
            }
        }
    }
}

inline char16_t* PutHex(char16_t* out, uint32_t value, int digits)
{
    static constexpr char16_t hex[] = u"0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = hex[value & 0xF];
        value >>= 4;
    }
    return out + digits;
}

} // namespace

TGuid Guid::NewGuid()
{
    // Every clone refresh gives each copied node a new id; one call to the kernel per id would
    // cost as much as the copying itself. The bytes come from the kernel a page at a time, kept
    // per thread; a forked child starts afresh, so that it never repeats its parent's ids.
    static std::atomic<unsigned> forks{0};
    static const bool watched = ::pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1); }) == 0;
    struct TRandomPool {
        unsigned char Bytes[4096];
        size_t Used = sizeof Bytes;
        unsigned Forks = 0;
    };
    thread_local TRandomPool pool;
    if (pool.Used + sizeof(TGuid) > sizeof pool.Bytes || pool.Forks != forks.load() || !watched) {
        FillRandom(pool.Bytes, sizeof pool.Bytes);
        pool.Used = 0;
        pool.Forks = forks.load();
    }
    TGuid g;
    std::memcpy(&g, pool.Bytes + pool.Used, sizeof g);
    pool.Used += sizeof g;
    // A random (version 4) identifier of the standard variant.
    g.D3 = uint16_t((g.D3 & 0x0FFF) | 0x4000);
    g.D4[0] = uint8_t((g.D4[0] & 0x3F) | 0x80);
    return g;
}

QString Guid::ToString(const TGuid& value)
{
    return ToStringWithFormat(value, QStringLiteral("D"));
}

QString Guid::ToStringWithFormat(const TGuid& value, const QString& format)
{
    char16_t letter = u'D';
    if (!IsNullString(format) && !format.isEmpty()) {
        if (format.size() > 1)
            throw FormatException(QStringLiteral(
                "Format String can be only \"D\", \"d\", \"N\", \"n\", \"P\", \"p\", \"B\" or \"b\"."));
        letter = format[0].unicode();
    }
    char16_t open = 0, close = 0;
    bool dashes = true;
    switch (letter) {
    case u'D': case u'd': break;
    case u'B': case u'b': open = u'{'; close = u'}'; break;
    case u'P': case u'p': open = u'('; close = u')'; break;
    default: dashes = false; break; // "N" and every other letter
    }

    char16_t buffer[38];
    char16_t* out = buffer;
    if (open)
        *out++ = open;
    out = PutHex(out, value.D1, 8);
    if (dashes)
        *out++ = u'-';
    out = PutHex(out, value.D2, 4);
    if (dashes)
        *out++ = u'-';
    out = PutHex(out, value.D3, 4);
    if (dashes)
        *out++ = u'-';
    out = PutHex(out, value.D4[0], 2);
    out = PutHex(out, value.D4[1], 2);
    if (dashes)
        *out++ = u'-';
    for (int i = 2; i < 8; ++i)
        out = PutHex(out, value.D4[i], 2);
    if (close)
        *out++ = close;
    return QString(reinterpret_cast<const QChar*>(buffer), out - buffer);
}

TGuid Guid::Parse(const QString& text)
{
    if (IsNullString(text))
        throw ArgumentNullException(QStringLiteral("s"));
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype begin = 0, end = text.size();
    while (begin < end && s[begin] <= 32)
        ++begin;
    while (end > begin && s[end - 1] <= 32)
        --end;
    if (begin == end)
        throw FormatException(DigitsMessage());
    if (s[begin] == u'(' || s[begin] == u'{')
        ++begin;
    if (begin == end)
        throw FormatException(DigitsMessage());
    if (s[end - 1] == u')' || s[end - 1] == u'}')
        --end;

    // Dashes may stand anywhere; what is left must be exactly 32 characters.
    char16_t digits[32];
    int count = 0;
    for (qsizetype i = begin; i < end; ++i) {
        if (s[i] == u'-')
            continue;
        if (count == 32)
            throw FormatException(DigitsMessage());
        digits[count++] = s[i];
    }
    if (count != 32)
        throw FormatException(DigitsMessage());

    TGuid g;
    g.D1 = HexSpanToCardinal(digits, 8);
    g.D2 = uint16_t(HexSpanToCardinal(digits + 8, 4));
    g.D3 = uint16_t(HexSpanToCardinal(digits + 12, 4));
    for (int i = 0; i < 8; ++i)
        g.D4[i] = uint8_t(HexSpanToCardinal(digits + 16 + 2 * i, 2));
    return g;
}

uint32_t HexToCardinal(const QString& text)
{
    return HexSpanToCardinal(reinterpret_cast<const char16_t*>(text.constData()), text.size());
}
