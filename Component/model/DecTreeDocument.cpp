#include "Component/model/DecTreeDocument.h"

#include "Component/model/RollBack.h"
#include "Component/styles/DefaultStyles.h"

#include <algorithm>
#include <unordered_map>

TDecTreeDocument::TDecTreeDocument()
{
    ResetDefaultStyles();
}

void TDecTreeDocument::ResetDefaultStyles()
{
    ::ResetDefaultStyles(StyleStates);
}

TDecTreeDocument::~TDecTreeDocument() = default;

void TDecTreeDocument::SetRoot(std::unique_ptr<TDecTreeNode> root)
{
    FRoot = std::move(root);
    StructureChanged();
}

std::unique_ptr<TDecTreeNode> TDecTreeDocument::ReleaseRoot()
{
    StructureChanged();
    return std::move(FRoot);
}

void TDecTreeDocument::NewRoot()
{
    SetRoot(std::make_unique<TDecTreeNode>(this, nullptr, Guid::NewGuid(), QStringLiteral("Root"),
                                           QStringLiteral("Right click for options"), ntDecision, ctPercent, 100.0, 0,
                                           Guid::Empty(), true, false, false, false, false, false, false, false,
                                           QString(), QString(), -1, 0.0, QString()));
    Selection.Clear();
    Selection.Add(FRoot->Id);
}

void BuildPreOrder(TDecTreeNode* root, TTreeOrder& order)
{
    order.Nodes.clear();
    order.Parents.clear();
    order.HasClones = false;
    if (root) {
        std::vector<std::pair<TDecTreeNode*, int32_t>> stack{{root, -1}};
        while (!stack.empty()) {
            auto [node, parent] = stack.back();
            stack.pop_back();
            const int32_t position = int32_t(order.Nodes.size());
            order.Nodes.push_back(node);
            order.Parents.push_back(parent);
            order.HasClones = order.HasClones || node->IsClone();
            for (auto it = node->Children.end(); it != node->Children.begin();)
                stack.push_back({*--it, position});
        }
    }
    order.Sizes.assign(order.Nodes.size(), 1);
    for (size_t i = order.Nodes.size(); i-- > 1;)
        order.Sizes[size_t(order.Parents[i])] += order.Sizes[i];
}

std::vector<TGuid> TDecTreeDocument::SelectionAnchor()
{
    std::vector<TGuid> anchor;
    if (!FRoot)
        return anchor;
    const std::vector<TDecTreeNode*>& nodes = PreOrder();
    for (int i = 0; i < Selection.Count() && anchor.empty(); ++i) {
        const TGuid id = Selection.GetItem(i);
        const auto found = std::find_if(nodes.begin(), nodes.end(), [&id](const TDecTreeNode* n) { return n->Id == id; });
        if (found != nodes.end())
            for (const TDecTreeNode* n = *found; n; n = n->Parent())
                anchor.push_back(n->Id);
    }
    return anchor;
}

TDecTreeNode* TDecTreeDocument::SelectNearest(const std::vector<TGuid>& anchor)
{
    if (!FRoot)
        return nullptr;
    // One walk finds the nearest: a chain of ancestors may be as deep as the tree.
    std::unordered_map<TGuid, size_t> rank;
    for (size_t i = 0; i < anchor.size(); ++i)
        rank.emplace(anchor[i], i);
    TDecTreeNode* nearest = FRoot.get();
    size_t best = anchor.size();
    for (TDecTreeNode* node : PreOrder()) {
        const auto it = rank.find(node->Id);
        if (it != rank.end() && it->second < best) {
            best = it->second;
            nearest = node;
        }
    }
    Selection.Clear();
    Selection.Add(nearest->Id);
    return nearest;
}

const std::vector<TDecTreeNode*>& TDecTreeDocument::PreOrder()
{
    const uint64_t version = StructureVersion();
    if (FPreOrderVersion != version) {
        BuildPreOrder(FRoot.get(), FOrder);
        FPreOrderVersion = version;
    }
    return FOrder.Nodes;
}

const std::vector<int32_t>& TDecTreeDocument::SubtreeSizes()
{
    PreOrder();
    return FOrder.Sizes;
}

const std::vector<int32_t>& TDecTreeDocument::ParentPositions()
{
    PreOrder();
    return FOrder.Parents;
}

