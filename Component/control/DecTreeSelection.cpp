// Selection, mouse and keyboard of the tree control.

#include "Component/control/ControlStrings.h"
#include "Component/control/DecTree.h"
#include "Component/draw/TreeLayout.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QStatusTipEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <unordered_map>

// ---- Selection -----------------------------------------------------------------------------

void TDecTree::SetSelectionElementType(TNodeElementType value)
{
    FSelectionElementType = value;
    update();
}

std::vector<TDecTreeNode*> TDecTree::GetSelectedNodes() const
{
    std::vector<TDecTreeNode*> result;
    const TPrivateArrayList& selection = Selection();
    TDecTreeNode* root = Root();
    if (!root || selection.Count() == 0)
        return result;
    result.reserve(size_t(selection.Count()));
    if (selection.Count() <= 4) {
        for (int i = 0; i < selection.Count(); ++i)
            if (TDecTreeNode* node = root->FindNodeById(selection.GetItem(i)))
                result.push_back(node);
        return result;
    }
    // Many ids: one walk over the tree finds them all (the first node of an id in pre-order,
    // as a lookup from the root would).
    std::unordered_map<TGuid, TDecTreeNode*> found;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (selection.Contains(node->Id))
            found.emplace(node->Id, node);
        for (int i = node->Children.Count() - 1; i >= 0; --i)
            stack.push_back(node->Children.Items(i));
    }
    for (int i = 0; i < selection.Count(); ++i) {
        auto it = found.find(selection.GetItem(i));
        if (it != found.end())
            result.push_back(it->second);
    }
    return result;
}

std::vector<TGuid> TDecTree::GetSelectedNodeIds() const
{
    std::vector<TGuid> ids;
    for (TDecTreeNode* node : GetSelectedNodes())
        ids.push_back(node->Id);
    return ids;
}

TDecTreeNode* TDecTree::GetSingleSelectedNode() const
{
    std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    return nodes.size() == 1 ? nodes.front() : nullptr;
}

void TDecTree::SelectNode(TDecTreeNode* node, TNodeElementType elementType)
{
    Selection().Clear();
    if (node)
        Selection().Add(node->Id);
    FSelectionElementType = elementType;
}

void TDecTree::SelectFromHit(const HitTestResult& hit, TSelectMode mode)
{
    if (!hit.IsNull && (hit.Element == htPlusMinus || hit.Element == htRollUpDown))
        return;
    TPrivateArrayList& selection = Selection();
    switch (mode) {
    case TSelectMode::Replace:
        selection.Clear();
        if (!hit.IsNull) {
            FSelectionElementType = hit.Element;
            selection.Add(hit.Node->Id);
        }
        break;
    case TSelectMode::Toggle:
        if (!hit.IsNull) {
            if (hit.Element == FSelectionElementType) {
                if (selection.Contains(hit.Node->Id))
                    selection.Remove(hit.Node->Id, false);
                else
                    selection.Add(hit.Node->Id);
            } else {
                SelectNode(hit.Node, hit.Element);
            }
        }
        break;
    case TSelectMode::RightClick:
        if (hit.IsNull)
            selection.Clear();
        else if (!(hit.Element == FSelectionElementType && selection.Contains(hit.Node->Id)))
            SelectNode(hit.Node, hit.Element);
        break;
    }
    update();
}

HitTestResult TDecTree::HitTestAt(const QPoint& clientPos) const
{
    if (!Root())
        return HitTestResult::Null();
    const QPoint at = ToLayout(clientPos);
    return HitTest(Root(), at.x(), at.y());
}

HitTestResult TDecTree::HitTestAtCursor() const
{
    return HitTestAt(mapFromGlobal(QCursor::pos()));
}

