// Linking clones to their masters and rebuilding their children from them.

#include "Component/model/Clones.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/MultiOptionSolver.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <climits>
#include <cstring>
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

// A bit per low id word, set for every id of a set: an id whose bit is clear is not in it, so
// most nodes of a large tree are passed over without a hash lookup.
constexpr uint32_t IdFilterWords = 1024;

void AddToFilter(std::vector<uint64_t>& filter, uint32_t low)
{
    filter[(low >> 6) % IdFilterWords] |= uint64_t(1) << (low & 63);
}

bool MayBeInFilter(const std::vector<uint64_t>& filter, uint32_t low)
{
    return filter[(low >> 6) % IdFilterWords] >> (low & 63) & 1;
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

// The tree's nodes in depth-first pre-order, from the document's cached order when the root is a
// document's, so walks over clones and their masters run on plain arrays. The nodes inside a clone
// are rebuilt (with new ids) by a refresh, so no clone may depend on them: the walks never go below
// a clone, and masters are looked up among the nodes outside clones only.
struct TCloneGraph {
    TTreeOrder ownOrder; // for a tree that is no document's
    const TTreeOrder* tree = nullptr;
    // Master id -> position of the first node outside clones in pre-order that carries it.
    std::unordered_map<TGuid, int> masterAt;
    bool hasClones = false;
    int outside = 0; // how many nodes lie outside clones, the clones included
    std::vector<int> clones; // the positions of the clones outside clones

    explicit TCloneGraph(TDecTreeNode* root)
    {
        TDecTreeDocument* document = root->Tree;
        if (document && document->Root() == root) {
            tree = &document->Order();
        } else {
            BuildPreOrder(root, ownOrder);
            tree = &ownOrder;
        }
        const std::vector<TDecTreeNode*>& order = tree->Nodes;
        const std::vector<int32_t>& size = tree->Sizes;
        const int count = int(order.size());
        std::vector<TGuid> masterIds;
        for (int i = 0; i < count; ++outside) {
            const TDecTreeNode* node = order[size_t(i)];
            if (node->IsClone()) {
                masterIds.push_back(node->CloneMasterId);
                clones.push_back(i);
                i += size[size_t(i)];
            } else {
                ++i;
            }
        }
        hasClones = !masterIds.empty();
        if (!hasClones)
            return;
        std::vector<uint64_t> maybe(IdFilterWords, 0);
        for (const TGuid& id : masterIds) {
            masterAt.emplace(id, -1);
            AddToFilter(maybe, id.D1);
        }
        for (int i = 0; i < count; i += order[size_t(i)]->IsClone() ? size[size_t(i)] : 1) {
            const TGuid& id = order[size_t(i)]->Id;
            if (!MayBeInFilter(maybe, id.D1))
                continue;
            const auto it = masterAt.find(id);
            if (it != masterAt.end() && it->second < 0)
                it->second = i;
        }
    }

    // The graph's own nodes (every node outside a clone, the clones included) are what the
    // document holds; the rest of a refreshed tree is copies.
    int64_t Cap() const { return std::min(int64_t(outside) + MaxCloneCopies, MaxTreeNodes); }
    bool ExpandsTooFar() const { return CountAfterRefresh(Cap()) > Cap(); }

    // Whether the subtree at position at (itself included) holds a clone outside clones: the walks
    // below leave the others as they stand, since nothing in them is copied or copies anything.
    bool HoldsClone(int at) const
    {
        const auto it = std::lower_bound(clones.begin(), clones.end(), at);
        return it != clones.end() && *it < at + tree->Sizes[size_t(at)];
    }

    int MasterOf(int at) const
    {
        const auto it = masterAt.find(tree->Nodes[size_t(at)]->CloneMasterId);
        return it == masterAt.end() ? -1 : it->second;
    }

    // The size of the tree after a refresh: a clone counts as its master's expanded subtree,
    // found by one walk in which a clone's only "child" is its master. Counts above cap are
    // held at cap + 1, so a tree that would multiply past any number never overflows.
    int64_t CountAfterRefresh(int64_t cap) const
    {
        if (!hasClones)
            return std::min<int64_t>(outside, cap + 1);
        const std::vector<TDecTreeNode*>& order = tree->Nodes;
        const std::vector<int32_t>& size = tree->Sizes;
        const std::vector<int32_t>& parentOf = tree->Parents;
        const int count = int(order.size());
        enum : uint8_t { Unvisited, Open, Done };
        std::vector<int64_t> expanded(size_t(count), 0);
        std::vector<uint8_t> state(size_t(count), Unvisited);
        struct Frame {
            int At;
            int Next; // a plain node's next child; -1 once a clone's master is walked
        };
        std::vector<Frame> stack{{0, 1}};
        state[0] = Open;
        auto enter = [&](int at) {
            if (!HoldsClone(at)) {
                expanded[size_t(at)] = std::min<int64_t>(size[size_t(at)], cap + 1);
                state[size_t(at)] = Done;
                return;
            }
            state[size_t(at)] = Open;
            stack.push_back({at, at + 1});
        };
        while (!stack.empty()) {
            const int at = stack.back().At;
            if (order[size_t(at)]->IsClone()) {
                // A clone without a parent, without a master, or inside its own master's walk
                // gets no children.
                const int master = parentOf[size_t(at)] >= 0 ? MasterOf(at) : -1;
                if (stack.back().Next != -1 && master >= 0 && state[size_t(master)] == Unvisited) {
                    stack.back().Next = -1;
                    enter(master);
                    continue;
                }
                expanded[size_t(at)] = master >= 0 && state[size_t(master)] == Done ? expanded[size_t(master)] : 1;
            } else {
                Frame& f = stack.back();
                const int end = at + size[size_t(at)];
                if (f.Next < end) {
                    const int child = f.Next;
                    f.Next += size[size_t(child)];
                    if (state[size_t(child)] == Unvisited)
                        enter(child);
                    continue;
                }
                int64_t total = 1;
                for (int child = at + 1; child < end; child += size[size_t(child)])
                    total = std::min(cap + 1, total + expanded[size_t(child)]);
                expanded[size_t(at)] = total;
            }
            state[size_t(at)] = Done;
            stack.pop_back();
        }
        return expanded[0];
    }
};

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A copy shares its master's text until one of them changes it: most compare by their data.
bool SameText(const QString& a, const QString& b)
{
    if (a.isNull() != b.isNull() || a.size() != b.size())
        return false;
    return a.constData() == b.constData() || a == b;
}

// Whether copy is what TDecTreeNode::Copy makes of source with new ids, attribute lines reset and
// copy itself as the template, apart from its id; its children are not compared.
bool IsCopyOfNode(const TDecTreeNode& copy, const TDecTreeNode& source)
{
    return copy.Tree == source.Tree && copy.Children.Count() == source.Children.Count() &&
           copy.NodeType == source.NodeType && copy.ChanceType == source.ChanceType &&
           SameBits(copy.Probability, source.Probability) && copy.Payoff == source.Payoff &&
           copy.CloneMasterId == source.CloneMasterId && copy.DecisionFixed == source.DecisionFixed &&
           copy.DecisionMultiBudget == source.DecisionMultiBudget &&
           SameBits(copy.DecisionDueDate, source.DecisionDueDate) && SameText(copy.Caption, source.Caption) &&
           SameText(copy.Comment, source.Comment) && SameText(copy.DecisionCaption, source.DecisionCaption) &&
           SameText(copy.DecisionOwner, source.DecisionOwner) && SameText(copy.PayoffSource, source.PayoffSource) &&
           !copy.DecisionShowCaption && !copy.DecisionShowOwner && !copy.DecisionShowDueDate &&
           !copy.DecisionShowFixed && !copy.DecisionMultiShowBudget && !copy.DecisionMultiShowInvestment;
}

// Whether rebuilding the clone from master (none: the clone gets no children) would leave it as
// it is, new ids aside: then the rebuild is left out. Copies a refresh made have ids no other node
// carries, which is what new ones would be; copies from elsewhere (a file, a test) are rebuilt.
// So is a clone with a selected copy, whose rebuild moves the selection to the new copy's id.
bool IsCurrentCopy(const TDecTreeNode& clone, const TDecTreeNode* master)
{
    if (!master || !clone.Parent())
        return !clone.HasChildren();
    if (!clone.CopiesFromRefresh || clone.NodeType != master->NodeType ||
        clone.DecisionFixed != master->DecisionFixed || clone.ChanceType != master->ChanceType ||
        clone.Children.Count() != master->Children.Count())
        return false;
    std::vector<std::pair<const TDecTreeNode*, const TDecTreeNode*>> stack;
    for (int i = 0; i < clone.Children.Count(); ++i) {
        const TDecTreeNode* source = master->Children[i];
        const TPrivateArrayList* selection = source->Tree && source->Tree->Selection.Count() > 0
                                                 ? &source->Tree->Selection
                                                 : nullptr;
        stack.assign(1, {clone.Children[i], source});
        while (!stack.empty()) {
            auto [copy, original] = stack.back();
            stack.pop_back();
            if (!IsCopyOfNode(*copy, *original) || (selection && selection->Contains(copy->Id)))
                return false;
            for (int k = 0; k < copy->Children.Count(); ++k)
                stack.push_back({copy->Children[k], original->Children[k]});
        }
    }
    return true;
}

// The copies below a clone given what new copies start with, as a rebuild would give them:
// nothing computed, no layout, no solve kept.
void ForgetComputed(TDecTreeNode& clone)
{
    std::vector<TDecTreeNode*> stack(clone.Children.begin(), clone.Children.end());
    while (!stack.empty()) {
        TDecTreeNode& n = *stack.back();
        stack.pop_back();
        n.ExpectedValue = n.MinValue = n.MaxValue = n.PathProbability = n.PathPayoff = 0;
        n.InTakenPath = false;
        n.BoundsRect = TRectangle();
        std::fill(std::begin(n.ElementRects), std::end(n.ElementRects), TRectangle());
        n.SolveMemo.reset();
        stack.insert(stack.end(), n.Children.begin(), n.Children.end());
    }
}

} // namespace

