#include "app/document/CloneReferenceCheck.h"

#include "Component/model/DecTreeNode.h"

#include <unordered_map>
#include <vector>

namespace {

// The whole tree (clones' children included) in depth-first pre-order: a node's subtree is the
// positions from its own up to End, so the ancestor test is constant-time whichever links are
// dropped on the way, and every other table below is a plain array by position.
struct TTreePositions {
    std::vector<TDecTreeNode*> Nodes;
    std::vector<int> End; // one past the last position of the node's subtree

    explicit TTreePositions(TDecTreeNode* root)
    {
        struct Item {
            TDecTreeNode* Node;
            int Leave; // the position whose subtree ends here, or -1
        };
        std::vector<Item> stack{{root, -1}};
        while (!stack.empty()) {
            const Item item = stack.back();
            stack.pop_back();
            if (item.Leave >= 0) {
                End[size_t(item.Leave)] = int(Nodes.size());
                continue;
            }
            const int at = int(Nodes.size());
            Nodes.push_back(item.Node);
            End.push_back(0);
            stack.push_back({item.Node, at});
            for (int i = item.Node->Children.Count() - 1; i >= 0; --i)
                stack.push_back({item.Node->Children[i], -1});
        }
    }

    size_t Count() const { return Nodes.size(); }
    bool IsAncestor(int ancestor, int node) const { return ancestor < node && node < End[size_t(ancestor)]; }
    // The first child's position; each next one is the End of the one before.
    static int FirstChild(int position) { return position + 1; }
};

// The nodes that are not inside a clone, in the order they joined, and the holder of each id
// that some clone names as its master. Grows when a dropped link makes a node's own children
// count.
struct TOutsideIndex {
    const TTreePositions& Tree;
    std::vector<int> Nodes;    // positions, in the order they joined
    std::vector<int> Position; // by position: the place in Nodes, -1 while inside a clone
    std::unordered_map<TGuid, int> ById; // a master id -> the position of the first holder

    TOutsideIndex(const TTreePositions& tree) : Tree(tree), Position(tree.Count(), -1)
    {
        // Only ids that links name are ever looked up; most nodes are no one's master.
        for (const TDecTreeNode* node : tree.Nodes)
            if (node->IsClone())
                ById.emplace(node->CloneMasterId, -1);
        Nodes.reserve(tree.Count());
        AddSubtree(0);
    }

    TDecTreeNode* Node(int at) const { return Tree.Nodes[size_t(Nodes[size_t(at)])]; }

