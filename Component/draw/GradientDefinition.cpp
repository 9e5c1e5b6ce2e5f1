#include "Component/draw/GradientDefinition.h"

#include "Component/draw/Canvas.h"
#include "Component/draw/ColorBlender.h"
#include "shared/core/Exceptions.h"

#include <algorithm>

void TGradientDefinition::AddStop(TColor color, float position)
{
    FStops.emplace_back(color, position);
    std::stable_sort(FStops.begin(), FStops.end(),
                     [](const TGradientStop& a, const TGradientStop& b) { return a.Position < b.Position; });
}

const TGradientStop& TGradientDefinition::GetStop(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FStops[size_t(index)];
}

TColor TGradientDefinition::GetColorAt(float position) const
{
    if (FStops.empty())
        return 0;
    if (FStops.front().Position >= position)
        return FStops.front().Color;
    for (size_t i = 1; i < FStops.size(); ++i) {
        const TGradientStop& s = FStops[i];
        const TGradientStop& r = FStops[i - 1];
        if (s.Position == position)
            return s.Color;
        if (s.Position > position) {
            // Both distances are positive here, so the ratio never divides by zero.
            const float a = position - r.Position;
            const float b = s.Position - position;
            return Blend(r.Color, s.Color, float((long double)a / ((long double)a + b)));
        }
    }
    // Beyond the last stop (or a position that compares with nothing, which is not a number).
    return FStops.back().Color;
}

void PaintVerticalGradient(TCanvas& canvas, const TRectangle& rect, const TGradientDefinition& gradient)
{
    const int64_t n = int64_t(rect.Height) - 1;
    if (n > 0) {
        // Rows outside the clip would not show; skipping them keeps a tall rectangle cheap.
        int64_t first = 0, last = n;
        if (const std::optional<QRect> clip = canvas.ClipRect()) {
            first = std::max<int64_t>(first, int64_t(clip->y()) - rect.Top);
            last = std::min<int64_t>(last, int64_t(clip->y()) + clip->height() - 1 - rect.Top);
        }
        for (int64_t i = first; i <= last; ++i) {
            canvas.Brush.Color = gradient.GetColorAt(float((long double)i / n));
            canvas.FillRect(QRect(rect.Left, int32_t(rect.Top + i), rect.Width, 1));
        }
    } else {
        canvas.Brush.Color = gradient.GetColorAt(0);
        canvas.FillRect(rect.ToRect());
    }
}
