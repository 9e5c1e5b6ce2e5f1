#include "shared/widgets/PaintHelpers.h"

#include "shared/core/Colors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

namespace frame_paint {

QColor ToQColor(TColor color)
{
    return QColor::fromRgba(ColorToArgb(color));
}

void HLine(QPainter& painter, int x1, int x2, int y, const QColor& color)
{
    if (x2 > x1)
        painter.fillRect(x1, y, x2 - x1, 1, color);
}

void TextOut(QPainter& painter, int x, int y, const QString& text, const QColor& color)
{
    if (text.isEmpty())
        return;
    painter.setPen(color);
    painter.drawText(x, y + QFontMetrics(painter.font()).ascent(), text);
}

} // namespace frame_paint
