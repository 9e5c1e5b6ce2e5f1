#pragma once
// The one headless owner of a decision-tree document: the root node, the view settings and the
// selection. The tree control shows and edits a document; nothing here needs a widget, so the
// document is also what undo snapshots, the reader, the writer and the tests work on.

#include "Component/model/DecTreeNode.h"
#include "Component/model/DecTreeUndoManager.h"
#include "Component/model/TreeOptions.h"
#include "Component/styles/StyleStates.h"
#include "shared/core/PrivateArrayList.h"

#include <cstdint>
#include <memory>
#include <vector>

// A tree's nodes in depth-first pre-order with, for each position, the position of its parent
// (-1 for the root) and the size of its subtree: its first child, if any, is the next position,
// and the next sibling of a child c lies Sizes[c] further on.
struct TTreeOrder {
    std::vector<TDecTreeNode*> Nodes;
    std::vector<int32_t> Parents;
    std::vector<int32_t> Sizes;
    bool HasClones = false; // whether any of the nodes is a clone
};
// The order of root's tree (empty for none).
void BuildPreOrder(TDecTreeNode* root, TTreeOrder& order);

class TDecTreeDocument {
public:
    TDecTreeDocument();
    ~TDecTreeDocument();
    TDecTreeDocument(const TDecTreeDocument&) = delete;
    TDecTreeDocument& operator=(const TDecTreeDocument&) = delete;

    TDecTreeNode* Root() const { return FRoot.get(); }
    // Replaces (and destroys) the root; the new tree's nodes should have this document as Tree.
    void SetRoot(std::unique_ptr<TDecTreeNode> root);
    std::unique_ptr<TDecTreeNode> ReleaseRoot();
    // Root := a new node as a new document starts: caption "Root", comment "Right click for
    // options", a decision with chance type percent, probability 100, children visible, no budget;
    // the selection then holds the root alone.
    void NewRoot();

    TTreeOptions Options;
    TPrivateArrayList Selection{32, true}; // node ids in the order of selecting
    // The ids of the first selected node and of its ancestors, nearest first: where the selection
    // goes back to when a change takes its nodes away (empty when nothing is selected).
    std::vector<TGuid> SelectionAnchor();
    // The first node of anchor that is in the tree, or the root when none is, becomes the
    // selection; answers it (null for a document without a root).
    TDecTreeNode* SelectNearest(const std::vector<TGuid>& anchor);
    // The document's four style states; a new document has the default sheet.
    TStyleStates StyleStates;
    // Puts the style states back to the built-in look; recalculating is the caller's.
    void ResetDefaultStyles();
    // Snapshot undo of the tree, the options and the style states.
    TDecTreeUndoManager UndoManager{this};

    // The value passes of a recalculation, without layout and painting: the root is marked as
    // taken, the values are rolled back and the path values computed, with the results of
    // RollBack and CalculatePathValues on the root but in fewer walks over a large tree. The clone
    // refresh is the caller's, before this.
    void CalculateValues();

    // Raised by every change of a child list (TDecTreeNodeList::StructureChanged) and of the root;
    // the cached node order is rebuilt after any of them.
    void StructureChanged() { TDecTreeNodeList::StructureChanged(); }
    uint64_t StructureVersion() const { return TDecTreeNodeList::StructureVersion(); }
    // Every node under the root in depth-first pre-order, rebuilt after a structure change.
    const std::vector<TDecTreeNode*>& PreOrder();
    const TTreeOrder& Order()
    {
        PreOrder();
        return FOrder;
    }
    // For each position of PreOrder: the size of the node's subtree (its first child, if any, is
    // the next position, the next sibling of a child c lies SubtreeSizes[c] further on) and the
    // position of its parent (-1 for the root).
    const std::vector<int32_t>& SubtreeSizes();
    const std::vector<int32_t>& ParentPositions();
    // The position of node in PreOrder; -1 when it does not lie under the root.
    int32_t PositionOf(const TDecTreeNode& node);
    // Whether any node under the root is a clone. A link or an unlink changes the structure.
    bool HasClones();
    // Makes the cached order current again after the children of the nodes at these positions
    // (ascending, none inside the subtree of another) were replaced, when nothing else changed
    // since the order was current at structure version `before`: only the new subtrees are walked.
    // An order that was not current then is left to be made again when next asked for.
    void ChildrenReplaced(const std::vector<int32_t>& positions, uint64_t before);

private:
    std::unique_ptr<TDecTreeNode> FRoot;
    uint64_t FPreOrderVersion = 0;
    TTreeOrder FOrder;
};
