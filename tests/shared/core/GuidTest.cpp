#include "shared/core/Exceptions.h"
#include "shared/core/Guid.h"
#include "shared/core/NullString.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_set>

namespace {

TGuid Sample()
{
    TGuid g;
    g.D1 = 0x0123ABCD;
    g.D2 = 0x4567;
    g.D3 = 0x89EF;
    const uint8_t d4[8] = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    std::copy(d4, d4 + 8, g.D4);
    return g;
}

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

QString InvalidHexCharOf(const QString& text)
{
    try {
        Guid::Parse(text);
    } catch (const InvalidOperationException& e) {
        return e.Message();
    }
    return S("<none>");
}

} // namespace

TEST(GuidFormat, AllLettersAndTheEmptyGuid)
{
    const TGuid g = Sample();
    EXPECT_EQ(Guid::ToString(g), S("0123abcd-4567-89ef-fedc-ba9876543210"));
    EXPECT_EQ(Guid::ToStringWithFormat(g, S("N")), S("0123abcd456789effedcba9876543210"));
    EXPECT_EQ(Guid::ToStringWithFormat(g, S("n")), S("0123abcd456789effedcba9876543210"));
    EXPECT_EQ(Guid::ToStringWithFormat(g, S("B")), S("{0123abcd-4567-89ef-fedc-ba9876543210}"));
    EXPECT_EQ(Guid::ToStringWithFormat(g, S("P")), S("(0123abcd-4567-89ef-fedc-ba9876543210)"));
    // Any other single letter gives the digits alone.
    EXPECT_EQ(Guid::ToStringWithFormat(g, S("X")), S("0123abcd456789effedcba9876543210"));
    EXPECT_EQ(Guid::ToStringWithFormat(g, S("")), Guid::ToString(g));
    EXPECT_EQ(Guid::ToStringWithFormat(g, NullString), Guid::ToString(g));
    EXPECT_EQ(Guid::ToStringWithFormat(g, QString(2, QChar(0))), Guid::ToString(g));
    EXPECT_EQ(Guid::ToString(Guid::Empty()), S("00000000-0000-0000-0000-000000000000"));
    try {
        Guid::ToStringWithFormat(g, S("DD"));
        FAIL();
    } catch (const FormatException& e) {
        EXPECT_EQ(e.Message(), S("Format String can be only \"D\", \"d\", \"N\", \"n\", \"P\", \"p\", \"B\" or \"b\"."));
    }
}

TEST(GuidParse, RejectedForms)
{
    const QString digits = S("Guid should contain 32 digits with 4 dashes (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)");
    for (const char* text : {"", "   ", "{", "()", "0123abcd456789effedcba987654321", "0123abcd456789effedcba98765432100",
                             "{{0123abcd456789effedcba9876543210}", "0123abcd456789effedcba9876543210 x"}) {
        try {
            Guid::Parse(S(text));
            ADD_FAILURE() << text;
        } catch (const FormatException& e) {
            EXPECT_EQ(e.Message(), digits) << text;
        }
    }
    EXPECT_EQ(InvalidHexCharOf(S("0123abcg-4567-89ef-fedc-ba9876543210")), S("Not a valid hexadecimal character: g"));
    // Fields are read from their last character, so the last bad one of the first bad field counts.
    EXPECT_EQ(InvalidHexCharOf(S("x123abcy-4567-89ef-fedc-ba987654321z")), S("Not a valid hexadecimal character: y"));
    try {
        Guid::Parse(NullString);
        FAIL();
    } catch (const ArgumentNullException& e) {
        EXPECT_EQ(e.ParamName(), S("s"));
    }
}

TEST(GuidRoundTrip, RandomValuesInEveryFormat)
{
    std::mt19937_64 rng(20261206);
    for (int i = 0; i < 20000; ++i) {
        TGuid g;
        const uint64_t a = rng(), b = rng();
        std::memcpy(static_cast<void*>(&g), &a, 8);
        std::memcpy(reinterpret_cast<char*>(static_cast<void*>(&g)) + 8, &b, 8);
        for (const char* f : {"D", "d", "N", "n", "B", "b", "P", "p"}) {
            const QString text = Guid::ToStringWithFormat(g, S(f));
            ASSERT_EQ(Guid::Parse(text), g) << text.toStdString();
            ASSERT_EQ(Guid::Parse(text.toUpper()), g) << text.toStdString();
        }
    }
}
