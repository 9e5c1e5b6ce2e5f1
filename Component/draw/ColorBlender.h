#pragma once
// The one colour-mixing rule of the drawing: channel by channel, rounded half to even.

#include "shared/core/NullableColor.h"

#include <cstdint>

// X < 0 (and a value that is not a number) gives 0, X > 255 gives 255; otherwise X rounded to
// the nearest integer, an exact half to the even neighbour.
uint8_t ClampRound(float x);

// Per channel c1 × (1 - Ratio) + c2 × Ratio. Ratio 0 gives Color1 (top byte cleared), 1 gives
// Color2; ratios outside 0..1 extrapolate and the channels are clamped. Both colours must be
// plain RGB values: a system colour reference (negative) raises ArgumentOutOfRangeException.
TColor Blend(TColor color1, TColor color2, float ratio);
