#include "shared/core/Colors.h"

#include <gtest/gtest.h>

TEST(Colors, SystemColourReferencesResolveThroughTheFixedTable)
{
    EXPECT_TRUE(IsSystemColor(clBtnShadow));
    EXPECT_FALSE(IsSystemColor(clWhite));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGBToColor(160, 160, 160));
    // Any negative value gives a definite colour, even one no table entry names.
    EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0000FFu)), clBlack);
    EXPECT_EQ(ColorToRGB(-1), clBlack);
    EXPECT_EQ(SystemColorToRGB(-3), clBlack);
    EXPECT_EQ(SystemColorToRGB(SystemColorCount), clBlack);
}
