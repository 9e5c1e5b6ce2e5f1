#pragma once
// The rectangle in which layout, hit-testing and painting keep every element's position.
// It is plain geometry, so the headless node model can hold its layout cache in it.
// Results are always new values; nothing is changed in place.

#include <QPoint>
#include <QRect>
#include <cstdint>

struct TRectangle {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    static constexpr TRectangle Create(int32_t left, int32_t top, int32_t width, int32_t height)
    {
        return TRectangle{left, top, width, height};
    }
    static constexpr TRectangle FromEdges(int32_t left, int32_t top, int32_t right, int32_t bottom)
    {
        return TRectangle{left, top, Sub(right, left), Sub(bottom, top)};
    }
    static constexpr TRectangle Empty() { return TRectangle{}; }

    // The right and bottom edges; a point on them still counts as inside.
    constexpr int32_t Right() const { return Add(Left, Width); }
    constexpr int32_t Bottom() const { return Add(Top, Height); }

    // Both edges inclusive on both axes. Compared without overflow, so a rectangle at the far
    // end of the coordinate range still answers correctly.
    constexpr bool Contains(int32_t x, int32_t y) const
    {
        return int64_t(Left) <= x && x <= int64_t(Left) + Width && int64_t(Top) <= y &&
               y <= int64_t(Top) + Height;
    }
    // Rectangles that only touch at an edge intersect.
    static constexpr bool Intersects(const TRectangle& a, const TRectangle& b)
    {
        return int64_t(b.Left) + b.Width >= a.Left && b.Left <= int64_t(a.Left) + a.Width &&
               int64_t(b.Top) + b.Height >= a.Top && b.Top <= int64_t(a.Top) + a.Height;
    }
    static constexpr TRectangle Union(const TRectangle& a, const TRectangle& b)
    {
        return FromEdges(a.Left < b.Left ? a.Left : b.Left, a.Top < b.Top ? a.Top : b.Top,
                         a.Right() > b.Right() ? a.Right() : b.Right(),
                         a.Bottom() > b.Bottom() ? a.Bottom() : b.Bottom());
    }
    static constexpr TRectangle Offset(const TRectangle& r, int32_t dx, int32_t dy)
    {
        return TRectangle{Add(r.Left, dx), Add(r.Top, dy), r.Width, r.Height};
    }
    static constexpr TRectangle Inflate(const TRectangle& r, int32_t dLeft, int32_t dTop,
                                        int32_t dRight, int32_t dBottom)
    {
        return TRectangle{Sub(r.Left, dLeft), Sub(r.Top, dTop), Add(Add(r.Width, dLeft), dRight),
                          Add(Add(r.Height, dTop), dBottom)};
    }
    static constexpr TRectangle InflateAll(const TRectangle& r, int32_t d)
    {
        return Inflate(r, d, d, d, d);
    }
    static constexpr TRectangle Deflate(const TRectangle& r, int32_t dLeft, int32_t dTop,
                                        int32_t dRight, int32_t dBottom)
    {
        return Inflate(r, Neg(dLeft), Neg(dTop), Neg(dRight), Neg(dBottom));
    }

    // Integer division truncates toward zero: a width of -3 gives a centre 1 left of Left.
    constexpr int32_t CenterX() const { return Add(Left, Width / 2); }
    constexpr int32_t CenterY() const { return Add(Top, Height / 2); }
    QPoint Center() const { return QPoint(CenterX(), CenterY()); }
    QPoint LeftCenter() const { return QPoint(Left, CenterY()); }
    QPoint RightCenter() const { return QPoint(Right(), CenterY()); }
    QPoint TopLeft() const { return QPoint(Left, Top); }
    // The drawing rectangle: it covers the pixels from Left to Left + Width, right and bottom
    // edge excluded, as the canvas fills it (QRect's x() + width() is that excluded edge).
    QRect ToRect() const { return QRect(Left, Top, Width, Height); }

    friend constexpr bool operator==(const TRectangle&, const TRectangle&) = default;

private:
    // Coordinates wrap around like the 32-bit arithmetic they were designed with, instead of
    // overflowing into undefined behaviour on nonsense input.
    static constexpr int32_t Add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
    static constexpr int32_t Sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
    static constexpr int32_t Neg(int32_t a) { return int32_t(0u - uint32_t(a)); }
};
