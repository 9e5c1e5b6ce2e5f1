#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"


TEST_F(DecTreeTest, InsertAddsTwoOptionsAndNamesThemOneAfterTheOther)
{
    BuildSample();
    Tree->SelectNode(B, htOptionDescriptor);
    Tree->setFocus();
    Key(Qt::Key_Insert);
    ASSERT_EQ(B->Children.Count(), 2);
    EXPECT_EQ(B->Children.Items(0)->Probability, 100);
    EXPECT_EQ(B->Children.Items(1)->Probability, 0);
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
