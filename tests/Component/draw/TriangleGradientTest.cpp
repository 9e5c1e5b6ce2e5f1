#include "Component/draw/TriangleGradient.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

using TPixels = std::map<std::pair<int, int>, QRgb>;

TPixels Rasterize(const TTriangleVertices& v, QRect limit = QRect(-100, -100, 400, 400))
{
    TPixels pixels;
    RasterizeGradientTriangle(v, limit, [&](int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
        EXPECT_TRUE(pixels.emplace(std::make_pair(x, y), qRgb(r, g, b)).second) << x << "," << y;
    });
    return pixels;
}

TTriVertex V(int x, int y, TColor c) { return TTriVertex::FromColor(x, y, c); }

} // namespace

TEST(TriangleGradientTest, DegenerateFarAndClippedTriangles)
{
    EXPECT_TRUE(Rasterize({V(0, 0, 0), V(5, 5, 0), V(10, 10, 0)}).empty());
    EXPECT_TRUE(Rasterize({V(3, 3, 0), V(3, 3, 0), V(3, 3, 0)}).empty());
    // Only what lies inside the limit is visited, however large the triangle.
    const TPixels clipped = Rasterize({V(-2000000000, -2000000000, 0), V(2000000000, 0, 0),
                                       V(-2000000000, 2000000000, 0)},
                                      QRect(0, 0, 4, 4));
    EXPECT_EQ(clipped.size(), 16u);
}

TEST(TriangleGradientTest, CoverageFollowsTheEdgeRuleExactly)
{
    // Against a pixel-by-pixel evaluation of the rule: inside, or on a left or top edge.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> coordinate(-12, 30);
    for (int t = 0; t < 400; ++t) {
        TTriangleVertices v;
        for (TTriVertex& p : v)
            p = TTriVertex::FromColor(coordinate(random), coordinate(random), TColor(random() & 0xFFFFFF));
        const TPixels pixels = Rasterize(v, QRect(-5, -5, 30, 30));
        int64_t x[3], y[3];
        for (int i = 0; i < 3; ++i) {
            x[i] = v[size_t(i)].X;
            y[i] = v[size_t(i)].Y;
        }
        int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        if (area < 0) {
            std::swap(x[1], x[2]);
            std::swap(y[1], y[2]);
        }
        for (int py = -5; py < 25; ++py)
            for (int px = -5; px < 25; ++px) {
                bool inside = area != 0;
                for (int i = 0; i < 3 && inside; ++i) {
                    const int a = (i + 1) % 3, b = (i + 2) % 3;
                    const int64_t dx = x[b] - x[a], dy = y[b] - y[a];
                    const int64_t e = dx * (py - y[a]) - dy * (px - x[a]);
                    const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
                    inside = e > 0 || (e == 0 && topLeft);
                }
                ASSERT_EQ(pixels.count({px, py}) == 1, inside) << t << ": " << px << "," << py;
            }
    }
}

TEST(TriangleGradientTest, EveryPixelIsTheExactMixOfItsCorners)
{
    // Against the mix evaluated pixel by pixel: the corners' 16-bit channels weighted by the
    // pixel's barycentric weights, divided by the whole and truncated, then the high byte.
    std::mt19937 random(5);
    for (int t = 0; t < 300; ++t) {
        const int reach = t % 3 == 0 ? 6 : t % 3 == 1 ? 40 : 400;
        std::uniform_int_distribution<int> coordinate(-reach / 4, reach);
        TTriangleVertices v;
        for (TTriVertex& p : v)
            p = TTriVertex::FromColor(coordinate(random), coordinate(random), TColor(random() & 0xFFFFFF));
        const TPixels pixels = Rasterize(v, QRect(-reach, -reach, 3 * reach, 3 * reach));
        int64_t x[3], y[3], c[3][3];
        for (int i = 0; i < 3; ++i) {
            x[i] = v[size_t(i)].X;
            y[i] = v[size_t(i)].Y;
            c[i][0] = v[size_t(i)].Red;
            c[i][1] = v[size_t(i)].Green;
            c[i][2] = v[size_t(i)].Blue;
        }
        const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        for (const auto& [xy, colour] : pixels) {
            __int128 sum[3] = {0, 0, 0};
            for (int i = 0; i < 3; ++i) {
                const int a = (i + 1) % 3, b = (i + 2) % 3;
                const int64_t weight = (x[b] - x[a]) * (xy.second - y[a]) - (y[b] - y[a]) * (xy.first - x[a]);
                for (int k = 0; k < 3; ++k)
                    sum[k] += __int128(weight) * c[i][k];
            }
            const QRgb expected = qRgb(int(int64_t(sum[0] / area) >> 8), int(int64_t(sum[1] / area) >> 8),
                                       int(int64_t(sum[2] / area) >> 8));
            ASSERT_EQ(colour, expected) << t << ": " << xy.first << "," << xy.second;
        }
    }
}
