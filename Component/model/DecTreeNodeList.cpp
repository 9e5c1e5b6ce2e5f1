#include "Component/model/DecTreeNodeList.h"

#include "Component/model/DecTreeNode.h"
#include "shared/core/Exceptions.h"

namespace {
[[noreturn]] void RaiseIndexError(int index)
{
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}
} // namespace

TDecTreeNodeList::TDecTreeNodeList(bool ownsObjects) : FOwnsObjects(ownsObjects) {}

TDecTreeNodeList::~TDecTreeNodeList()
{
    if (FOwnsObjects)
        DestroyNodes(std::move(FItems));
}

void TDecTreeNodeList::DestroyNodes(std::vector<TDecTreeNode*>&& nodes)
{
    std::vector<TDecTreeNode*> pending = std::move(nodes);
    while (!pending.empty()) {
        TDecTreeNode* node = pending.back();
        pending.pop_back();
        // Take the grandchildren over first, so the node's own destructor finds an empty list.
        std::vector<TDecTreeNode*>& items = node->Children.FItems;
        if (node->Children.FOwnsObjects)
            pending.insert(pending.end(), items.begin(), items.end());
        items.clear();
        delete node;
    }
}

std::atomic<uint64_t> TDecTreeNodeList::FStructureVersion{1};

void TDecTreeNodeList::Changed()
{
    if (FOwnsObjects)
        StructureChanged();
}

void TDecTreeNodeList::Add(TDecTreeNode* node)
{
    FItems.push_back(node);
    Changed();
}

void TDecTreeNodeList::Insert(int index, std::unique_ptr<TDecTreeNode> node)
{
    if (index < 0 || index > Count())
        RaiseIndexError(index);
    FItems.insert(FItems.begin() + index, node.get());
    node.release();
    Changed();
}

void TDecTreeNodeList::Clear()
{
    std::vector<TDecTreeNode*> items = std::move(FItems);
    FItems.clear();
    if (FOwnsObjects)
        DestroyNodes(std::move(items));
    Changed();
}

void TDecTreeNodeList::Delete(int index)
{
    if (index < 0 || index >= Count())
        RaiseIndexError(index);
    TDecTreeNode* node = FItems[size_t(index)];
    FItems.erase(FItems.begin() + index);
    if (FOwnsObjects)
        DestroyNodes({node});
    Changed();
}

int TDecTreeNodeList::Remove(TDecTreeNode* node)
{
    const int index = IndexOf(node);
    if (index >= 0)
        Delete(index);
    return index;
}

std::unique_ptr<TDecTreeNode> TDecTreeNodeList::Extract(int index)
{
    QD_ASSERT(FOwnsObjects, "DecTreeNodeList.cpp");
    if (index < 0 || index >= Count())
        RaiseIndexError(index);
    TDecTreeNode* node = FItems[size_t(index)];
    FItems.erase(FItems.begin() + index);
    Changed();
    return std::unique_ptr<TDecTreeNode>(node);
}

void TDecTreeNodeList::Replace(int index, int count, std::vector<std::unique_ptr<TDecTreeNode>> nodes)
{
    QD_ASSERT(FOwnsObjects, "DecTreeNodeList.cpp");
    if (index < 0 || index > Count())
        RaiseIndexError(index);
    if (count < 0 || count > Count() - index)
        RaiseIndexError(index + count);
    std::vector<TDecTreeNode*> removed(FItems.begin() + index, FItems.begin() + index + count);
    std::vector<TDecTreeNode*> added;
    added.reserve(nodes.size());
    for (std::unique_ptr<TDecTreeNode>& node : nodes)
        added.push_back(node.get());
    // The list takes the nodes over only once nothing more can fail.
    FItems.reserve(FItems.size() - removed.size() + added.size());
    FItems.erase(FItems.begin() + index, FItems.begin() + index + count);
    FItems.insert(FItems.begin() + index, added.begin(), added.end());
    for (std::unique_ptr<TDecTreeNode>& node : nodes)
        node.release();
    DestroyNodes(std::move(removed));
    Changed();
}

void TDecTreeNodeList::Exchange(int index1, int index2)
{
    if (index1 < 0 || index1 >= Count())
        RaiseIndexError(index1);
    if (index2 < 0 || index2 >= Count())
        RaiseIndexError(index2);
    std::swap(FItems[size_t(index1)], FItems[size_t(index2)]);
    Changed();
}

TDecTreeNode* TDecTreeNodeList::Items(int index) const
{
    if (index < 0 || index >= Count())
        RaiseIndexError(index);
    return FItems[size_t(index)];
}

int TDecTreeNodeList::IndexOf(const TDecTreeNode* node) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == node)
            return int(i);
    return -1;
}
