#pragma once
// The pixels of a one-pixel aliased line between two pixel corners: one pixel per row (a mostly
// vertical line) or per column (a mostly horizontal one), the end point's excluded.
//
// Up to a length of 32767 pixels along its major axis they are exactly those the painter's
// raster engine sets for a line it draws whole: the engine's 16.16 fixed point, whose long lines
// stray from the ideal in the same pixels. Longer lines are beyond what the engine draws whole
// (it clips them first, so their pixels depended on the clip); they are sampled exactly, at the
// same places in each row or column, so that they meet their end points.
//
// Either way the pixel at a major position is a closed formula of that position alone, so any
// part of the line can be drawn on its own and gives the pixels the whole line gives there.

#include <cstdint>

class TThinLine {
public:
    TThinLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2);

    // One pixel per row (true) or per column.
    bool Vertical() const { return FVertical; }
    // The major positions (rows or columns) that get a pixel: [First, Last).
    int64_t First() const { return FFirst; }
    int64_t Last() const { return FLast; }
    // The pixel's minor coordinate (column of a row, or row of a column).
    int64_t Minor(int64_t major) const;

    // The pixels at the major positions [from, to], as runs of one minor coordinate, in order:
    // run(minor, a, b) for the positions a..b. A minor coordinate outside [lo, hi] is given as
    // lo - 1 or hi + 1, so a run outside stands for all of that side.
    template <class F>
    void Runs(int64_t from, int64_t to, int64_t lo, int64_t hi, F run) const
    {
        int64_t m = from > FFirst ? from : FFirst;
        const int64_t end = to < FLast - 1 ? to : FLast - 1;
        while (m <= end) {
            const int64_t minor = Minor(m);
            int64_t clamped = minor, next;
            if (minor < lo) {
                clamped = lo - 1;
                next = FStep > 0 ? Reach(lo) : end + 1;
            } else if (minor > hi) {
                clamped = hi + 1;
                next = FStep < 0 ? ReachDown(hi) : end + 1;
            } else {
                next = FStep > 0 ? Reach(minor + 1) : FStep < 0 ? ReachDown(minor - 1) : end + 1;
            }
            if (next > end + 1)
                next = end + 1;
            run(clamped, m, next - 1);
            m = next;
        }
    }

    // Beyond this length along the major axis the engine's fixed point would overflow.
    static constexpr int64_t EngineSpan = 32767;

private:
    // The first major position whose minor coordinate is at least v (the line runs towards
    // larger values), or at most v (towards smaller ones).
    int64_t Reach(int64_t v) const;
    int64_t ReachDown(int64_t v) const;

    bool FVertical = true;
    int64_t FFirst = 0, FLast = 0;
    // minor(m) = floor((FBase + m * FStep) / FUnit)
    __int128 FBase = 0, FStep = 0, FUnit = 1;
};