TCloneMasters::TCloneMasters(const TDecTreeNode& node) : FRoot(node.GetRoot()) {}

void TCloneMasters::Build() const
{
    FBuilt = true;
    std::vector<TDecTreeNode*> own;
    const std::vector<TDecTreeNode*>* order = &own;
    if (FRoot->Tree && FRoot->Tree->Root() == FRoot)
        order = &FRoot->Tree->PreOrder();
    else
        ForEachPreOrder(FRoot, true, [&](TDecTreeNode* n) { own.push_back(n); });
    // One read of each node: the low word of every id is kept, so the second pass reads nodes only
    // where the filter lets an id through.
    FMaybe.assign(IdFilterWords, 0);
    std::vector<uint32_t> low(order->size());
    for (size_t i = 0; i < order->size(); ++i) {
        const TDecTreeNode* n = (*order)[i];
        low[i] = n->Id.D1;
        if (n->IsClone() && FMasters.emplace(n->CloneMasterId, nullptr).second)
            AddToFilter(FMaybe, n->CloneMasterId.D1);
    }
    for (size_t i = 0; i < order->size(); ++i) {
        if (!MayBeInFilter(FMaybe, low[i]))
            continue;
        TDecTreeNode* n = (*order)[i];
        const auto it = FMasters.find(n->Id);
        if (it != FMasters.end() && !it->second)
            it->second = n;
    }
}

