// Linking clones to their masters and rebuilding their children from them.

#include "Component/model/Clones.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Every node of the subtree in depth-first pre-order, with or without what lies below clones.
template <typename F>
void ForEachPreOrder(TDecTreeNode* start, bool intoClones, F&& visit)
{
    std::vector<TDecTreeNode*> stack{start};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        visit(node);
        if (!intoClones && node->IsClone())
            continue;
        for (int i = node->Children.Count() - 1; i >= 0; --i)
            stack.push_back(node->Children[i]);
    }
}

// Id -> the first node in pre-order that carries it, as a search from the root would find it.
using TIdIndex = std::unordered_map<TGuid, TDecTreeNode*>;

TIdIndex IndexIds(TDecTreeNode* root, bool intoClones)
{
    TIdIndex index;
    ForEachPreOrder(root, intoClones, [&](TDecTreeNode* node) { index.emplace(node->Id, node); });
    return index;
}

TDecTreeNode* Lookup(const TIdIndex& index, const TGuid& id)
{
    const auto it = index.find(id);
    return it == index.end() ? nullptr : it->second;
}

// Whether node or a node of its subtree outside clones is the master of some clone of the
// tree: the linear form of asking every such node whether the root contains a clone of it.
bool IsOrContainsCloneMasterFast(TDecTreeNode* node)
{
    if (node->IsInsideClone())
        return false;
    std::unordered_set<TGuid> masterIds;
    ForEachPreOrder(node->GetRoot(), true, [&](TDecTreeNode* n) {
        if (n->IsClone())
            masterIds.insert(n->CloneMasterId);
    });
    if (masterIds.empty())
        return false;
    bool found = false;
    ForEachPreOrder(node, false, [&](TDecTreeNode* n) { found = found || masterIds.count(n->Id) > 0; });
    return found;
}

// Whether the master's subtree, with every nested clone followed to its own master, reaches
// node or one of its ancestors: a link would then make the clone part of its own copy.
bool MasterReachesNode(TDecTreeNode* node, TDecTreeNode* master)
{
    std::unordered_set<const TDecTreeNode*> upward;
    for (const TDecTreeNode* n = node; n; n = n->Parent())
        upward.insert(n);
    const TIdIndex index = IndexIds(node->GetRoot(), true);
    std::unordered_set<const TDecTreeNode*> mastersSeen{master};
    std::vector<TDecTreeNode*> stack{master};
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        if (upward.count(n))
            return true;
        if (n->IsClone()) {
            TDecTreeNode* next = Lookup(index, n->CloneMasterId);
            if (next && mastersSeen.insert(next).second)
                stack.push_back(next);
            continue;
        }
        for (TDecTreeNode* child : n->Children)
            stack.push_back(child);
    }
    return false;
}

} // namespace

void TDecTreeNode::SetCloneMaster(const TGuid& masterId, QString& errorText)
{
    errorText.clear();
    if (masterId == CloneMasterId)
        return;
    if (masterId.IsEmpty()) {
        CloneMasterId = Guid::Empty();
        Children.Clear();
        return;
    }
    if (masterId == Id) {
        errorText = CloneTexts::SameNode;
        return;
    }
    if (FindNodeById(masterId)) {
        errorText = CloneTexts::MasterIsSubnode;
        return;
    }
    for (TDecTreeNode* ancestor = FParent; ancestor; ancestor = ancestor->FParent) {
        if (ancestor->Id == masterId) {
            errorText = CloneTexts::CloneIsSubnode;
            return;
        }
        if (ancestor->IsClone()) {
            errorText = CloneTexts::DescendsOfClone;
            return;
        }
    }
    if (IsOrContainsCloneMasterFast(this)) {
        errorText = CloneTexts::ContainsMaster;
        return;
    }
    TDecTreeNode* master = GetRoot()->FindNodeById(masterId);
    if (!master) {
        errorText = CloneTexts::MasterNotFound;
        return;
    }
    if (master->IsClone()) {
        errorText = CloneTexts::CloneOfClone;
        return;
    }
    if (MasterReachesNode(this, master)) {
        errorText = CloneTexts::WouldContainItself;
        return;
    }
    CloneMasterId = masterId;
    Children.Clear();
}

