#include "Component/control/ScrollableDecTree.h"

#include "Component/control/DecTree.h"

#include <QEvent>
#include <QScrollBar>

TScrollableDecTree::TScrollableDecTree(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    // The tree sizes itself; the scroll area only follows.
    setWidgetResizable(false);
    FTree = new TDecTree();
    setWidget(FTree);
    setBackgroundRole(QPalette::Base);
}

void TScrollableDecTree::ScrollControlIntoView(QWidget* widget)
{
    if (AllowScrollIntoView && widget)
        ensureWidgetVisible(widget, 0, 0);
}

void TScrollableDecTree::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    FTree->SetMinWidth(viewport()->width());
    FTree->SetMinHeight(viewport()->height());
}

bool TScrollableDecTree::viewportEvent(QEvent* event)
{
    // A click beside the tree ends an edit, as one on the tree does.
    if (event->type() == QEvent::MouseButtonPress)
        FTree->CloseInlineEditor();
    return QScrollArea::viewportEvent(event);
}

bool TScrollableDecTree::focusNextPrevChild(bool next)
{
    if (!AllowScrollIntoView)
        return QWidget::focusNextPrevChild(next);
    return QScrollArea::focusNextPrevChild(next);
}
