#pragma once
// What the node popup menu decides and does on the model, apart from the window: the captions
// and enabled states for a selection, the type changes, the path to take, moving and unlinking.
// The main window asks the user and records the undo steps; these only compute and change nodes.

#include "Component/model/DecTreeNode.h"
#include "Component/model/NodeTypes.h"

#include <QString>
#include <utility>
#include <vector>

// The four kinds a node can be turned into, in the order of the Type submenu.
enum class TNodeKind { DecisionChooseOne, DecisionChooseMultiple, ChancePercent, ChanceNumeric };

TNodeKind KindOf(const TDecTreeNode& node);

// The popup menu for the present selection.
struct TPopupState {
    QString EditCaption;
    QString AddCaption;
    QString TakeOptionCaption;
    bool Edit = false;
    bool EditPayoffAdvanced = false;
    bool Add = false;
    bool MoveUp = false;
    bool MoveDown = false;
    bool Remove = false;
    bool TakeOption = false;
    bool EditNodeTypeStyle = false;
    bool TakeThisPath = false;
    bool Type = false;
    bool Comment = false;
    bool DefineAsCloneMaster = false;
    bool DefineAsClone = false;
    bool UnlinkClone = false;
    bool OptimizeSubnodeDecisions = false;
    // The checked Type item (meaningful while Type is enabled).
    TNodeKind CheckedKind = TNodeKind::DecisionChooseOne;
};

// The symbol and its attribute box: the elements that stand for the node itself.
bool IsNodeElement(TNodeElementType element);

// selected: the selected nodes that exist; canEdit and canDelete: the tree's own answers;
// hasElementStyle: whether the single node has a style for the element.
TPopupState ComputePopupState(const std::vector<TDecTreeNode*>& selected, TNodeElementType element, bool canEdit,
                              bool canDelete, bool hasElementStyle);

// The undo action name of a change into kind.
QString NodeKindUndoName(TNodeKind kind);
// Turns the node into kind: a single-choice decision takes its child of the highest
// probability (the first of equal ones), a multiple-choice one takes every child of 50 or
// more; chance kinds keep the probabilities.
void ChangeNodeKind(TDecTreeNode& node, TNodeKind kind);

// The (option, decision-or-chance parent) pairs from the node up to the root that taking the
// node's path goes through. Inside a clone the choices belong to its master, so the walk starts
// at the node's counterpart under the master, climbs to the master, and goes on from the clone
// itself up to the root.
using TPathStep = std::pair<TDecTreeNode*, TDecTreeNode*>;
std::vector<TPathStep> GetTakePathSteps(TDecTreeNode& node);
// The fixed decisions on the path whose option is not taken yet.
int CountFixedDecisions(const std::vector<TPathStep>& steps);
// Takes every option on the path that isn't taken (a decision's child whose probability is
// not 100).
void TakePath(const std::vector<TPathStep>& steps);

// Exchanges the node with its previous (delta -1) or next (delta 1) sibling.
void MoveNode(TDecTreeNode& node, int delta);

// After unlinking a clone: its children are dropped, and when keep is set and the master is
// known, deep copies of the master's children with fresh ids take their place.
void ReplaceChildrenAfterUnlink(TDecTreeNode& node, const TDecTreeNode* master, bool keep);
