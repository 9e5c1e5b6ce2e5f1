#include "shared/widgets/StringTreeView.h"

#include "shared/widgets/StringTree.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>

#include <algorithm>

using namespace string_tree_native;

// ---- model ---------------------------------------------------------------------------------

TStringTreeModel::TStringTreeModel(TStringTree& tree) : FTree(tree) {}

TStringTreeNode* TStringTreeModel::NodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<TStringTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TStringTreeModel::IndexOf(const TStringTreeNode* node, int column) const
{
    return node ? createIndex(node->FInnerRow, column, const_cast<TStringTreeNode*>(node)) : QModelIndex();
}

TStringTreeNodeCollection& TStringTreeModel::ChildrenOf(const QModelIndex& parent) const
{
    TStringTreeNode* node = NodeOf(parent);
    return node ? node->Children() : FTree.Nodes();
}

QModelIndex TStringTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return {};
    const TStringTreeNodeCollection& children = ChildrenOf(parent);
    if (row < 0 || row >= int(children.FInnerOrder.size()) || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column, children.FInnerOrder[row]);
}

QModelIndex TStringTreeModel::parent(const QModelIndex& child) const
{
    const TStringTreeNode* node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TStringTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(ChildrenOf(parent).FInnerOrder.size());
}

int TStringTreeModel::columnCount(const QModelIndex&) const
{
    // Without columns the view still shows one, standing for no column.
    return std::max(1, FTree.Columns().Count());
}

QVariant TStringTreeModel::data(const QModelIndex& index, int role) const
{
    const TStringTreeNode* node = NodeOf(index);
    if (!node)
        return {};
    const bool main = index.column() == 0;
    switch (role) {
    case Qt::DisplayRole: {
        const int column = FTree.Columns().Count() == 0 ? -1 : index.column();
        return column >= 0 ? node->Text(column) : QString();
    }
    case Qt::DecorationRole: {
        const QList<QIcon>& images = FTree.Images();
        if (!main || node->ImageIndex() < 0 || node->ImageIndex() >= images.size())
            return {};
        const QIcon& icon = images[node->ImageIndex()];
        const QSize size = FTree.InnerTree()->iconSize().isValid() ? FTree.InnerTree()->iconSize() : QSize(16, 16);
        return icon.pixmap(size, node->Ghosted() ? QIcon::Disabled : QIcon::Normal);
    }
    case Qt::CheckStateRole:
        if (main && FTree.ShowCheckBoxes())
            return ToQtCheckState(node->FNativeCheckState);
        return {};
    default:
        return {};
    }
}

bool TStringTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TStringTreeNode* node = NodeOf(index);
    if (!node || role != Qt::CheckStateRole)
        return false;
    const auto qtState = Qt::CheckState(value.toInt());
    const int native = qtState == Qt::Checked            ? ToNativeCheckState(stncsCheckedNormal)
                       : qtState == Qt::PartiallyChecked ? ToNativeCheckState(stncsMixedNormal)
                                                         : ToNativeCheckState(stncsUncheckedNormal);
    ChangeCheckState(node, native);
    return true;
}

void TStringTreeModel::ChangeCheckState(TStringTreeNode* node, int nativeState)
{
    if (!FTree.Checking(node, nativeState))
        return;
    node->FNativeCheckState = nativeState;
    Q_EMIT dataChanged(IndexOf(node), IndexOf(node), {Qt::CheckStateRole});
    if (FTree.OnChecked)
        FTree.OnChecked(&FTree, node);
}

Qt::ItemFlags TStringTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == 0 && FTree.ShowCheckBoxes())
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant TStringTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    const TStringTreeColumn* column = FTree.Columns().At(section);
    return column ? column->Caption() : QString();
}

Qt::DropActions TStringTreeModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

void TStringTreeModel::BeginAdd(TStringTreeNodeCollection& collection)
{
    const int row = int(collection.FInnerOrder.size());
    beginInsertRows(IndexOf(collection.ParentNode()), row, row);
}

void TStringTreeModel::EndAdd(TStringTreeNodeCollection& collection, TStringTreeNode* node)
{
    node->FInnerRow = int(collection.FInnerOrder.size());
    collection.FInnerOrder.push_back(node);
    endInsertRows();
}

