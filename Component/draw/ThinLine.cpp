#include "Component/draw/ThinLine.h"

#include <utility>

namespace {

// Division rounded down and up, for a positive divisor.
__int128 FloorDiv(__int128 a, __int128 b)
{
    const __int128 q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

__int128 CeilDiv(__int128 a, __int128 b)
{
    const __int128 q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

} // namespace

TThinLine::TThinLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
{
    FVertical = Abs(x2 - x1) < Abs(y2 - y1);
    if (!FVertical)
        std::swap(x1, y1), std::swap(x2, y2);
    // Now the major axis runs along y, from the end with the smaller value.
    if (y1 > y2)
        std::swap(x1, x2), std::swap(y1, y2);
    FFirst = y1;
    FLast = y2;
    const int64_t dx = x2 - x1, dy = y2 - y1;
    if (dy == 0)
        return;
    if (dy <= EngineSpan) {
        // The engine works in 26.6 coordinates and a 16.16 minor step truncated towards zero;
        // each row is sampled at its middle when the line runs towards larger minor values and
        // at its top otherwise, so the first row starts half a step on. With the ends on pixel
        // corners the sixty-fourths cancel.
        const int64_t step = dx * 65536 / dy;
        FBase = __int128(x1) * 65536 + (step > 0 ? step >> 1 : 0) - __int128(y1) * step;
        FStep = step;
        FUnit = 65536;
    } else {
        // x1 + (m + h - y1) * dx / dy rounded down, with h one half or nothing as above, in
        // whole numbers: the doubled numerator over 2 * dy.
        FBase = __int128(2) * x1 * dy + __int128((dx > 0 ? 1 : 0) - 2 * y1) * dx;
        FStep = __int128(2) * dx;
        FUnit = __int128(2) * dy;
    }
}

int64_t TThinLine::Minor(int64_t major) const
{
    return int64_t(FloorDiv(FBase + major * FStep, FUnit));
}

int64_t TThinLine::Reach(int64_t v) const
{
    // FBase + m * FStep >= v * FUnit, with FStep > 0.
    return int64_t(CeilDiv(v * FUnit - FBase, FStep));
}

int64_t TThinLine::ReachDown(int64_t v) const
{
    // FBase + m * FStep < (v + 1) * FUnit, with FStep < 0.
    return int64_t(CeilDiv(FBase - (v + 1) * FUnit + 1, -FStep));
}
