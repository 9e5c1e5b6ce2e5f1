#pragma once
// A node of a decision tree: at the same time the branch that leads to it from its parent (its
// text, probability or taken mark, payoff) and the fork that follows it (its type, decision
// attributes and children).
//
// Every operation that walks a subtree does so with an explicit stack: documents may hold chains
// far deeper than the call stack could follow.

#include "Component/model/DecTreeNodeList.h"
#include "Component/model/NodeStatus.h"
#include "Component/model/NodeTypes.h"
#include "Component/model/Rectangle.h"
#include "shared/core/Guid.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

class TCloneMasters;
class TDecTreeDocument;
struct TMultiOptionMemo;

class TDecTreeNode {
public:
    // The fields every value pass over the tree reads or writes share one cache line, so a
    // recalculation of a large document touches one line per node; the others follow in their
    // usual order.
    alignas(64) double Probability = 0; // percent; under a decision 100 = taken, 0 = not taken
    TCurrency Payoff = 0;                // units of 1/10000
    double ExpectedValue = 0;            // computed, currency units
    double MinValue = 0;                 // computed
    double MaxValue = 0;                 // computed
    double PathProbability = 0;          // computed on end nodes, a fraction
    double PathPayoff = 0;               // computed on end nodes, currency units
    int32_t DecisionMultiBudget = -1;    // whole currency units; -1: no limit
    TNodeType NodeType = ntDecision;
    TChanceType ChanceType = ctAnySum;
    bool DecisionFixed = false;
    bool InTakenPath = false; // computed

    TGuid Id;
    TGuid CloneMasterId; // the empty GUID: not a clone
    QString Caption;
    QString Comment;
    TDecTreeNodeList Children; // owning, in display order
    bool DecisionShowCaption = false;
    bool DecisionShowOwner = false;
    bool DecisionShowDueDate = false;
    bool DecisionShowFixed = false;
    bool DecisionMultiShowBudget = false;
    bool DecisionMultiShowInvestment = false;
    TDateTime DecisionDueDate = 0; // 0: none
    QString DecisionOwner;
    QString DecisionCaption;
    TDecTreeNode* FParent = nullptr; // not owned; nullptr at the root
    bool ChildrenVisible = false;
    // Computed: a clone's children are the copies its last refresh made, with ids of their own.
    bool CopiesFromRefresh = false;
    // The node's place in the latest undo snapshot of its tree: where the next capture looks for
    // its record when nodes before it came or went (a hint, checked before it is used).
    mutable uint32_t SnapshotPosition = UINT32_MAX;
    QString PayoffSource;
    TRectangle BoundsRect;                         // layout cache
    TRectangle ElementRects[NodeElementTypeCount]; // layout cache, one per TNodeElementType
    TDecTreeDocument* Tree = nullptr; // not owned; the document the whole tree belongs to

    TDecTreeNode(TDecTreeDocument* tree, TDecTreeNode* parent, const TGuid& id, const QString& caption,
                 const QString& comment, TNodeType nodeType, TChanceType chanceType, double probability,
                 TCurrency payoff, const TGuid& cloneMasterId, bool childrenVisible,
                 bool decisionShowCaption, bool decisionShowOwner, bool decisionShowDueDate,
                 bool decisionShowFixed, bool decisionMultiShowBudget, bool decisionMultiShowInvestment,
                 bool decisionFixed, const QString& decisionCaption, const QString& decisionOwner,
                 int32_t decisionMultiBudget, TDateTime decisionDueDate, const QString& payoffSource);
    ~TDecTreeNode();
    // Trees of nodes are made and freed whole (a clone refresh, an undo, a load). The heap seldom
    // hands a block it aligned itself out again once it is freed, so each node takes a plain block
    // with room to align it in, which the next node of the same size reuses.
    static void* operator new(std::size_t size, std::align_val_t align);
    static void operator delete(void* p, std::align_val_t align) noexcept;
    TDecTreeNode(const TDecTreeNode&) = delete;
    TDecTreeNode& operator=(const TDecTreeNode&) = delete;

    TDecTreeNode* Parent() const { return FParent; }
    void SetParent(TDecTreeNode* parent) { FParent = parent; }
    bool HasChildren() const { return Children.Count() > 0; }

    // Deep copy of the subtree; the caller adds it to newParent's children.
    std::unique_ptr<TDecTreeNode> Copy(TDecTreeNode* newParent, bool resetAttributes, bool newIds,
                                       const TDecTreeNode* templateNode) const;

