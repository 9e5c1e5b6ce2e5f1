// The structural editing commands of the tree control and its attribute popup.

#include "Component/control/ControlStrings.h"
#include "Component/control/DecTree.h"

#include "Component/model/Clones.h"

#include <QAction>
#include <QMenu>

namespace {

// A node added under a master appears again under every clone of it (and of the clones that
// copy those), so one new node can mean millions; the tree is counted with the nodes in place
// before the edit is recorded.
bool AddingWouldExpandTooFar(TDecTreeNode* target, int count)
{
    for (int i = 0; i < count; ++i)
        target->Children.Add(std::make_unique<TDecTreeNode>(
            nullptr, target, Guid::NewGuid(), QString(), QString(), ntDecision, ctPercent, 0, 0, Guid::Empty(), true,
            false, false, false, false, false, false, false, QString(), QString(), -1, 0.0, QString()));
    const bool tooFar = ExpandsTooFar(target->GetRoot());
    for (int i = 0; i < count; ++i)
        target->Children.Delete(target->Children.Count() - 1);
    return tooFar;
}

} // namespace

void TDecTree::AddSubnodes(bool toParent)
{
    const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    if (nodes.size() != 1)
        return;
    TDecTreeNode* target = nodes.front();
    if (toParent && target->Parent())
        target = target->Parent();
    // A clone's children are rebuilt from its master on the next refresh: new nodes there would
    // be destroyed while the editor still works on them.
    if (target->IsCloneOrInsideClone())
        return;
    const int count = target->HasChildren() ? 1 : 2;
    if (AddingWouldExpandTooFar(target, count)) {
        Dialogs.Inform(this, CloneTexts::TooLarge);
        return;
    }
    FDocument->UndoManager.SaveState(ControlStrings::AddSubnodes);
    TDecTreeNode* first = nullptr;
    for (int i = 0; i < count; ++i) {
        const double probability = target->HasChildren() ? 0 : 100;
        auto node = std::make_unique<TDecTreeNode>(
            FDocument.get(), target, Guid::NewGuid(), QString(), QString(), ntDecision, ctPercent, probability, 0,
            Guid::Empty(), true, false, false, false, false, false, false, false, QString(), QString(), -1, 0.0,
            QString());
        if (!first)
            first = node.get();
        if (!target->ChildrenVisible)
            target->ChildrenVisible = true;
        target->Children.Add(std::move(node));
        Recalculate();
    }
    SelectNode(first, htOptionDescriptor);
    update();
    EditElement(false, 0);
    FNewSubnodes = true;
}

bool TDecTree::CanDeleteSelection() const
{
    const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    if (nodes.empty())
        return false;
    for (const TDecTreeNode* node : nodes)
        if (!node->Parent() || node->IsCloneOrInsideClone())
            return false;
    return true;
}

void TDecTree::DeleteSelectedNodes(bool ask)
{
    if (!CanDeleteSelection())
        return;
    const std::vector<TGuid> ids = GetSelectedNodeIds();
    for (const TGuid& id : ids) {
        TDecTreeNode* node = Root()->FindNodeById(id);
        if (!node)
            throw InvalidOperationException(ControlStrings::NodeNotFound);
        if (node->IsOrContainsCloneMaster()) {
            if (ask)
                Dialogs.Inform(this, ControlStrings::UnlinkClonesFirst);
            return;
        }
    }
    if (ask && !Dialogs.Confirm(this, ControlStrings::DeleteQuestion))
        return;
    // The edited node may be among those removed.
    CloseInlineEditor();
    FDocument->UndoManager.SaveState(ControlStrings::Remove);
    TGuid shallowestParent;
    int shallowestDepth = 0;
    for (const TGuid& id : ids) {
        TDecTreeNode* node = Root()->FindNodeById(id);
        if (!node)
            continue; // removed with an ancestor
        TDecTreeNode* parent = node->Parent();
        if (!parent)
            continue;
        const int depth = parent->GetDepth();
        if (shallowestDepth == 0 || depth < shallowestDepth) {
            shallowestDepth = depth;
            shallowestParent = parent->Id;
        }
        parent->Children.Remove(node);
        if (parent->HasChildren()) {
            double sum = 0;
            for (const TDecTreeNode* child : parent->Children)
                sum += child->Probability;
            if (sum == 0)
                parent->Children.Items(0)->Probability = 100;
        }
        Selection().Clear();
        Selection().Add(shallowestParent);
    }
    AdjustElementType(true);
    Recalculate();
}

