#include "app/NodeCommands.h"

#include "app/AppStrings.h"
#include "shared/core/Exceptions.h"

TNodeKind KindOf(const TDecTreeNode& node)
{
    switch (node.NodeType) {
    case ntDecision: return TNodeKind::DecisionChooseOne;
    case ntMultiDecision: return TNodeKind::DecisionChooseMultiple;
    case ntChance: break;
    }
    return node.ChanceType == ctPercent ? TNodeKind::ChancePercent : TNodeKind::ChanceNumeric;
}

bool IsNodeElement(TNodeElementType element)
{
    switch (element) {
    case htSymbol:
    case htSymbolAttributeBox:
    case htSymbolAttributeCaption:
    case htSymbolAttributeOwner:
    case htSymbolAttributeMultiBudget:
    case htSymbolAttributeMultiInvestment:
    case htSymbolAttributeDueDate:
    case htSymbolAttributeFixed: return true;
    default: return false;
    }
}

namespace {

QString EditCaptionFor(TNodeElementType element)
{
    switch (element) {
    case htOptionDescriptor: return AppStrings::PopupEditTitle;
    case htProbability: return AppStrings::PopupEditProbability;
    case htPayoff: return AppStrings::PopupEditPayoff;
    case htSymbolAttributeBox:
    case htSymbolAttributeCaption: return AppStrings::PopupEditCaption;
    case htSymbolAttributeOwner: return AppStrings::PopupEditDecisionOwner;
    case htSymbolAttributeMultiBudget: return AppStrings::PopupEditBudget;
    case htSymbolAttributeDueDate: return AppStrings::PopupEditDecisionDueDate;
    case htSymbolAttributeFixed: return AppStrings::PopupToggleMode;
    default: return AppStrings::PopupEdit;
    }
}

} // namespace

TPopupState ComputePopupState(const std::vector<TDecTreeNode*>& selected, TNodeElementType element, bool canEdit,
                              bool canDelete, bool hasElementStyle)
{
    TPopupState s;
    const int count = int(selected.size());
    bool anyClone = false, anyInsideClone = false, allHaveChildren = true;
    for (const TDecTreeNode* node : selected) {
        anyClone = anyClone || node->IsClone();
        anyInsideClone = anyInsideClone || node->IsInsideClone();
        allHaveChildren = allHaveChildren && node->HasChildren();
    }
    TDecTreeNode* single = count == 1 ? selected.front() : nullptr;
    TDecTreeNode* parent = single ? single->Parent() : nullptr;
    const bool nodeElement = IsNodeElement(element);
    const bool singleHasChildren = single && single->HasChildren();

    s.EditCaption = EditCaptionFor(element);
    if (count == 0)
        s.AddCaption = AppStrings::PopupAdd;
    else if (element == htOptionDescriptor)
        s.AddCaption = singleHasChildren ? AppStrings::PopupAddSubnode : AppStrings::PopupAddSubnodes;
    else if (nodeElement)
        s.AddCaption = singleHasChildren ? AppStrings::PopupAddBranch : AppStrings::PopupAddBranches;
    else
        s.AddCaption = AppStrings::PopupAdd;

    const int index = parent ? parent->Children.IndexOf(single) : -1;
    s.Edit = canEdit;
    s.EditPayoffAdvanced = single && !anyInsideClone && element == htPayoff;
    s.Add = single && !anyInsideClone && !anyClone && (element == htOptionDescriptor || nodeElement);
    s.MoveUp = parent && index >= 1 && !anyInsideClone;
    s.MoveDown = parent && index < parent->Children.Count() - 1 && !anyInsideClone;
    s.Remove = canDelete;
    s.TakeOption = parent && (parent->NodeType == ntDecision || parent->NodeType == ntMultiDecision) && !anyInsideClone;
    s.EditNodeTypeStyle = single && hasElementStyle;
    s.TakeThisPath = parent != nullptr;
    s.Type = single && allHaveChildren && !anyClone && !anyInsideClone && nodeElement;
    s.Comment = element == htOptionDescriptor && single && !anyInsideClone;
    s.DefineAsCloneMaster = single && !anyInsideClone && !anyClone && nodeElement;
    s.DefineAsClone = single && !anyClone && !anyInsideClone && nodeElement;
    s.UnlinkClone = single && anyClone && nodeElement;
    s.OptimizeSubnodeDecisions = single && allHaveChildren && !anyClone && !anyInsideClone;

    s.TakeOptionCaption = s.TakeOption && parent->NodeType == ntMultiDecision ? AppStrings::PopupToggleOption
                                                                              : AppStrings::PopupTakeOption;
    if (single)
        s.CheckedKind = KindOf(*single);
    return s;
}

