#include "Component/draw/PainterCanvas.h"

#include "Component/draw/CanvasFonts.h"
#include "Component/draw/ThinLine.h"
#include "Component/draw/WideLine.h"
#include "Component/draw/TriangleGradient.h"
#include "shared/core/Colors.h"
#include "shared/core/Exceptions.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace {

QColor ToQColor(TColor color) { return QColor::fromRgb(ColorToArgb(color)); }

// Widths are kept to what a tree can sensibly be drawn with.
qreal PenWidth(int32_t width) { return width < 1 ? 1.0 : qreal(width > 1000 ? 1000 : width); }

// The outline of a rectangle or ellipse runs through the centres of its outermost pixels, so
// a one-pixel pen stays within the right and bottom edges the figure excludes.
QRectF OutlineRect(const QRect& r) { return QRectF(r.x(), r.y(), r.width() - 1, r.height() - 1); }

// A row of one colour, four pixels a store.
void FillPixels(QRgb* p, qsizetype n, QRgb pixel)
{
    const QRgb quad[4] = {pixel, pixel, pixel, pixel};
    for (; n >= 4; n -= 4, p += 4)
        std::memcpy(p, quad, sizeof quad);
    for (; n > 0; --n)
        *p++ = pixel;
}

} // namespace

TPainterCanvas::TPainterCanvas(QPaintDevice* device)
    : FOwnPainter(device ? std::make_unique<QPainter>(device) : nullptr), FPainter(FOwnPainter.get())
{
    Init();
}

TPainterCanvas::TPainterCanvas(QPainter* painter) : FPainter(painter) { Init(); }

TPainterCanvas::~TPainterCanvas() = default;

void TPainterCanvas::Init()
{
    if (!FPainter || !FPainter->isActive())
        throw InvalidOperationException(QStringLiteral("The canvas needs an active painter on a paintable device"));
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    FPainter->setRenderHint(QPainter::TextAntialiasing, true);
    FPainter->setBackgroundMode(Qt::TransparentMode);
}

bool TPainterCanvas::UsePen()
{
    if (Pen.Style == TPenStyle::Clear) {
        UseNoPen();
        return false;
    }
    if (FAppliedPen && *FAppliedPen == Pen)
        return true;
    QPen pen(ToQColor(Pen.Color));
    pen.setWidthF(PenWidth(Pen.Width));
    pen.setJoinStyle(Qt::MiterJoin);
    // Only a thin pen can be dotted; a wider one draws solid, as on the platform the drawing
    // was designed for.
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1) {
        pen.setCapStyle(Qt::FlatCap);
        pen.setDashPattern({3.0, 3.0});
    } else {
        // A thin line stops before its end point, so that joined lines do not overlap.
        pen.setCapStyle(Pen.Width <= 1 ? Qt::FlatCap : Qt::RoundCap);
        if (Pen.Width > 1)
            pen.setJoinStyle(Qt::RoundJoin);
    }
    FPainter->setPen(pen);
    FAppliedPen = Pen;
    return true;
}

void TPainterCanvas::UseNoPen()
{
    if (FAppliedPen && FAppliedPen->Style == TPenStyle::Clear)
        return;
    FPainter->setPen(Qt::NoPen);
    FAppliedPen = TCanvasPen{0, 0, TPenStyle::Clear};
}

void TPainterCanvas::UseBrush()
{
    if (Brush.Style == TBrushStyle::Clear) {
        UseNoBrush();
        return;
    }
    if (FAppliedBrush && *FAppliedBrush == Brush)
        return;
    FPainter->setBrush(ToQColor(Brush.Color));
    FAppliedBrush = Brush;
}

void TPainterCanvas::UseNoBrush()
{
    if (FAppliedBrush && FAppliedBrush->Style == TBrushStyle::Clear)
        return;
    FPainter->setBrush(Qt::NoBrush);
    FAppliedBrush = TCanvasBrush{0, TBrushStyle::Clear};
}

void TPainterCanvas::FillRect(const QRect& rect)
{
    if (Brush.Style == TBrushStyle::Clear)
        return;
    FillBox(rect, Brush.Color);
}

