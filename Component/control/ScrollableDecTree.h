#pragma once
// The scroll area in which the main window hosts its one tree control. It keeps the tree at
// least as large as the visible area, and scrolls a control into view only while that is
// allowed, so that giving the focus back to the tree never makes the view jump.

#include <QScrollArea>

class TDecTree;

class TScrollableDecTree : public QScrollArea {
    Q_OBJECT
public:
    explicit TScrollableDecTree(QWidget* parent = nullptr);

    TDecTree* Tree() const { return FTree; }
    bool AllowScrollIntoView = true;
    // Scrolls so that the widget (the tree or one of its children) is visible, when allowed.
    void ScrollControlIntoView(QWidget* widget);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    TDecTree* FTree; // child widget
};
