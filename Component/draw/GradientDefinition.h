#pragma once
// A colour ramp given by stops, and the painting of it from top to bottom, one row at a time.

#include "Component/model/Rectangle.h"
#include "shared/core/NullableColor.h"

#include <vector>

class TCanvas;

struct TGradientStop {
    float Position = 0;  // 0 = start of the ramp, 1 = end; other values allowed
    TColor Color = 0;
    TGradientStop() = default;
    TGradientStop(TColor color, float position) : Position(position), Color(color) {}
};

class TGradientDefinition {
public:
    // Appends a stop and keeps the stops in ascending order of position (stops at the same
    // position stay in the order they were added).
    void AddStop(TColor color, float position);
    int Count() const { return int(FStops.size()); }
    // EListError for an index outside 0 .. Count - 1.
    const TGradientStop& GetStop(int index) const;
    const std::vector<TGradientStop>& Stops() const { return FStops; }

    // Black without stops; the first stop's colour up to its position, the last one's beyond
    // its position, and in between the blend of the two neighbouring stops.
    TColor GetColorAt(float position) const;

private:
    std::vector<TGradientStop> FStops;
};

// Fills Rect with one brush fill per pixel row, the top row at position 0 and the bottom row at
// 1; a rectangle of height 1 or less is filled in the colour at 0. The brush style is left as
// the caller set it.
void PaintVerticalGradient(TCanvas& canvas, const TRectangle& rect, const TGradientDefinition& gradient);
