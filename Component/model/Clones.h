#pragma once
// The answers with which linking a clone is refused (returned, never raised); the caller shows
// them in a warning box. The wording of the first seven is what users have always seen.

#include <QString>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "shared/core/Guid.h"

class TDecTreeNode;

namespace CloneTexts {
inline const QString SameNode = QStringLiteral("Master and cloned node must not be the same.");
inline const QString MasterIsSubnode = QStringLiteral("Master node must not be a subnode of the cloned node.");
inline const QString CloneIsSubnode = QStringLiteral("Cloned node must not be a subnode of the master node.");
inline const QString DescendsOfClone =
    QStringLiteral("Cannot define a node as clone if it descends of another clone.");
inline const QString ContainsMaster =
    QStringLiteral("Cannot define a node as clone if one of it's descendends is a clone master.");
inline const QString MasterNotFound = QStringLiteral("Clone master not found. Please set it again.");
inline const QString CloneOfClone = QStringLiteral("Cannot clone another clone.");
// The master lies inside a clone: it is a copy that the next recalculation replaces (with a
// new id), which would leave the new clone without a master.
inline const QString MasterInsideClone = QStringLiteral("Cannot clone a node inside another clone.");
// The master's subtree, followed through the clones nested in it, holds a clone of a node
// above this one: the clone would have to contain itself.
inline const QString WouldContainItself = QStringLiteral(
    "Cannot define a node as clone if the master contains a clone of one of its parent nodes.");
// A link or an edit after which a refresh would copy too much (see ExpandsTooFar).
inline const QString TooLarge = QStringLiteral("The clones would expand the tree by more than 400,000 copied nodes "
                                               "(or to more than 5,000,000 nodes). The change was not made.");
// A document after whose first refresh the tree would be too large: it is not opened.
inline const QString DocumentTooLarge = QStringLiteral(
    "The clones in this document would expand the tree by more than 400,000 copied nodes (or to more than "
    "5,000,000 nodes).");
} // namespace CloneTexts

// Every clone repeats its master's whole subtree, so a few levels of clones of clones multiply
// a small file into more nodes than memory holds. The copies are what is limited: an expanded node
// costs the program about 800 bytes and 1.5 microseconds to open (copied, valued, laid out), so a
// document of any small size opens within about half a second and 400 MB. The nodes a document
// holds itself cost what its file already weighs, and are only held below a sane ceiling.
constexpr int64_t MaxCloneCopies = 400000;
constexpr int64_t MaxTreeNodes = 5000000;

// The number of nodes the tree of root holds after RefreshClones, counted without copying
// anything; a count above cap stops early and answers cap + 1.
int64_t CountNodesAfterRefresh(TDecTreeNode* root, int64_t cap = MaxTreeNodes);

// Whether a refresh would copy more than MaxCloneCopies nodes into the clones, or make a tree of
// more than MaxTreeNodes.
bool ExpandsTooFar(TDecTreeNode* root);


// The masters of a tree's clones by id, each the node a search from the root finds (the first in
// depth-first pre-order that carries the id, inside clones too), for one pass over a tree that
// the pass does not change: the layout's measuring, a paint. The tree is walked once, at the
// first lookup; a pass that makes one asks for no master never pays for it. Outside such a pass
// nothing is kept, and each lookup searches the tree as it then stands. Not for several threads.
class TCloneMasters {
public:
    // For the tree that node belongs to.
    explicit TCloneMasters(const TDecTreeNode& node);
    TCloneMasters(const TCloneMasters&) = delete;
    TCloneMasters& operator=(const TCloneMasters&) = delete;

    // The node with this id; nullptr when the tree holds none.
    TDecTreeNode* Find(const TGuid& id) const;
    // The outline code, without its gap, of a master that lies inside no clone: what the codes
    // under its clones number on from, made once a pass. nullptr for a master inside a clone,
    // whose numbering depends on the walk that reached it.
    const QString* CodeOf(const TDecTreeNode& master) const;

private:
    void Build() const;

    TDecTreeNode* FRoot;
    mutable bool FBuilt = false;
    mutable std::unordered_map<const TDecTreeNode*, std::optional<QString>> FCodes;
    // Every id some clone of the tree names as its master, with the node that carries it.
    mutable std::unordered_map<TGuid, TDecTreeNode*> FMasters;
    mutable std::vector<uint64_t> FMaybe; // a bit per low id word: most ids need no hash lookup
};
