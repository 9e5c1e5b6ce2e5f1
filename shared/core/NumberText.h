#pragma once
// Numbers in the one locale-independent form that documents keep ("-12.5", ".25", "1.5e3",
// "+4"). The document reader reads its numbers here, and so does every field where the user types
// an amount, once the locale's reading (LocaleNumbers.h) has brought the text to this form: an
// amount typed and the same amount opened from a file give the same bits.

#include <cstdint>
#include <string_view>

enum class TNumberTextResult { Ok, NotANumber, OutOfRange };

// A sign ('+' or '-'), digits with '.' as decimal point, an exponent. Nothing around it: no
// blanks, no "inf" or "nan"; beyond the double range (or below it) is out of range.
TNumberTextResult ParseNumberText(std::string_view text, double& value);

// Money, the 64-bit amount in units of 1/10000. A decimal (also one with an exponent) whose digits
// beyond the fourth decimal are all zero is taken exactly, without a double in between; one with
// more precision is read as a double, times 10000, rounded to the nearest unit with halves to
// even. Out of range when the text's own value, rounded to the nearest unit, does not fit the
// 64-bit amount: decided exactly, also where a double is coarser than a unit.
TNumberTextResult ParseMoneyText(std::string_view text, int64_t& money);
