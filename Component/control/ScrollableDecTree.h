#pragma once
// The scroll box in which the main window hosts its one tree control. The tree fills the box's
// visible area and shows a window onto its drawing; the box's scroll bars move that window over
// the tree's extent, so a drawing of any height can be scrolled through. A control is scrolled
// into view only while that is allowed, so giving the focus back to the tree never makes the
// view jump.

#include <QAbstractScrollArea>

class TDecTree;

class TScrollableDecTree : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TScrollableDecTree(QWidget* parent = nullptr);

    TDecTree* Tree() const { return FTree; }
    bool AllowScrollIntoView = true;
    // Scrolls so that the widget (one of the tree's children) is visible, when allowed.
    void ScrollControlIntoView(QWidget* widget);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // The scroll bars take the tree's extent and origin.
    void FollowTree();

    TDecTree* FTree; // child widget
    bool FFollowing = false;
};
