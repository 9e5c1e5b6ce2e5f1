#include "app/forms/DisplayNumbers.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdio>

QString FormatDisplayNumber(double value, int decimals, bool grouped)
{
    decimals = std::max(decimals, 0);
    QLocale locale;
    locale.setNumberOptions(grouped ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    if (!std::isfinite(value))
        return locale.toString(value);
    // Rounded to 15 significant digits first; decimals beyond them are zeros, never the binary
    // noise of the double.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const double rounded = std::strtod(buffer, nullptr);
    const int exponent = rounded == 0 ? 0 : int(std::floor(std::log10(std::fabs(rounded))));
    const int significant = std::clamp(14 - exponent, 0, decimals);
    QString text = locale.toString(rounded, 'f', significant);
    if (significant < decimals) {
        if (significant == 0)
            text += locale.decimalPoint();
        text += QString(decimals - significant, locale.zeroDigit().at(0));
    }
    return text;
}

bool ParseDisplayNumber(const QString& text, double& value)
{
    bool ok = false;
    const double read = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(read))
        return false;
    value = read;
    return true;
}
