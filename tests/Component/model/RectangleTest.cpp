#include "Component/model/Rectangle.h"

#include <gtest/gtest.h>

#include <climits>

TEST(RectangleTest, ContainsIncludesAllFourEdges)
{
    const TRectangle r = TRectangle::Create(10, 20, 30, 40);
    EXPECT_TRUE(r.Contains(10, 20));
    EXPECT_TRUE(r.Contains(40, 60));  // right and bottom edge count as inside
    EXPECT_TRUE(r.Contains(40, 20));
    EXPECT_FALSE(r.Contains(41, 30));
    EXPECT_FALSE(r.Contains(9, 30));
    EXPECT_FALSE(r.Contains(20, 61));
    EXPECT_FALSE(r.Contains(20, 19));
    // A rectangle reaching the end of the coordinate range does not wrap around.
    const TRectangle far = TRectangle::Create(INT_MAX - 5, 0, 10, 10);
    EXPECT_TRUE(far.Contains(INT_MAX, 5));
    EXPECT_FALSE(far.Contains(INT_MIN, 5));
}

TEST(RectangleTest, IntersectsCountsTouchingEdges)
{
    const TRectangle a = TRectangle::Create(0, 0, 10, 10);
    EXPECT_TRUE(TRectangle::Intersects(a, TRectangle::Create(10, 0, 5, 5)));   // shares the right edge
    EXPECT_TRUE(TRectangle::Intersects(a, TRectangle::Create(-5, 10, 5, 5)));  // shares one corner
    EXPECT_TRUE(TRectangle::Intersects(a, TRectangle::Create(2, 2, 1, 1)));    // inside
    EXPECT_FALSE(TRectangle::Intersects(a, TRectangle::Create(11, 0, 5, 5)));
    EXPECT_FALSE(TRectangle::Intersects(a, TRectangle::Create(0, -6, 5, 5)));
}

TEST(RectangleTest, CentresTruncateTowardZero)
{
    const TRectangle r = TRectangle::Create(10, 20, 7, 9);
    EXPECT_EQ(r.CenterX(), 13);
    EXPECT_EQ(r.CenterY(), 24);
    EXPECT_EQ(r.Center(), QPoint(13, 24));
    EXPECT_EQ(r.LeftCenter(), QPoint(10, 24));
    EXPECT_EQ(r.RightCenter(), QPoint(17, 24));
    EXPECT_EQ(r.TopLeft(), QPoint(10, 20));
    EXPECT_EQ(TRectangle::Create(0, 0, -3, -3).CenterX(), -1);
    EXPECT_EQ(TRectangle::Create(0, 0, -3, -3).CenterY(), -1);
}

TEST(RectangleTest, ArithmeticWrapsInsteadOfOverflowing)
{
    const TRectangle r = TRectangle::Offset(TRectangle::Create(INT_MAX, 0, 1, 1), 1, 0);
    EXPECT_EQ(r.Left, INT_MIN);
    EXPECT_EQ(TRectangle::Deflate(TRectangle::Create(0, 0, 0, 0), INT_MIN, 0, 0, 0).Left, INT_MIN);
}
