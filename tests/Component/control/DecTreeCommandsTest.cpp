#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"

#include <QAction>
#include <QMenu>

namespace {
QAction* Item(TDecTree* tree, const QString& name)
{
    for (QAction* a : tree->AttributePopup()->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}
} // namespace

TEST_F(DecTreeTest, InsertAddsTwoOptionsAndNamesThemOneAfterTheOther)
{
    BuildSample();
    Tree->SelectNode(B, htOptionDescriptor);
    Tree->setFocus();
    Key(Qt::Key_Insert);
    ASSERT_EQ(B->Children.Count(), 2);
    EXPECT_EQ(B->Children.Items(0)->Probability, 100);
    EXPECT_EQ(B->Children.Items(1)->Probability, 0);
    EXPECT_EQ(B->Children.Items(0)->DecisionMultiBudget, -1);
    // Adding, then the title edit that opened on the first new option.
    ASSERT_EQ(Tree->UndoManager().UndoStack().size(), 2u);
    EXPECT_EQ(Tree->UndoManager().UndoStack()[0]->Description, ControlStrings::AddSubnodes);
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::EditTitle);
    EXPECT_EQ(Tree->EditedNode(), B->Children.Items(0));
    QTest::keyClicks(Tree->InlineEditor(), QStringLiteral("Yes"));
    Key(Qt::Key_Return);
    EXPECT_EQ(B->Children.Items(0)->Caption, QStringLiteral("Yes"));
    EXPECT_EQ(Tree->EditedNode(), B->Children.Items(1));
    QTest::keyClicks(Tree->InlineEditor(), QStringLiteral("No"));
    Key(Qt::Key_Return);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(B->Children.Items(1)->Caption, QStringLiteral("No"));

    // On a node with children one option is added, with probability 0.
    Tree->SelectNode(B, htOptionDescriptor);
    Key(Qt::Key_Insert);
    ASSERT_EQ(B->Children.Count(), 3);
    EXPECT_EQ(B->Children.Items(2)->Probability, 0);
    Key(Qt::Key_Escape);
    EXPECT_EQ(B->Children.Count(), 2);
    EXPECT_EQ(Selected(), Nodes{B});
}

TEST_F(DecTreeTest, EscapeAfterInsertRemovesBothNewNodesAndUndoRestores)
{
    BuildSample();
    Tree->SelectNode(A1, htOptionDescriptor);
    Tree->setFocus();
    Key(Qt::Key_Insert);
    ASSERT_EQ(A1->Children.Count(), 2);
    Key(Qt::Key_Escape);
    EXPECT_EQ(A1->Children.Count(), 0);
    EXPECT_EQ(Selected(), Nodes{A1});
    const TGuid a1 = A1->Id;
    Tree->UndoManager().Undo(); // the title edit
    Tree->UndoManager().Undo(); // adding
    EXPECT_EQ(Root()->FindNodeById(a1)->Children.Count(), 0);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
    Tree->UndoManager().Redo();
    EXPECT_EQ(Root()->FindNodeById(a1)->Children.Count(), 2);
}

TEST_F(DecTreeTest, ShiftInsertAddsSiblingsOrToTheRootItself)
{
    BuildSample();
    Tree->SelectNode(A1, htOptionDescriptor);
    Tree->setFocus();
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(A->Children.Count(), 3);
    Key(Qt::Key_Return);
    // On a lone root both new options go to the root.
    Tree->SetRoot(nullptr);
    Tree->Document().NewRoot();
    Tree->Recalculate();
    Tree->setFocus();
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Root()->Children.Count(), 2);
}

TEST_F(DecTreeTest, AddSubnodesNeedsOneSelectedNodeOutsideClones)
{
    BuildSample();
    Tree->SelectNode(A1, htOptionDescriptor);
    Tree->Selection().Add(A2->Id);
    Tree->AddSubnodes(false);
    EXPECT_EQ(A1->Children.Count(), 0);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
    QString error;
    B->SetCloneMaster(A->Id, error);
    Tree->Recalculate();
    Tree->SelectNode(B, htOptionDescriptor);
    Tree->AddSubnodes(false);
    Tree->SelectNode(B->Children.Items(0), htOptionDescriptor);
    Tree->AddSubnodes(false);
    Tree->AddSubnodes(true);
    EXPECT_EQ(B->Children.Count(), 2);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
}

TEST_F(DecTreeTest, DeleteRemovesNodesWithDescendantsAfterAsking)
{
    BuildSample();
    const TGuid a = A->Id, a1 = A1->Id;
    Tree->SelectNode(A, htOptionDescriptor);
    Tree->Selection().Add(A1->Id);
    Tree->setFocus();
    ConfirmAnswer = false;
    Key(Qt::Key_Delete);
    EXPECT_EQ(Questions, QStringList{ControlStrings::DeleteQuestion});
    EXPECT_EQ(Root()->Children.Count(), 2);
    ConfirmAnswer = true;
    Key(Qt::Key_Delete);
    EXPECT_EQ(Root()->Children.Count(), 1);
    EXPECT_EQ(Root()->FindNodeById(a1), nullptr);
    // B held 0 and is now the only option: it gets 100.
    EXPECT_EQ(Root()->Children.Items(0)->Probability, 100);
    EXPECT_EQ(Selected(), Nodes{Root()});
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::Remove);
    Tree->UndoManager().Undo();
    EXPECT_NE(Root()->FindNodeById(a), nullptr);
    EXPECT_NE(Root()->FindNodeById(a1), nullptr);
}

