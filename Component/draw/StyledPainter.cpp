#include "Component/draw/StyledPainter.h"

#include "Component/draw/ColorBlender.h"
#include "Component/draw/GradientDefinition.h"
#include "Component/draw/StyleApplier.h"
#include "Component/styles/Style.h"
#include "shared/core/Colors.h"
#include "shared/core/Exceptions.h"

#include <cmath>

namespace {

// Blending needs plain RGB values; a style colour read from a foreign document may still be a
// system colour reference, which is resolved first.
TColor BlendRGB(TColor color1, TColor color2, float ratio)
{
    return Blend(ColorToRGB(color1), ColorToRGB(color2), ratio);
}

// The lighter steps of the soft shadow, from the largest (I = 1) to the plain shadow colour.
TColor SoftShadowColor(int i)
{
    return BlendRGB(TStyledPainter::ShadowColor, TStyledPainter::White, float(4 - i) / 4.0f);
}

// I × factor rounded to the nearest integer, an exact half to the even neighbour.
int32_t RoundHalfEven(double x) { return int32_t(std::nearbyint(x)); }

} // namespace

void TStyledPainter::ResetCanvas()
{
    if (Canvas->Pen.Style != TPenStyle::Solid)
        Canvas->Pen.Style = TPenStyle::Solid;
    if (Canvas->Brush.Style != TBrushStyle::Solid)
        Canvas->Brush.Style = TBrushStyle::Solid;
}

void TStyledPainter::DrawRectangle(const TStyle& style, const TRectangle& rect, const TNullableColor& override)
{
    if (ShadowPass) {
        const TShadowStyle shadow = GetEffectiveShadow(style.Shadow());
        if (shadow == TShadowStyle::None)
            return;
        ResetCanvas();
        if (shadow == TShadowStyle::Hard) {
            Canvas->Brush.Color = ShadowColor;
            Canvas->FillRect(TRectangle::Inflate(rect, -ShadowOffset, -ShadowOffset, ShadowOffset, ShadowOffset).ToRect());
        } else if (shadow == TShadowStyle::Soft) {
            for (int i = 1; i <= 4; ++i) {
                Canvas->Brush.Color = SoftShadowColor(i);
                Canvas->FillRect(TRectangle::Inflate(rect, -i, -i, 4 - i, 4 - i).ToRect());
            }
        }
        return;
    }
    ResetCanvas();
    const TColor bg = GetEffectiveColor(style.BackgroundColor());
    if (GetEffectiveFillMode(style.FillMode()) != TBackgroundFillMode::Gradient || override.HasValue) {
        Canvas->Brush.Color = override.HasValue ? override.Value : bg;
        Canvas->Brush.Style = TBrushStyle::Solid;
    } else {
        // Top light, bottom the full colour.
        TGradientDefinition gradient;
        gradient.AddStop(BlendRGB(bg, White, 0.7f), 0.0f);
        gradient.AddStop(BlendRGB(bg, White, 0.3f), 0.65f);
        gradient.AddStop(BlendRGB(bg, White, 0.0f), 1.0f);
        PaintVerticalGradient(*Canvas, rect, gradient);
        Canvas->Brush.Style = TBrushStyle::Clear;
    }
    const int32_t lineWidth = style.EffectiveLineWidth();
    Canvas->Pen.Style = lineWidth == 0 ? TPenStyle::Clear : TPenStyle::Solid;
    Canvas->Pen.Width = lineWidth;
    Canvas->Pen.Color = GetEffectiveColor(style.LineColor());
    Canvas->Rectangle(rect.ToRect());
}

