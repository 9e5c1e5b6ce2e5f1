#include "shared/core/NumberText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace {

const char* Name(TNumberTextResult result)
{
    switch (result) {
    case TNumberTextResult::Ok: return "Ok";
    case TNumberTextResult::NotANumber: return "NotANumber";
    case TNumberTextResult::OutOfRange: return "OutOfRange";
    }
    return "?";
}

} // namespace

// Money read from a file or typed: the exact units where the text has them, a refusal (never 0)
// where it is no number, and a refusal at the ends of the 64-bit amount however it is written.
TEST(MoneyText, EveryTextGivesItsExactUnitsOrIsRefused)
{
    struct Case {
        const char* Text;
        TNumberTextResult Result;
        int64_t Money;
    };
    constexpr auto Ok = TNumberTextResult::Ok, No = TNumberTextResult::NotANumber,
                   Range = TNumberTextResult::OutOfRange;
    const Case cases[] = {
        {"0", Ok, 0},
        {"-0", Ok, 0},
        {"+7", Ok, 70000},
        {".5", Ok, 5000},
        {"-.5", Ok, -5000},
        {"5.", Ok, 50000},
        {"1.250000000", Ok, 12500},
        {"1e3", Ok, 10000000},
        {"-2.5e-2", Ok, -250},
        {"0.00016", Ok, 2}, // beyond the fourth decimal: rounded
        {"-0.00016", Ok, -2},
        {"922337203685477.5807", Ok, INT64_MAX},
        {"-922337203685477.5808", Ok, INT64_MIN},
        {"-9.223372036854775808e14", Ok, INT64_MIN},
        {"9.2233720368547758e14", Ok, 9223372036854775800},
        {"92233720368547.75807e1", Ok, INT64_MAX},
        {"12345e-4", Ok, 12345},
        {"0.0000000000000000000000000000001e31", Ok, 10000},
        {"1E+3", Ok, 10000000},
        {"1.5e-5", Ok, 0},
        // rounded to the last unit at either end, where a double is coarser than a unit
        {"922337203685477.58069", Ok, INT64_MAX},
        {"-922337203685477.58084", Ok, INT64_MIN},
        {"-922337203685477.58085", Ok, INT64_MIN}, // half a unit: to even, which is the end
        // one unit past either end
        {"922337203685477.5808", Range, 0},
        {"-922337203685477.5809", Range, 0},
        {"9.223372036854775808e14", Range, 0},
        {"-9.223372036854775809e14", Range, 0},
        {"922337203685477.58075", Range, 0}, // half a unit past the last: to even, which is past it
        {"-922337203685477.580851", Range, 0}, // just over half a unit past the end
        {"-922337203685477.60001", Range, 0},
        {"-9.2233720368547760001e14", Range, 0},
        {"1e100000000000", Range, 0},
        {"922337203685478", Range, 0},
        {"1e15", Range, 0},
        {"1e400", Range, 0},
        {"99999999999999999999999999999999999999", Range, 0},
        // a sign or a point alone is no number
        {"-", No, 0},
        {"+", No, 0},
        {".", No, 0},
        {"-.", No, 0},
        {"+.", No, 0},
        {"", No, 0},
        {"e5", No, 0},
        {".e1", No, 0},
        {"-e1", No, 0},
        {"1e", No, 0},
        {"--1", No, 0},
        {"+-1", No, 0},
        {"1.2.3", No, 0},
        {" 1", No, 0},
        {"inf", No, 0},
        {"nan", No, 0},
        {"0x10", No, 0},
    };
    for (const Case& c : cases) {
        int64_t money = -1;
        const TNumberTextResult result = ParseMoneyText(c.Text, money);
        EXPECT_STREQ(Name(result), Name(c.Result)) << '"' << c.Text << '"';
        // A refusal leaves the amount alone.
        EXPECT_EQ(money, c.Result == Ok ? c.Money : -1) << '"' << c.Text << '"';
    }
}

// Any number of the documents: one sign at most, and digits.
TEST(NumberText, ASignOrAPointAloneOrTwoSignsAreNoNumber)
{
    for (const char* text : {"-", "+", ".", "-.", "+.", "+-1", "-+1", "++1", "--1", "+-.5", "", "e1", "-e1"}) {
        double value = 7;
        EXPECT_EQ(ParseNumberText(text, value), TNumberTextResult::NotANumber) << '"' << text << '"';
        EXPECT_EQ(value, 7) << '"' << text << '"';
    }
    double value = 0;
    EXPECT_EQ(ParseNumberText("+.5", value), TNumberTextResult::Ok);
    EXPECT_EQ(value, 0.5);
    EXPECT_EQ(ParseNumberText("-1e-2", value), TNumberTextResult::Ok);
    EXPECT_EQ(value, -0.01);
}
