#include "Component/draw/StyleApplier.h"

#include "Component/styles/Style.h"

namespace {

template <typename T>
void AssignIfDifferent(T& target, const T& value)
{
    if (!(target == value))
        target = value;
}

} // namespace

void ApplyStyleToFont(TCanvasFont& font, const TStyle& style)
{
    AssignIfDifferent(font.Name, GetEffectiveString(style.FontName()));
    // The size is read within the bounds drawing accepts, so a hostile file cannot ask for a
    // font of a million points.
    AssignIfDifferent(font.Size, int32_t(style.EffectiveFontSize()));
    TFontStyles styles;
    styles.Bold = GetEffectiveBoolean(style.FontBold());
    styles.Italic = GetEffectiveBoolean(style.FontItalic());
    styles.Underline = GetEffectiveBoolean(style.FontUnderline());
    styles.StrikeOut = GetEffectiveBoolean(style.FontStrikeOut());
    AssignIfDifferent(font.Style, styles);
    AssignIfDifferent(font.Color, GetEffectiveColor(style.FontColor()));
}

void ApplyStyleToCanvas(TCanvas& canvas, const TStyle& style) { ApplyStyleToFont(canvas.Font, style); }

void ApplyStyleToControl(TControlLook& control, const TStyle& style)
{
    ApplyStyleToFont(control.Font, style);
    AssignIfDifferent(control.Color, GetEffectiveColor(style.BackgroundColor()));
}
