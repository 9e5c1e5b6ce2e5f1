// The node popup menu of the main window: its items, how they are set up for the selection
// each time the menu opens, and their commands.

#include "Component/control/DecTree.h"
#include "Component/draw/TreeLayout.h"
#include "Component/model/RollBack.h"
#include "app/AppStrings.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/NodeCommands.h"
#include "app/OptimizeReport.h"
#include "app/forms/TreePropertiesFormUnit.h"

#include <QActionGroup>
#include <QMenu>

void TMainForm::CreatePopupMenu()
{
    using namespace AppStrings;
    PopupMenu = new QMenu(this);
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] { RunCommand([this] { PopupMenuPopup(); }); });

    PopupEditMenuItem = AddAction(PopupMenu, PopupEdit, PopupHintEdit, [this] { PopupEditMenuItemClick(); });
    PopupMenu->setDefaultAction(PopupEditMenuItem);
    PopupEditPayoffAdvancedMenuItem = AddAction(PopupMenu, AppStrings::PopupEditPayoffAdvanced, QString(),
                                                [this] { GetTree()->EditElement(true, 0); });
    PopupAddChildMenuItem =
        AddAction(PopupMenu, AppStrings::PopupAddChild, PopupHintAddChild, [this] { PopupAddChildMenuItemClick(); });
    PopupMenu->addSeparator();
    PopupMoveUpMenuItem =
        AddAction(PopupMenu, AppStrings::PopupMoveUp, PopupHintMoveUp, [this] { PopupMoveUpMenuItemClick(); });
    PopupMoveDownMenuItem =
        AddAction(PopupMenu, AppStrings::PopupMoveDown, PopupHintMoveDown, [this] { PopupMoveDownMenuItemClick(); });
    PopupMenu->addSeparator();
    PopupRemoveMenuItem =
        AddAction(PopupMenu, AppStrings::PopupRemove, PopupHintRemove, [this] { PopupRemoveMenuItemClick(); });
    PopupMenu->addSeparator();
    PopupEditNodeTypeStyleMenuItem = AddAction(PopupMenu, AppStrings::PopupEditNodeTypeStyle, QString(),
                                               [this] { PopupEditNodeTypeStyleMenuItemClick(); });
    PopupMenu->addSeparator();

    PopupTypeMenu = PopupMenu->addMenu(AppStrings::PopupType);
    PopupTypeMenuItem = PopupTypeMenu->menuAction();
    auto* typeGroup = new QActionGroup(PopupTypeMenu);
    typeGroup->setExclusive(true);
    auto addType = [&](const QString& caption, const QString& hint, TNodeKind kind) {
        QAction* item = PopupTypeMenu->addAction(caption);
        SetHint(item, hint);
        item->setCheckable(true);
        item->setData(int(kind));
        typeGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { RunCommand([&] { PopupTypeMenuItemClick(item); }); });
        return item;
    };
    PopupTypeDecisionChooseOneMenuItem =
        addType(PopupTypeDecisionChooseOne, PopupHintDecisionChooseOne, TNodeKind::DecisionChooseOne);
    PopupTypeDecisionChooseMultipleMenuItem =
        addType(PopupTypeDecisionChooseMultiple, PopupHintDecisionChooseMultiple, TNodeKind::DecisionChooseMultiple);
    PopupTypeChancePercentMenuItem = addType(PopupTypeChancePercent, PopupHintChancePercent, TNodeKind::ChancePercent);
    PopupTypeChanceNumericMenuItem = addType(PopupTypeChanceNumeric, PopupHintChanceNumeric, TNodeKind::ChanceNumeric);

    PopupTakeOptionMenuItem =
        AddAction(PopupMenu, AppStrings::PopupTakeOption, PopupHintTakeOption, [this] { PopupTakeOptionMenuItemClick(); });
    PopupTakeThisPathMenuItem =
        AddAction(PopupMenu, AppStrings::PopupTakeThisPath, QString(), [this] { PopupTakeThisPathMenuItemClick(); });
    PopupMenu->addSeparator();
    PopupDefineAsCloneMasterMenuItem = AddAction(PopupMenu, AppStrings::PopupDefineAsCloneMaster,
                                                 PopupHintDefineAsCloneMaster,
                                                 [this] { PopupDefineAsCloneMasterMenuItemClick(); });
    PopupDefineAsCloneOfMenuItem = AddAction(PopupMenu, AppStrings::PopupDefineAsClone, PopupHintDefineAsClone,
                                             [this] { PopupDefineAsCloneOfMenuItemClick(); });
    PopupUnlinkCloneMenuItem = AddAction(PopupMenu, AppStrings::PopupUnlinkClone, PopupHintUnlinkClone,
                                         [this] { PopupUnlinkCloneMenuItemClick(); });
    PopupMenu->addSeparator();
    PopupOptimizeSubnodeDecisionsMenuItem =
        AddAction(PopupMenu, AppStrings::PopupOptimizeSubnodeDecisions, PopupHintOptimizeSubnodeDecisions,
                  [this] { PopupOptimizeSubnodeDecisionsMenuItemClick(); });
    PopupMenu->addSeparator();
    PopupCommentMenuItem =
        AddAction(PopupMenu, AppStrings::PopupComment, PopupHintComment, [this] { PopupCommentMenuItemClick(); });
}