bool TDecTree::ValidElementType(TNodeElementType element, const TDecTreeNode& node)
{
    switch (element) {
    case htOptionDescriptor:
    case htSymbol:
    case htPlusMinus:
    case htRollUpDown:
        return true;
    case htProbability:
    case htPayoff:
        return node.Parent() != nullptr;
    case htSymbolAttributeBox:
        return node.HasVisibleAttributes();
    case htSymbolAttributeCaption:
        return node.ShowsCaption();
    case htSymbolAttributeOwner:
        return node.ShowsOwner();
    case htSymbolAttributeMultiBudget:
        return node.ShowsBudget();
    case htSymbolAttributeMultiInvestment:
        return node.ShowsInvestment();
    case htSymbolAttributeDueDate:
        return node.ShowsDueDate();
    case htSymbolAttributeFixed:
        return node.ShowsFixed();
    }
    return false;
}

bool TDecTree::ValidElementType(TNodeElementType element, const std::vector<TDecTreeNode*>& nodes)
{
    return std::all_of(nodes.begin(), nodes.end(),
                       [element](const TDecTreeNode* n) { return ValidElementType(element, *n); });
}

TNodeElementType TDecTree::NextElementType(TNodeElementType current, bool reset, bool backward) const
{
    constexpr int count = int(std::size(TabOrder));
    const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    const auto* found = std::find(std::begin(TabOrder), std::end(TabOrder), current);
    if (found == std::end(TabOrder))
        return htOptionDescriptor;
    int index = int(found - std::begin(TabOrder));
    for (int step = 0; step <= count; ++step) {
        index += reset ? 0 : (backward ? -1 : 1);
        if (index < 0)
            index = count - 1;
        else if (index >= count)
            index = 0;
        if (ValidElementType(TabOrder[index], nodes))
            return TabOrder[index];
        reset = false;
    }
    return htOptionDescriptor;
}

void TDecTree::AdjustElementType(bool reset, bool backward)
{
    FSelectionElementType = NextElementType(FSelectionElementType, reset, backward);
}

TRectangle TDecTree::BandRectangle() const
{
    // Within the area the view scrolls over, in layout pixels.
    const int left = std::max(0, std::min(FBandStart.x(), FBandEnd.x()));
    const int top = std::max(0, std::min(FBandStart.y(), FBandEnd.y()));
    const int right = std::min(FExtent.width() - 1, std::max(FBandStart.x(), FBandEnd.x()));
    const int bottom = std::min(FExtent.height() - 1, std::max(FBandStart.y(), FBandEnd.y()));
    return TRectangle::Create(left, top, right - left, bottom - top);
}

// ---- Mouse ---------------------------------------------------------------------------------

void TDecTree::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const HitTestResult hit = HitTestAt(pos);
    if (event->button() == Qt::LeftButton) {
        FCtrlAtMouseDown = event->modifiers().testFlag(Qt::ControlModifier);
        CloseInlineEditor();
        if (!FCtrlAtMouseDown)
            SelectFromHit(hit, TSelectMode::Replace);
        if (hit.IsNull) {
            FBandBase = Selection();
            FBandActive = true;
            FBandMouse = pos;
            FBandStart = FBandEnd = ToLayout(pos);
            FLastBandRect = TRectangle::Create(FBandStart.x(), FBandStart.y(), 0, 0);
        } else if (hit.Element == htPlusMinus) {
            if (OnBeforeExpandCollapse)
                OnBeforeExpandCollapse(this);
            TDecTreeNode* node = hit.Node;
            node->ChildrenVisible = !node->ChildrenVisible;
            // Every descendant that disappears leaves the selection, clones and their insides
            // too: nothing hidden stays selected for Enter or a command to act on unseen.
            std::vector<TDecTreeNode*> stack(node->Children.begin(), node->Children.end());
            while (!stack.empty()) {
                TDecTreeNode* n = stack.back();
                stack.pop_back();
                Selection().Remove(n->Id, false);
                stack.insert(stack.end(), n->Children.begin(), n->Children.end());
            }
            if (Selection().Count() == 0)
                Selection().Add(node->Id);
            AdjustElementType(true);
            Recalculate();
        } else if (hit.Element == htRollUpDown) {
            TDecTreeNode* node = hit.Node;
            if (!node->IsCloneOrInsideClone()) {
                BuildAttributePopup(node);
                const TRectangle& r = node->ElementRects[htRollUpDown];
                FAttributePopup->popup(mapToGlobal(ToClient(QPoint(r.Left, r.Top + r.Height))));
            }
        }
    } else if (event->button() == Qt::RightButton) {
        CloseInlineEditor();
        SelectFromHit(hit, TSelectMode::RightClick);
        if (FBandActive) {
            FBandActive = false;
            update();
        }
    }
    event->accept();
}

