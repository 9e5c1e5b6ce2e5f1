#include "shared/widgets/WhiteTop.h"

#include "shared/core/Colors.h"
#include "shared/widgets/PaintHelpers.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

using namespace frame_paint;

TWhiteTop::TWhiteTop(QWidget* parent) : QWidget(parent), FTitleColor(clMaroon)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(FixedHeight);
}

void TWhiteTop::SetTitle(const QString& title)
{
    FTitle = title;
    updateGeometry();
    update();
}

void TWhiteTop::SetMsg(const QString& msg)
{
    FMsg = msg;
    updateGeometry();
    update();
}

QSize TWhiteTop::minimumSizeHint() const
{
    // The texts are never wrapped: the band asks for the width that shows them whole.
    QFont titleFont = font();
    titleFont.setBold(true);
    const int title = FTitle.isEmpty() ? 0 : TitleLeft + QFontMetrics(titleFont).horizontalAdvance(FTitle);
    const int msg = FMsg.isEmpty() ? 0 : MsgLeft + fontMetrics().horizontalAdvance(FMsg);
    return QSize(std::max(title, msg) + RightMargin, FixedHeight);
}

QSize TWhiteTop::sizeHint() const
{
    return minimumSizeHint();
}

void TWhiteTop::SetTitleColor(TColor color)
{
    FTitleColor = color;
    update();
}

void TWhiteTop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(clWhite));

    QFont titleFont = font();
    titleFont.setBold(true);
    painter.setFont(titleFont);
    TextOut(painter, TitleLeft, 8, FTitle, ToQColor(FTitleColor));

    painter.setFont(font());
    TextOut(painter, MsgLeft, 24, FMsg, palette().color(QPalette::WindowText));

    HLine(painter, 0, width(), height() - 2, ToQColor(clBtnShadow));
}

void TWhiteTop::resizeEvent(QResizeEvent* event)
{
    // The band is always 60 high, whatever a layout or a caller asks for.
    if (event->size().height() != FixedHeight)
        resize(event->size().width(), FixedHeight);
}
