#pragma once
// Small drawing steps shared by the painted dialog frame widgets. Lines and text follow the
// classic desktop rules the frames were designed with: a line leaves out its end point, and a
// text is placed by the top-left corner of its cell rather than by its baseline.

#include "shared/core/NullableColor.h"

#include <QColor>

class QPainter;
class QString;

namespace frame_paint {

QColor ToQColor(TColor color);
// A one-pixel horizontal line covering x in [x1, x2); nothing when x2 <= x1.
void HLine(QPainter& painter, int x1, int x2, int y, const QColor& color);
// Draws `text` with the painter's font and the given colour, its cell's top-left at (x, y).
void TextOut(QPainter& painter, int x, int y, const QString& text, const QColor& color);

} // namespace frame_paint
