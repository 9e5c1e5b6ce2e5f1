#include "Component/draw/PainterCanvas.h"

#include "Component/draw/CanvasFonts.h"
#include "Component/draw/TriangleGradient.h"
#include "shared/core/Colors.h"

#include <QPaintDevice>
#include <QPainter>

namespace {

QColor ToQColor(TColor color) { return QColor::fromRgb(ColorToArgb(color)); }

// Widths are kept to what a tree can sensibly be drawn with.
qreal PenWidth(int32_t width) { return width < 1 ? 1.0 : qreal(width > 1000 ? 1000 : width); }

// The outline of a rectangle or ellipse runs through the centres of its outermost pixels, so
// a one-pixel pen stays within the right and bottom edges the figure excludes.
QRectF OutlineRect(const QRect& r) { return QRectF(r.x(), r.y(), r.width() - 1, r.height() - 1); }

} // namespace

TPainterCanvas::TPainterCanvas(QPaintDevice* device)
    : FOwnPainter(std::make_unique<QPainter>(device)), FPainter(FOwnPainter.get())
{
    Init();
}

TPainterCanvas::TPainterCanvas(QPainter* painter) : FPainter(painter) { Init(); }

TPainterCanvas::~TPainterCanvas() = default;

void TPainterCanvas::Init()
{
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
        pen.setCapStyle(Pen.Width <= 1 ? Qt::SquareCap : Qt::RoundCap);
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
    if (Brush.Style == TBrushStyle::Clear || rect.width() <= 0 || rect.height() <= 0)
        return;
    FPainter->fillRect(rect, ToQColor(Brush.Color));
}

void TPainterCanvas::Rectangle(const QRect& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    UseBrush();
    UsePen();
    FPainter->drawRect(OutlineRect(rect));
}

void TPainterCanvas::Ellipse(const QRect& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    UseBrush();
    UsePen();
    FPainter->drawEllipse(OutlineRect(rect));
}

void TPainterCanvas::Polygon(const QPolygon& points)
{
    if (points.size() < 2)
        return;
    UseBrush();
    UsePen();
    FPainter->drawPolygon(points, Qt::OddEvenFill);
}

void TPainterCanvas::LineTo(const QPoint& point)
{
    const QPoint from = FPenPos;
    FPenPos = point;
    if (Pen.Style == TPenStyle::Clear || from == point)
        return;
    // A dotted line over a solid brush shows the brush colour in its gaps.
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1 && Brush.Style == TBrushStyle::Solid) {
        FPainter->setPen(QPen(ToQColor(Brush.Color), 1.0, Qt::SolidLine, Qt::FlatCap));
        FAppliedPen.reset();
        FPainter->drawLine(from, point);
    }
    UsePen();
    FPainter->drawLine(from, point);
}

void TPainterCanvas::DrawText(int32_t x, int32_t y, const QString& text)
{
    if (!FAppliedFont || *FAppliedFont != Font) {
        FPainter->setFont(ToQFont(Font));
        FAscent = CanvasFontMetrics(Font).ascent();
        FAppliedFont = Font;
    }
    FPainter->setPen(ToQColor(Font.Color));
    FAppliedPen.reset();
    FPainter->drawText(QPoint(x, y + FAscent), text);
}

void TPainterCanvas::TextOut(int32_t x, int32_t y, const QString& text)
{
    if (Brush.Style == TBrushStyle::Solid)
        FPainter->fillRect(QRect(QPoint(x, y), TextExtent(text)), ToQColor(Brush.Color));
    if (!text.isEmpty())
        DrawText(x, y, text);
}

void TPainterCanvas::TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text)
{
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
    FAppliedFont.reset();
}

void TPainterCanvas::Draw(int32_t x, int32_t y, const QImage& image)
{
    FPainter->drawImage(QPoint(x, y), image);
}

QRect TPainterCanvas::VisibleArea() const
{
    QRect area(-(1 << 22), -(1 << 22), 1 << 23, 1 << 23);
    if (const QPaintDevice* device = FPainter->device()) {
        bool invertible = false;
        const QTransform inverse = FPainter->deviceTransform().inverted(&invertible);
        if (invertible)
            area = inverse.mapRect(QRect(0, 0, device->width(), device->height())).adjusted(-1, -1, 1, 1);
    }
    if (const std::optional<QRect> clip = ClipRect())
        area = area.intersected(*clip);
    return area;
}

void TPainterCanvas::GradientFillTriangle(const TTriangleVertices& vertices)
{
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
    // The triangle is shaded into a transparent patch that is then drawn in one call, which
    // works on any device and under any transform.
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
    if (clip)
        FPainter->setClipRect(*clip, Qt::ReplaceClip);
    else
        FPainter->setClipping(false);
}