void TStringTreeModel::BeginClear(TStringTreeNodeCollection& collection)
{
    FRemoving = collection.ParentNode() && !collection.FInnerOrder.empty();
    if (!collection.ParentNode())
        beginResetModel();
    else if (FRemoving)
        beginRemoveRows(IndexOf(collection.ParentNode()), 0, int(collection.FInnerOrder.size()) - 1);
}

void TStringTreeModel::EndClear(TStringTreeNodeCollection& collection)
{
    if (!collection.ParentNode())
        endResetModel();
    else if (FRemoving)
        endRemoveRows();
    FRemoving = false;
}

void TStringTreeModel::BeginAddColumn(int oldCount)
{
    if (oldCount > 0)
        beginInsertColumns({}, oldCount, oldCount);
}

void TStringTreeModel::EndAddColumn(int oldCount)
{
    if (oldCount > 0) {
        endInsertColumns();
    } else {
        // The one column shown so far stood for no column; it now has a caption and texts.
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
        FTree.Invalidate();
    }
}

namespace {

void SortSiblings(std::vector<TStringTreeNode*>& order,
                  const std::function<int(TStringTreeNode*, TStringTreeNode*)>& compare, bool descending)
{
    std::stable_sort(order.begin(), order.end(), [&](TStringTreeNode* a, TStringTreeNode* b) {
        const int result = compare(a, b);
        return descending ? result > 0 : result < 0;
    });
}

} // namespace

void TStringTreeModel::Sort(const std::function<int(TStringTreeNode*, TStringTreeNode*)>& compare, bool descending)
{
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<TStringTreeNode*, int>> kept;
    kept.reserve(before.size());
    for (const QModelIndex& index : before)
        kept.emplace_back(NodeOf(index), index.column());

    std::vector<TStringTreeNodeCollection*> pending{&FTree.Nodes()};
    while (!pending.empty()) {
        TStringTreeNodeCollection* collection = pending.back();
        pending.pop_back();
        SortSiblings(collection->FInnerOrder, compare, descending);
        for (int row = 0; row < int(collection->FInnerOrder.size()); ++row) {
            TStringTreeNode* node = collection->FInnerOrder[row];
            node->FInnerRow = row;
            if (node->Children().Count() > 0)
                pending.push_back(&node->Children());
        }
    }

    QModelIndexList after;
    after.reserve(before.size());
    for (const auto& [node, column] : kept)
        after.append(IndexOf(node, column));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

// ---- selection model and delegate ------------------------------------------------------------

class TStringTreeSelectionModel : public QItemSelectionModel {
public:
    TStringTreeSelectionModel(TStringTree& tree, QAbstractItemModel* model, QObject* parent)
        : QItemSelectionModel(model, parent), FTree(tree)
    {
    }

    // The tree's focus-changing handler may refuse the move.
    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override
    {
        if (index != currentIndex() && !FTree.FocusChanging(currentIndex(), index))
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

private:
    TStringTree& FTree;
};

namespace {

class TStringTreeDelegate : public QStyledItemDelegate {
public:
    TStringTreeDelegate(const TStringTreeView& view) : QStyledItemDelegate(const_cast<TStringTreeView*>(&view)), FView(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (FView.DefaultNodeHeight() > 0)
            size.setHeight(FView.DefaultNodeHeight());
        return size;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // Without full-row selection only the main column shows the selection.
        if (!FView.FullRowSelect() && index.column() > 0)
            option->state &= ~QStyle::State_Selected;
    }

private:
    const TStringTreeView& FView;
};

} // namespace

// ---- view ----------------------------------------------------------------------------------

TStringTreeView::TStringTreeView(TStringTree& owner) : QTreeView(&owner), FOwner(owner)
{
    FModel = new TStringTreeModel(owner);
    FModel->setParent(this);
    setModel(FModel);
    setSelectionModel(new TStringTreeSelectionModel(owner, FModel, this));
    setItemDelegate(new TStringTreeDelegate(*this));
    setIndentation(18);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    header()->setSectionsClickable(true);
    header()->viewport()->installEventFilter(this);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        FOwner.HeaderClicked(section, Qt::LeftButton, FHeaderModifiers, FHeaderPos);
    });
}

