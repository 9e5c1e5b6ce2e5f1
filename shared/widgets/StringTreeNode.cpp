#include "shared/widgets/StringTreeNode.h"

#include "shared/core/Exceptions.h"
#include "shared/widgets/StringTree.h"
#include "shared/widgets/StringTreeView.h"

#include <QItemSelectionModel>

using namespace string_tree_native;

namespace {

void CheckTextIndex(int column)
{
    if (column < 0)
        throw EInvalidOperation(QStringLiteral("List index out of bounds"));
}

} // namespace

TStringTreeNode::TStringTreeNode(TStringTreeNodeCollection& collection)
    : FCollection(collection), FChildren(std::make_unique<TStringTreeNodeCollection>(collection.Tree(), this))
{
}

TStringTreeNode::~TStringTreeNode() = default;

TStringTree& TStringTreeNode::Tree() const
{
    return FCollection.Tree();
}

TStringTreeNode* TStringTreeNode::Parent() const
{
    return FCollection.ParentNode();
}

QString TStringTreeNode::Text(int column) const
{
    CheckTextIndex(column);
    return column < FTexts.size() ? FTexts[column] : QString();
}

QString TStringTreeNode::Text(const TStringTreeColumn* column) const
{
    return Text(column ? column->Index() : -1);
}

void TStringTreeNode::SetText(int column, const QString& text)
{
    CheckTextIndex(column);
    while (FTexts.size() <= column)
        FTexts.append(QString());
    FTexts[column] = text;
    Tree().Invalidate();
}

void TStringTreeNode::SetText(const TStringTreeColumn* column, const QString& text)
{
    SetText(column ? column->Index() : -1, text);
}

bool TStringTreeNode::Selected() const
{
    const TStringTreeView* view = Tree().InnerTree();
    return view->selectionModel()->isSelected(view->Model().IndexOf(this));
}

void TStringTreeNode::SetSelected(bool selected)
{
    const TStringTreeView* view = Tree().InnerTree();
    view->selectionModel()->select(view->Model().IndexOf(this),
                                   (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect)
                                       | QItemSelectionModel::Rows);
}

bool TStringTreeNode::Expanded() const
{
    const TStringTreeView* view = Tree().InnerTree();
    return view->isExpanded(view->Model().IndexOf(this));
}

void TStringTreeNode::SetExpanded(bool expanded)
{
    TStringTreeView* view = Tree().InnerTree();
    if (Expanded() != expanded)
        view->setExpanded(view->Model().IndexOf(this), expanded);
}

TStringTreeNodeCheckState TStringTreeNode::CheckState() const
{
    return FromNativeCheckState(FNativeCheckState);
}

void TStringTreeNode::SetCheckState(TStringTreeNodeCheckState state)
{
    int native = ToNativeCheckState(state);
    if (native != FNativeCheckState)
        Tree().InnerTree()->Model().ChangeCheckState(this, native);
}

void TStringTreeNode::SetImageIndex(int index)
{
    FImageIndex = index;
    Tree().Invalidate();
}

void TStringTreeNode::SetGhosted(bool ghosted)
{
    FGhosted = ghosted;
    Tree().Invalidate();
}

bool TStringTreeNodeEnumerator::MoveNext()
{
    if (FIndex < FCollection.Count())
        ++FIndex;
    return FIndex < FCollection.Count();
}

TStringTreeNode* TStringTreeNodeEnumerator::Current() const
{
    return FIndex >= 0 && FIndex < FCollection.Count() ? FCollection.Items(FIndex) : nullptr;
}

TStringTreeNodeCollection::TStringTreeNodeCollection(TStringTree& tree, TStringTreeNode* parentNode)
    : FTree(tree), FParentNode(parentNode)
{
}

TStringTreeNodeCollection::~TStringTreeNodeCollection() = default;

TStringTreeNode* TStringTreeNodeCollection::Add()
{
    TStringTreeModel& model = FTree.InnerTree()->Model();
    model.BeginAdd(*this);
    FItems.push_back(std::make_unique<TStringTreeNode>(*this));
    TStringTreeNode* node = FItems.back().get();
    model.EndAdd(*this, node);
    FTree.InnerTree()->SortIfAuto();
    return node;
}

void TStringTreeNodeCollection::Clear()
{
    TStringTreeModel& model = FTree.InnerTree()->Model();
    model.BeginClear(*this);
    FInnerOrder.clear();
    std::vector<std::unique_ptr<TStringTreeNode>> released;
    released.swap(FItems);
    model.EndClear(*this);
}

void TStringTreeNodeCollection::ExpandAll(bool recursive)
{
    FTree.BeginUpdate();
    for (TStringTreeNode* node : *this) {
        node->SetExpanded(true);
        if (recursive)
            node->Children().ExpandAll(true);
    }
    FTree.EndUpdate();
}

TStringTreeNode* TStringTreeNodeCollection::FindByText(int column, const QString& text, bool recursive) const
{
    for (TStringTreeNode* node : *this) {
        if (node->Text(column) == text)
            return node;
        if (recursive)
            if (TStringTreeNode* found = node->Children().FindByText(column, text, true))
                return found;
    }
    return nullptr;
}

TStringTreeNode* TStringTreeNodeCollection::FindByColumnText(const TStringTreeColumn* column, const QString& text,
                                                             bool recursive) const
{
    return FindByText(column ? column->Index() : -1, text, recursive);
}
