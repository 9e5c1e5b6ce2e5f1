#include "shared/core/Colors.h"

#include <gtest/gtest.h>

TEST(Colors, ChannelsFollowTheLowByteIsRedLayout)
{
    const TColor orange = 0x007FFF; // red 255, green 127, blue 0
    EXPECT_EQ(ColorRed(orange), 255);
    EXPECT_EQ(ColorGreen(orange), 127);
    EXPECT_EQ(ColorBlue(orange), 0);
    EXPECT_EQ(RGBToColor(163, 196, 255), 0xFFC4A3);
    EXPECT_EQ(ColorToArgb(0xFFC4A3), 0xFFA3C4FFu);
    EXPECT_EQ(ArgbToColor(0x80A3C4FFu), 0xFFC4A3);
}

TEST(Colors, PlainColoursLoseOnlyTheUnusedHighByte)
{
    EXPECT_EQ(ColorToRGB(clWhite), clWhite);
    EXPECT_EQ(ColorToRGB(0x12345678), 0x345678);
}

TEST(Colors, SystemColourReferencesResolveThroughTheFixedTable)
{
    EXPECT_TRUE(IsSystemColor(clBtnShadow));
    EXPECT_FALSE(IsSystemColor(clWhite));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGBToColor(160, 160, 160));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    // Any negative value gives a definite colour, even one no table entry names.
    EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0000FFu)), clBlack);
    EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x80000005u)), clWhite);
    EXPECT_EQ(ColorToRGB(-1), clBlack);
    EXPECT_EQ(SystemColorToRGB(-3), clBlack);
    EXPECT_EQ(SystemColorToRGB(SystemColorCount), clBlack);
}
