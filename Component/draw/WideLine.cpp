#include "Component/draw/WideLine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr int64_t Never = std::numeric_limits<int64_t>::max();

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// The engine's 26.6 coordinate of a point's coordinate: rounded, halves up.
int64_t Fixed(double v) { return int64_t(std::floor(v * 64 + 0.5)); }

// Hands on blocks, joining a block to the one before when it continues it.
class TBlockJoiner {
public:
    explicit TBlockJoiner(const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) : FBlock(block) {}
    ~TBlockJoiner() { Flush(); }
    void Add(int64_t top, int64_t bottom, int64_t left, int64_t right)
    {
        if (FHas && left == FLeft && right == FRight && top == FBottom + 1) {
            FBottom = bottom;
            return;
        }
        Flush();
        FHas = true;
        FTop = top, FBottom = bottom, FLeft = left, FRight = right;
    }
    void Flush()
    {
        if (FHas)
            FBlock(FTop, FBottom, FLeft, FRight);
        FHas = false;
    }

private:
    const std::function<void(int64_t, int64_t, int64_t, int64_t)>& FBlock;
    bool FHas = false;
    int64_t FTop = 0, FBottom = 0, FLeft = 0, FRight = 0;
};

} // namespace

TWideLine::TWideLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int width)
    : FWidth(width), FCentre(x1, y1, x2, y2)
{
    FLong = std::max(std::abs(x2 - x1), std::abs(y2 - y1)) > TThinLine::EngineSpan;
    if (FLong)
        return;
    // The corners as the canvas computes them for the engine.
    const double half = width / 2.0, shift = width % 2 ? 0.5 : 0.0;
    const double px = double(x1) + shift, py = double(y1) + shift;
    const double qx = double(x2) + shift, qy = double(y2) + shift;
    const double dx = qx - px, dy = qy - py;
    const double length = std::hypot(dx, dy);
    if (length == 0)
        return;
    const double nx = -dy / length * half, ny = dx / length * half;
    const double corners[4][2] = {{px + nx, py + ny}, {qx + nx, qy + ny}, {qx - nx, qy - ny}, {px - nx, py - ny}};
    for (int i = 0; i < 4; ++i) {
        int64_t ax = Fixed(corners[i][0]), ay = Fixed(corners[i][1]);
        int64_t bx = Fixed(corners[(i + 1) % 4][0]), by = Fixed(corners[(i + 1) % 4][1]);
        int winding = 1;
        if (ay > by)
            std::swap(ax, bx), std::swap(ay, by), winding = -1;
        // Rows whose middle lies below the upper end and not below the lower one.
        const int64_t top = (ay + 32) >> 6, bottom = (by - 32) >> 6;
        if (top > bottom)
            continue;
        TEdge& e = FEdges[FEdgeCount++];
        e.Top = top;
        e.Bottom = bottom;
        e.Winding = winding;
        e.X = 32768 + ax * 1024;
        if (bx != ax) {
            // The slope in floating point, truncated to 16.16; the first crossing from it.
            const double slope = double(bx - ax) / double(by - ay);
            e.Slope = int64_t(slope * 65536.0);
            e.X += FloorDiv(e.Slope * (top * 65536 + 32768 - ay * 1024), 65536);
        }
    }
}

int64_t TWideLine::TEdge::Column(int64_t y) const { return (X + (y - Top) * Slope) >> 16; }

int64_t TWideLine::TEdge::NextChange(int64_t y, int64_t lo, int64_t hi) const
{
    // Column(r) >= v from r = Top + ceil((v * 65536 - X) / Slope) on, for Slope > 0;
    // Column(r) <= v from r = Top + ceil((X - (v + 1) * 65536 + 1) / -Slope) on, for Slope < 0.
    const int64_t c = Column(y);
    int64_t target;
    if (Slope > 0) {
        if (c >= hi)
            return Never;
        target = c < lo ? lo : c + 1;
        return Top + CeilDiv(target * 65536 - X, Slope);
    }
    if (Slope < 0) {
        if (c <= lo)
            return Never;
        target = c > hi ? hi : c - 1;
        return Top + CeilDiv(X - (target + 1) * 65536 + 1, -Slope);
    }
    return Never;
}