QString NodeKindUndoName(TNodeKind kind)
{
    switch (kind) {
    case TNodeKind::DecisionChooseOne: return AppStrings::UndoChangeToDecisionChooseOne;
    case TNodeKind::DecisionChooseMultiple: return AppStrings::UndoChangeToDecisionChooseMultiple;
    case TNodeKind::ChancePercent: return AppStrings::UndoChangeToChancePercent;
    case TNodeKind::ChanceNumeric: return AppStrings::UndoChangeToChanceNumeric;
    }
    return QString();
}

void ChangeNodeKind(TDecTreeNode& node, TNodeKind kind)
{
    switch (kind) {
    case TNodeKind::DecisionChooseOne: {
        node.NodeType = ntDecision;
        TDecTreeNode* best = nullptr;
        for (TDecTreeNode* child : node.Children)
            if (!best || child->Probability > best->Probability)
                best = child;
        for (TDecTreeNode* child : node.Children)
            child->Probability = child == best ? 100 : 0;
        break;
    }
    case TNodeKind::DecisionChooseMultiple:
        node.NodeType = ntMultiDecision;
        for (TDecTreeNode* child : node.Children)
            child->Probability = child->Probability >= 50 ? 100 : 0;
        break;
    case TNodeKind::ChancePercent:
        node.NodeType = ntChance;
        node.ChanceType = ctPercent;
        break;
    case TNodeKind::ChanceNumeric:
        node.NodeType = ntChance;
        node.ChanceType = ctAnySum;
        break;
    }
}

namespace {

void AppendSteps(TDecTreeNode* from, const TDecTreeNode* stop, std::vector<TPathStep>& steps)
{
    for (TDecTreeNode* child = from; child != stop && child->Parent(); child = child->Parent())
        steps.emplace_back(child, child->Parent());
}

} // namespace

std::vector<TPathStep> GetTakePathSteps(TDecTreeNode& node)
{
    std::vector<TPathStep> steps;
    TDecTreeNode* clone = nullptr;
    for (TDecTreeNode* a = node.Parent(); a; a = a->Parent())
        if (a->IsClone())
            clone = a;
    TDecTreeNode* master = clone ? clone->GetMasterNode() : nullptr;
    TDecTreeNode* counterpart = clone ? node.GetMirroredNode() : nullptr;
    if (!master || !counterpart) {
        AppendSteps(&node, nullptr, steps);
        return steps;
    }
    AppendSteps(counterpart, master, steps);
    AppendSteps(clone, nullptr, steps);
    return steps;
}

int CountFixedDecisions(const std::vector<TPathStep>& steps)
{
    int count = 0;
    for (const auto& [child, parent] : steps)
        if (parent->DecisionFixed && child->Probability != 100)
            ++count;
    return count;
}

void TakePath(const std::vector<TPathStep>& steps)
{
    for (const auto& [child, parent] : steps)
        if ((parent->NodeType == ntDecision || parent->NodeType == ntMultiDecision) && child->Probability != 100)
            child->TakeOption();
}

void MoveNode(TDecTreeNode& node, int delta)
{
    TDecTreeNode* parent = node.Parent();
    if (!parent)
        throw InvalidOperationException(QStringLiteral("The root node cannot be moved"));
    const int index = parent->Children.IndexOf(&node);
    parent->Children.Exchange(index, index + delta);
}

void ReplaceChildrenAfterUnlink(TDecTreeNode& node, const TDecTreeNode* master, bool keep)
{
    node.Children.Clear();
    if (!keep || !master)
        return;
    for (const TDecTreeNode* child : master->Children)
        node.Children.Add(child->Copy(&node, false, true, nullptr));
}