bool TPainterCanvas::Direct(TDirectTarget& target) const
{
    // The painter's state is settled while the canvas draws, so the answer is kept until the
    // clip changes.
    if (!FDirectKnown) {
        FDirect = TDirectTarget();
        FDirect.Image = DirectImage(FDirect.Offset);
        if (FDirect.Image) {
            FDirect.Limit = FDirect.Image->rect().translated(-FDirect.Offset);
            if (const std::optional<QRect> clip = ClipRect())
                FDirect.Limit = FDirect.Limit.intersected(*clip);
            FDirect.Bits = FDirect.Image->bits();
            FDirect.Stride = FDirect.Image->bytesPerLine();
        }
        FDirectKnown = true;
    }
    target = FDirect;
    return target.Image != nullptr;
}

void TPainterCanvas::TDirectTarget::FillRow(int32_t y, int64_t left, int64_t right, QRgb pixel) const
{
    if (y < Limit.top() || y > Limit.bottom())
        return;
    left = std::max<int64_t>(left, Limit.left());
    right = std::min<int64_t>(right, Limit.right());
    if (left > right)
        return;
    FillPixels(reinterpret_cast<QRgb*>(Bits + (y + Offset.y()) * Stride) + (left + Offset.x()), right - left + 1, pixel);
}

void TPainterCanvas::FillBox(const QRect& rect, TColor color)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    TDirectTarget target;
    if (Direct(target)) {
        // Most fills are a row of a gradient or a band of an outline: writing the pixels
        // costs a fraction of a painter call.
        const QRect r = rect.intersected(target.Limit);
        const QRgb pixel = ColorToArgb(color);
        for (int y = r.top(); y <= r.bottom(); ++y)
            target.FillRow(y, r.left(), r.right(), pixel);
        return;
    }
    FPainter->fillRect(rect, ToQColor(color));
}

void TPainterCanvas::Rectangle(const QRect& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1) {
        UseBrush();
        UsePen();
        DrawWhole(rect, [&](QPainter& p) { p.drawRect(OutlineRect(rect)); });
        return;
    }
    // A solid outline of an upright rectangle is four bands, which are filled directly rather
    // than stroked: the same pixels, at a fraction of the cost of a wide pen's stroker.
    const int64_t x1 = rect.x(), y1 = rect.y();
    const int64_t x2 = x1 + rect.width() - 1, y2 = y1 + rect.height() - 1;  // outline centres
    if (Brush.Style == TBrushStyle::Solid && rect.width() > 1 && rect.height() > 1)
        FillBox(QRect(int(x1), int(y1), rect.width() - 1, rect.height() - 1), Brush.Color);
    if (Pen.Style == TPenStyle::Clear)
        return;
    // A band of width w around the centre line c covers c - w / 2 .. c - w / 2 + w - 1.
    const int64_t w = int64_t(PenWidth(Pen.Width));
    const int64_t outerL = x1 - w / 2, outerT = y1 - w / 2;
    const int64_t outerR = x2 - w / 2 + w - 1, outerB = y2 - w / 2 + w - 1;
    const int64_t innerL = outerL + w, innerT = outerT + w, innerR = outerR - w, innerB = outerB - w;
    auto band = [&](int64_t l, int64_t t, int64_t r, int64_t b) {
        if (l <= r && t <= b)
            FillBox(QRect(QPoint(int(l), int(t)), QPoint(int(r), int(b))), Pen.Color);
    };
    if (innerL > innerR || innerT > innerB) {
        band(outerL, outerT, outerR, outerB);
        return;
    }
    band(outerL, outerT, outerR, innerT - 1);
    band(outerL, innerB + 1, outerR, outerB);
    band(outerL, innerT, innerL - 1, innerB);
    band(innerR + 1, innerT, outerR, innerB);
}

namespace {

// The pixels of row y whose centres lie inside the ellipse with centre (cx, cy) and radii
// (rx, ry): left .. right, or false when the row misses it.
bool EllipseSpan(double cx, double cy, double rx, double ry, int64_t y, int64_t& left, int64_t& right)
{
    if (rx <= 0 || ry <= 0)
        return false;
    const double dy = (double(y) + 0.5 - cy) / ry;
    if (dy * dy >= 1)
        return false;
    const double hx = rx * std::sqrt(1 - dy * dy);
    left = int64_t(std::floor(cx - hx - 0.5)) + 1;
    right = int64_t(std::ceil(cx + hx - 0.5)) - 1;
    return left <= right;
}

} // namespace

