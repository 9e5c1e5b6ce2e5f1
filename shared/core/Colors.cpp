#include "shared/core/Colors.h"

namespace {

// Desktop default values of the system colours, indexed by the low byte of a reference.
constexpr TColor SystemColorTable[SystemColorCount] = {
    RGBToColor(200, 200, 200), // 0 scroll bar
    RGBToColor(0, 0, 0),       // 1 desktop background
    RGBToColor(153, 180, 209), // 2 active caption
    RGBToColor(191, 205, 219), // 3 inactive caption
    RGBToColor(240, 240, 240), // 4 menu
    RGBToColor(255, 255, 255), // 5 window
    RGBToColor(100, 100, 100), // 6 window frame
    RGBToColor(0, 0, 0),       // 7 menu text
    RGBToColor(0, 0, 0),       // 8 window text
    RGBToColor(0, 0, 0),       // 9 caption text
    RGBToColor(180, 180, 180), // 10 active border
    RGBToColor(244, 247, 252), // 11 inactive border
    RGBToColor(171, 171, 171), // 12 application work space
    RGBToColor(0, 120, 215),   // 13 highlight
    RGBToColor(255, 255, 255), // 14 highlight text
    RGBToColor(240, 240, 240), // 15 button face
    RGBToColor(160, 160, 160), // 16 button shadow
    RGBToColor(109, 109, 109), // 17 grey text
    RGBToColor(0, 0, 0),       // 18 button text
    RGBToColor(0, 0, 0),       // 19 inactive caption text
    RGBToColor(255, 255, 255), // 20 button highlight
    RGBToColor(105, 105, 105), // 21 3D dark shadow
    RGBToColor(227, 227, 227), // 22 3D light
    RGBToColor(0, 0, 0),       // 23 tooltip text
    RGBToColor(255, 255, 225), // 24 tooltip background
    RGBToColor(0, 0, 0),       // 25 (unused)
    RGBToColor(0, 102, 204),   // 26 hot-tracked item
    RGBToColor(185, 209, 234), // 27 active caption gradient
    RGBToColor(215, 228, 242), // 28 inactive caption gradient
    RGBToColor(0, 120, 215),   // 29 menu highlight
    RGBToColor(240, 240, 240), // 30 menu bar
};

} // namespace

TColor SystemColorToRGB(int index)
{
    if (index < 0 || index >= SystemColorCount)
        return clBlack;
    return SystemColorTable[index];
}

TColor ColorToRGB(TColor color)
{
    if (color < 0)
        return SystemColorToRGB(color & 0xFF);
    return color & 0x00FFFFFF;
}

uint8_t ColorRed(TColor color) { return uint8_t(ColorToRGB(color)); }
uint8_t ColorGreen(TColor color) { return uint8_t(ColorToRGB(color) >> 8); }
uint8_t ColorBlue(TColor color) { return uint8_t(ColorToRGB(color) >> 16); }

uint32_t ColorToArgb(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return 0xFF000000u | (uint32_t(ColorRed(rgb)) << 16) | (uint32_t(ColorGreen(rgb)) << 8) |
           uint32_t(ColorBlue(rgb));
}
