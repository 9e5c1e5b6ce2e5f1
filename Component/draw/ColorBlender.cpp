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
        const long double c1 = (color1 >> shift) & 0xFF;
        const long double c2 = (color2 >> shift) & 0xFF;
        const float v = float(c1 * (long double)w + c2 * (long double)ratio);
        result |= TColor(ClampRound(v)) << shift;
    }
    return result;
}
