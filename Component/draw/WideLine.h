#pragma once
// The band of a line drawn with a pen wider than a pixel: the four corners a pen's width apart
// around the centre line (through pixel centres for an odd width), without its round ends.
//
// Up to a length of 32767 pixels the band's pixels are exactly those the painter's raster engine
// fills for those corners, unsmoothed: corners rounded to 26.6 fixed point, each edge's 16.16
// crossing of every row's middle, and the pixels whose middles lie between the crossings. Longer
// bands are beyond what the engine fills whole (it clips them first, which moved their pixels);
// they are drawn as the pen's width of pixels around each pixel of the exactly sampled centre
// line (see TThinLine).
//
// Either way each row's pixels are a closed formula of the row, so any part of the band can be
// drawn on its own and gives the pixels the whole band gives there.

#include "Component/draw/ThinLine.h"

#include <QRect>

#include <cstdint>
#include <functional>

class TWideLine {
public:
    TWideLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int width);

    // The band's pixels inside the area as blocks of rows that share one run of columns:
    // block(top, bottom, left, right), all inclusive, in the order of their rows. Rows whose
    // runs are the same follow as one block.
    void Blocks(const QRect& area, const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) const;

private:
    struct TEdge {
        int64_t Top = 0, Bottom = 0; // the rows it crosses
        int64_t X = 0;               // its crossing of row Top, 16.16 with half a pixel added
        int64_t Slope = 0;           // per row, 16.16
        int Winding = 0;
        int64_t Column(int64_t y) const;
        // The first row after y at which Column, held within [lo, hi], changes; or none.
        int64_t NextChange(int64_t y, int64_t lo, int64_t hi) const;
    };
    void EngineBlocks(const QRect& area, const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) const;
    void LongBlocks(const QRect& area, const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) const;

    bool FLong = false;
    int FWidth = 0;
    TEdge FEdges[4];
    int FEdgeCount = 0;
    TThinLine FCentre;
};
