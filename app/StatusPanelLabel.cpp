#include "app/StatusPanelLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

TStatusPanelLabel::TStatusPanelLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QString TStatusPanelLabel::ShownText() const
{
    QString shown = text();
    for (QChar& c : shown)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return shown;
}

QSize TStatusPanelLabel::sizeHint() const
{
    const QMargins m = contentsMargins();
    const int w = fontMetrics().horizontalAdvance(ShownText()) + m.left() + m.right() + 2 * margin();
    return QSize(std::max(w, minimumWidth()), fontMetrics().height() + m.top() + m.bottom() + 2 * margin());
}

QSize TStatusPanelLabel::minimumSizeHint() const
{
    return QSize(minimumWidth(), sizeHint().height());
}

void TStatusPanelLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    const QString shown = fontMetrics().elidedText(ShownText(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

void FitPayoffPanels(QLabel* const panels[4], int windowWidth)
{
    constexpr int LeastPanel = 36; // room for a few characters and the ellipsis
    int wanted[3], total = 0;
    for (int i = 0; i < 3; ++i) {
        wanted[i] = panels[i]->fontMetrics().horizontalAdvance(panels[i]->text()) + 8;
        total += wanted[i];
    }
    // The bar's own margins, the spaces between panels and its size grip.
    const int room = windowWidth - panels[3]->minimumWidth() - 40;
    for (int i = 0; i < 3; ++i) {
        int width = wanted[i];
        if (total > room)
            width = std::max(LeastPanel, int((long long)wanted[i] * std::max(room, 0) / total));
        panels[i]->setFixedWidth(width);
    }
}
