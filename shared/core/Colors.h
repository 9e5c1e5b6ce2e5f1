#pragma once
// The one conversion between TColor ($00BBGGRR, red in the low byte) and RGB values, and the
// fixed table that turns system colour references into RGB.
//
// A negative TColor is a system colour reference: its low byte indexes the system colour table.
// Documents written on other machines may carry such references; they are resolved here through
// a fixed table (the usual desktop defaults), so they always give a definite colour.

#include "shared/core/NullableColor.h"

#include <cstdint>

// Plain colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

// System colour references: the high bit set, the index in the low byte.
inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
inline constexpr TColor SystemColorRef(int index) { return clSystemColor | (index & 0xFF); }
inline constexpr TColor clScrollBar = SystemColorRef(0);
inline constexpr TColor clBackground = SystemColorRef(1);
inline constexpr TColor clActiveCaption = SystemColorRef(2);
inline constexpr TColor clInactiveCaption = SystemColorRef(3);
inline constexpr TColor clMenu = SystemColorRef(4);
inline constexpr TColor clWindow = SystemColorRef(5);
inline constexpr TColor clWindowFrame = SystemColorRef(6);
inline constexpr TColor clMenuText = SystemColorRef(7);
inline constexpr TColor clWindowText = SystemColorRef(8);
inline constexpr TColor clCaptionText = SystemColorRef(9);
inline constexpr TColor clActiveBorder = SystemColorRef(10);
inline constexpr TColor clInactiveBorder = SystemColorRef(11);
inline constexpr TColor clAppWorkSpace = SystemColorRef(12);
inline constexpr TColor clHighlight = SystemColorRef(13);
inline constexpr TColor clHighlightText = SystemColorRef(14);
inline constexpr TColor clBtnFace = SystemColorRef(15);
inline constexpr TColor clBtnShadow = SystemColorRef(16);
inline constexpr TColor clGrayText = SystemColorRef(17);
inline constexpr TColor clBtnText = SystemColorRef(18);
inline constexpr TColor clInactiveCaptionText = SystemColorRef(19);
inline constexpr TColor clBtnHighlight = SystemColorRef(20);
inline constexpr TColor cl3DDkShadow = SystemColorRef(21);
inline constexpr TColor cl3DLight = SystemColorRef(22);
inline constexpr TColor clInfoText = SystemColorRef(23);
inline constexpr TColor clInfoBk = SystemColorRef(24);
inline constexpr TColor clHotLight = SystemColorRef(26);
inline constexpr TColor clGradientActiveCaption = SystemColorRef(27);
inline constexpr TColor clGradientInactiveCaption = SystemColorRef(28);
inline constexpr TColor clMenuHighlight = SystemColorRef(29);
inline constexpr TColor clMenuBar = SystemColorRef(30);

// Number of entries in the system colour table; indexes at or beyond it give black.
inline constexpr int SystemColorCount = 31;

inline constexpr bool IsSystemColor(TColor color) { return color < 0; }

// The RGB value ($00BBGGRR) of system colour `index` (the low byte of a reference).
TColor SystemColorToRGB(int index);

// The plain RGB value of any colour: system colour references are looked up in the fixed table;
// plain colours keep their three channels (the unused high byte is cleared).
TColor ColorToRGB(TColor color);

// A plain colour from its channels.
inline constexpr TColor RGBToColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<TColor>(uint32_t(red) | (uint32_t(green) << 8) | (uint32_t(blue) << 16));
}

// The channels of a colour after ColorToRGB.
uint8_t ColorRed(TColor color);
uint8_t ColorGreen(TColor color);
uint8_t ColorBlue(TColor color);

// The colour as an opaque 0xAARRGGBB value (alpha 255), the layout the drawing layer's colour
// type reads; and back (alpha ignored).
uint32_t ColorToArgb(TColor color);
inline constexpr TColor ArgbToColor(uint32_t argb)
{
    return RGBToColor(uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb));
}
