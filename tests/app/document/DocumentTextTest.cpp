#include "app/document/DocumentText.h"

#include "shared/core/Exceptions.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace DocumentText;

TEST(DocumentText, MoneyIsWrittenExactlyWithAtMostFourDecimals)
{
    EXPECT_EQ(MoneyToText(12345000), "1234.5");
    EXPECT_EQ(MoneyToText(-2500), "-0.25");
    EXPECT_EQ(MoneyToText(0), "0");
    EXPECT_EQ(MoneyToText(INT64_MIN), "-922337203685477.5808");
}

TEST(DocumentText, MoneyReadsBackExactlyOverTheWholeRange)
{
    std::mt19937_64 rng(3);
    for (int i = 0; i < 20000; ++i) {
        int64_t value = int64_t(rng());
        if (i % 2)
            value >>= (i % 60);
        ASSERT_EQ(TextToMoney(MoneyToText(value), "Payoff"), value) << value;
    }
    EXPECT_EQ(TextToMoney("-922337203685477.5808", "Payoff"), INT64_MIN);
    EXPECT_EQ(TextToMoney("922337203685477.5807", "Payoff"), INT64_MAX);
}

TEST(DocumentText, MoneyReadsOtherDecimalForms)
{
    EXPECT_EQ(TextToMoney(" 1234.5 ", "Payoff"), 12345000);
    EXPECT_EQ(TextToMoney("+7", "Payoff"), 70000);
    EXPECT_EQ(TextToMoney(".5", "Payoff"), 5000);
    EXPECT_EQ(TextToMoney("5.", "Payoff"), 50000);
    EXPECT_EQ(TextToMoney("1.250000000", "Payoff"), 12500); // zeros beyond the fourth decimal
    EXPECT_EQ(TextToMoney("-2.5e-2", "Payoff"), -250);
    // Fifteen significant digits, as older files have them: the double times 10000, rounded.
    EXPECT_EQ(TextToMoney("0.333333333333333", "Payoff"), 3333);
}

// A payoff that is no number, or beyond the amount's range however it is written, stops the
// reading with the element named: it never becomes 0.
TEST(DocumentText, MoneyThatIsNoNumberOrOutOfRangeIsRefusedWithItsElement)
{
    const struct {
        const char *Text, *Message;
    } cases[] = {
        {"-", "'-' is not a valid number in element 'Payoff'."},
        {"+", "'+' is not a valid number in element 'Payoff'."},
        {".", "'.' is not a valid number in element 'Payoff'."},
        {" -. ", "'-.' is not a valid number in element 'Payoff'."},
        {"+-1", "'+-1' is not a valid number in element 'Payoff'."},
        {"-922337203685477.60001", "'-922337203685477.60001' in element 'Payoff' is out of range."},
        {"9.223372036854775808e14", "'9.223372036854775808e14' in element 'Payoff' is out of range."},
        {"922337203685477.5808", "'922337203685477.5808' in element 'Payoff' is out of range."},
    };
    for (const auto& c : cases) {
        try {
            TextToMoney(c.Text, "Payoff");
            ADD_FAILURE() << c.Text;
        } catch (const FormatException& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(c.Message));
        }
    }
}

TEST(DocumentText, ProbabilityIsTheShortestTextThatReadsBackTheSame)
{
    EXPECT_EQ(DoubleToText(12.5), "12.5");
    EXPECT_EQ(DoubleToText(100), "100");
    EXPECT_EQ(DoubleToText(100.0 / 3), "33.333333333333336");
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> percent(0, 100);
    for (int i = 0; i < 20000; ++i) {
        double value = i % 3 ? percent(rng) : std::ldexp(percent(rng), int(rng() % 200) - 100);
        ASSERT_EQ(TextToDouble(DoubleToText(value), "Probability"), value) << value;
    }
}

TEST(DocumentText, Integers)
{
    EXPECT_EQ(TextToInt("5", "X"), 5);
    EXPECT_EQ(TextToInt(" -17 ", "X"), -17);
    EXPECT_EQ(TextToInt("+3", "X"), 3);
    EXPECT_EQ(TextToInt("2147483647", "X"), 2147483647);
    EXPECT_EQ(TextToInt("-2147483648", "X"), INT32_MIN);
    for (const char* bad : {"2147483648", "5x", "1.0", "++1", "0x10", "- 1"})
        EXPECT_THROW(TextToInt(bad, "X"), FormatException) << bad;
    try {
        TextToInt("", "OutlineCodes");
        ADD_FAILURE();
    } catch (const FormatException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Element 'OutlineCodes' is missing or empty."));
    }
}

TEST(DocumentText, GuidTextAgreesWithTheGuidHelpers)
{
    for (int i = 0; i < 200; ++i) {
        TGuid g = Guid::NewGuid();
        std::string text = GuidToText(g);
        ASSERT_EQ(QString::fromStdString(text), Guid::ToString(g));
        ASSERT_EQ(TextToGuid(text), g);
        QString upper = QString::fromStdString(text).toUpper();
        ASSERT_EQ(TextToGuid(upper.toStdString()), g);
        ASSERT_EQ(TextToGuid(("{" + text + "}")), g);
    }
    EXPECT_THROW(TextToGuid("00000000-0000-0000-0000-00000000000"), Exception);
    EXPECT_THROW(TextToGuid("0000000g-0000-0000-0000-000000000000"), Exception);
}