TDecTreeNode* TCloneMasters::Find(const TGuid& id) const
{
    if (!FBuilt)
        Build();
    const auto it = FMasters.find(id);
    // An id no clone names is not kept: that one is searched for.
    return it != FMasters.end() ? it->second : FRoot->FindNodeById(id);
}

const QString* TCloneMasters::CodeOf(const TDecTreeNode& master) const
{
    const auto [it, added] = FCodes.try_emplace(&master);
    if (added) {
        std::vector<int> indexes;
        for (const TDecTreeNode* n = &master; n->Parent(); n = n->Parent()) {
            if (n->Parent()->IsClone())
                return nullptr;
            indexes.push_back(n->Parent()->Children.IndexOf(n) + 1);
        }
        QString code;
        for (auto i = indexes.rbegin(); i != indexes.rend(); ++i) {
            if (!code.isEmpty())
                code += QLatin1Char('.');
            code += QString::number(*i);
        }
        it->second = std::move(code);
    }
    return it->second ? &*it->second : nullptr;
}

int64_t CountNodesAfterRefresh(TDecTreeNode* root, int64_t cap)
{
    return root ? TCloneGraph(root).CountAfterRefresh(cap) : 0;
}

bool ExpandsTooFar(TDecTreeNode* root)
{
    return root && TCloneGraph(root).ExpandsTooFar();
}

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
    if (master->IsInsideClone()) {
        errorText = CloneTexts::MasterInsideClone;
        return;
    }
    if (MasterReachesNode(this, master)) {
        errorText = CloneTexts::WouldContainItself;
        return;
    }
    // The link is tried on the tree as it would stand, without copying, before it is made.
    std::vector<TDecTreeNode*> own = std::move(Children.FItems);
    Children.FItems.clear();
    const TGuid previous = CloneMasterId;
    CloneMasterId = masterId;
    if (::ExpandsTooFar(GetRoot())) {
        CloneMasterId = previous;
        Children.FItems = std::move(own);
        // The check may have cached the document's order as the tree would have stood.
        Children.Changed();
        errorText = CloneTexts::TooLarge;
        return;
    }
    if (Children.FOwnsObjects)
        TDecTreeNodeList::DestroyNodes(std::move(own));
    Children.Changed();
}