bool TPainterCanvas::DirectEllipse(const QRect& rect)
{
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1)
        return false;
    TDirectTarget target;
    if (!Direct(target))
        return false;
    // The figure is the set of pixels whose centres lie inside the ellipse inscribed in the
    // rectangle, the outline the part of it outside the ellipse shrunk by the pen's width.
    // Without an outline the figure is a pixel narrower and lower, as for rectangles.
    const bool pen = Pen.Style != TPenStyle::Clear;
    const bool brush = Brush.Style == TBrushStyle::Solid;
    const double w = double(rect.width()) - (pen ? 0 : 1), h = double(rect.height()) - (pen ? 0 : 1);
    if (w <= 0 || h <= 0)
        return true;
    const double rx = w / 2, ry = h / 2, cx = rect.x() + rx, cy = rect.y() + ry;
    const double pw = pen ? PenWidth(Pen.Width) : 0;
    const QRgb penPixel = ColorToArgb(Pen.Color), brushPixel = ColorToArgb(Brush.Color);
    const int64_t top = std::max<int64_t>(rect.y(), target.Limit.top());
    const int64_t bottom = std::min<int64_t>(int64_t(rect.y()) + int64_t(h) - 1, target.Limit.bottom());
    for (int64_t y = top; y <= bottom; ++y) {
        int64_t a1, b1, a2, b2;
        if (!EllipseSpan(cx, cy, rx, ry, y, a1, b1))
            continue;
        if (!pen) {
            if (brush)
                target.FillRow(int32_t(y), a1, b1, brushPixel);
            continue;
        }
        if (!EllipseSpan(cx, cy, rx - pw, ry - pw, y, a2, b2)) {
            target.FillRow(int32_t(y), a1, b1, penPixel);
            continue;
        }
        target.FillRow(int32_t(y), a1, a2 - 1, penPixel);
        target.FillRow(int32_t(y), b2 + 1, b1, penPixel);
        if (brush)
            target.FillRow(int32_t(y), a2, b2, brushPixel);
    }
    return true;
}

void TPainterCanvas::Ellipse(const QRect& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    if (DirectEllipse(rect))
        return;
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1) {
        UseBrush();
        UsePen();
        DrawWhole(rect, [&](QPainter& p) { p.drawEllipse(OutlineRect(rect)); });
        return;
    }
    // Elsewhere the same figure as paths, whose filling samples pixel centres just as the
    // direct route does; on a scaled device they stay smooth curves.
    const bool pen = Pen.Style != TPenStyle::Clear;
    const qreal w = rect.width() - (pen ? 0 : 1), h = rect.height() - (pen ? 0 : 1);
    if (w <= 0 || h <= 0)
        return;
    const QRectF outer(rect.x(), rect.y(), w, h);
    const qreal pw = pen ? PenWidth(Pen.Width) : 0;
    const QRectF inner = outer.adjusted(pw, pw, -pw, -pw);
    const bool hasInner = inner.width() > 0 && inner.height() > 0;
    if (Brush.Style == TBrushStyle::Solid && (!pen || hasInner)) {
        QPainterPath fill;
        fill.addEllipse(pen ? inner : outer);
        FPainter->fillPath(fill, ToQColor(Brush.Color));
    }
    if (!pen)
        return;
    QPainterPath ring;
    ring.setFillRule(Qt::OddEvenFill);
    ring.addEllipse(outer);
    if (hasInner)
        ring.addEllipse(inner);
    FPainter->fillPath(ring, ToQColor(Pen.Color));
}

bool TPainterCanvas::WidePen() const { return Pen.Style != TPenStyle::Clear && Pen.Width > 1; }

qreal TPainterCanvas::CentreShift() const { return (int(PenWidth(Pen.Width)) % 2) ? 0.5 : 0.0; }

void TPainterCanvas::UseJoinPen()
{
    FPainter->setPen(Qt::NoPen);
    FPainter->setBrush(ToQColor(Pen.Color));
    FAppliedPen.reset();
    FAppliedBrush.reset();
}

