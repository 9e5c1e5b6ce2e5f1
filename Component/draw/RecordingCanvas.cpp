#include "Component/draw/RecordingCanvas.h"

TCanvasCall& TRecordingCanvas::Add(TCanvasOp op)
{
    TCanvasCall& call = FCalls.emplace_back();
    call.Op = op;
    call.Pen = Pen;
    call.Brush = Brush;
    call.Font = Font;
    return call;
}

void TRecordingCanvas::FillRect(const QRect& rect) { Add(TCanvasOp::FillRect).Rect = rect; }
void TRecordingCanvas::Rectangle(const QRect& rect) { Add(TCanvasOp::Rectangle).Rect = rect; }
void TRecordingCanvas::Ellipse(const QRect& rect) { Add(TCanvasOp::Ellipse).Rect = rect; }
void TRecordingCanvas::Polygon(const QPolygon& points) { Add(TCanvasOp::Polygon).Points = points; }

void TRecordingCanvas::MoveTo(const QPoint& point)
{
    Add(TCanvasOp::MoveTo).Points = QPolygon({point});
    FPenPos = point;
}

void TRecordingCanvas::LineTo(const QPoint& point)
{
    Add(TCanvasOp::LineTo).Points = QPolygon({FPenPos, point});
    FPenPos = point;
}

void TRecordingCanvas::TextOut(int32_t x, int32_t y, const QString& text)
{
    TCanvasCall& call = Add(TCanvasOp::TextOut);
    call.Points = QPolygon({QPoint(x, y)});
    call.Text = text;
}

void TRecordingCanvas::TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text)
{
    TCanvasCall& call = Add(TCanvasOp::TextRect);
    call.Rect = clip;
    call.Points = QPolygon({QPoint(x, y)});
    call.Text = text;
}

void TRecordingCanvas::Draw(int32_t x, int32_t y, const QImage& image)
{
    TCanvasCall& call = Add(TCanvasOp::Draw);
    call.Points = QPolygon({QPoint(x, y)});
    call.ImageSize = image.size();
}

void TRecordingCanvas::GradientFillTriangle(const TTriangleVertices& vertices)
{
    Add(TCanvasOp::GradientFillTriangle).Vertices = vertices;
}

void TRecordingCanvas::ClipChanged(const std::optional<QRect>& clip)
{
    if (clip)
        Add(TCanvasOp::SetClip).Rect = *clip;
    else
        Add(TCanvasOp::ClearClip);
}
