#include "shared/widgets/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// A title bar and borders as desktops draw them, with room to spare; at the scale they are drawn.
const QMargins FrameAllowance(8, 36, 8, 8);

// The frame the window manager puts around the window: the actual one once shown, the allowance
// before.
QMargins FrameOf(const QWidget* window)
{
    if (!window->isVisible())
        return FrameAllowance;
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

// How far a point lies from a rectangle (0 inside it), for choosing the nearest screen.
qint64 DistanceSquared(const QRect& r, const QPoint& p)
{
    const qint64 dx = p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
    const qint64 dy = p.y() < r.top() ? r.top() - p.y() : p.y() > r.bottom() ? p.y() - r.bottom() : 0;
    return dx * dx + dy * dy;
}

} // namespace

QRect ScreenRoom(const QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect();
    return screen->availableGeometry().marginsRemoved(FrameOf(window));
}

void FitToScreen(QWidget* window)
{
    const QRect room = ScreenRoom(window);
    if (room.isEmpty())
        return;
    const QSize needed = window->minimumSizeHint().expandedTo(QSize(0, 0));
    const QSize size = window->size().boundedTo(room.size()).expandedTo(needed);
    if (window->minimumSize() == window->maximumSize()) {
        window->setFixedSize(size);
        return;
    }
    // A minimum the dialog asks for itself gives way to the screen; its layout's does not.
    if (!window->minimumSize().isNull())
        window->setMinimumSize(window->minimumSize().boundedTo(room.size()).expandedTo(needed));
    window->resize(size);
}

QScreen* ScreenAt(const QPoint& point)
{
    if (QScreen* screen = QGuiApplication::screenAt(point))
        return screen;
    QScreen* nearest = QGuiApplication::primaryScreen();
    qint64 best = -1;
    for (QScreen* screen : QGuiApplication::screens()) {
        const qint64 d = DistanceSquared(screen->geometry(), point);
        if (best < 0 || d < best) {
            best = d;
            nearest = screen;
        }
    }
    return nearest;
}

void MoveOntoScreen(QWidget* window, const QPoint& topLeft)
{
    QScreen* screen = ScreenAt(topLeft);
    if (!screen) {
        window->move(topLeft);
        return;
    }
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    const QRect available = screen->availableGeometry();
    const QMargins frame = FrameOf(window);
    const QSize outer = window->size().grownBy(frame);
    // Right and bottom first, so that a window larger than the screen keeps its title bar on it.
    const int x = std::max(available.left(), std::min(topLeft.x(), available.right() + 1 - outer.width()));
    const int y = std::max(available.top(), std::min(topLeft.y(), available.bottom() + 1 - outer.height()));
    window->setScreen(screen);
    window->move(x, y);
}
