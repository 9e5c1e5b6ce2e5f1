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
    call.Image = image;
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

void TRecordingCanvas::Replay(TCanvas& target) const
{
    // A recorded clip is the whole clip in force, so at most one is pushed at a time.
    bool clipped = false;
    for (const TCanvasCall& call : FCalls) {
        target.Pen = call.Pen;
        target.Brush = call.Brush;
        target.Font = call.Font;
        switch (call.Op) {
        case TCanvasOp::FillRect: target.FillRect(call.Rect); break;
        case TCanvasOp::Rectangle: target.Rectangle(call.Rect); break;
        case TCanvasOp::Ellipse: target.Ellipse(call.Rect); break;
        case TCanvasOp::Polygon: target.Polygon(call.Points); break;
        case TCanvasOp::MoveTo: target.MoveTo(call.Points.at(0)); break;
        case TCanvasOp::LineTo:
            if (target.PenPos() != call.Points.at(0))
                target.MoveTo(call.Points.at(0));
            target.LineTo(call.Points.at(1));
            break;
        case TCanvasOp::TextOut: target.TextOut(call.Points.at(0).x(), call.Points.at(0).y(), call.Text); break;
        case TCanvasOp::TextRect:
            target.TextRect(call.Rect, call.Points.at(0).x(), call.Points.at(0).y(), call.Text);
            break;
        case TCanvasOp::Draw: target.Draw(call.Points.at(0).x(), call.Points.at(0).y(), call.Image); break;
        case TCanvasOp::GradientFillTriangle: target.GradientFillTriangle(call.Vertices); break;
        case TCanvasOp::SetClip:
        case TCanvasOp::ClearClip:
            if (clipped)
                target.PopClipRect();
            clipped = call.Op == TCanvasOp::SetClip;
            if (clipped)
                target.PushClipRect(call.Rect);
            break;
        }
    }
    if (clipped)
        target.PopClipRect();
}
