#include "Component/control/ScrollableDecTree.h"

#include "Component/control/DecTree.h"

#include <QEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

// One click on a scroll bar's arrow moves by about a row of the drawing.
constexpr int ArrowStep = 20;

} // namespace

TScrollableDecTree::TScrollableDecTree(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setBackgroundRole(QPalette::Base);
    FTree = new TDecTree(viewport());
    FTree->setGeometry(viewport()->rect());
    horizontalScrollBar()->setSingleStep(ArrowStep);
    verticalScrollBar()->setSingleStep(ArrowStep);
    connect(FTree, &TDecTree::ViewChanged, this, &TScrollableDecTree::FollowTree);
    FollowTree();
}

void TScrollableDecTree::ScrollControlIntoView(QWidget* widget)
{
    if (!AllowScrollIntoView || !widget || !FTree->isAncestorOf(widget))
        return;
    const QRect client(widget->mapTo(FTree, QPoint(0, 0)), widget->size());
    const QPoint at = FTree->ToLayout(client.topLeft());
    // With the drawing's border around it, so the editor never sits flush with the view's edge.
    FTree->ScrollIntoView(TRectangle::InflateAll(
        TRectangle::Create(at.x(), at.y(), client.width() - 1, client.height() - 1), FTree->BorderSize));
}

void TScrollableDecTree::FollowTree()
{
    const QSize view = viewport()->size();
    const QSize extent = FTree->Extent();
    const QPoint origin = FTree->Origin();
    // Setting a range may move a bar's value; that is not a scroll of the user's.
    FFollowing = true;
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setPageStep(std::max(1, view.width()));
    v->setPageStep(std::max(1, view.height()));
    h->setRange(0, std::max(0, extent.width() - view.width()));
    v->setRange(0, std::max(0, extent.height() - view.height()));
    h->setValue(origin.x());
    v->setValue(origin.y());
    FFollowing = false;
}

void TScrollableDecTree::scrollContentsBy(int, int)
{
    // The bars move the tree's window onto the drawing; the tree itself stays where it is.
    if (!FFollowing)
        FTree->ScrollTo(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

void TScrollableDecTree::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    // The tree always fills the visible area, and its drawing area is never smaller.
    FTree->setGeometry(viewport()->rect());
    FTree->SetMinWidth(viewport()->width());
    FTree->SetMinHeight(viewport()->height());
    FollowTree();
}

bool TScrollableDecTree::viewportEvent(QEvent* event)
{
    // A click beside the tree ends an edit, as one on the tree does.
    if (event->type() == QEvent::MouseButtonPress)
        FTree->CloseInlineEditor();
    return QAbstractScrollArea::viewportEvent(event);
}