void TMainForm::PopupMenuPopup()
{
    TDecTree* tree = GetTree();
    tree->CloseInlineEditor();
    const TNodeElementType element = tree->SelectionElementType();
    TDecTreeNode* single = tree->GetSingleSelectedNode();
    const TPopupState s = ComputePopupState(tree->GetSelectedNodes(), element, tree->CanEditSelection(),
                                            tree->CanDeleteSelection(), single && GetElementStyle(*single, element));
    PopupEditMenuItem->setText(s.EditCaption);
    PopupAddChildMenuItem->setText(s.AddCaption);
    PopupEditMenuItem->setEnabled(s.Edit);
    PopupEditPayoffAdvancedMenuItem->setEnabled(s.EditPayoffAdvanced);
    PopupAddChildMenuItem->setEnabled(s.Add);
    PopupMoveUpMenuItem->setEnabled(s.MoveUp);
    PopupMoveDownMenuItem->setEnabled(s.MoveDown);
    PopupRemoveMenuItem->setEnabled(s.Remove);
    PopupTakeOptionMenuItem->setEnabled(s.TakeOption);
    PopupEditNodeTypeStyleMenuItem->setEnabled(s.EditNodeTypeStyle);
    PopupTakeThisPathMenuItem->setEnabled(s.TakeThisPath);
    PopupTypeMenuItem->setEnabled(s.Type);
    PopupCommentMenuItem->setEnabled(s.Comment);
    PopupDefineAsCloneMasterMenuItem->setEnabled(s.DefineAsCloneMaster);
    PopupDefineAsCloneOfMenuItem->setEnabled(s.DefineAsClone);
    PopupUnlinkCloneMenuItem->setEnabled(s.UnlinkClone);
    PopupOptimizeSubnodeDecisionsMenuItem->setEnabled(s.OptimizeSubnodeDecisions);
    PopupTakeOptionMenuItem->setText(s.TakeOptionCaption);
    if (s.Type) {
        PopupTypeDecisionChooseOneMenuItem->setChecked(s.CheckedKind == TNodeKind::DecisionChooseOne);
        PopupTypeDecisionChooseMultipleMenuItem->setChecked(s.CheckedKind == TNodeKind::DecisionChooseMultiple);
        PopupTypeChancePercentMenuItem->setChecked(s.CheckedKind == TNodeKind::ChancePercent);
        PopupTypeChanceNumericMenuItem->setChecked(s.CheckedKind == TNodeKind::ChanceNumeric);
    }
}

void TMainForm::PopupEditMenuItemClick()
{
    GetTree()->EditElement(false, 0);
}

void TMainForm::PopupAddChildMenuItemClick()
{
    GetTree()->AddSubnodes(false);
}

void TMainForm::PopupMoveUpMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    SaveUndoState(AppStrings::UndoMoveUp);
    MoveNode(*node, -1);
    GetTree()->Recalculate();
}

void TMainForm::PopupMoveDownMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    // Users have always seen this step as "Move up" too.
    SaveUndoState(AppStrings::UndoMoveUp);
    MoveNode(*node, 1);
    GetTree()->Recalculate();
}

void TMainForm::PopupRemoveMenuItemClick()
{
    GetTree()->DeleteSelectedNodes(true);
}