TEST_F(DecTreeTest, DeleteSelectsTheShallowestParent)
{
    BuildSample();
    Tree->SelectNode(A1, htOptionDescriptor);
    Tree->Selection().Add(B->Id);
    Tree->DeleteSelectedNodes(false);
    EXPECT_EQ(Selected(), Nodes{Root()});
    EXPECT_EQ(A->Children.Count(), 1);
}

TEST_F(DecTreeTest, DeleteIsRefusedForRootClonesAndMasters)
{
    BuildSample();
    Tree->SelectNode(Root(), htOptionDescriptor);
    EXPECT_FALSE(Tree->CanDeleteSelection());
    QString error;
    B->SetCloneMaster(A->Id, error);
    Tree->Recalculate();
    Tree->SelectNode(B->Children.Items(0), htOptionDescriptor);
    EXPECT_FALSE(Tree->CanDeleteSelection());
    Tree->SelectNode(B, htOptionDescriptor);
    EXPECT_FALSE(Tree->CanDeleteSelection());
    // A is the master of B.
    Tree->SelectNode(A, htOptionDescriptor);
    EXPECT_TRUE(Tree->CanDeleteSelection());
    Tree->DeleteSelectedNodes(true);
    EXPECT_EQ(Notices, QStringList{ControlStrings::UnlinkClonesFirst});
    EXPECT_TRUE(Questions.isEmpty());
    EXPECT_EQ(A->Children.Count(), 2);
    Tree->DeleteSelectedNodes(false);
    EXPECT_EQ(Notices.size(), 1);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
}

TEST_F(DecTreeTest, AttributePopupItemsFollowTheNode)
{
    BuildSample();
    Click(Root(), htRollUpDown);
    ASSERT_EQ(Tree->PopupNode(), Root());
    const QList<QAction*> items = Tree->AttributePopup()->actions();
    ASSERT_EQ(items.size(), 9);
    const QStringList captions = {ControlStrings::ShowCaption, ControlStrings::ShowBudget,
                                  ControlStrings::ShowInvestment, ControlStrings::ShowOwner,
                                  ControlStrings::ShowDueDate, ControlStrings::ShowMode, QString(),
                                  ControlStrings::ShowAll, ControlStrings::HideAll};
    for (int i = 0; i < 9; ++i) {
        if (i != 6) {
            EXPECT_EQ(items[i]->text(), captions[i]);
        }
    }
    EXPECT_TRUE(items[6]->isSeparator());
    EXPECT_FALSE(Item(Tree, ControlStrings::PopBudget)->isEnabled()); // not a multi-option decision
    EXPECT_TRUE(Item(Tree, ControlStrings::PopOwner)->isEnabled());
    EXPECT_FALSE(Item(Tree, ControlStrings::PopName)->isChecked());
    Tree->AttributePopup()->hide();

    int before = 0;
    Tree->OnBeforeShowDecisionProperty = [&](TDecTree*) {
        ++before;
        Tree->UndoManager().SaveState(QStringLiteral("Show"));
    };
    Tree->PopupItemClick(Item(Tree, ControlStrings::PopName));
    EXPECT_EQ(before, 1);
    EXPECT_TRUE(Root()->ShowsCaption());
    Tree->PopupItemClick(Item(Tree, ControlStrings::PopShowAll));
    EXPECT_TRUE(Root()->DecisionShowFixed && Root()->DecisionShowOwner && Root()->DecisionShowDueDate);
    Tree->SelectNode(Root(), htSymbolAttributeFixed);
    Tree->PopupItemClick(Item(Tree, ControlStrings::PopHideAll));
    EXPECT_FALSE(Root()->HasVisibleAttributes());
    // The mode line disappeared: the next valid element in Tab order, wrapping to the title.
    EXPECT_EQ(Tree->SelectionElementType(), htOptionDescriptor);
    // Undo replaces the tree: the popup node is forgotten.
    Tree->UndoManager().Undo();
    EXPECT_EQ(Tree->PopupNode(), nullptr);
    Tree->PopupItemClick(Item(Tree, ControlStrings::PopName));
    EXPECT_EQ(before, 3);
}

TEST_F(DecTreeTest, CloneAttributeMarkOpensNoPopup)
{
    BuildSample();
    QString error;
    B->SetCloneMaster(A->Id, error);
    Tree->Recalculate();
    Click(B, htRollUpDown);
    EXPECT_EQ(Tree->PopupNode(), nullptr);
}
