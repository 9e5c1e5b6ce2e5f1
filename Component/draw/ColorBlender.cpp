#include "Component/draw/ColorBlender.h"

#include "shared/core/Exceptions.h"

#include <cmath>

uint8_t ClampRound(float x)
{
    if (!(x >= 0.0f))  // also catches NaN
        return 0;
    if (x > 255.0f)
        return 255;
    // The default rounding mode rounds an exact half to the even neighbour.
    return uint8_t(std::nearbyint(x));
}

TColor Blend(TColor color1, TColor color2, float ratio)
{
    if (color1 < 0 || color2 < 0)
        throw ArgumentOutOfRangeException(
            QStringLiteral("Blend requires RGB colours, not system colour references"));
    // The weights are single precision, the products are formed in extended precision and
    // rounded back to single before the channel is rounded; this order decides exact halves.
    const float w = 1.0f - ratio;
    TColor result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int c1 = (color1 >> shift) & 0xFF;
        const int c2 = (color2 >> shift) & 0xFF;
        // Both products are exact in double precision. When their double sum is exact too
        // (nearly always), it is the extended-precision sum, and the slow route is skipped.
        const double a = c1 * double(w), b = c2 * double(ratio);
        const double sum = a + b;
        const double bv = sum - a;
        const double error = (a - (sum - bv)) + (b - bv);
        const float v = error == 0 ? float(sum)
                                   : float((long double)c1 * (long double)w + (long double)c2 * (long double)ratio);
        result |= TColor(ClampRound(v)) << shift;
    }
    return result;
}
