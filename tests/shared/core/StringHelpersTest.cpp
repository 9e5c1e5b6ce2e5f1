#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

TDateTime Date(int y, int m, int d)
{
    return DateValue::EncodeDate(y, m, d);
}

} // namespace

TEST(DateText, ReadingBackAndBadTexts)
{
    EXPECT_EQ(YMDStringToDate(S("2024 3 5")), Date(2024, 3, 5));
    EXPECT_EQ(YMDStringToDate(S(" 999 110")), Date(999, 1, 10));
    EXPECT_EQ(YMDStringToDate(DateToYMDString(Date(2024, 3, 5) + 0.75)), Date(2024, 3, 5));
    for (const char* bad : {"", "abc", "20240230", "20230229", "2024 3", "   0 1 1", "2024-3-5", "2024 3 x",
                            "2024 0 5", "202413 1", "2024 3  ", "2O24 3 5"})
        EXPECT_EQ(YMDStringToDate(S(bad)), 0.0) << bad;
}

TEST(DateText, RoundTripOverTheWholeRange)
{
    const int first = int(Date(1, 1, 1)), last = int(Date(9999, 12, 31));
    for (int day = first; day <= last; day += 37) {
        if (day == 0)
            continue; // the epoch day is "no date"
        const QString text = DateToYMDString(day >= 0 ? day + 0.5 : day - 0.5); // midday
        ASSERT_EQ(text.size(), 8) << day;
        ASSERT_EQ(YMDStringToDate(text), double(day)) << text.toStdString();
    }
}

TEST(NumberText, ReadsBothNotationsAndRejectsTheRest)
{
    EXPECT_EQ(InvariantStringToFloat(S("1.5e+20")), 1.5e20);
    EXPECT_EQ(InvariantStringToFloat(S("-1.25E-007")), -1.25e-7);
    EXPECT_EQ(InvariantStringToFloat(S(" 2.5\t")), 2.5);
    EXPECT_EQ(InvariantStringToFloat(S("+3")), 3.0);
    EXPECT_EQ(InvariantStringToFloat(S(".5")), 0.5);
    EXPECT_EQ(InvariantStringToFloat(S("5.")), 5.0);
    for (const char* bad : {"", " ", "abc", "1,5", "1.234,5", "1.2.3", "inf", "-inf", "nan", "NaN", "Infinity", "1e400",
                            "-1e400", "0x10", "1e", "e5", "--1", "+-1", "++1", "1 2", "1.5E20x", "\xd9\xa1", "1\xc2\xa0"}) {
        try {
            InvariantStringToFloat(S(bad));
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid floating point value").arg(S(bad)));
        }
    }
}

TEST(NumberText, RoundTrips)
{
    std::mt19937_64 rng(99);
    // Any finite double through the shortest exact text.
    for (int i = 0; i < 100000; ++i) {
        const uint64_t bits = rng();
        double x;
        std::memcpy(&x, &bits, sizeof x);
        if (!std::isfinite(x))
            continue;
        const double back = InvariantStringToFloat(FloatToRoundTripString(x));
        ASSERT_EQ(std::memcmp(&back, &x, sizeof x), 0) << FloatToRoundTripString(x).toStdString();
    }
    // Money-like values (four decimals) survive the 15-digit text exactly; anything else
    // comes back within its 15 digits.
    std::uniform_int_distribution<int64_t> money(-100000000000000, 100000000000000);
    std::uniform_real_distribution<double> any(-1e6, 1e6);
    for (int i = 0; i < 100000; ++i) {
        const double m = double(money(rng)) / 10000.0;
        ASSERT_EQ(InvariantStringToFloat(FloatToInvariantString(m)), m) << FloatToInvariantString(m).toStdString();
        const double a = any(rng) * std::pow(10.0, double(int(rng() % 80)) - 40.0);
        const double b = InvariantStringToFloat(FloatToInvariantString(a));
        ASSERT_LE(std::fabs(b - a), std::fabs(a) * 1e-14) << FloatToInvariantString(a).toStdString();
    }
    EXPECT_EQ(FloatToRoundTripString(0.1 + 0.2), S("0.30000000000000004"));
    EXPECT_EQ(FloatToRoundTripString(1e20), S("1E20"));
}

TEST(FileNames, ANameTakesItsTypesExtensionUnlessItHasOneOfTheDialogs)
{
    const QStringList documents{"qdn", "pmk", "qdx"};
    const struct { const char *name, *type, *expected; } cases[] = {
        {"/t/wildcat v2.5", "qdn", "/t/wildcat v2.5.qdn"},
        {"/t/wildcat", "qdn", "/t/wildcat.qdn"},
        {"/t/Old.PMK", "qdn", "/t/Old.PMK"},
        {"/t/plan.Qdn", "qdn", "/t/plan.Qdn"},
        {"/t/plan.qdn.bak", "qdn", "/t/plan.qdn.bak.qdn"},
        {"/t/v1.5/plan", "qdn", "/t/v1.5/plan.qdn"},
        {"/t/wildcat v2.5", "", "/t/wildcat v2.5"}, // "All files"
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithTypeExtension(c.name, documents, c.type), c.expected) << c.name;
}
