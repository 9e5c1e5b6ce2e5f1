#pragma once
// A canvas that draws nothing and remembers every drawing call with its arguments and the pen,
// brush and font in force, so that tests can check what a painter did and in which order, and
// so that a drawing can be kept and drawn again later onto any canvas. It measures text like
// every other canvas.

#include "Component/draw/Canvas.h"

#include <vector>

enum class TCanvasOp : uint8_t {
    FillRect, Rectangle, Ellipse, Polygon, MoveTo, LineTo, TextOut, TextRect, Draw,
    GradientFillTriangle, SetClip, ClearClip
};

struct TCanvasCall {
    TCanvasOp Op;
    // FillRect, Rectangle, Ellipse: the rectangle; TextRect and SetClip: the clip rectangle.
    QRect Rect;
    // Polygon: the corners; MoveTo, TextOut, TextRect, Draw: the one point; LineTo: from, to.
    QPolygon Points;
    QString Text;
    TTriangleVertices Vertices{};
    QImage Image;
    TCanvasPen Pen;
    TCanvasBrush Brush;
    TCanvasFont Font;
};

class TRecordingCanvas final : public TCanvas {
public:
    void FillRect(const QRect& rect) override;
    void Rectangle(const QRect& rect) override;
    void Ellipse(const QRect& rect) override;
    void Polygon(const QPolygon& points) override;
    void MoveTo(const QPoint& point) override;
    void LineTo(const QPoint& point) override;
    void TextOut(int32_t x, int32_t y, const QString& text) override;
    void TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text) override;
    void Draw(int32_t x, int32_t y, const QImage& image) override;
    void GradientFillTriangle(const TTriangleVertices& vertices) override;

    const std::vector<TCanvasCall>& Calls() const { return FCalls; }
    void Clear() { FCalls.clear(); }
    // Draws the recorded calls onto another canvas, as they were made on this one. The target's
    // pen, brush and font are left as the last call set them.
    void Replay(TCanvas& target) const;

protected:
    void ClipChanged(const std::optional<QRect>& clip) override;

private:
    TCanvasCall& Add(TCanvasOp op);
    std::vector<TCanvasCall> FCalls;
};
