#pragma once
// Numbers as the user reads and types them: the locale's decimal point and digit grouping.
// Documents keep the locale-independent forms of StringHelpers.h.
//
// Every view groups digits through TNumberSymbols, so the tree, its print and pictures, the
// dialogs and the grids show one number alike; and every field where the user types a number
// reads it through ReadLocaleNumber, so that what any of them shows can be typed back.

#include <QLocale>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <string>

// How a locale writes numbers.
struct TNumberSymbols {
    QString Decimal;
    // Empty when numbers are written without grouping.
    QString Group;
    QString Minus;
    char16_t Zero = u'0';
    // Digits in the group next to the decimal point, in every group further left (2 in the
    // Indian grouping, 12,34,567), and the least number of digits left of the first group for
    // grouping to start (2 where 1234 stays whole but 12.345 is grouped).
    int FirstGroup = 3;
    int OtherGroups = 3;
    int MinimumGrouping = 1;

    static TNumberSymbols Of(const QLocale& locale);
    // Of the default locale, looked up again only when that changes: views format numbers by
    // the thousand.
    static const TNumberSymbols& Current();

    // How many group separators an integer part of `digits` digits holds.
    qsizetype SeparatorCount(qsizetype digits) const;
    // Whether a group separator stands before the digit that has `right` digits after it in
    // an integer part of `digits` digits.
    bool SeparatorBefore(qsizetype right, qsizetype digits) const;
    // The digits with group separators put in.
    QString GroupDigits(QStringView digits) const;
};

// value with exactly `decimals` digits after the decimal point (0 or more), grouped as
// TNumberSymbols says (not at all when the locale omits group separators). At most 15
// significant digits come from the value; further places are zeros, so 1.1 with 20 decimals
// never shows the binary representation's noise. Infinity and NaN give the locale's own texts.
QString FormatLocaleNumber(double value, int decimals, const QLocale& locale = QLocale());

enum class TNumberText {
    Number,
    Empty,
    // Not a number in the locale, nor unambiguously in the other common convention.
    Invalid,
    // One separator of the other convention followed by exactly three digits: it may be a
    // decimal point or a group separator (0.125 typed under a locale that writes 0,125).
    Ambiguous,
    // Written as a number, but beyond what a double holds.
    TooLarge,
};

// What a typed text holds.
struct TLocaleNumber {
    TNumberText Kind = TNumberText::Empty;
    double Value = 0;
    // Ambiguous: the two readings, as a decimal fraction and as grouped digits.
    double AsFraction = 0;
    double AsGrouped = 0;
    int FractionDigits = 0;
    // A number: the text it was read from, in the form documents keep ("-1234.5", "2e3").
    std::string Invariant;
    bool IsNumber() const { return Kind == TNumberText::Number; }
};

// Reads a number as the user types it: the locale's decimal point; group separators only where
// they group correctly (in threes, or in the locale's own way such as 12,34,567), never after a
// lone leading 0; a plain or no-break space for a locale that groups with a space; a sign in
// front and an exponent after. Text that is no number in the locale is read with the other
// common decimal point ("." for ",", "," for ".") when it holds exactly one such separator and
// other than exactly three digits follow it. Blanks around the number are ignored.
TLocaleNumber ReadLocaleNumber(const QString& text, const QLocale& locale = QLocale());
// An amount as the tree shows it: a number, or one with the currency symbol and the negative
// forms of the currency formats (a minus before or after, brackets) around it.
TLocaleNumber ReadLocaleMoney(const QString& text, const QString& currencySymbol, const QLocale& locale = QLocale());
// The amount of a number reading in units of 1/10000, converted from its text exactly as a
// document's amounts are (NumberText.h), so that typing an amount and opening a file that holds
// it give the same bits; empty unless the reading is a number that fits.
std::optional<int64_t> ReadingToMoney(const TLocaleNumber& reading);
// The number alone; empty unless the text is a number.
std::optional<double> ParseLocaleNumber(const QString& text, const QLocale& locale = QLocale());

// Why a reading is not a number, for the user: "Invalid number", or which numbers an ambiguous
// text may mean. Empty for a number.
QString NumberRefusal(const TLocaleNumber& reading, const QLocale& locale = QLocale());

namespace LocaleNumberTexts {
inline const QString InvalidNumber = QStringLiteral("Invalid number");
inline const QString AmbiguousNumber = QStringLiteral("Ambiguous number: %1 or %2?");
inline const QString TooLarge = QStringLiteral("Number too large");
} // namespace LocaleNumberTexts
