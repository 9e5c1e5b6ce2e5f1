#pragma once
// The canvas that draws with a QPainter: on the screen, into a QImage, or onto a printer page.
// Coordinates are pixels at 96 dpi; a caller that draws onto a device of another resolution
// (a printer) sets the painter's transform to scale them. Drawing is aliased, as the tree was
// designed to look; only text is smoothed.

#include "Component/draw/Canvas.h"

#include <QColor>
#include <QImage>

#include <functional>
#include <memory>

class QPaintDevice;
class QPainter;
class TThinLine;
class TWideLine;

class TPainterCanvas final : public TCanvas {
public:
    // Draws onto the device through a painter of its own, which ends with the canvas. A device
    // that cannot be painted on (a null image) raises InvalidOperationException, as does an
    // inactive borrowed painter.
    explicit TPainterCanvas(QPaintDevice* device);
    // Draws through a painter that the caller owns and keeps active while the canvas lives.
    // The canvas takes over the painter's pen, brush, font and clip; its transform, opacity
    // and composition mode must stay as they are while the canvas draws.
    explicit TPainterCanvas(QPainter* painter);
    ~TPainterCanvas() override;

    void FillRect(const QRect& rect) override;
    void Rectangle(const QRect& rect) override;
    void Ellipse(const QRect& rect) override;
    void Polygon(const QPolygon& points) override;
    void LineTo(const QPoint& point) override;
    bool LineFan(const TLineFan& fan, const std::optional<QRect>& area) override;
    void TextOut(int32_t x, int32_t y, const QString& text) override;
    void TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text) override;
    void Draw(int32_t x, int32_t y, const QImage& image) override;
    void GradientFillTriangle(const TTriangleVertices& vertices) override;

    QPainter* Painter() const { return FPainter; }

protected:
    void ClipChanged(const std::optional<QRect>& clip) override;

private:
    void Init();
    // Puts the pen, brush and font state onto the painter, skipping what is already there.
    // Returns false when the pen draws nothing.
    bool UsePen();
    void UseBrush();
    void UseNoBrush();
    void UseNoPen();
    void DrawText(int32_t x, int32_t y, const QString& text);
    // Pens wider than a pixel are filled as bands rather than stroked, which is many times
    // faster and gives the same look.
    bool WidePen() const;
    qreal CentreShift() const;
    void FillWideLines(const QPolygon& points, bool closed);
    // The pen's round end at the point, unless it lies wholly outside the area (if one).
    void FillJoin(const QPoint& at, const QRect* area);
    // The painter's state for filling with the pen's colour.
    void UseJoinPen();
    void FillBox(const QRect& rect, TColor color);
    QRect VisibleArea() const;
    // The image to write triangle pixels into directly, and the shift to its pixels; null when
    // the painter's state asks for the general route.
    QImage* DirectImage(QPoint& offset) const;

    std::unique_ptr<QPainter> FOwnPainter;
    QPainter* FPainter = nullptr;
    // What the painter holds now, so that unchanged state is not set again.
    std::optional<TCanvasPen> FAppliedPen;
    std::optional<TCanvasBrush> FAppliedBrush;
    const class TCanvasFontEntry* FAppliedFontEntry = nullptr;
    QImage FScratch;

    // Where pixels go when they are written straight into an image: the image, the shift
    // from canvas to image coordinates, and the canvas area that may be written (image and
    // clip).
    struct TDirectTarget {
        QImage* Image = nullptr;
        QPoint Offset;
        QRect Limit;
        uchar* Bits = nullptr;
        qsizetype Stride = 0;
        void FillRow(int32_t y, int64_t left, int64_t right, QRgb pixel) const;
        // The pixels of a thin line inside the area, which lies within Limit.
        void Line(const TThinLine& line, const QRect& area, QRgb pixel) const;
        void Band(const TWideLine& band, const QRect& area, QRgb pixel) const;
    };
    bool Direct(TDirectTarget& target) const;
    mutable TDirectTarget FDirect;
    mutable bool FDirectKnown = false;
    bool DirectEllipse(const QRect& rect);
    // A thin solid line written straight into the image, wherever it lies: its pixels are the
    // same whatever part of it is drawn. False when the painter must draw it.
    bool DirectLine(const QPoint& from, const QPoint& to, TColor color);
    // Draws through the painter, with its pen and brush, a figure within the bounds.
    void DrawWhole(const QRect& bounds, const std::function<void(QPainter&)>& draw);
    QImage FWhole;
};