void TStringTreeView::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        setUpdatesEnabled(false);
}

void TStringTreeView::EndUpdate()
{
    if (FUpdateCount == 0 || --FUpdateCount > 0)
        return;
    setUpdatesEnabled(true);
    if (FSortPending)
        SortIfAuto();
}

void TStringTreeView::Invalidate()
{
    viewport()->update();
    Q_EMIT RepaintRequested();
}

void TStringTreeView::SetSort(int column, bool descending)
{
    FSortColumn = column;
    FSortDescending = descending;
    header()->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    SortIfAuto();
}

void TStringTreeView::SetAutoSort(bool autoSort)
{
    FAutoSort = autoSort;
    SortIfAuto();
}

void TStringTreeView::SortTree(int column, bool descending)
{
    if (column < 0)
        return;
    FModel->Sort([&](TStringTreeNode* a, TStringTreeNode* b) { return FOwner.CompareNodes(column, a, b); },
                 descending);
}

void TStringTreeView::SortIfAuto()
{
    if (!FAutoSort || FSortColumn < 0)
        return;
    if (Updating()) {
        FSortPending = true;
        return;
    }
    FSortPending = false;
    SortTree(FSortColumn, FSortDescending);
}

void TStringTreeView::SetShowCheckBoxes(bool show)
{
    FShowCheckBoxes = show;
    viewport()->update();
}

void TStringTreeView::SetCheckImageKind(int kind)
{
    FCheckImageKind = ToNativeCheckImageKind(FromNativeCheckImageKind(kind));
    viewport()->update();
}

void TStringTreeView::SetReportMode(bool on)
{
    FReportMode = on;
    setAllColumnsShowFocus(on);
}

void TStringTreeView::SetShowTreeLines(bool show)
{
    FShowTreeLines = show;
    viewport()->update();
}

void TStringTreeView::SetDefaultNodeHeight(int height)
{
    FDefaultNodeHeight = height;
    scheduleDelayedItemsLayout();
}

void TStringTreeView::SetFullRowSelect(bool on)
{
    FFullRowSelect = on;
    viewport()->update();
}

void TStringTreeView::resizeEvent(QResizeEvent* event)
{
    // The viewport has its new size already; the scroll position is still the old one.
    const int oldHeight = viewport()->height() - (event->size().height() - event->oldSize().height());
    const QRect current = visualRect(currentIndex());
    const bool wasInView = current.isValid() && current.bottom() >= 0 && current.top() < oldHeight;
    QTreeView::resizeEvent(event);
    // A list that shrinks keeps its focused node in view when it showed it, even in part, before.
    if (wasInView && isVisible())
        scrollTo(currentIndex());
}

void TStringTreeView::mousePressEvent(QMouseEvent* event)
{
    // The right button never moves the selection by itself; the owner decides.
    if (event->button() != Qt::RightButton)
        QTreeView::mousePressEvent(event);
    FOwner.InnerMouseDown(event);
}

void TStringTreeView::mouseMoveEvent(QMouseEvent* event)
{
    QTreeView::mouseMoveEvent(event);
    if (FOwner.OnMouseMove) {
        const QPoint p = FOwner.ToClient(event->position().toPoint());
        FOwner.OnMouseMove(&FOwner, event->modifiers(), p.x(), p.y());
    }
}

void TStringTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && FOwner.OnColumnClick && viewport()->rect().contains(pos))
        FOwner.OnColumnClick(&FOwner, FOwner.Columns().At(header()->logicalIndexAt(pos.x())), event->modifiers());
    if (FOwner.OnMouseUp) {
        const QPoint p = FOwner.ToClient(pos);
        FOwner.OnMouseUp(&FOwner, event->button(), event->modifiers(), p.x(), p.y());
    }
}

void TStringTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event);
    if (FOwner.OnDblClick)
        FOwner.OnDblClick(&FOwner);
}

void TStringTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    if (QMenu* menu = FOwner.PopupMenu())
        menu->popup(event->globalPos());
    else
        QTreeView::contextMenuEvent(event);
}