int32_t TDecTreeDocument::PositionOf(const TDecTreeNode& node)
{
    PreOrder();
    // Down from the root along the node's ancestors: a child's position is its parent's plus one
    // plus the subtree sizes of the siblings before it.
    thread_local std::vector<const TDecTreeNode*> path;
    path.clear();
    for (const TDecTreeNode* n = &node; n; n = n->Parent())
        path.push_back(n);
    if (!FRoot || path.back() != FRoot.get())
        return -1;
    size_t at = 0;
    for (size_t k = path.size() - 1; k > 0; --k) {
        size_t c = at + 1;
        bool found = false;
        for (const TDecTreeNode* sibling : path[k]->Children) {
            if (sibling == path[k - 1]) {
                found = true;
                break;
            }
            c += size_t(FOrder.Sizes[c]);
        }
        if (!found)
            return -1;
        at = c;
    }
    return FOrder.Nodes[at] == &node ? int32_t(at) : -1;
}

void TDecTreeDocument::ChildrenReplaced(const std::vector<int32_t>& positions, uint64_t before)
{
    if (FPreOrderVersion != before)
        return;
    TTreeOrder& order = FOrder;
    // The new subtrees below each replaced node, in pre-order, with parents as offsets from it.
    std::vector<TTreeOrder> below(positions.size());
    bool sameSizes = true;
    for (size_t r = 0; r < positions.size(); ++r) {
        TDecTreeNode* node = order.Nodes[size_t(positions[r])];
        TTreeOrder& sub = below[r];
        std::vector<std::pair<TDecTreeNode*, int32_t>> stack;
        for (auto it = node->Children.end(); it != node->Children.begin();)
            stack.push_back({*--it, 0});
        while (!stack.empty()) {
            auto [n, parent] = stack.back();
            stack.pop_back();
            const int32_t offset = int32_t(sub.Nodes.size()) + 1;
            sub.Nodes.push_back(n);
            sub.Parents.push_back(parent);
            order.HasClones = order.HasClones || n->IsClone();
            for (auto it = n->Children.end(); it != n->Children.begin();)
                stack.push_back({*--it, offset});
        }
        sameSizes = sameSizes && int32_t(sub.Nodes.size()) + 1 == order.Sizes[size_t(positions[r])];
    }
    auto subtreeSizes = [](TTreeOrder& sub) {
        sub.Sizes.assign(sub.Nodes.size(), 1);
        for (size_t i = sub.Nodes.size(); i-- > 0;)
            if (sub.Parents[i] > 0)
                sub.Sizes[size_t(sub.Parents[i]) - 1] += sub.Sizes[i];
    };
    if (sameSizes) {
        // Every position keeps its place: the subtrees are written over the old ones.
        for (size_t r = 0; r < positions.size(); ++r) {
            const size_t at = size_t(positions[r]);
            TTreeOrder& sub = below[r];
            subtreeSizes(sub);
            for (size_t i = 0; i < sub.Nodes.size(); ++i) {
                order.Nodes[at + 1 + i] = sub.Nodes[i];
                order.Parents[at + 1 + i] = int32_t(at) + sub.Parents[i];
                order.Sizes[at + 1 + i] = sub.Sizes[i];
            }
        }
    } else {
        // The rest of the order is copied around the new subtrees, each parent to where it went.
        TTreeOrder merged;
        merged.HasClones = order.HasClones;
        std::vector<int32_t> movedTo(order.Nodes.size(), -1);
        auto keep = [&](size_t from, size_t end) {
            for (size_t i = from; i < end; ++i) {
                movedTo[i] = int32_t(merged.Nodes.size());
                merged.Nodes.push_back(order.Nodes[i]);
                merged.Parents.push_back(order.Parents[i] < 0 ? -1 : movedTo[size_t(order.Parents[i])]);
            }
        };
        size_t next = 0;
        for (size_t r = 0; r < positions.size(); ++r) {
            const size_t at = size_t(positions[r]);
            keep(next, at + 1);
            const int32_t top = movedTo[at];
            for (size_t i = 0; i < below[r].Nodes.size(); ++i) {
                merged.Nodes.push_back(below[r].Nodes[i]);
                merged.Parents.push_back(top + below[r].Parents[i]);
            }
            next = at + size_t(order.Sizes[at]);
        }
        keep(next, order.Nodes.size());
        merged.Sizes.assign(merged.Nodes.size(), 1);
        for (size_t i = merged.Nodes.size(); i-- > 1;)
            merged.Sizes[size_t(merged.Parents[i])] += merged.Sizes[i];
        order = std::move(merged);
    }
    FPreOrderVersion = StructureVersion();
}

bool TDecTreeDocument::HasClones()
{
    PreOrder();
    return FOrder.HasClones;
}

void TDecTreeDocument::CalculateValues()
{
    CalculateDocumentValues(*this);
}
