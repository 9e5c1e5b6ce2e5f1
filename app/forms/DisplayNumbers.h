#pragma once
// Numbers as the dialogs show them: in the user's locale, with a fixed number of decimals and at
// most 15 significant digits (a double holds no more), grouped or not.

#include <QString>

// decimals below 0 count as 0; more than the digits a double holds are padded with zeros.
QString FormatDisplayNumber(double value, int decimals, bool grouped);
// Reads a number typed in the user's locale (group separators allowed); false for anything else.
bool ParseDisplayNumber(const QString& text, double& value);
