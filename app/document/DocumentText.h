#pragma once
// The text forms of values inside document files. None of them depends on the user's locale:
// numbers are written and read with std::to_chars / std::from_chars, so a file written under a
// comma-decimal locale reads back the same anywhere.

#include "shared/core/Guid.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace DocumentText {

// Money: the 64-bit fixed-point value (units of 1/10000) written exactly, with at most four
// decimals and no trailing zeros: 12345000 gives "1234.5", -2500 gives "-0.25", 0 gives "0".
std::string MoneyToText(int64_t money);
// Reads a payoff in currency units into the fixed-point value. Plain decimals with at most four
// significant decimals are taken exactly; anything else (older files wrote up to fifteen
// significant digits, and exponents) is read as a double, times 10000, rounded to the nearest
// integer with halves to even, which is how such files were always read. Raises FormatException
// for a text that is not a number and for one that is not finite or does not fit the money range.
int64_t TextToMoney(std::string_view text, const char* elementName);

// Probability: the shortest text that reads back to the same double.
std::string DoubleToText(double value);
// Raises FormatException for a text that is not a number, not finite or out of the double range.
double TextToDouble(std::string_view text, const char* elementName);

// Decimal integer with an optional sign; blanks around it are ignored. Raises FormatException for
// an empty text, a text that is not an integer and one outside the 32-bit range.
int TextToInt(std::string_view text, const char* elementName);
std::string IntToText(int value);
// Like TextToInt, but answers false instead of raising.
bool TryTextToInt(std::string_view text, int& value);

// The 36-character lower-case "D" form, as Guid::ToString writes it.
std::string GuidToText(const TGuid& guid);
// Guid::Parse, with a fast path for the exact "D" form that the writer produces.
TGuid TextToGuid(std::string_view text);

// ASCII blanks and control whitespace at both ends removed.
std::string_view Trim(std::string_view text);

inline QString ToQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

// A text from a file as an error message quotes it: its first 64 characters, then "..." when
// there is more. A hostile file may put megabytes into one value, and the message ends up in a
// message box.
QString Excerpt(std::string_view utf8);

} // namespace DocumentText