void TDecTree::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (FBandActive) {
        FBandMouse = pos;
        UpdateBand(pos);
        // Beyond the edge the view follows the mouse, so the band reaches the whole drawing.
        if (!rect().contains(pos) && !FAutoScroll->isActive())
            FAutoScroll->start();
    } else {
        UpdateHint(pos);
    }
    event->accept();
}

void TDecTree::UpdateBand(const QPoint& pos)
{
    FBandEnd = ToLayout(pos);
    const TRectangle band = BandRectangle();
    TPrivateArrayList next(32, true);
    if (FCtrlAtMouseDown)
        next = FBandBase;
    // Only what the user can see is caught: nodes under collapsed ones keep stale rectangles,
    // hidden attribute lines empty ones, and clones' insides are never selected.
    const TNodeElementType element = FSelectionElementType;
    if (TDecTreeNode* root = Root()) {
        std::vector<TDecTreeNode*> stack{root};
        while (!stack.empty()) {
            TDecTreeNode* node = stack.back();
            stack.pop_back();
            if (node->IsClone())
                continue;
            if (ValidElementType(element, *node) && TRectangle::Intersects(node->ElementRects[element], band)) {
                if (!next.Contains(node->Id))
                    next.Add(node->Id);
                else if (FCtrlAtMouseDown)
                    next.Remove(node->Id, false);
            }
            if (node->ChildrenVisible)
                for (int i = node->Children.Count() - 1; i >= 0; --i)
                    stack.push_back(node->Children.Items(i));
        }
    }
    const bool changed = !next.Equals(Selection(), true);
    if (changed) {
        Selection() = next;
        repaint();
    } else {
        // Only the old band's area needs clearing and the union of old and new copying.
        const TRectangle u = TRectangle::Union(band, FLastBandRect);
        repaint(QRect(ToClient(u.TopLeft()), QSize(u.Width + 2, u.Height + 2)).intersected(rect()));
    }
}

void TDecTree::UpdateHint(const QPoint& pos)
{
    const QString hint = HintFor(HitTestAt(pos));
    if (hint == FHint)
        return;
    QToolTip::hideText();
    FHint = hint;
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    setToolTip(bar < 0 ? hint : hint.left(bar));
    setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    // The window's status bar shows the long part while the mouse is over the tree; the toolkit
    // tells it only on entering, so a hint that changes under a resting mouse is told here.
    if (visibleRegion().contains(pos)) {
        QStatusTipEvent tip(statusTip());
        QCoreApplication::sendEvent(this, &tip);
    }
}

void TDecTree::RefreshHint()
{
    if (!FBandActive)
        UpdateHint(mapFromGlobal(QCursor::pos()));
}

QString TDecTree::HintFor(const HitTestResult& hit) const
{
    if (hit.IsNull)
        return QString();
    const TDecTreeNode& node = *hit.Node;
    QString text;
    switch (hit.Element) {
    case htOptionDescriptor:
        text = node.Comment;
        break;
    case htSymbol:
        text = node.GetWarningHint();
        break;
    case htProbability:
        if (node.Parent())
            text = node.Parent()->NodeType == ntChance ? ControlStrings::HintProbability
                                                       : ControlStrings::HintTakenOption;
        break;
    case htPayoff:
        text = ControlStrings::HintPayoff;
        break;
    default:
        break;
    }
    if (node.IsCloneOrInsideClone())
        text = text.isEmpty() ? ControlStrings::HintLinkedNode : ControlStrings::HintLinkedNode + QLatin1Char('\n') + text;
    return text;
}