void TStyledPainter::DrawEllipse(const TStyle& style, const TRectangle& rect, const TNullableColor& override)
{
    if (ShadowPass) {
        const TShadowStyle shadow = GetEffectiveShadow(style.Shadow());
        if (shadow == TShadowStyle::None)
            return;
        ResetCanvas();
        if (shadow == TShadowStyle::Hard) {
            Canvas->Brush.Color = ShadowColor;
            Canvas->Pen.Color = ShadowColor;
            Canvas->Pen.Width = 1;
            Canvas->Ellipse(TRectangle::Inflate(rect, -ShadowOffset, -ShadowOffset, ShadowOffset, ShadowOffset).ToRect());
        } else if (shadow == TShadowStyle::Soft) {
            for (int i = 1; i <= 4; ++i) {
                Canvas->Brush.Color = SoftShadowColor(i);
                Canvas->Pen.Color = Canvas->Brush.Color;
                Canvas->Pen.Width = 1;
                Canvas->Ellipse(TRectangle::Inflate(rect, -i, -i, 4 - i, 4 - i).ToRect());
            }
        }
        return;
    }
    ResetCanvas();
    const TColor bg = GetEffectiveColor(style.BackgroundColor());
    if (GetEffectiveFillMode(style.FillMode()) == TBackgroundFillMode::Gradient && !override.HasValue) {
        TGradientDefinition gradient;
        gradient.AddStop(BlendRGB(bg, White, 0.0f), 0.0f);
        gradient.AddStop(BlendRGB(bg, White, 0.8f), 1.0f);
        Canvas->Pen.Style = TPenStyle::Clear;
        const int32_t w = rect.Width;
        if (w > 2) {
            // One disk per two pixels of width, each smaller, lighter and further to the upper
            // left than the one before: a highlight at the upper left.
            const int32_t steps = w / 2;
            for (int32_t i = 0; i < steps; ++i) {
                const float t = steps == 1 ? 0.0f : float((long double)i / (steps - 1));
                Canvas->Brush.Color = gradient.GetColorAt(t);
                Canvas->Pen.Color = Canvas->Brush.Color;
                const int32_t a = RoundHalfEven(i * 1.5);
                const int32_t b = RoundHalfEven(i * 0.5);
                Canvas->Ellipse(TRectangle::Deflate(rect, b, b, a, a).ToRect());
            }
        }
        Canvas->Brush.Style = TBrushStyle::Clear;
    } else {
        Canvas->Brush.Color = override.HasValue ? override.Value : bg;
    }
    const int32_t lineWidth = style.EffectiveLineWidth();
    Canvas->Pen.Width = lineWidth;
    Canvas->Pen.Color = GetEffectiveColor(style.LineColor());
    Canvas->Pen.Style = lineWidth == 0 ? TPenStyle::Clear : TPenStyle::Solid;
    Canvas->Ellipse(rect.ToRect());
}

void TStyledPainter::FillTriangle(const TRectangle& rect, TColor c0, TColor c1, TColor c2)
{
    const int32_t right = rect.Right();
    Canvas->GradientFillTriangle({TTriVertex::FromColor(right, rect.Top, c0),
                                  TTriVertex::FromColor(rect.Left, rect.CenterY(), c1),
                                  TTriVertex::FromColor(right, rect.Bottom(), c2)});
}

void TStyledPainter::DrawTriangle(const TStyle& style, const TRectangle& rect)
{
    if (rect.Height <= 1)
        throw InvalidOperationException(QStringLiteral("Requires Height greater than 1"));
    if (rect.Height % 2 == 0)
        throw InvalidOperationException(QStringLiteral("Requires odd Height"));
    if (ShadowPass) {
        const TShadowStyle shadow = GetEffectiveShadow(style.Shadow());
        if (shadow == TShadowStyle::None)
            return;
        ResetCanvas();
        if (shadow == TShadowStyle::Hard) {
            FillTriangle(TRectangle::Offset(rect, ShadowOffset, ShadowOffset), ShadowColor, ShadowColor, ShadowColor);
        } else if (shadow == TShadowStyle::Soft) {
            for (int i = 1; i <= 4; ++i) {
                const TColor c = SoftShadowColor(i);
                FillTriangle(TRectangle::Inflate(rect, -i, -i, 4 - i, 4 - i), c, c, c);
            }
        }
        return;
    }
    ResetCanvas();
    const TColor bg = GetEffectiveColor(style.BackgroundColor());
    if (GetEffectiveFillMode(style.FillMode()) == TBackgroundFillMode::Gradient)
        FillTriangle(rect, BlendRGB(bg, White, 0.5f), BlendRGB(bg, White, 0.0f), BlendRGB(bg, White, -0.5f));
    else
        FillTriangle(rect, bg, bg, bg);
    const int32_t lineWidth = style.EffectiveLineWidth();
    if (lineWidth != 0) {
        Canvas->Brush.Style = TBrushStyle::Clear;
        Canvas->Pen.Width = lineWidth;
        Canvas->Pen.Color = GetEffectiveColor(style.LineColor());
        Canvas->Polygon(QPolygon({QPoint(rect.Right(), rect.Top), QPoint(rect.Left, rect.CenterY()),
                                  QPoint(rect.Right(), rect.Bottom())}));
    }
}

