#include "shared/core/LocaleNumbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

TEST(LocaleNumbersTest, FormatsWithGroupingAndExactDecimals)
{
    struct Case {
        double value;
        int decimals;
        const QLocale& locale;
        const char* expected;
    };
    const Case cases[] = {
        {1.1, 2, English, "1.10"},
        // Past 15 significant digits only zeros follow, never the double's noise.
        {1.1, 20, English, "1.10000000000000000000"},
        {0.1 + 0.2, 17, English, "0.30000000000000000"},
        {123456789012345678.0, 1, English, "123,456,789,012,346,000.0"},
        {1234567.891, 2, English, "1,234,567.89"},
        {1234567.891, 2, German, "1.234.567,89"},
        {-1234.5, 0, German, "-1.235"},
        {0, 3, German, "0,000"},
        {5, -4, English, "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLocaleNumber(c.value, c.decimals, c.locale), QString::fromUtf8(c.expected))
            << c.value << " with " << c.decimals;
}

TEST(LocaleNumbersTest, ParsesWhatItFormatsAndWhatUsersType)
{
    for (const QLocale& locale : {English, German})
        for (double value : {0.0, -1234567.25, 0.001, 98765432.5})
            EXPECT_EQ(ParseLocaleNumber(FormatLocaleNumber(value, 3, locale), locale), value);
    EXPECT_EQ(ParseLocaleNumber(QStringLiteral(" 1234,5 "), German), 1234.5);
    EXPECT_EQ(ParseLocaleNumber(QStringLiteral("1234.5"), English), 1234.5);
    for (const char* bad : {"", "abc", "1.2.3x", "inf", "nan", "1e999"})
        EXPECT_FALSE(ParseLocaleNumber(QString::fromLatin1(bad), English).has_value()) << bad;
}

} // namespace
