#pragma once
// Puts a style's font (and background colour) onto a font, a canvas or a control. Values are
// the style's effective values. Each assignment is made only when the value differs, so an
// unchanged font stays untouched.

#include "Component/draw/Canvas.h"

class TStyle;

// What a control takes from a style: its font and its background colour. The widget layer
// keeps one per control and applies it to the widget (ToQFont of CanvasFonts.h for the font),
// so this layer needs no widgets.
struct TControlLook {
    TCanvasFont Font;
    TColor Color = 0x00FFFFFF;
    friend bool operator==(const TControlLook&, const TControlLook&) = default;
};

void ApplyStyleToFont(TCanvasFont& font, const TStyle& style);
void ApplyStyleToCanvas(TCanvas& canvas, const TStyle& style);
void ApplyStyleToControl(TControlLook& control, const TStyle& style);
