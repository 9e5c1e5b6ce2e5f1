#pragma once
// The system's own monetary settings (the C library's LC_MONETARY) as the currency format codes
// that documents keep: the settings a user made for the desktop, rather than the toolkit's
// built-in data for the language.

#include <QByteArray>
#include <QString>

#include <optional>

struct TMonetaryFormat {
    QString Symbol;
    int Decimals = 2;
    // Codes of the layouts in CurrencyLayouts.h.
    int PositiveFormat = 0;
    int NegativeFormat = 1;
};

// The settings of a locale as the C library names it ("de_DE.UTF-8"); the empty name takes the
// locale from the environment, as the program's start did (LC_ALL, LC_MONETARY, LANG). Empty
// when that locale is not installed, or is the plain C locale, which has no currency.
std::optional<TMonetaryFormat> ReadMonetaryFormat(const QByteArray& localeName = QByteArray());

// The format codes for the C library's description of an amount's layout: whether the symbol
// precedes the value, how blanks separate symbol, sign and value (0, 1, 2), and where the sign
// stands (0 brackets, 1 before all, 2 after all, 3 just before the symbol, 4 just after it).
int PositiveFormatCode(bool symbolPrecedes, int separatedBySpace);
int NegativeFormatCode(bool symbolPrecedes, int separatedBySpace, int signPosition);
