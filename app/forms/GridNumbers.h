#pragma once
// Numbers of a worksheet as the import dialog's grid and lists show them: the text
// FormatLocaleNumber gives (grouped, 15 significant digits, then the decimals), made without
// its round trips through text, since a large sheet shows hundreds of thousands of them and the
// grid sizes its columns to the widest.

#include <QString>

// decimals below 0 count as 0.
QString FormatGridNumber(double value, int decimals);
