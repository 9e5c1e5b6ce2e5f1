#include "shared/widgets/WhiteTop.h"

#include "shared/core/Colors.h"
#include "shared/widgets/PaintHelpers.h"

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
    update();
}

void TWhiteTop::SetMsg(const QString& msg)
{
    FMsg = msg;
    update();
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
    TextOut(painter, 16, 8, FTitle, ToQColor(FTitleColor));

    painter.setFont(font());
    TextOut(painter, 30, 24, FMsg, palette().color(QPalette::WindowText));

    HLine(painter, 0, width(), height() - 2, ToQColor(clBtnShadow));
}

void TWhiteTop::resizeEvent(QResizeEvent* event)
{
    // The band is always 60 high, whatever a layout or a caller asks for.
    if (event->size().height() != FixedHeight)
        resize(event->size().width(), FixedHeight);
}