void TPainterCanvas::FillJoin(const QPoint& at, const QRect* area)
{
    const int w = int(PenWidth(Pen.Width));
    // Up to three pixels a round join is a square; beyond, a disk.
    const QRect box(at.x() - w / 2, at.y() - w / 2, w, w);
    if (area && !box.adjusted(-1, -1, 1, 1).intersects(*area))
        return;
    if (w <= 3) {
        FillBox(box, Pen.Color);
        return;
    }
    const qreal shift = CentreShift(), half = w / 2.0;
    DrawWhole(box, [&](QPainter& p) { p.drawEllipse(QRectF(at.x() + shift - half, at.y() + shift - half, w, w)); });
}

void TPainterCanvas::FillWideLines(const QPolygon& points, bool closed)
{
    // Each segment is a band of the pen's width around its centre line, with round joins and
    // ends: the look of a wide pen, filled instead of stroked.
    UseJoinPen();
    TDirectTarget target;
    const bool direct = Direct(target);
    const int width = int(PenWidth(Pen.Width));
    const QRgb pixel = ColorToArgb(Pen.Color);
    const qreal half = PenWidth(Pen.Width) / 2, shift = CentreShift();
    const int n = int(points.size());
    const int segments = closed ? n : n - 1;
    for (int i = 0; i < segments; ++i) {
        const QPoint& a = points[i];
        const QPoint& b = points[(i + 1) % n];
        if (direct) {
            target.Band(TWideLine(a.x(), a.y(), b.x(), b.y(), width), target.Limit, pixel);
            continue;
        }
        const QPointF p = QPointF(a) + QPointF(shift, shift);
        const QPointF q = QPointF(b) + QPointF(shift, shift);
        const QPointF d = q - p;
        const qreal length = std::hypot(d.x(), d.y());
        if (length == 0)
            continue;
        const QPointF normal(-d.y() / length * half, d.x() / length * half);
        const QPointF band[4] = {p + normal, q + normal, q - normal, p - normal};
        FPainter->drawConvexPolygon(band, 4);
    }
    for (int i = 0; i < n; ++i)
        FillJoin(points[i], direct ? &target.Limit : nullptr);
}

void TPainterCanvas::Polygon(const QPolygon& points)
{
    if (points.size() < 2)
        return;
    if (!WidePen()) {
        UseBrush();
        UsePen();
        DrawWhole(points.boundingRect(), [&](QPainter& p) { p.drawPolygon(points, Qt::OddEvenFill); });
        return;
    }
    if (Brush.Style == TBrushStyle::Solid) {
        UseBrush();
        UseNoPen();
        FPainter->drawPolygon(points, Qt::OddEvenFill);
    }
    FillWideLines(points, true);
}

void TPainterCanvas::LineTo(const QPoint& point)
{
    const QPoint from = FPenPos;
    FPenPos = point;
    if (Pen.Style == TPenStyle::Clear || from == point)
        return;
    // A dotted line over a solid brush shows the brush colour in its gaps.
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1 && Brush.Style == TBrushStyle::Solid &&
        !DirectLine(from, point, Brush.Color)) {
        FPainter->setPen(QPen(ToQColor(Brush.Color), 1.0, Qt::SolidLine, Qt::FlatCap));
        FAppliedPen.reset();
        FPainter->drawLine(from, point);
    }
    if (WidePen()) {
        FillWideLines(QPolygon({from, point}), false);
        return;
    }
    if (Pen.Style == TPenStyle::Solid && DirectLine(from, point, Pen.Color))
        return;
    UsePen();
    DrawWhole(QRect(from, point).normalized(), [&](QPainter& p) { p.drawLine(from, point); });
}

