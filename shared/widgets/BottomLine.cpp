#include "shared/widgets/BottomLine.h"

#include "shared/core/Colors.h"
#include "shared/widgets/PaintHelpers.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

using namespace frame_paint;

TBottomLine::TBottomLine(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(FixedHeight);
}

void TBottomLine::SetTitle(const QString& title)
{
    FTitle = title;
    update();
}

void TBottomLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int textWidth = FTitle.isEmpty() ? 0 : metrics.horizontalAdvance(FTitle);
    const int textHeight = metrics.ascent() + metrics.descent();
    const int y = textHeight / 2 + 1;
    const int x = TitleLeft;

    const QColor shadow = ToQColor(clBtnShadow);
    const QColor highlight = ToQColor(clBtnHighlight);
    for (const auto& [row, color] : {std::pair{y, shadow}, std::pair{y + 1, highlight}}) {
        HLine(painter, 0, x - TitleGap, row, color);
        HLine(painter, x + textWidth + TitleGap, width(), row, color);
    }

    TextOut(painter, x + 1, 1, FTitle, highlight);
    TextOut(painter, x, 0, FTitle, shadow);
}

void TBottomLine::resizeEvent(QResizeEvent* event)
{
    if (event->size().height() != FixedHeight)
        resize(event->size().width(), FixedHeight);
}