void TMainForm::PopupTypeMenuItemClick(QAction* sender)
{
    TDecTreeNode* node = GetSingleSelectedNode();
    const auto kind = TNodeKind(sender->data().toInt());
    // The radio item is checked by the time its click arrives; what counts is the node's kind.
    if (KindOf(*node) == kind)
        return;
    SaveUndoState(NodeKindUndoName(kind));
    ChangeNodeKind(*node, kind);
    GetTree()->Recalculate();
}

void TMainForm::PopupTakeOptionMenuItemClick()
{
    TDecTree* tree = GetTree();
    const TNodeElementType element = tree->SelectionElementType();
    tree->SetSelectionElementType(htProbability);
    tree->EditElement(false, 0);
    tree->SetSelectionElementType(element);
}

void TMainForm::PopupTakeThisPathMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    SaveUndoState(AppStrings::UndoTakePath);
    const std::vector<TPathStep> steps = GetTakePathSteps(*node);
    const int fixed = CountFixedDecisions(steps);
    if (fixed > 0) {
        const QString text = (fixed == 1 ? AppStrings::OneFixedDecision : AppStrings::SeveralFixedDecisions.arg(fixed)) +
                             QStringLiteral("\r\r") + AppStrings::Proceed;
        if (MessageDlg(this, text, TMsgDlgType::Confirmation, mbYesNo) != TModalResult::Yes)
            return;
    }
    TakePath(steps);
    GetTree()->Recalculate();
}

void TMainForm::PopupDefineAsCloneMasterMenuItemClick()
{
    FPendingCloneMaster = GetSingleSelectedNode()->Id;
    MessageDlg(this, AppStrings::CloneMasterSet, TMsgDlgType::Information, mbOK);
}

void TMainForm::PopupDefineAsCloneOfMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    if (FPendingCloneMaster.IsEmpty()) {
        MessageDlg(this, AppStrings::CloneMasterNotSet, TMsgDlgType::Information, mbOK);
        return;
    }
    SaveUndoState(AppStrings::UndoClone);
    QString error;
    node->SetCloneMaster(FPendingCloneMaster, error);
    if (!error.isEmpty())
        MessageDlg(this, error, TMsgDlgType::Warning, mbOK);
    else
        GetTree()->Recalculate();
}

void TMainForm::PopupUnlinkCloneMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    TDecTree* tree = GetTree();
    SaveUndoState(AppStrings::UndoUnlinkClone);
    bool keep;
    switch (MessageDlg(this, AppStrings::UnlinkCloneQuestion, TMsgDlgType::Confirmation, mbYesNoCancel)) {
    case TModalResult::Yes: keep = true; break;
    case TModalResult::No: keep = false; break;
    default: return;
    }
    const TDecTreeNode* master = tree->Root()->FindNodeById(node->CloneMasterId);
    QString error;
    node->SetCloneMaster(TGuid(), error);
    if (!error.isEmpty()) {
        MessageDlg(this, error, TMsgDlgType::Warning, mbOK);
        return;
    }
    ReplaceChildrenAfterUnlink(*node, master, keep);
    tree->Recalculate();
}

void TMainForm::PopupOptimizeSubnodeDecisionsMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    TDecTree* tree = GetTree();
    if (!tree->Options().ShowPayoff) {
        MessageDlg(this, AppStrings::CannotOptimize, TMsgDlgType::Information, mbOK);
        return;
    }
    SaveUndoState(AppStrings::UndoFindOptimalPath);
    node->OptimizeDecisions();
    const int unsolved = CountUnsolvedMultiOptions(*node);
    tree->Recalculate();
    ReportUnsolvedDecisions(this, unsolved);
}

void TMainForm::PopupCommentMenuItemClick()
{
    TDecTreeNode* node = GetSingleSelectedNode();
    const TCommentResult result = ExecuteCommentDialog(node->Comment);
    if (!result.Changed)
        return;
    SaveUndoState(AppStrings::UndoChangeComment);
    node->Comment = result.Text;
    GetTree()->Recalculate();
}

void TMainForm::PopupEditNodeTypeStyleMenuItemClick()
{
    TreePropertiesForm->ShowStyleInTreeProperties(
        GetElementStyle(*GetSingleSelectedNode(), GetTree()->SelectionElementType()));
}