// ---- Attribute popup -----------------------------------------------------------------------

TDecTreeNode* TDecTree::PopupNode() const
{
    if (!FHasPopupNode || !Root())
        return nullptr;
    return Root()->FindNodeById(FPopupNodeId);
}

void TDecTree::BuildAttributePopup(TDecTreeNode* node)
{
    FPopupNodeId = node->Id;
    FHasPopupNode = true;
    QMenu& menu = *FAttributePopup;
    menu.clear();
    const bool multi = node->NodeType == ntMultiDecision;
    const bool notChance = node->NodeType != ntChance;
    auto add = [&menu](const QString& name, const QString& caption, bool enabled, bool checked) {
        QAction* item = menu.addAction(caption);
        item->setObjectName(name);
        item->setEnabled(enabled);
        item->setCheckable(checked);
        item->setChecked(checked);
        return item;
    };
    add(ControlStrings::PopName, ControlStrings::ShowCaption, true, node->ShowsCaption());
    add(ControlStrings::PopBudget, ControlStrings::ShowBudget, multi, node->ShowsBudget());
    add(ControlStrings::PopInvestment, ControlStrings::ShowInvestment, multi, node->ShowsInvestment());
    add(ControlStrings::PopOwner, ControlStrings::ShowOwner, notChance, node->ShowsOwner());
    add(ControlStrings::PopDueDate, ControlStrings::ShowDueDate, notChance, node->ShowsDueDate());
    add(ControlStrings::PopFixed, ControlStrings::ShowMode, notChance, node->ShowsFixed());
    menu.addSeparator()->setObjectName(ControlStrings::PopSep);
    add(ControlStrings::PopShowAll, ControlStrings::ShowAll, true, false);
    add(ControlStrings::PopHideAll, ControlStrings::HideAll, true, false);
}

void TDecTree::PopupItemClick(QAction* item)
{
    TDecTreeNode* node = PopupNode();
    if (!item || !node)
        return;
    if (OnBeforeShowDecisionProperty)
        OnBeforeShowDecisionProperty(this);
    // The handler may have replaced the tree.
    node = PopupNode();
    if (!node)
        return;
    const QString name = item->objectName();
    if (name == ControlStrings::PopName)
        node->DecisionShowCaption = !node->ShowsCaption();
    else if (name == ControlStrings::PopOwner)
        node->DecisionShowOwner = !node->ShowsOwner();
    else if (name == ControlStrings::PopBudget)
        node->DecisionMultiShowBudget = !node->ShowsBudget();
    else if (name == ControlStrings::PopInvestment)
        node->DecisionMultiShowInvestment = !node->ShowsInvestment();
    else if (name == ControlStrings::PopDueDate)
        node->DecisionShowDueDate = !node->ShowsDueDate();
    else if (name == ControlStrings::PopFixed)
        node->DecisionShowFixed = !node->ShowsFixed();
    else if (name == ControlStrings::PopShowAll || name == ControlStrings::PopHideAll) {
        const bool show = name == ControlStrings::PopShowAll;
        node->DecisionShowCaption = node->DecisionShowOwner = node->DecisionShowDueDate = show;
        node->DecisionShowFixed = node->DecisionMultiShowBudget = node->DecisionMultiShowInvestment = show;
    }
    AdjustElementType(true);
    Recalculate();
}
