#include "shared/core/LocaleNumbers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QLocale De(QLocale::German, QLocale::Germany);
const QLocale Fr(QLocale::French, QLocale::France);
const QLocale Ru(QLocale::Russian, QLocale::Russia);
const QLocale Tr(QLocale::Turkish, QLocale::Turkey);
const QLocale In(QLocale::English, QLocale::India);
const QLocale Us(QLocale::English, QLocale::UnitedStates);

TEST(LocaleNumbersTest, FormatsWithTheLocalesGroupingAndExactDecimals)
{
    struct Case { double value; int decimals; const QLocale& locale; const char* expected; };
    const Case cases[] = {
        // Past 15 significant digits only zeros follow, never the double's noise.
        {1.1, 2, Us, "1.10"}, {1.1, 20, Us, "1.10000000000000000000"}, {0.1 + 0.2, 17, Us, "0.30000000000000000"},
        {123456789012345678.0, 1, Us, "123,456,789,012,346,000.0"}, {1234567.891, 2, De, "1.234.567,89"},
        {-1234.5, 0, De, "-1.235"}, {0, 3, De, "0,000"}, {5, -4, Us, "5"}, {1234567.891, 2, In, "12,34,567.89"},
        {-123456789, 0, In, "-12,34,56,789"}, {123, 0, In, "123"}, {1234567.5, 1, Fr, "1\u202F234\u202F567,5"},
        {1234.5, 1, Ru, "1\u00A0234,5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLocaleNumber(c.value, c.decimals, c.locale), QString::fromUtf8(c.expected))
            << c.value << " with " << c.decimals;
}

// What users in six countries type: read right, or refused, never silently another number.
TEST(LocaleNumbersTest, ReadsTypedNumbersOrRefusesThem)
{
    constexpr double Ambiguous = 1e300, Invalid = -1e300;
    struct Case { const QLocale& locale; const char* text; double expected; }; // or one of the two refusals
    const Case cases[] = {
        {De, "0.125", 0.125}, {De, "12.5", 12.5},     {De, "1.234", 1234},      {De, "1.234,5", 1234.5},
        {De, "1.23", 1.23},       {De, "12,5", 12.5},     {De, "12.345.678", 12345678}, {De, "1.2.3", Invalid},
        {De, "1.234.5", Invalid}, {De, "-0,5", -0.5},     {De, "1,5E-3", 0.0015},   {De, "12.", 12},
        {De, ",5", 0.5},          {De, "1 234", Invalid}, {De, " 7 ", 7},           {De, "abc", Invalid},
        {De, "1,2,3", Invalid},   {De, "12,5.3", Invalid},
        {Fr, "1\u202F234,5", 1234.5}, {Fr, "1 234,5", 1234.5}, {Fr, "1\u00A0234", 1234}, {Fr, "12.5", 12.5},
        {Fr, "1.234", Ambiguous}, {Fr, "0,125", 0.125},   {Fr, "1 23", Invalid},
        {Ru, "1\u00A0234\u00A0567,5", 1234567.5}, {Ru, "12.5", 12.5}, {Ru, "1.5.5", Invalid}, {Ru, "12.345", Ambiguous}, {Ru, "0.125", 0.125},
        {Tr, "0.125", 0.125}, {Tr, "1.234,56", 1234.56}, {Tr, "12.5", 12.5},
        {In, "1,234,567.50", 1234567.5}, {In, "12,34,567.5", 1234567.5}, {In, "1,23,456", 123456},
        {In, "12,345", 12345},    {In, "1,2,3", Invalid}, {In, "12,5", 12.5},
        {Us, "0,125", 0.125}, {Us, "1,5", 1.5},       {Us, "12,5", 12.5},       {Us, "1,234", 1234},
        {Us, "1,234.5", 1234.5},  {Us, "12,34,567", Invalid}, {Us, "1.234,5", Invalid}, {Us, "0.125", 0.125},
        {Us, "1,2345", 1.2345},   {Us, "+2", 2},          {Us, "1e", Invalid},      {Us, "--1", Invalid},
        {Us, "1,234,", Invalid},
    };
    for (const Case& c : cases) {
        const TLocaleNumber r = ReadLocaleNumber(QString::fromUtf8(c.text), c.locale);
        const double read = r.Kind == TNumberText::Number ? r.Value : r.Kind == TNumberText::Ambiguous ? Ambiguous : Invalid;
        EXPECT_DOUBLE_EQ(read, c.expected) << c.text << " in " << c.locale.name().toStdString();
    }
    EXPECT_EQ(ReadLocaleNumber(QString(), De).Kind, TNumberText::Empty);
    EXPECT_EQ(ReadLocaleNumber(QStringLiteral("1e400"), Us).Kind, TNumberText::TooLarge);
    EXPECT_FALSE(ParseLocaleNumber(QStringLiteral("1.2.5"), De).has_value());
}

TEST(LocaleNumbersTest, WhatIsShownReadsBack)
{
    for (const QLocale& locale : {De, Fr, Ru, Tr, In, Us})
        for (double value : {0.0, -1234567.25, 0.001, 98765432.5, 1234.5, -0.125})
            EXPECT_EQ(ParseLocaleNumber(FormatLocaleNumber(value, 3, locale), locale), value)
                << value << " in " << locale.name().toStdString();
}

// A typed amount holds the same units as the file text of the same number: exactly, not
// through a double, up to the ends of the money range.
TEST(LocaleNumbersTest, TypedAmountsKeepEveryUnit)
{
    struct Case { const char* typed; const QLocale& locale; std::optional<int64_t> money; };
    const Case cases[] = {
        {"922337203685477", Us, 9223372036854770000}, // 922337203685476.9664 through a double
        {"922.337.203.685.477,5807", De, INT64_MAX},
        {"-922337203685477.5808", Us, INT64_MIN},
        {"922337203685477.5808", Us, std::nullopt},
        {"(1,234.5678 $)", Us, -12345678},
        {"-0-", Us, 0},
        {"0,00016", Fr, 2}, // beyond the fourth decimal: rounded
        {"1e3", Us, 10000000},
        {"1.234", Fr, std::nullopt}, // ambiguous
        // no number, or beyond the range in another notation: refused, never 0
        {"-", Us, std::nullopt},
        {"+", Us, std::nullopt},
        {".", Us, std::nullopt},
        {"-.", Us, std::nullopt},
        {",", De, std::nullopt},
        {"9.223372036854775808e14", Us, std::nullopt},
        {"-9.223372036854775808e14", Us, INT64_MIN},
    };
    for (const Case& c : cases) {
        const QString typed = QString::fromUtf8(c.typed);
        EXPECT_EQ(ReadingToMoney(ReadLocaleMoney(typed, QStringLiteral("$"), c.locale)), c.money) << c.typed;
    }
}

} // namespace
