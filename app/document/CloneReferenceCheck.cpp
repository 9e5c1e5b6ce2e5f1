#include "app/document/CloneReferenceCheck.h"

#include "Component/model/DecTreeNode.h"

#include <unordered_map>
#include <vector>

namespace {

// The pre-order interval of every node of the tree, clones' children included, so that the
// ancestor test is constant-time whichever links are dropped on the way.
struct TTreeIntervals {
    std::unordered_map<const TDecTreeNode*, int> Start;
    std::vector<int> End; // by start: one past the last start of the node's subtree

    TTreeIntervals(TDecTreeNode* root, size_t expected)
    {
        Start.reserve(expected);
        End.reserve(expected);
        struct Item {
            TDecTreeNode* Node;
            bool Leave;
        };
        std::vector<Item> stack{{root, false}};
        while (!stack.empty()) {
            Item item = stack.back();
            stack.pop_back();
            if (item.Leave) {
                End[size_t(Start[item.Node])] = int(End.size());
                continue;
            }
            Start.emplace(item.Node, int(End.size()));
            End.push_back(0);
            stack.push_back({item.Node, true});
            for (int i = item.Node->Children.Count() - 1; i >= 0; --i)
                stack.push_back({item.Node->Children[i], false});
        }
    }

    bool IsAncestor(const TDecTreeNode* ancestor, const TDecTreeNode* node) const
    {
        int a = Start.at(ancestor), n = Start.at(node);
        return a < n && n < End[size_t(a)];
    }
};

// The nodes that are not inside a clone, and the holder of each id among them. Grows when a
// dropped link makes a node's own children count.
struct TOutsideIndex {
    std::vector<TDecTreeNode*> Nodes;
    std::unordered_map<const TDecTreeNode*, int> Position; // in Nodes
    std::unordered_map<TGuid, TDecTreeNode*> ById;

    TOutsideIndex(TDecTreeNode* root, size_t expected)
    {
        Nodes.reserve(expected);
        Position.reserve(expected);
        ById.reserve(expected);
        AddSubtree(root);
    }

    // The children of a node that has just stopped being a clone.
    void AddChildren(TDecTreeNode* node)
    {
        for (TDecTreeNode* child : node->Children)
            AddSubtree(child);
    }

private:
    void AddSubtree(TDecTreeNode* top)
    {
        std::vector<TDecTreeNode*> stack{top};
        while (!stack.empty()) {
            TDecTreeNode* node = stack.back();
            stack.pop_back();
            Position.emplace(node, int(Nodes.size()));
            Nodes.push_back(node);
            ById.emplace(node->Id, node);
            if (node->IsClone())
                continue;
            for (int i = node->Children.Count() - 1; i >= 0; --i)
                stack.push_back(node->Children[i]);
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
void RemoveDanglingLinks(TOutsideIndex& index, const TTreeIntervals& intervals, int& removed, size_t from = 0)
{
    for (size_t i = from; i < index.Nodes.size(); ++i) {
        TDecTreeNode* node = index.Nodes[i];
        if (!node->IsClone())
            continue;
        auto it = index.ById.find(node->CloneMasterId);
        TDecTreeNode* master = it == index.ById.end() ? nullptr : it->second;
        if (!master || master == node || intervals.IsAncestor(master, node))
            if (Unlink(node, removed))
                index.AddChildren(node);
    }
}

// A depth-first walk over the nodes outside clones in which a plain node leads to its children
// and a clone to its master. Reaching a node that is still open closes a cycle, which contains at
// least one clone link (the child links alone form a tree); the nearest such link on the walk's
// stack is dropped and the walk goes on from there. A node whose link is dropped and that has
// children of its own stays open and goes on as a plain node: its children join the index (their
// own links checked first) and are walked from it, so no cut makes the walk start over.
void RemoveCycles(TOutsideIndex& index, const TTreeIntervals& intervals, int& removed)
{
    enum : int8_t { White, Open, Done };
    std::vector<int8_t> colour(index.Nodes.size(), White);
    struct Frame {
        int Node;
        int Next; // next child; for a clone, 0 before and 1 after its master
    };
    std::vector<Frame> stack;

    auto masterOf = [&](TDecTreeNode* clone) { return index.Position.at(index.ById.at(clone->CloneMasterId)); };
    auto open = [&](int n) {
        colour[size_t(n)] = Open;
        stack.push_back({n, 0});
    };

    for (size_t start = 0; start < index.Nodes.size(); ++start) {
        if (colour[start] != White)
            continue;
        open(int(start));
        while (!stack.empty()) {
            Frame& frame = stack.back();
            TDecTreeNode* node = index.Nodes[size_t(frame.Node)];
            int target = -1;
            if (node->IsClone()) {
                if (frame.Next++ == 0)
                    target = masterOf(node);
            } else if (frame.Next < node->Children.Count()) {
                target = index.Position.at(node->Children[frame.Next++]);
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
            while (!index.Nodes[size_t(stack[size_t(cut)].Node)]->IsClone())
                --cut;
            TDecTreeNode* clone = index.Nodes[size_t(stack[size_t(cut)].Node)];
            const bool exposed = Unlink(clone, removed);
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
                index.AddChildren(clone);
                RemoveDanglingLinks(index, intervals, removed, known);
                colour.resize(index.Nodes.size(), White);
                stack.back().Next = 0;
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
    size_t count = 0;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        ++count;
        anyClone |= node->IsClone();
        for (TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    if (!anyClone)
        return 0;
    const TTreeIntervals intervals(root, count);
    TOutsideIndex index(root, count);
    RemoveDanglingLinks(index, intervals, removed);
    RemoveCycles(index, intervals, removed);
    return removed;
}
