#include "shared/core/LocaleNumbers.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int SignificantDigits = 15;

} // namespace

QString FormatLocaleNumber(double value, int decimals, const QLocale& locale)
{
    if (decimals < 0)
        decimals = 0;
    if (!std::isfinite(value))
        return locale.toString(value);
    // The digits that carry meaning: 15 significant ones, counted from the first non-zero digit.
    int meaningful = decimals;
    if (value != 0) {
        // Rounding to 15 significant digits first keeps 0.1 + 0.2 from showing as 0.30000000000000004.
        value = QLocale::c().toDouble(QString::number(value, 'g', SignificantDigits));
        const int exponent = int(std::floor(std::log10(std::fabs(value))));
        meaningful = std::max(0, std::min(decimals, SignificantDigits - 1 - exponent));
    }
    QString text = locale.toString(value, 'f', meaningful);
    if (meaningful < decimals) {
        if (meaningful == 0)
            text += locale.decimalPoint();
        text += QString(locale.zeroDigit()).repeated(decimals - meaningful);
    }
    return text;
}

std::optional<double> ParseLocaleNumber(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
