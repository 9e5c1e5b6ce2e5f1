#include "Component/model/Rectangle.h"

#include <gtest/gtest.h>

#include <climits>

TEST(RectangleTest, ContainsIncludesAllFourEdges)
{
    const TRectangle r = TRectangle::Create(10, 20, 30, 40);
    // The right and bottom edges count as inside.
    for (const auto& [x, y, inside] : {std::tuple{10, 20, true}, {40, 60, true}, {40, 20, true}, {41, 30, false},
                                       {9, 30, false}, {20, 61, false}, {20, 19, false}})
        EXPECT_EQ(r.Contains(x, y), inside) << x << "," << y;
    // A rectangle reaching the end of the coordinate range does not wrap around.
    const TRectangle far = TRectangle::Create(INT_MAX - 5, 0, 10, 10);
    EXPECT_TRUE(far.Contains(INT_MAX, 5));
    EXPECT_FALSE(far.Contains(INT_MIN, 5));
}

TEST(RectangleTest, IntersectsCountsTouchingEdges)
{
    const TRectangle a = TRectangle::Create(0, 0, 10, 10);
    // Sharing the right edge, sharing one corner, inside; a pixel off to the right, and above.
    for (const auto& [x, y, w, meets] : {std::tuple{10, 0, 5, true}, {-5, 10, 5, true}, {2, 2, 1, true},
                                         {11, 0, 5, false}, {0, -6, 5, false}})
        EXPECT_EQ(TRectangle::Intersects(a, TRectangle::Create(x, y, w, w)), meets) << x << "," << y;
}

TEST(RectangleTest, CentresTruncateTowardZero)
{
    const TRectangle r = TRectangle::Create(10, 20, 7, 9);
    EXPECT_EQ(r.CenterX(), 13);
    EXPECT_EQ(r.CenterY(), 24);
    EXPECT_EQ(TRectangle::Create(0, 0, -3, -3).CenterX(), -1);
    EXPECT_EQ(TRectangle::Create(0, 0, -3, -3).CenterY(), -1);
}

TEST(RectangleTest, ArithmeticWrapsInsteadOfOverflowing)
{
    const TRectangle r = TRectangle::Offset(TRectangle::Create(INT_MAX, 0, 1, 1), 1, 0);
    EXPECT_EQ(r.Left, INT_MIN);
    EXPECT_EQ(TRectangle::Deflate(TRectangle::Create(0, 0, 0, 0), INT_MIN, 0, 0, 0).Left, INT_MIN);
}