void TPainterCanvas::DrawWhole(const QRect& bounds, const std::function<void(QPainter&)>& draw)
{
    TDirectTarget target;
    if (Direct(target)) {
        // The engine clips a thin or dotted outline where it leaves the device by moving its
        // ends, which moves its pixels and its dots, so one that runs off the image is drawn
        // whole into a scratch image and its part inside copied: the pixels of the whole
        // picture. The pen is opaque and unsmoothed, so a pixel is either untouched or the
        // figure's.
        const QRect device = target.Image->rect().translated(-target.Offset);
        const QRect reach = bounds.adjusted(-2, -2, 2, 2);
        constexpr qint64 MostScratchPixels = qint64(1) << 22;
        if (!device.contains(reach) && qint64(reach.width()) * reach.height() <= MostScratchPixels) {
            const QRect visible = reach.intersected(target.Limit);
            if (visible.isEmpty())
                return;
            if (FWhole.width() < reach.width() || FWhole.height() < reach.height())
                FWhole = QImage(std::max(FWhole.width(), reach.width()), std::max(FWhole.height(), reach.height()),
                                QImage::Format_ARGB32_Premultiplied);
            FWhole.fill(Qt::transparent);
            {
                QPainter whole(&FWhole);
                whole.setRenderHint(QPainter::Antialiasing, false);
                whole.translate(-reach.topLeft());
                whole.setPen(FPainter->pen());
                whole.setBrush(FPainter->brush());
                draw(whole);
            }
            for (int y = visible.top(); y <= visible.bottom(); ++y) {
                const auto* from = reinterpret_cast<const QRgb*>(FWhole.constScanLine(y - reach.top())) - reach.left();
                auto* to = reinterpret_cast<QRgb*>(target.Bits + (y + target.Offset.y()) * target.Stride) +
                           target.Offset.x();
                for (int x = visible.left(); x <= visible.right(); ++x)
                    if (qAlpha(from[x]) == 255)
                        to[x] = from[x];
            }
            return;
        }
    }
    draw(*FPainter);
}

bool TPainterCanvas::DirectLine(const QPoint& from, const QPoint& to, TColor color)
{
    TDirectTarget target;
    if (!Direct(target))
        return false;
    target.Line(TThinLine(from.x(), from.y(), to.x(), to.y()), target.Limit, ColorToArgb(color));
    return true;
}

void TPainterCanvas::TDirectTarget::Band(const TWideLine& band, const QRect& area, QRgb pixel) const
{
    // The blocks lie within the area, which lies within Limit.
    band.Blocks(area, [&](int64_t top, int64_t bottom, int64_t left, int64_t right) {
        uchar* row = Bits + (top + Offset.y()) * Stride;
        const qsizetype n = right - left + 1, at = left + Offset.x();
        for (int64_t y = top; y <= bottom; ++y, row += Stride) {
            QRgb* p = reinterpret_cast<QRgb*>(row) + at;
            for (qsizetype i = 0; i < n; ++i)
                p[i] = pixel;
        }
    });
}

void TPainterCanvas::TDirectTarget::Line(const TThinLine& line, const QRect& area, QRgb pixel) const
{
    if (area.isEmpty())
        return;
    if (line.Vertical()) {
        line.Runs(area.top(), area.bottom(), area.left(), area.right(), [&](int64_t x, int64_t a, int64_t b) {
            if (x < area.left() || x > area.right())
                return;
            uchar* p = Bits + (a + Offset.y()) * Stride + (x + Offset.x()) * qsizetype(sizeof(QRgb));
            for (int64_t y = a; y <= b; ++y, p += Stride)
                *reinterpret_cast<QRgb*>(p) = pixel;
        });
    } else {
        line.Runs(area.left(), area.right(), area.top(), area.bottom(), [&](int64_t y, int64_t a, int64_t b) {
            if (y < area.top() || y > area.bottom())
                return;
            FillPixels(reinterpret_cast<QRgb*>(Bits + (y + Offset.y()) * Stride) + (a + Offset.x()), b - a + 1, pixel);
        });
    }
}