void TWideLine::Blocks(const QRect& area, const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) const
{
    if (area.isEmpty())
        return;
    if (FLong)
        LongBlocks(area, block);
    else
        EngineBlocks(area, block);
}

void TWideLine::EngineBlocks(const QRect& area, const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) const
{
    if (FEdgeCount == 0)
        return;
    // The crossings are held within the area's columns (a run's right end excluded), which
    // keeps a run's visible part; rows are taken from one change of a crossing to the next.
    const int64_t lo = area.left(), hi = int64_t(area.right()) + 1;
    int64_t y = area.top(), last = area.bottom();
    int64_t top = Never, bottom = std::numeric_limits<int64_t>::min();
    for (int i = 0; i < FEdgeCount; ++i)
        top = std::min(top, FEdges[i].Top), bottom = std::max(bottom, FEdges[i].Bottom);
    y = std::max(y, top);
    last = std::min(last, bottom);
    TBlockJoiner joiner(block);
    while (y <= last) {
        std::pair<int64_t, int> crossings[4];
        int count = 0;
        int64_t next = last + 1;
        for (int i = 0; i < FEdgeCount; ++i) {
            const TEdge& e = FEdges[i];
            if (e.Top > y) {
                next = std::min(next, e.Top);
                continue;
            }
            if (e.Bottom < y)
                continue;
            crossings[count++] = {std::clamp(e.Column(y), lo, hi), e.Winding};
            next = std::min({next, e.NextChange(y, lo, hi), e.Bottom + 1});
        }
        for (int i = 1; i < count; ++i) // at most four
            for (int k = i; k > 0 && crossings[k] < crossings[k - 1]; --k)
                std::swap(crossings[k], crossings[k - 1]);
        // A convex band has one run a row; the winding rule decides in general.
        int64_t runs[4][2];
        int runCount = 0, winding = 0;
        int64_t from = 0;
        for (int i = 0; i < count; ++i) {
            if (winding != 0 && from < crossings[i].first)
                runs[runCount][0] = from, runs[runCount][1] = crossings[i].first - 1, ++runCount;
            from = crossings[i].first;
            winding += crossings[i].second;
        }
        if (runCount == 1) {
            joiner.Add(y, next - 1, runs[0][0], runs[0][1]);
        } else {
            joiner.Flush();
            for (int i = 0; i < runCount; ++i)
                block(y, next - 1, runs[i][0], runs[i][1]);
        }
        y = next;
    }
}

void TWideLine::LongBlocks(const QRect& area, const std::function<void(int64_t, int64_t, int64_t, int64_t)>& block) const
{
    const int64_t w = FWidth, before = FWidth / 2;
    TBlockJoiner joiner(block);
    if (FCentre.Vertical()) {
        FCentre.Runs(area.top(), area.bottom(), int64_t(area.left()) - w, int64_t(area.right()) + w,
                     [&](int64_t c, int64_t a, int64_t b) {
                         const int64_t left = std::max<int64_t>(c - before, area.left());
                         const int64_t right = std::min<int64_t>(c - before + w - 1, area.right());
                         if (left <= right)
                             joiner.Add(a, b, left, right);
                         else
                             joiner.Flush();
                     });
        return;
    }
    FCentre.Runs(area.left(), area.right(), int64_t(area.top()) - w, int64_t(area.bottom()) + w,
                 [&](int64_t c, int64_t a, int64_t b) {
                     const int64_t top = std::max<int64_t>(c - before, area.top());
                     const int64_t bottom = std::min<int64_t>(c - before + w - 1, area.bottom());
                     joiner.Flush();
                     if (top <= bottom)
                         joiner.Add(top, bottom, a, b);
                 });
}
