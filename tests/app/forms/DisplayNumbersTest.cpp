#include "app/forms/DisplayNumbers.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(DisplayNumbersTest, FifteenDigitsThenTheDecimalsShownInTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    struct Case {
        double Value;
        int Decimals;
        bool Grouped;
        QString Text;
    } cases[] = {
        {1234.5, 2, true, "1,234.50"},
        {-1234567.891, 1, false, "-1234567.9"},
        {0.125, 2, true, "0.13"},        // an exact half away from zero
        {9.995, 2, true, "10.00"},       // 15 digits first: 9.99500000000000, carried up
        {999999.996, 2, true, "1,000,000.00"},
        {-0.004, 2, true, "0.00"},       // no minus on a shown zero
        {0.0004, 3, true, "0.000"},
        {0.0006, 3, true, "0.001"},
        {0, 3, true, "0.000"},
        {1.1, 20, true, "1.10000000000000000000"},
        {123456789012345678.0, 0, true, "123,456,789,012,346,000"},
        {42, -1, true, "42"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDisplayNumber(c.Value, c.Decimals, c.Grouped), c.Text) << c.Value;
    EXPECT_EQ(FormatDisplayNumber(1e300, 0, false).size(), 301);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatDisplayNumber(-1234.5, 2, true), "-1.234,50");
    double read = 0;
    EXPECT_TRUE(ParseDisplayNumber(" 1.234,5 ", read));
    EXPECT_EQ(read, 1234.5);
    EXPECT_FALSE(ParseDisplayNumber("1,2,3x", read));
    EXPECT_FALSE(ParseDisplayNumber("", read));
    QLocale::setDefault(QLocale::c());
}
