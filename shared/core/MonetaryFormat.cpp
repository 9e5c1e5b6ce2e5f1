#include "shared/core/MonetaryFormat.h"

#include "shared/core/CurrencyLayouts.h"

#include <climits>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace {

// The layout of an amount by the C library's rules: 'S' the symbol, 'N' the value, 'G' the
// sign (left out when there is none).
std::string Layout(bool symbolPrecedes, int separatedBySpace, int signPosition, bool signed_)
{
    std::string tokens = symbolPrecedes ? "SN" : "NS";
    if (signPosition == 0) {
        if (separatedBySpace == 1)
            tokens.insert(1, " ");
        return "(" + tokens + ")";
    }
    if (signed_) {
        const size_t symbol = tokens.find('S');
        switch (signPosition) {
        case 2: tokens += 'G'; break;
        case 3: tokens.insert(symbol, "G"); break;
        case 4: tokens.insert(symbol + 1, "G"); break;
        default: tokens.insert(0, "G"); break; // 1, and unspecified
        }
    }
    const size_t s = tokens.find('S'), n = tokens.find('N'), g = tokens.find('G');
    const bool adjacent = g != std::string::npos && (g + 1 == s || s + 1 == g);
    auto spaceBetween = [&tokens](size_t a, size_t b) { tokens.insert(std::max(a, b), " "); };
    if (separatedBySpace == 1) {
        // Between the value and the symbol, or the symbol with its sign beside it.
        if (!adjacent)
            spaceBetween(s, n);
        else
            spaceBetween(n, n + 1 == std::min(s, g) ? n + 1 : n - 1);
    } else if (separatedBySpace == 2 && g != std::string::npos) {
        // Between the symbol and the sign beside it, or else the sign and the value.
        spaceBetween(g, adjacent ? s : n);
    }
    return tokens;
}

std::string Render(std::string tokens)
{
    for (char& c : tokens)
        c = c == 'S' ? '$' : c == 'G' ? '-' : c;
    return tokens;
}

QString Decode(const char* text, const char* codeset)
{
    if (!text)
        return QString();
    if (!codeset || !std::strcmp(codeset, "UTF-8"))
        return QString::fromUtf8(text);
    iconv_t convert = iconv_open("UTF-8", codeset);
    if (convert == iconv_t(-1))
        return QString::fromLatin1(text);
    std::string in(text), out(in.size() * 4 + 4, '\0');
    char* from = in.data();
    char* to = out.data();
    size_t left = in.size(), room = out.size();
    const bool ok = iconv(convert, &from, &left, &to, &room) != size_t(-1);
    iconv_close(convert);
    return ok ? QString::fromUtf8(out.data(), qsizetype(out.size() - room)) : QString::fromLatin1(text);
}

} // namespace

int PositiveFormatCode(bool symbolPrecedes, int separatedBySpace)
{
    const std::string layout = Render(Layout(symbolPrecedes, separatedBySpace, 1, false));
    for (int code = 0; code < 4; ++code)
        if (layout == PositiveCurrencyLayouts[code])
            return code;
    return symbolPrecedes ? 0 : 1;
}

int NegativeFormatCode(bool symbolPrecedes, int separatedBySpace, int signPosition)
{
    const std::string layout = Render(Layout(symbolPrecedes, separatedBySpace, signPosition, true));
    for (int code = 0; code < 16; ++code)
        if (layout == NegativeCurrencyLayouts[code])
            return code;
    // A layout the codes do not have: the same without its blanks.
    if (separatedBySpace != 0)
        return NegativeFormatCode(symbolPrecedes, 0, signPosition);
    return symbolPrecedes ? 1 : 5;
}

std::optional<TMonetaryFormat> ReadMonetaryFormat(const QByteArray& localeName)
{
    const locale_t locale = newlocale(LC_MONETARY_MASK | LC_CTYPE_MASK, localeName.constData(), locale_t(nullptr));
    if (!locale)
        return std::nullopt;
    auto number = [locale](nl_item item) {
        const char* value = nl_langinfo_l(item, locale);
        return value ? int(value[0]) : CHAR_MAX;
    };
    TMonetaryFormat format;
    format.Symbol = Decode(nl_langinfo_l(CURRENCY_SYMBOL, locale), nl_langinfo_l(CODESET, locale)).trimmed();
    const int decimals = number(FRAC_DIGITS);
    const bool positivePrecedes = number(P_CS_PRECEDES) == 1, negativePrecedes = number(N_CS_PRECEDES) == 1;
    const int positiveSpace = number(P_SEP_BY_SPACE), negativeSpace = number(N_SEP_BY_SPACE);
    const int signPosition = number(N_SIGN_POSN);
    freelocale(locale);
    if (format.Symbol.isEmpty() && (decimals == CHAR_MAX || decimals < 0))
        return std::nullopt;
    format.Decimals = decimals == CHAR_MAX || decimals < 0 ? 2 : decimals;
    format.PositiveFormat = PositiveFormatCode(positivePrecedes, positiveSpace == CHAR_MAX ? 0 : positiveSpace);
    format.NegativeFormat = NegativeFormatCode(negativePrecedes, negativeSpace == CHAR_MAX ? 0 : negativeSpace,
                                               signPosition == CHAR_MAX ? 1 : signPosition);
    return format;
}