    // Search and traversal.
    TDecTreeNode* FindNodeById(const TGuid& id);
    // This node and its descendants in depth-first pre-order, without clones and their subtrees.
    std::unique_ptr<TDecTreeNodeList> GetAllNodes();
    int GetDepth() const;      // 1 for the root
    int GetLevelCount() const; // 1 for an end node
    // The levels that show: 1 for this node, one more for each level of children below nodes
    // whose children are shown.
    int GetVisibleLevelCount() const;
    void SetLevelsVisible(int levels);
    // The node's outline code and the gap after it; empty when codes are off. A pass that asks
    // many nodes gives the masters it keeps (Clones.h); without them each clone met on the way up
    // is followed to its master by a search of the whole tree.
    QString GetOutlineCode(const TCloneMasters* masters = nullptr) const;
    bool IsSelected() const;
    // The root of the tree this node belongs to (this node when it has no parent).
    TDecTreeNode* GetRoot() const;

    // Effective show flags: what is shown is what these answer, never the raw fields.
    bool ShowsCaption() const;
    bool ShowsOwner() const;
    bool ShowsDueDate() const;
    bool ShowsFixed() const;
    bool ShowsBudget() const;
    bool ShowsInvestment() const;
    bool HasVisibleAttributes() const;
    bool HasCaptionAndAttributes() const;

    // Clone predicates.
    bool IsClone() const { return !CloneMasterId.IsEmpty(); }
    bool IsInsideClone() const;
    bool IsCloneOrInsideClone() const { return IsClone() || IsInsideClone(); }
    // The master of a clone, the corresponding node under the master for a node inside a clone,
    // the node itself otherwise; nullptr when the master (or the counterpart) is missing.
    TDecTreeNode* GetMasterNode();
    // For a node inside a clone, the node at the same place under the master of the outermost
    // clone around it (which may lie inside a clone of its own, when the master holds a clone);
    // the node itself otherwise; nullptr when the master or the counterpart is missing. Unlike
    // GetMasterNode, a clone nested in a clone answers the copy's original, not its own master.
    TDecTreeNode* GetMirroredNode();
    bool ContainsCloneOf(const TGuid& id) const;
    bool IsOrContainsCloneMaster() const;

    // Roll-back, path values and optimisation (RollBack.cpp, OptimizeDecisions.cpp).
    void RollBack();
    void CalculatePathValues(double probabilitySoFar, double payoffSoFar);
    void TakeOption();
    // Min and Max of the options' outcomes; sets the options' marks unless keepSelection.
    void EvaluateMultiOptionDecision(bool keepSelection, double& min, double& max);
    void OptimizeDecisions();

    // ---- Clones, status, checks and texts (Clones.cpp, NodeStatus.cpp) ----
    // Links this node as a clone of the node with masterId, or unlinks it with the empty GUID.
    // A change of master leaves the node without children of its own. A refused link changes
    // nothing and leaves the reason (CloneTexts, Clones.h) in errorText, empty otherwise.
    void SetCloneMaster(const TGuid& masterId, QString& errorText);
    // Rebuilds the children of every clone in the subtree from its master. Clones nested in a
    // master are refreshed before the clones that copy it, so one pass leaves every clone
    // current; a clone whose master is missing or which would contain itself gets no children.
    void RefreshClones();

    // For a chance node the total of its children's probabilities; 100 for any other node.
    double GetProbabilitySum() const;
    // What the taken options of a multi-option decision spend (raises EAssertionFailed on any
    // other node type).
    TCurrency GetInvestment() const;
    bool IsOverdue() const;
    QString GetBudgetText() const;
    QString GetInvestmentText() const;
    QString GetOwnerText() const;
    QString GetCaptionText() const;
    QString GetDueDateText() const;
    QString GetStatusText() const;
    // Appends the attribute-box lines, one per effective show flag.
    void GetAttributeLines(QStringList& lines) const;
    // The payoff to store: read from the workbook for an imported payoff, else Payoff.
    TCurrency GetPayoffValue(const QString& documentPath, QString& errorText) const;
    bool HasImportedPayoff() const;
    // The checks behind the symbol's warning mark and hint.
    bool HasProbabilityError() const;
    bool IsBudgetExceeded() const;
    TCurrency GetBudgetExcess() const; // 0 when not exceeded
    // The mark the painter draws on the symbol: the first of overdue, budget, probability sum.
    TNodeWarning GetWarning() const;
    // The symbol's hint: the probability or (in its place) the budget text, then the overdue
    // text on a line of its own ("\n" between them); empty when nothing is wrong.
    QString GetWarningHint() const;
    // ---- end of clones, status, checks and texts ----

    // The last budgeted solve of this node, keyed by its inputs (not copied, never saved).
    std::unique_ptr<TMultiOptionMemo> SolveMemo;
};
