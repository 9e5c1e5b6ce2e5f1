#pragma once
// Numbers as the user reads and types them: the locale's decimal point and digit grouping.
// Only dialogs use these; documents keep the locale-independent forms of StringHelpers.h.

#include <QLocale>
#include <QString>

#include <optional>

// value with exactly `decimals` digits after the decimal point (0 or more), thousands grouped.
// At most 15 significant digits come from the value; further places are zeros, so 1.1 with 20
// decimals never shows the binary representation's noise. Infinity and NaN give the locale's
// own texts.
QString FormatLocaleNumber(double value, int decimals, const QLocale& locale = QLocale());

// Reads what FormatLocaleNumber writes, and what a user types in the same locale: group
// separators may be left out, blanks around the number are ignored. Empty when the text is not
// a finite number.
std::optional<double> ParseLocaleNumber(const QString& text, const QLocale& locale = QLocale());