void TStyledPainter::DrawLine(const TStyle& style, const QPoint& from, const QPoint& to)
{
    if (ShadowPass)
        return;
    const int32_t lineWidth = style.EffectiveLineWidth();
    if (lineWidth == 0)
        return;
    ResetCanvas();
    Canvas->Pen.Width = lineWidth;
    Canvas->Pen.Color = GetEffectiveColor(style.LineColor());
    Canvas->MoveTo(from);
    Canvas->LineTo(to);
}

bool TStyledPainter::DrawLineFan(const TStyle& style, const TLineFan& fan, const std::optional<QRect>& area)
{
    if (ShadowPass)
        return true;
    const int32_t lineWidth = style.EffectiveLineWidth();
    if (lineWidth == 0)
        return true;
    ResetCanvas();
    Canvas->Pen.Width = lineWidth;
    Canvas->Pen.Color = GetEffectiveColor(style.LineColor());
    return Canvas->LineFan(fan, area);
}

void TStyledPainter::DrawDottedLine(const TStyle& style, const QPoint& from, const QPoint& to)
{
    if (ShadowPass)
        return;
    ResetCanvas();
    Canvas->Pen.Width = 1;
    Canvas->Pen.Style = TPenStyle::Dot;
    Canvas->Brush.Style = TBrushStyle::Clear;
    Canvas->Pen.Color = GetEffectiveColor(style.LineColor());
    Canvas->MoveTo(from);
    Canvas->LineTo(to);
}

void TStyledPainter::DrawText(const TStyle& style, const QPoint& point, const QString& text,
                              TAlignment horAlign, TAlignment verAlign)
{
    if (ShadowPass)
        return;
    ResetCanvas();
    ApplyFont(style);
    QSize size;
    if (horAlign != taLeftJustify || verAlign != taLeftJustify)
        size = Canvas->TextExtent(text);
    int32_t x, y;
    switch (horAlign) {
    case taLeftJustify: x = point.x(); break;
    case taRightJustify: x = point.x() - size.width(); break;
    case taCenter: x = point.x() - size.width() / 2; break;
    default:
        throw ArgumentOutOfRangeException(QStringLiteral("HorAlign is not a valid TAlignment value"));
    }
    switch (verAlign) {
    case taLeftJustify: y = point.y(); break;
    case taRightJustify: y = point.y() - size.height(); break;
    case taCenter: y = point.y() - size.height() / 2; break;
    default:
        throw ArgumentOutOfRangeException(QStringLiteral("VerAlign is not a valid TAlignment value"));
    }
    Canvas->Brush.Style = TBrushStyle::Clear;
    Canvas->TextOut(x, y, text);
}

void TStyledPainter::DrawTextRect(const TStyle& style, const TRectangle& rect, const QPoint& point,
                                  const QString& text)
{
    if (ShadowPass)
        return;
    ResetCanvas();
    Canvas->Brush.Style = TBrushStyle::Clear;
    ApplyFont(style);
    Canvas->TextRect(rect.ToRect(), point.x(), point.y(), text);
}

void TStyledPainter::DrawGraphic(const QPoint& point, const QImage& graphic)
{
    if (ShadowPass)
        return;
    ResetCanvas();
    Canvas->Draw(point.x(), point.y(), graphic);
}

void TStyledPainter::DrawCornerMarker(const TRectangle& rect, int32_t lineWidth)
{
    if (ShadowPass)
        return;
    ResetCanvas();
    Canvas->Brush.Color = clRed;
    Canvas->Pen.Style = TPenStyle::Clear;
    Canvas->Pen.Width = 0;
    // Keep the mark inside the outline drawn with that line width.
    const int32_t d = lineWidth != 0 ? lineWidth / 2 + 1 : 0;
    const int32_t e = (lineWidth + 1) / 2;
    const int32_t r = rect.Right();
    Canvas->Polygon(QPolygon({QPoint(r - 6 - d, rect.Top + e), QPoint(r - d, rect.Top + e),
                              QPoint(r - d, rect.Top + 6 + e)}));
}

void TStyledPainter::DrawSelectionRect(const TRectangle& rect)
{
    ResetCanvas();
    Canvas->Brush.Style = TBrushStyle::Clear;
    Canvas->Pen.Width = 1;
    Canvas->Pen.Style = TPenStyle::Dot;
    Canvas->Pen.Color = clBlue;
    Canvas->Rectangle(rect.ToRect());
}

void TStyledPainter::ApplyFont(const TStyle& style) { ApplyStyleToCanvas(*Canvas, style); }
