#include "shared/widgets/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

// A title bar and borders as desktops draw them, with room to spare; at the scale they are drawn.
const QMargins FrameAllowance(8, 36, 8, 8);

} // namespace

QRect ScreenRoom(const QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect();
    QMargins frame = FrameAllowance;
    if (window->isVisible()) {
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    }
    return screen->availableGeometry().marginsRemoved(frame);
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
