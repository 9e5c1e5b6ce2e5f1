#include "shared/widgets/StringTree.h"

#include "shared/widgets/StringTreeView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <unordered_set>

using namespace string_tree_native;

TStringTree::TStringTree(QWidget* parent) : QWidget(parent), FCollator(QLocale())
{
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
    FColumns = std::make_unique<TStringTreeColumnCollection>(*this);
    FNodes = std::make_unique<TStringTreeNodeCollection>(*this, nullptr);
    FInner = new TStringTreeView(*this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FInner);
    setFocusProxy(FInner);

    QItemSelectionModel* selection = FInner->selectionModel();
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this] {
        if (OnSelectionChange)
            OnSelectionChange(this, FocusedNode());
    });
    connect(selection, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (OnFocusChanged)
            OnFocusChanged(this, TStringTreeModel::NodeOf(current), FColumns->At(current.column()));
    });
}

TStringTree::~TStringTree()
{
    // The view lets go of the model before the nodes it reads go away.
    FInner->setModel(nullptr);
    FNodes.reset();
    FColumns.reset();
    delete FInner;
}

TStringTreeNode* TStringTree::FocusedNode() const
{
    return TStringTreeModel::NodeOf(FInner->currentIndex());
}

void TStringTree::SetFocusedNode(TStringTreeNode* node)
{
    FInner->selectionModel()->setCurrentIndex(FInner->Model().IndexOf(node), QItemSelectionModel::NoUpdate);
}

int TStringTree::SelectedCount() const
{
    std::unordered_set<const void*> nodes;
    for (const QModelIndex& index : FInner->selectionModel()->selectedIndexes())
        nodes.insert(index.internalPointer());
    return int(nodes.size());
}

bool TStringTree::ShowCheckBoxes() const { return FInner->ShowCheckBoxes(); }
void TStringTree::SetShowCheckBoxes(bool show) { FInner->SetShowCheckBoxes(show); }
bool TStringTree::ReportMode() const { return FInner->ReportMode(); }
void TStringTree::SetReportMode(bool on) { FInner->SetReportMode(on); }
bool TStringTree::ShowTreeLines() const { return FInner->ShowTreeLines(); }
void TStringTree::SetShowTreeLines(bool show) { FInner->SetShowTreeLines(show); }
bool TStringTree::ShowRoot() const { return FInner->rootIsDecorated(); }
void TStringTree::SetShowRoot(bool show) { FInner->setRootIsDecorated(show); }

TStringTreeNodeCheckImageKind TStringTree::CheckImageKind() const
{
    return FromNativeCheckImageKind(FInner->CheckImageKind());
}

void TStringTree::SetCheckImageKind(TStringTreeNodeCheckImageKind kind)
{
    FInner->SetCheckImageKind(ToNativeCheckImageKind(kind));
}

int TStringTree::DefaultNodeHeight() const { return FInner->DefaultNodeHeight(); }
void TStringTree::SetDefaultNodeHeight(int height) { FInner->SetDefaultNodeHeight(height); }
bool TStringTree::FullRowSelect() const { return FInner->FullRowSelect(); }
void TStringTree::SetFullRowSelect(bool on) { FInner->SetFullRowSelect(on); }
bool TStringTree::HeaderVisible() const { return !FInner->header()->isHidden(); }
void TStringTree::SetHeaderVisible(bool visible) { FInner->header()->setHidden(!visible); }

bool TStringTree::MultiSelect() const
{
    return FInner->selectionMode() == QAbstractItemView::ExtendedSelection;
}

void TStringTree::SetMultiSelect(bool on)
{
    FInner->setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

bool TStringTree::AutoSort() const { return FInner->AutoSort(); }
void TStringTree::SetAutoSort(bool on) { FInner->SetAutoSort(on); }

void TStringTree::SetImages(const QList<QIcon>& images)
{
    FImages = images;
    Invalidate();
}

namespace {

int CountShown(const TStringTreeNodeCollection& nodes)
{
    int count = 0;
    for (const TStringTreeNode* node : nodes)
        count += 1 + (node->Expanded() ? CountShown(node->Children()) : 0);
    return count;
}

} // namespace

int TStringTree::VisibleCount() const
{
    return CountShown(*FNodes);
}

int TStringTree::Indent() const { return FInner->indentation(); }
void TStringTree::SetIndent(int indent) { FInner->setIndentation(indent); }

void TStringTree::BeginUpdate()
{
    if (FUpdateCount == 0)
        FInner->BeginUpdate();
    ++FUpdateCount;
}

void TStringTree::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount > 0)
        return;
    FInner->EndUpdate();
    if (FRepaintPending) {
        FRepaintPending = false;
        FInner->Invalidate();
    }
}

void TStringTree::Invalidate()
{
    if (FUpdateCount > 0)
        FRepaintPending = true;
    else
        FInner->Invalidate();
}

void TStringTree::ClearSelection()
{
    FInner->selectionModel()->clearSelection();
}

void TStringTree::FullExpand()
{
    FNodes->ExpandAll(true);
}

TStringTreeNode* TStringTree::GetNodeAt(int x, int y) const
{
    const QPoint p = FInner->viewport()->mapFrom(this, QPoint(x, y));
    if (!FInner->viewport()->rect().contains(p))
        return nullptr;
    return TStringTreeModel::NodeOf(FInner->indexAt(p));
}

QPoint TStringTree::ToClient(const QPoint& innerViewportPos) const
{
    return FInner->viewport()->mapTo(this, innerViewportPos);
}

int TStringTree::CompareNodes(int column, TStringTreeNode* node1, TStringTreeNode* node2)
{
    if (column < 0)
        return 0;
    int result = FCollator.compare(node1->Text(column), node2->Text(column));
    if (OnCustomCompare)
        OnCustomCompare(this, FColumns->At(column), node1, node2, result);
    return result;
}

void TStringTree::HeaderClicked(int section, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos)
{
    if (OnHeaderClick) {
        OnHeaderClick(this, FColumns->At(section), button, shift, pos.x(), pos.y());
        return;
    }
    if (section == FInner->SortColumn())
        FInner->SetSort(section, !FInner->SortDescending());
    else
        FInner->SetSort(section, false);
}

void TStringTree::InnerMouseDown(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton && FFocusOnRightClick) {
        FInner->setFocus(Qt::MouseFocusReason);
        TStringTreeNode* node = TStringTreeModel::NodeOf(FInner->indexAt(pos));
        if (!node) {
            ClearSelection();
        } else if (!node->Selected()) {
            ClearSelection();
            SetFocusedNode(node);
            node->SetSelected(true);
        }
    }
    if (OnMouseDown) {
        const QPoint p = ToClient(pos);
        OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
    }
}

bool TStringTree::Checking(TStringTreeNode* node, int& nativeState)
{
    bool allowed = true;
    if (OnChecking) {
        TStringTreeNodeCheckState state = FromNativeCheckState(nativeState);
        OnChecking(this, node, state, allowed);
        nativeState = ToNativeCheckState(state);
    }
    return allowed;
}

bool TStringTree::FocusChanging(const QModelIndex& oldIndex, const QModelIndex& newIndex)
{
    bool allowed = true;
    if (OnFocusChanging)
        OnFocusChanging(this, TStringTreeModel::NodeOf(oldIndex), TStringTreeModel::NodeOf(newIndex),
                        FColumns->At(oldIndex.column()), FColumns->At(newIndex.column()), allowed);
    return allowed;
}