bool TStringTreeView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == header()->viewport()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        FHeaderModifiers = mouse->modifiers();
        FHeaderPos = header()->viewport()->mapTo(&FOwner, mouse->position().toPoint());
        // The header view reports left clicks itself; other buttons are reported here.
        if (event->type() == QEvent::MouseButtonRelease && mouse->button() != Qt::LeftButton) {
            const int section = header()->logicalIndexAt(mouse->position().toPoint());
            if (section >= 0)
                FOwner.HeaderClicked(section, mouse->button(), mouse->modifiers(), FHeaderPos);
        }
    }
    return QTreeView::eventFilter(watched, event);
}

void TStringTreeView::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndex index = currentIndex();
    bool allowed = false;
    if (FOwner.OnDragAllowed && index.isValid())
        FOwner.OnDragAllowed(&FOwner, TStringTreeModel::NodeOf(index), FOwner.Columns().At(index.column()), allowed);
    if (allowed)
        QTreeView::startDrag(supportedActions);
}

namespace {

TStringTreeDropMode DropModeAt(const QTreeView& view, const QPoint& pos)
{
    const QModelIndex index = view.indexAt(pos);
    if (!index.isValid())
        return stdmNowhere;
    const QRect rect = view.visualRect(index);
    const int offset = pos.y() - rect.top();
    if (offset < rect.height() / 4)
        return stdmAbove;
    if (offset >= rect.height() - rect.height() / 4)
        return stdmBelow;
    return stdmOnNode;
}

// A drag from another such control names that control as its source.
QObject* DragSource(QObject* source)
{
    if (auto* view = qobject_cast<TStringTreeView*>(source))
        return view->parent();
    return source;
}

} // namespace

void TStringTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TStringTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    bool accept = false;
    TStringTreeDropEffect effect = int(event->proposedAction());
    if (FOwner.OnDragOver) {
        const QPoint pos = event->position().toPoint();
        const TStringTreeDragState state = event->type() == QEvent::DragEnter ? stdsDragEnter : stdsDragMove;
        FOwner.OnDragOver(&FOwner, DragSource(event->source()), event->modifiers(), state, FOwner.ToClient(pos),
                          DropModeAt(*this, pos), effect, accept);
    }
    if (accept) {
        event->setDropAction(Qt::DropAction(effect));
        event->accept();
    } else {
        event->ignore();
    }
}

void TStringTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    if (FOwner.OnDragOver) {
        bool accept = false;
        TStringTreeDropEffect effect = stdeNone;
        FOwner.OnDragOver(&FOwner, nullptr, Qt::NoModifier, stdsDragLeave, {}, stdmNowhere, effect, accept);
    }
    QTreeView::dragLeaveEvent(event);
}

void TStringTreeView::dropEvent(QDropEvent* event)
{
    const QPoint pos = event->position().toPoint();
    TStringTreeDropEffect effect = int(event->dropAction());
    if (FOwner.OnDragDrop)
        FOwner.OnDragDrop(&FOwner, DragSource(event->source()), event->mimeData(), event->mimeData()->formats(),
                          TStringTreeModel::NodeOf(indexAt(pos)), event->modifiers(), FOwner.ToClient(pos), effect,
                          DropModeAt(*this, pos));
    event->setDropAction(Qt::DropAction(effect));
    event->accept();
}

void TStringTreeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    if (FShowTreeLines) {
        painter->save();
        QPen pen(palette().color(QPalette::Mid));
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        const int indent = indentation();
        int x = rect.right() + 1 - indent;
        const int midY = rect.center().y();
        if (x >= rect.left()) {
            const int cx = x + indent / 2;
            const bool hasNext = index.sibling(index.row() + 1, 0).isValid();
            painter->drawLine(cx, rect.top(), cx, hasNext ? rect.bottom() : midY);
            painter->drawLine(cx, midY, x + indent - 2, midY);
        }
        for (QModelIndex a = index.parent(); a.isValid() && (x -= indent) >= rect.left(); a = a.parent())
            if (a.sibling(a.row() + 1, 0).isValid())
                painter->drawLine(x + indent / 2, rect.top(), x + indent / 2, rect.bottom());
        painter->restore();
    }
    QTreeView::drawBranches(painter, rect, index);
}
