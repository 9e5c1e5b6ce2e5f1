#include "Component/draw/ColorBlender.h"

#include <gtest/gtest.h>

#include <random>

TEST(ClampRoundTest, ClampsAndRoundsHalfToEven)
{
    for (const auto& [x, rounded] : {std::pair{-0.1f, 0}, {255.4f, 255}, {255.6f, 255}, {0.5f, 0}, {1.5f, 2}, {2.5f, 2},
                                     {3.5f, 4}, {254.5f, 254}, {100.49f, 100}})
        EXPECT_EQ(ClampRound(x), rounded) << x;
}

TEST(BlendTest, AgreesWithExtendedPrecisionEverywhere)
{
    // The blend forms each channel in extended precision and rounds it to single; check a
    // large sample of colours and ratios, exact halves included, against that definition.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> channel(0, 255);
    const float ratios[] = {0.0f, 0.25f, 0.3f, 0.5f, 0.65f, 0.7f, 0.75f, 0.8f, 1.0f, -0.5f, 1.5f, 1e-30f, 0.1f};
    std::uniform_real_distribution<float> anyRatio(-2.0f, 3.0f);
    for (int i = 0; i < 20000; ++i) {
        const int r1 = channel(random), g1 = channel(random), b1 = channel(random);
        const int r2 = channel(random), g2 = channel(random), b2 = channel(random);
        const float ratio = i % 2 ? ratios[size_t(i / 2) % std::size(ratios)] : anyRatio(random);
        const float w = 1.0f - ratio;
        auto reference = [&](int c1, int c2) {
            return int(ClampRound(float((long double)c1 * w + (long double)c2 * ratio)));
        };
        const TColor expected = reference(r1, r2) | reference(g1, g2) << 8 | reference(b1, b2) << 16;
        ASSERT_EQ(Blend(r1 | g1 << 8 | b1 << 16, r2 | g2 << 8 | b2 << 16, ratio), expected) << i;
    }
}