void TDecTreeNode::RefreshClones()
{
    // Masters are looked up among the nodes outside clones only: the nodes inside a clone are
    // rebuilt (with new ids) by this very pass, so no clone may depend on them.
    const TIdIndex index = IndexIds(GetRoot(), false);

    // A clone is rebuilt from its master once every clone inside the master's subtree is
    // rebuilt: a depth-first walk over the nodes outside clones in which a clone's one
    // "child" is its master, refreshing each clone when the walk leaves it. A walk that comes
    // back to a node still open has found a cycle; Low carries the lowest open frame reached,
    // and a clone from which such a frame at or below its own is reached would contain itself,
    // so it gets no children, which also cuts the cycle for the clones around it.
    constexpr int Done = -1;
    std::unordered_map<const TDecTreeNode*, int> state; // absent: unvisited; >= 0: open frame
    struct Frame {
        TDecTreeNode* Node;
        int Next;    // next child to visit; for a clone: 0 before, 1 after the master's walk
        int Low;     // lowest open frame reached from here
        TDecTreeNode* Master;
    };
    std::vector<Frame> stack;
    auto open = [&](TDecTreeNode* node) {
        state[node] = int(stack.size());
        stack.push_back({node, 0, INT_MAX, nullptr});
    };
    // Visits node unless it is finished already; an open node lowers the frame's Low instead.
    auto reach = [&](Frame& from, TDecTreeNode* node) -> bool {
        const auto it = state.find(node);
        if (it == state.end()) {
            open(node);
            return true;
        }
        if (it->second != Done)
            from.Low = std::min(from.Low, it->second);
        return false;
    };

    auto rebuild = [&](TDecTreeNode* clone, TDecTreeNode* master) {
        std::vector<TDecTreeNode*> old = std::move(clone->Children.FItems);
        clone->Children.FItems.clear();
        if (master && clone->FParent) {
            clone->NodeType = master->NodeType;
            clone->DecisionFixed = master->DecisionFixed;
            clone->ChanceType = master->ChanceType;
            const auto& source = master->Children.FItems;
            clone->Children.FItems.reserve(source.size());
            for (size_t i = 0; i < source.size(); ++i) {
                const TDecTreeNode* tmpl = i < old.size() ? old[i] : nullptr;
                clone->Children.FItems.push_back(source[i]->Copy(clone, true, true, tmpl).release());
            }
        }
        TDecTreeNodeList::DestroyNodes(std::move(old));
        clone->Children.Changed();
    };

    open(this);
    while (!stack.empty()) {
        const int at = int(stack.size()) - 1;
        TDecTreeNode* node = stack[size_t(at)].Node;
        if (node->IsClone() && node->FParent) {
            if (stack[size_t(at)].Next == 0) {
                stack[size_t(at)].Next = 1;
                TDecTreeNode* master = Lookup(index, node->CloneMasterId);
                stack[size_t(at)].Master = master;
                if (master && reach(stack[size_t(at)], master))
                    continue;
            }
            Frame& f = stack[size_t(at)];
            if (f.Low <= at) {
                f.Master = nullptr;
                f.Low = INT_MAX; // an empty clone reaches nothing
            }
            rebuild(node, f.Master);
        } else if (node->IsClone()) {
            rebuild(node, nullptr); // a root cannot repeat another node's fork
        } else {
            Frame& f = stack[size_t(at)];
            if (f.Next < node->Children.Count()) {
                TDecTreeNode* child = node->Children.FItems[size_t(f.Next++)];
                reach(f, child);
                continue;
            }
        }
        const int low = stack[size_t(at)].Low;
        state[node] = Done;
        stack.pop_back();
        if (!stack.empty())
            stack.back().Low = std::min(stack.back().Low, low);
    }
}