void TDecTreeNode::RefreshClones()
{
    TDecTreeNode* root = GetRoot();
    // A document knows from its cached order whether it holds a clone at all.
    if (Tree && Tree->Root() == root && !Tree->HasClones())
        return;
    // A node inside a clone has nothing of its own to refresh: the refresh of its clone rebuilds it.
    if (IsInsideClone())
        return;
    TCloneGraph graph(root);
    if (!graph.hasClones)
        return;
    const TTreeOrder& order = *graph.tree;
    const uint64_t orderVersion = TDecTreeNodeList::StructureVersion();
    std::unordered_map<TGuid, int>& masterAt = graph.masterAt;
    // Most recalculations find every clone as its last refresh left it. A master that is itself a
    // clone takes the walk below, which knows what such a chain makes.
    const bool allCurrent = std::all_of(graph.clones.begin(), graph.clones.end(), [&](int at) {
        const int master = graph.MasterOf(at);
        const TDecTreeNode* m = master >= 0 ? order.Nodes[size_t(master)] : nullptr;
        return !(m && m->IsClone()) && IsCurrentCopy(*order.Nodes[size_t(at)], m);
    });
    if (allCurrent) {
        // The tree is what a refresh would make of it, and as large.
        if (int64_t(order.Nodes.size()) > graph.Cap())
            throw InvalidOperationException(CloneTexts::TooLarge);
        for (int at : graph.clones)
            ForgetComputed(*order.Nodes[size_t(at)]);
        return;
    }
    // Checked before anything is copied: past the limit the copies would take all memory.
    if (graph.ExpandsTooFar())
        throw InvalidOperationException(CloneTexts::TooLarge);
    // The rebuilds below change the structure, but nothing asks for the order again until the walk
    // ends, and the walk never reads below a clone, where the nodes are replaced.
    const std::vector<int32_t>& size = order.Sizes;
    const int count = int(order.Nodes.size());
    std::vector<int32_t> rebuilt; // positions of the clones given new copies

    // A clone is rebuilt from its master once every clone inside the master's subtree is
    // rebuilt: a depth-first walk over the nodes outside clones in which a clone's one
    // "child" is its master, refreshing each clone when the walk leaves it. A walk that comes
    // back to a node still open has found a cycle; Low carries the lowest open frame reached,
    // and a clone from which such a frame at or below its own is reached would contain itself,
    // so it gets no children, which also cuts the cycle for the clones around it.
    constexpr int Unvisited = -2;
    constexpr int Done = -1;
    std::vector<int> state(size_t(count), Unvisited); // >= 0: the open frame's index
    struct Frame {
        int At;      // position in order
        int Next;    // next child's position; for a clone: 0 before, 1 after the master's walk
        int Low;     // lowest open frame reached from here
        int Master;  // position of a clone's master, -1 when it has none
    };
    std::vector<Frame> stack;
    auto open = [&](int at) {
        state[size_t(at)] = int(stack.size());
        stack.push_back({at, at + 1, INT_MAX, -1});
    };
    // Visits the node at position at unless it is finished; an open one lowers Low instead.
    auto reach = [&](size_t from, int at) -> bool {
        const int s = state[size_t(at)];
        if (s == Unvisited && !graph.HoldsClone(at)) {
            state[size_t(at)] = Done;
            return false;
        }
        if (s == Unvisited) {
            open(at);
            return true;
        }
        if (s != Done)
            stack[from].Low = std::min(stack[from].Low, s);
        return false;
    };

    auto rebuild = [&](int at, TDecTreeNode* clone, TDecTreeNode* master) {
        if (IsCurrentCopy(*clone, master)) {
            ForgetComputed(*clone);
            return;
        }
        rebuilt.push_back(at);
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
        clone->CopiesFromRefresh = true;
        clone->Children.Changed();
    };

    // The walk starts at this node.
    const auto self = std::find(order.Nodes.begin(), order.Nodes.end(), this);
    if (self == order.Nodes.end())
        return;
    open(int(self - order.Nodes.begin()));
    while (!stack.empty()) {
        const size_t top = stack.size() - 1;
        const int at = stack[top].At;
        TDecTreeNode* node = order.Nodes[size_t(at)];
        if (node->IsClone()) {
            if (node->FParent && stack[top].Next != 0) {
                stack[top].Next = 0;
                const auto it = masterAt.find(node->CloneMasterId);
                const int master = it == masterAt.end() ? -1 : it->second;
                stack[top].Master = master;
                if (master >= 0 && reach(top, master))
                    continue;
            }
            Frame& f = stack[top];
            if (f.Low <= int(top)) {
                f.Master = -1;
                f.Low = INT_MAX; // an empty clone reaches nothing
            }
            rebuild(at, node, f.Master >= 0 ? order.Nodes[size_t(f.Master)] : nullptr);
        } else {
            Frame& f = stack[top];
            if (f.Next < at + size[size_t(at)]) {
                const int child = f.Next;
                f.Next += size[size_t(child)];
                reach(top, child);
                continue;
            }
        }
        const int low = stack[top].Low;
        state[size_t(at)] = Done;
        stack.pop_back();
        if (!stack.empty())
            stack.back().Low = std::min(stack.back().Low, low);
    }
    // The order stays the document's, with the new copies in it: the value pass after a refresh
    // walks it, and a large tree costs more to order again than a few copies do to put in.
    if (graph.tree != &graph.ownOrder && !rebuilt.empty()) {
        std::sort(rebuilt.begin(), rebuilt.end());
        root->Tree->ChildrenReplaced(rebuilt, orderVersion);
    }
}