namespace {

// What a line shows of itself inside an area: its runs, minor coordinates outside the area
// folded onto its sides. Lines with the same picture set the same pixels there.
void LinePicture(const TThinLine& line, const QRect& area, std::vector<int64_t>& picture)
{
    picture.clear();
    const auto keep = [&](int64_t minor, int64_t a, int64_t b) {
        picture.push_back(minor);
        picture.push_back(a);
        picture.push_back(b);
    };
    if (line.Vertical())
        line.Runs(area.top(), area.bottom(), area.left(), area.right(), keep);
    else
        line.Runs(area.left(), area.right(), area.top(), area.bottom(), keep);
}

// The same for a band: its blocks inside the area.
void BandPicture(const TWideLine& band, const QRect& area, std::vector<int64_t>& picture)
{
    picture.clear();
    band.Blocks(area, [&](int64_t top, int64_t bottom, int64_t left, int64_t right) {
        picture.insert(picture.end(), {top, bottom, left, right});
    });
}

struct TPictureHash {
    size_t operator()(const std::vector<int64_t>& v) const
    {
        uint64_t h = 1469598103934665603ull;
        for (int64_t x : v)
            h = (h ^ uint64_t(x)) * 1099511628211ull;
        return size_t(h);
    }
};

// The first index in [lo, hi) for which past(i) holds, where past is false and then true.
template <class Past>
int FirstPast(int lo, int hi, Past past)
{
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (past(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// Draws the lines [first, last) of one colour, between which nothing else is drawn, leaving
// out each line whose picture (what it shows of itself) an earlier one had: it would set no
// new pixel. picture(i, out) gives line i's picture, empty when it shows nothing; draw(i)
// draws it.
//
// Where lines with the same picture are known to follow one another (each pixel of a line lies
// between those of its neighbours), the end of each such run is found by galloping and halving,
// so the cost follows the number of different pictures rather than of lines.
template <class Picture, class Draw>
void DrawDifferent(int first, int last, bool sorted, Picture picture, Draw draw)
{
    std::vector<int64_t> one, other;
    if (!sorted) {
        std::unordered_set<std::vector<int64_t>, TPictureHash> drawn;
        for (int i = first; i < last; ++i) {
            picture(i, one);
            if (!one.empty() && drawn.insert(one).second)
                draw(i);
        }
        return;
    }
    for (int i = first; i < last;) {
        picture(i, one);
        if (!one.empty())
            draw(i);
        const auto same = [&](int k) {
            picture(k, other);
            return other == one;
        };
        int known = i, step = 1, past = last;
        while (known + step < last) {
            if (!same(known + step)) {
                past = known + step;
                break;
            }
            known += step;
            step *= 2;
        }
        i = FirstPast(known + 1, past, [&](int k) { return !same(k); });
    }
}

} // namespace

bool TPainterCanvas::LineFan(const TLineFan& fan, const std::optional<QRect>& area)
{
    const bool wide = WidePen();
    if (!wide && Pen.Style != TPenStyle::Solid)
        return false;
    TDirectTarget target;
    if (!Direct(target))
        return false;
    if (fan.Count <= 0)
        return true;
    FPenPos = QPoint(fan.X, fan.Y(fan.Count - 1));
    const QRect view = area ? area->intersected(target.Limit) : target.Limit;
    if (view.isEmpty())
        return true;
    const QRgb pixel = ColorToArgb(Pen.Color);
    const int64_t px = fan.From.x(), py = fan.From.y();
    const int64_t across = std::abs(int64_t(fan.X) - px);
    const auto y = [&](int i) { return int64_t(fan.Y(i)); };
    const int width = int(PenWidth(Pen.Width));

    // The lines are grouped by their distance down or up from the point. Those less far down
    // than across, and those at the point's own height, are few. Up to the engine's length a
    // line's pixels stray from the ideal by its rounding, which does not follow the index.
    // Longer lines are sampled exactly; all of them start at the point and end on one column,
    // so in each row the pixel of a line further away lies between those of its neighbours (it
    // moves towards the point's column as the far end moves away, and the rows a line reaches
    // grow with it): their pictures are sorted.
    const int64_t exact = std::max(across, TThinLine::EngineSpan);
    const int above = FirstPast(0, fan.Count, [&](int i) { return y(i) >= py - exact; });
    const int below = FirstPast(above, fan.Count, [&](int i) { return y(i) > py + exact; });
    const bool nearSorted = across > TThinLine::EngineSpan;

    if (!wide) {
        const auto line = [&](int i) { return TThinLine(px, py, fan.X, fan.Y(i)); };
        const auto picture = [&](int i, std::vector<int64_t>& out) { LinePicture(line(i), view, out); };
        const auto draw = [&](int i) { target.Line(line(i), view, pixel); };
        if (nearSorted) {
            for (int i = above; i < below; ++i)
                draw(i);
        } else {
            // Lines less far down than across set one pixel a column; they are drawn.
            const int flatAbove = FirstPast(above, below, [&](int i) { return y(i) >= py - across; });
            const int flatBelow = FirstPast(flatAbove, below, [&](int i) { return y(i) > py + across; });
            for (int i = flatAbove; i < flatBelow; ++i)
                draw(i);
            DrawDifferent(above, flatAbove, false, picture, draw);
            // Below the point each line starts there: a row's pixel is its start plus the rows
            // down times the step (half a step more when it runs right), and the truncated step
            // follows the far end's distance, so the pictures are sorted after all.
            DrawDifferent(flatBelow, below, true, picture, draw);
        }
        DrawDifferent(0, above, true, picture, draw);
        DrawDifferent(below, fan.Count, true, picture, draw);
        return true;
    }

    const auto band = [&](int i) { return TWideLine(px, py, fan.X, fan.Y(i), width); };
    const auto picture = [&](int i, std::vector<int64_t>& out) { BandPicture(band(i), view, out); };
    const auto draw = [&](int i) { target.Band(band(i), view, pixel); };
    if (nearSorted) {
        for (int i = above; i < below; ++i)
            draw(i);
    } else {
        DrawDifferent(above, below, false, picture, draw);
    }
    // Far bands are the pen's width around their exactly sampled centre lines, whose pictures
    // (taken a pen's width around the view) are sorted; a band's own picture leaves out on which
    // side of the view it passes, which would not be.
    const QRect around = view.adjusted(-width, -width, width, width);
    const auto centre = [&](int i, std::vector<int64_t>& out) {
        LinePicture(TThinLine(px, py, fan.X, fan.Y(i)), around, out);
    };
    DrawDifferent(0, above, true, centre, draw);
    DrawDifferent(below, fan.Count, true, centre, draw);
    // The round ends: all lines share the one at the point; of the others only those that
    // reach the view are drawn.
    UseJoinPen();
    FillJoin(fan.From, &view);
    const int reach = width + 1;
    const int firstEnd = FirstPast(0, fan.Count, [&](int i) { return y(i) >= int64_t(view.top()) - reach; });
    const int lastEnd = FirstPast(firstEnd, fan.Count, [&](int i) { return y(i) > int64_t(view.bottom()) + reach; });
    for (int i = firstEnd; i < lastEnd; ++i)
        FillJoin(QPoint(fan.X, fan.Y(i)), &view);
    return true;
}

void TPainterCanvas::DrawText(int32_t x, int32_t y, const QString& text)
{
    TCanvasFontEntry& entry = CanvasFontEntry(Font);
    if (FAppliedFontEntry != &entry) {
        FPainter->setFont(entry.Font());
        FAppliedFontEntry = &entry;
    }
    if (!FAppliedPen || FAppliedPen->Style != TPenStyle::Solid || FAppliedPen->Color != Font.Color ||
        FAppliedPen->Width != -1) {
        FPainter->setPen(ToQColor(Font.Color));
        // Marks the painter's pen as the text colour, which no shape pen can equal.
        FAppliedPen = TCanvasPen{Font.Color, -1, TPenStyle::Solid};
    }
    // Each distinct text is laid out once and then drawn from that layout; the layout's top
    // edge is the cell's top edge.
    FPainter->drawStaticText(QPoint(x, y), entry.StaticText(text));
}

void TPainterCanvas::TextOut(int32_t x, int32_t y, const QString& text)
{
    if (Brush.Style == TBrushStyle::Solid)
        FillBox(QRect(QPoint(x, y), TextExtent(text)), Brush.Color);
    if (!text.isEmpty())
        DrawText(x, y, text);
}

void TPainterCanvas::TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text)
{
    // A clip costs the raster engine tables as tall as the whole image, so a text whose every
    // pixel falls inside its rectangle anyway is drawn without one: the same pixels.
    TDirectTarget target;
    if (clip.isValid() && Direct(target) && target.Image->format() == QImage::Format_RGB32 &&
        FPainter->renderHints() == QPainter::TextAntialiasing) {
        const std::optional<QRect> ink = CanvasFontEntry(Font).InkBounds(text);
        if (ink && (ink->isEmpty() || clip.contains(ink->translated(x, y)))) {
            if (Brush.Style == TBrushStyle::Solid)
                FillBox(clip, Brush.Color);
            if (!text.isEmpty())
                DrawText(x, y, text);
            return;
        }
    }
    FPainter->save();
    FPainter->setClipRect(clip, FPainter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (Brush.Style == TBrushStyle::Solid)
        FPainter->fillRect(clip, ToQColor(Brush.Color));
    if (!text.isEmpty())
        DrawText(x, y, text);
    FPainter->restore();
    // restore() put back the painter's earlier pen and font.
    FAppliedPen.reset();
    FAppliedBrush.reset();
    FAppliedFontEntry = nullptr;
}

void TPainterCanvas::Draw(int32_t x, int32_t y, const QImage& image)
{
    FPainter->drawImage(QPoint(x, y), image);
}

QRect TPainterCanvas::VisibleArea() const
{
    QRect area(-(1 << 22), -(1 << 22), 1 << 23, 1 << 23);
    // The device transform leads to the engine's device, which on a scaled screen (or when a
    // widget is rendered into a scaled image) holds more pixels than the widget painted on:
    // measured on the widget, a scaled drawing would lose everything right of and below its
    // first part.
    const QPaintEngine* engine = FPainter->paintEngine();
    const QPaintDevice* device = engine && engine->paintDevice() ? engine->paintDevice() : FPainter->device();
    if (device) {
        bool invertible = false;
        const QTransform inverse = FPainter->deviceTransform().inverted(&invertible);
        if (invertible)
            area = inverse.mapRect(QRect(0, 0, device->width(), device->height())).adjusted(-1, -1, 1, 1);
    }
    if (const std::optional<QRect> clip = ClipRect())
        area = area.intersected(*clip);
    return area;
}

QImage* TPainterCanvas::DirectImage(QPoint& offset) const
{
    // Pixels can be written straight into an image that this painter alone draws on, when the
    // drawing is only shifted (no scaling), plainly composed and clipped by nothing but our
    // own clip rectangle.
    QPaintDevice* device = FPainter->device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return nullptr;
    if (!image->isDetached() || FPainter->opacity() != 1.0 ||
        FPainter->compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    const QTransform t = FPainter->deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()))
        return nullptr;
    if (FPainter->hasClipping() && !ClipRect())
        return nullptr;
    offset = QPoint(int(t.dx()), int(t.dy()));
    return image;
}

void TPainterCanvas::GradientFillTriangle(const TTriangleVertices& vertices)
{
    TDirectTarget target;
    if (Direct(target)) {
        if (target.Limit.isEmpty())
            return;
        RasterizeGradientTriangle(vertices, target.Limit, [&](int32_t px, int32_t py, uint8_t r, uint8_t g, uint8_t b) {
            reinterpret_cast<QRgb*>(target.Bits + (py + target.Offset.y()) * target.Stride)[px + target.Offset.x()] =
                qRgb(r, g, b);
        });
        return;
    }
    const QRect limit = VisibleArea();
    int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (const TTriVertex& v : vertices) {
        minX = std::min(minX, v.X);
        minY = std::min(minY, v.Y);
        maxX = std::max(maxX, v.X);
        maxY = std::max(maxY, v.Y);
    }
    const QRect box = QRect(QPoint(minX, minY), QPoint(maxX, maxY)).intersected(limit);
    if (box.isEmpty())
        return;
    // Elsewhere the triangle is shaded into a transparent patch that is then drawn in one
    // call, which works on any device and under any transform.
    if (FScratch.width() < box.width() || FScratch.height() < box.height())
        FScratch = QImage(std::max(box.width(), FScratch.width()),
                          std::max(box.height(), FScratch.height()),
                          QImage::Format_ARGB32_Premultiplied);
    FScratch.fill(Qt::transparent);
    const int32_t ox = box.x(), oy = box.y();
    uchar* bits = FScratch.bits();
    const qsizetype stride = FScratch.bytesPerLine();
    RasterizeGradientTriangle(vertices, box, [&](int32_t px, int32_t py, uint8_t r, uint8_t g, uint8_t b) {
        reinterpret_cast<QRgb*>(bits + (py - oy) * stride)[px - ox] = qRgb(r, g, b);
    });
    FPainter->drawImage(QPoint(ox, oy), FScratch, QRect(0, 0, box.width(), box.height()));
}

void TPainterCanvas::ClipChanged(const std::optional<QRect>& clip)
{
    FDirectKnown = false;
    if (clip)
        FPainter->setClipRect(*clip, Qt::ReplaceClip);
    else
        FPainter->setClipping(false);
}