void TDecTree::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // A Ctrl-band has already added and removed what it touched: the node it ends on is
        // not toggled once more as if it had been Ctrl-clicked.
        const bool wasBand = FBandActive;
        if (FBandActive) {
            FBandActive = false;
            FAutoScroll->stop();
            update();
        }
        if (FCtrlAtMouseDown && !wasBand)
            SelectFromHit(HitTestAt(event->position().toPoint()), TSelectMode::Toggle);
        FCtrlAtMouseDown = false;
    }
    event->accept();
}

// The platform reports press, release, double-click, release: the double-click has its own
// event, and the next real press is an ordinary click again.
void TDecTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    FBandActive = false;
    // The release that ends a double click is not a Ctrl-click of its own.
    FCtrlAtMouseDown = false;
    EditElement(false, 0);
    event->accept();
}

// ---- Keyboard ------------------------------------------------------------------------------

void TDecTree::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const int key = event->key();
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        AdjustElementType(false, key == Qt::Key_Backtab || shift);
        update();
        ScrollSelectionIntoView();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        EditElement(false, 0);
        return;
    case Qt::Key_Insert:
        AddSubnodes(shift);
        return;
    case Qt::Key_F10:
        // Shift+F10 is the keyboard's other way to the node menu; this platform only turns the
        // Menu key into a context menu request.
        if (shift) {
            QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos(), event->modifiers());
            contextMenuEvent(&request);
            return;
        }
        break;
    case Qt::Key_Delete:
        DeleteSelectedNodes(true);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
        if (nodes.empty()) {
            if (Root())
                SelectNode(Root(), FSelectionElementType);
        } else {
            TDecTreeNode* first = nodes.front();
            TDecTreeNode* parent = first->Parent();
            TDecTreeNode* target = nullptr;
            if (key == Qt::Key_Left) {
                target = parent;
            } else if (key == Qt::Key_Right) {
                // Children of a collapsed node are not on the screen.
                if (first->HasChildren() && first->ChildrenVisible)
                    target = first->Children.Items(0);
            } else if (parent) {
                const int index = parent->Children.IndexOf(first) + (key == Qt::Key_Up ? -1 : 1);
                if (index >= 0 && index < parent->Children.Count())
                    target = parent->Children.Items(index);
            }
            if (target)
                SelectNode(target, FSelectionElementType);
        }
        AdjustElementType(true);
        update();
        // The keyboard never moves the selection out of sight.
        ScrollSelectionIntoView();
        // Taken here, so the scroll box does not scroll as well.
        event->accept();
        return;
    }
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() >= 32 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        if (EditElement(false, 0)) {
            // Typing on a selected element replaces its value.
            FEditor->setText(text);
            FEditor->setCursorPosition(int(text.size()));
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void TDecTree::contextMenuEvent(QContextMenuEvent* event)
{
    if (!FPopupMenu)
        return;
    if (event->reason() != QContextMenuEvent::Keyboard) {
        FPopupMenu->popup(event->globalPos());
        return;
    }
    if (!hasFocus())
        return;
    // At the left-bottom corner of the lowest selected element, kept within the view when that
    // corner lies outside it.
    QPoint point(0, 0);
    int lowest = 0;
    for (TDecTreeNode* node : GetSelectedNodes()) {
        const TRectangle& r = node->ElementRects[FSelectionElementType];
        if (r.Top + r.Height > lowest) {
            lowest = r.Top + r.Height;
            point = ToClient(QPoint(r.Left, r.Top + r.Height));
        }
    }
    point = QPoint(std::clamp(point.x(), 0, std::max(0, width() - 1)),
                   std::clamp(point.y(), 0, std::max(0, height() - 1)));
    FPopupMenu->popup(mapToGlobal(point));
}
