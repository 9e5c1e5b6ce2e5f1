#include "Component/draw/Canvas.h"

#include "Component/draw/CanvasFonts.h"
#include "shared/core/Colors.h"
#include "shared/core/Exceptions.h"

TTriVertex TTriVertex::FromColor(int32_t x, int32_t y, TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return TTriVertex{x, y, uint16_t(ColorRed(rgb) << 8), uint16_t(ColorGreen(rgb) << 8),
                      uint16_t(ColorBlue(rgb) << 8), 0};
}

TCanvas::~TCanvas() = default;

void TCanvas::MoveTo(const QPoint& point) { FPenPos = point; }

bool TCanvas::LineFan(const TLineFan&, const std::optional<QRect>&) { return false; }

void TCanvas::PushClipRect(const QRect& rect)
{
    QRect clip = rect;
    if (!FClipStack.empty())
        clip = FClipStack.back().intersected(rect);
    // An empty intersection still restricts: it clips everything away.
    if (clip.width() < 0 || clip.height() < 0)
        clip = QRect(rect.x(), rect.y(), 0, 0);
    FClipStack.push_back(clip);
    ClipChanged(clip);
}

void TCanvas::PopClipRect()
{
    if (FClipStack.empty())
        throw InvalidOperationException(QStringLiteral("PopClipRect without a matching PushClipRect"));
    FClipStack.pop_back();
    ClipChanged(ClipRect());
}

std::optional<QRect> TCanvas::ClipRect() const
{
    if (FClipStack.empty())
        return std::nullopt;
    return FClipStack.back();
}

bool TCanvas::RectVisible(const QRect& rect) const
{
    if (FClipStack.empty())
        return true;
    return FClipStack.back().intersects(rect);
}

int32_t TCanvas::TextWidth(const QString& text) const { return CanvasFontEntry(Font).TextWidth(text); }

int32_t TCanvas::TextHeight(const QString&) const { return CanvasFontEntry(Font).Height(); }

QSize TCanvas::TextExtent(const QString& text) const
{
    TCanvasFontEntry& entry = CanvasFontEntry(Font);
    return QSize(entry.TextWidth(text), entry.Height());
}
