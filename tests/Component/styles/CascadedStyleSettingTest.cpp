#include "Component/styles/CascadedStyleSetting.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::optional<int32_t> Parse(const QString& text)
{
    int32_t value = 12345;
    if (!TryStyleTextToInt(text, value))
        return std::nullopt;
    return value;
}

} // namespace

TEST(StyleTextToInt, AcceptsDecimalAndHexadecimalForms)
{
    const struct { const char* text; int32_t value; } cases[] = {
        {"0", 0},           {"42", 42},           {"+42", 42},        {"-42", -42},
        {"   7", 7},        {"007", 7},           {"$ff", 255},       {"$FF", 255},
        {"xff", 255},       {"Xff", 255},         {"0x1F", 31},       {"0X1f", 31},
        {"-$10", -16},      {"+$10", 16},         {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},               {"$7FFFFFFF", INT32_MAX},
        {"$FFFFFFFF", -1},  {"$FF000005", int32_t(0xFF000005u)},  {"$000000010", 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(Parse(QString::fromLatin1(c.text)).has_value());
        EXPECT_EQ(*Parse(QString::fromLatin1(c.text)), c.value);
    }
}

TEST(StyleTextToInt, RefusesAnythingElseAndLeavesTheValue)
{
    const char* bad[] = {"",     " ",     "-",       "+",        "$",         "0x",
                         "12 ",  "1 2",   "\t5",     "zz",       "yes",       "1.5",
                         "--1",  "$-1",   "$$ff",    "0xg",      "2147483648", "-2147483649",
                         "$100000000", "99999999999999999999", "1e3", "٣"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(Parse(QString::fromUtf8(text)).has_value());
    }
    EXPECT_EQ(StyleTextToIntDef(QStringLiteral("zz"), -7), -7);
}

TEST(StyleSettingText, ColourIsEightUpperCaseHexDigits)
{
    TColorStyleSetting s(nullptr, {});
    s.Value = 0x00FFC4A3;
    EXPECT_EQ(s.GetAsString(), QStringLiteral("00FFC4A3"));
    s.Value = int32_t(0xFF000005u);
    EXPECT_EQ(s.GetAsString(), QStringLiteral("FF000005"));
    s.SetAsString(QStringLiteral("FF000005"));
    EXPECT_EQ(s.Value, int32_t(0xFF000005u));
    s.SetAsString(QStringLiteral("ff"));
    EXPECT_EQ(s.Value, 0xFF);
    s.SetAsString(QStringLiteral("zz"));
    EXPECT_EQ(s.Value, 0);
    s.Value = 5;
    s.SetAsString(QString());
    EXPECT_EQ(s.Value, 0);
    // The "$" goes before the text, so a text with its own prefix does not convert.
    s.Value = 5;
    s.SetAsString(QStringLiteral("$ff"));
    EXPECT_EQ(s.Value, 0);
}

TEST(StyleCascade, TheOwnChainComesFirst)
{
    TIntegerStyleSetting altRoot(nullptr, {});
    altRoot.Value = 100;
    TIntegerStyleSetting root(nullptr, {&altRoot});
    root.Inherit = true;
    TIntegerStyleSetting mid(&root, {&altRoot});
    mid.Value = 5;
    TIntegerStyleSetting leaf(&mid, {&altRoot});
    leaf.Inherit = true;
    EXPECT_EQ(leaf.EffectiveValue(), 5);
    mid.Inherit = true;
    EXPECT_EQ(leaf.EffectiveValue(), 100);
    root.Inherit = false;
    root.Value = 1;
    EXPECT_EQ(leaf.EffectiveValue(), 1);
}

TEST(StyleCascade, AlternatesInOrderButNeverTheirAlternates)
{
    TIntegerStyleSetting deep(nullptr, {});
    deep.Value = 999;
    TIntegerStyleSetting aTop(nullptr, {});
    aTop.Inherit = true;
    aTop.Value = 1;
    TIntegerStyleSetting a(&aTop, {&deep}); // an alternate with an alternate of its own
    a.Inherit = true;
    TIntegerStyleSetting bTop(nullptr, {});
    bTop.Inherit = true;
    bTop.Value = 2;
    TIntegerStyleSetting b(&bTop, {});
    b.Inherit = true;
    b.Value = 3;
    TIntegerStyleSetting self(nullptr, {&a, &b});
    self.Inherit = true;
    // Nothing has an own value: the top of the last alternate's chain, not A's, not B itself,
    // and never A's alternate.
    EXPECT_EQ(self.GetEffective(), &bTop);
    EXPECT_EQ(self.EffectiveValue(), 2);
    aTop.Inherit = false;
    EXPECT_EQ(self.GetEffective(), &aTop);
    a.Inherit = false;
    EXPECT_EQ(self.GetEffective(), &a);
    self.Inherit = false;
    EXPECT_EQ(self.GetEffective(), &self);
}
