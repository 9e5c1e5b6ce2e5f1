#pragma once
// Windows open within the screen: a dialog designed for a large screen shrinks (never below what
// its layout needs) when the screen, or the scale the desktop is shown at, leaves less room.

#include <QPoint>
#include <QRect>

class QScreen;
class QWidget;

// The room a window may take on the screen it opens on: the screen's available area less the
// frame the window manager puts around it (its actual frame once shown, a generous allowance
// before).
QRect ScreenRoom(const QWidget* window);

// Bounds the window's size, and a minimum size set on it, to that room, but never below what
// its layout needs; a window of fixed size keeps a fixed size. Called once the window's layout
// is built and its designed size set.
void FitToScreen(QWidget* window);

// The screen that holds the point, or the one nearest to it when none does.
QScreen* ScreenAt(const QPoint& point);

// Opens a window placed at a point (at a node, at the mouse): its frame's top-left corner goes to
// the point, moved only as far as needed to put the whole frame on the screen that holds the
// point. Called before the window is shown, once its size is set.
void MoveOntoScreen(QWidget* window, const QPoint& topLeft);