    // The children of a node that has just stopped being a clone.
    void AddChildren(int position)
    {
        for (int c = TTreePositions::FirstChild(position); c < Tree.End[size_t(position)]; c = Tree.End[size_t(c)])
            AddSubtree(c);
    }

private:
    void AddSubtree(int top)
    {
        // Pre-order without what lies below clones.
        for (int p = top; p < Tree.End[size_t(top)];) {
            TDecTreeNode* node = Tree.Nodes[size_t(p)];
            Position[size_t(p)] = int(Nodes.size());
            Nodes.push_back(p);
            const auto it = ById.find(node->Id);
            if (it != ById.end() && it->second < 0)
                it->second = p;
            p = node->IsClone() ? Tree.End[size_t(p)] : p + 1;
        }
    }
};

// Drops the link; answers whether the node has children of its own, which now stop being inside
// a clone and have to be looked at too.
bool Unlink(TDecTreeNode* clone, int& removed)
{
    clone->CloneMasterId = TGuid{};
    ++removed;
    return clone->HasChildren();
}

// Links to a missing node, to the node itself or to an ancestor. The children of a node whose
// link goes join the index at once and are looked at further on in the same pass, so a file of
// clones nested in clones takes one pass, not one per level.
void RemoveDanglingLinks(TOutsideIndex& index, int& removed, size_t from = 0)
{
    for (size_t i = from; i < index.Nodes.size(); ++i) {
        const int position = index.Nodes[i];
        TDecTreeNode* node = index.Tree.Nodes[size_t(position)];
        if (!node->IsClone())
            continue;
        const int master = index.ById.at(node->CloneMasterId);
        if (master < 0 || master == position || index.Tree.IsAncestor(master, position))
            if (Unlink(node, removed))
                index.AddChildren(position);
    }
}

// A depth-first walk over the nodes outside clones in which a plain node leads to its children
// and a clone to its master. Reaching a node that is still open closes a cycle, which contains at
// least one clone link (the child links alone form a tree); the nearest such link on the walk's
// stack is dropped and the walk goes on from there. A node whose link is dropped and that has
// children of its own stays open and goes on as a plain node: its children join the index (their
// own links checked first) and are walked from it, so no cut makes the walk start over.
void RemoveCycles(TOutsideIndex& index, int& removed)
{
    enum : int8_t { White, Open, Done };
    const TTreePositions& tree = index.Tree;
    std::vector<int8_t> colour(index.Nodes.size(), White);
    struct Frame {
        int Node; // place in index.Nodes
        int Next; // position of the next child; for a clone, 0 before and 1 after its master
    };
    std::vector<Frame> stack;

    auto masterOf = [&](TDecTreeNode* clone) { return index.Position[size_t(index.ById.at(clone->CloneMasterId))]; };
    auto open = [&](int n) {
        colour[size_t(n)] = Open;
        const int position = index.Nodes[size_t(n)];
        stack.push_back({n, tree.Nodes[size_t(position)]->IsClone() ? 0 : TTreePositions::FirstChild(position)});
    };

    for (size_t start = 0; start < index.Nodes.size(); ++start) {
        if (colour[start] != White)
            continue;
        open(int(start));
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const int position = index.Nodes[size_t(frame.Node)];
            TDecTreeNode* node = tree.Nodes[size_t(position)];
            int target = -1;
            if (node->IsClone()) {
                if (frame.Next++ == 0)
                    target = masterOf(node);
            } else if (frame.Next < tree.End[size_t(position)]) {
                target = index.Position[size_t(frame.Next)];
                frame.Next = tree.End[size_t(frame.Next)];
            }
            if (target < 0) {
                colour[size_t(frame.Node)] = Done;
                stack.pop_back();
                continue;
            }
            if (colour[size_t(target)] == White) {
                open(target);
                continue;
            }
            if (colour[size_t(target)] == Done)
                continue;
            // A cycle from the target's frame to the top: cut the nearest clone link in it.
            int cut = int(stack.size()) - 1;
            while (!index.Node(stack[size_t(cut)].Node)->IsClone())
                --cut;
            const int clonePlace = stack[size_t(cut)].Node;
            const bool exposed = Unlink(index.Node(clonePlace), removed);
            // The frames above it were reached only through the dropped link; they are walked
            // again when something else leads to them.
            while (int(stack.size()) - 1 > cut) {
                colour[size_t(stack.back().Node)] = White;
                stack.pop_back();
            }
            if (exposed) {
                // No clone link leads into the new nodes (it would have been missing), so they
                // are reached only through this node.
                const size_t known = index.Nodes.size();
                const int clonePosition = index.Nodes[size_t(clonePlace)];
                index.AddChildren(clonePosition);
                RemoveDanglingLinks(index, removed, known);
                colour.resize(index.Nodes.size(), White);
                stack.back().Next = TTreePositions::FirstChild(clonePosition);
                continue;
            }
            colour[size_t(stack.back().Node)] = Done;
            stack.pop_back();
        }
    }
}

} // namespace

int RemoveInvalidCloneReferences(TDecTreeNode* root)
{
    int removed = 0;
    if (!root)
        return 0;
    // Most documents have no clone at all.
    bool anyClone = false;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty() && !anyClone) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        anyClone = node->IsClone();
        for (TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    if (!anyClone)
        return 0;
    const TTreePositions tree(root);
    TOutsideIndex index(tree);
    RemoveDanglingLinks(index, removed);
    RemoveCycles(index, removed);
    return removed;
}
