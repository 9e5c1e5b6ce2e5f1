#pragma once
// How a canvas font becomes a platform font. Sizes are points at 96 dpi turned into a pixel
// size, and hinting is off, so a text measures the same on the screen, in a picture and on a
// printer page. Fonts the system was designed with but Linux lacks map to free look-alikes.

#include "Component/draw/Canvas.h"

#include <QFont>
#include <QFontMetrics>

// The family actually used for a font name: "Verdana" becomes "DejaVu Sans"; other names
// pass through (the platform substitutes what it lacks).
QString MapFontFamily(const QString& name);

// The pixel height of a font of that many points at 96 dpi, rounded as the platform's
// multiply-divide does (8 pt is 10.67 and gives 11). 0 and negative sizes are taken by their
// magnitude (0 as the default 8 pt) and the result is kept within 1..2000 pixels.
int32_t FontPixelHeight(int32_t points);

// The platform font and its metrics for a canvas font. The metrics are cached; the reference
// stays valid until the next call.
QFont ToQFont(const TCanvasFont& font);
const QFontMetrics& CanvasFontMetrics(const TCanvasFont& font);
