#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"

TEST_F(DecTreeTest, TypingOnASelectedElementReplacesItsValue)
{
    BuildSample();
    Tree->SelectNode(B, htPayoff);
    Tree->setFocus();
    Key(Qt::Key_7);
    ASSERT_TRUE(Tree->IsEditing());
    EXPECT_EQ(Tree->InlineEditor()->text(), QStringLiteral("7"));
    EXPECT_EQ(B->Payoff, 70000);
    QTest::keyClicks(Tree->InlineEditor(), QStringLiteral("5"));
    EXPECT_EQ(B->Payoff, 750000);
    Key(Qt::Key_Return);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(B->Payoff, 750000);
}

TEST_F(DecTreeTest, CaptionOwnerAndBudgetEdits)
{
    BuildSample();
    B->NodeType = ntMultiDecision;
    Add(B, QStringLiteral("B1"), ntDecision, 100, -10000);
    B->DecisionShowCaption = B->DecisionShowOwner = B->DecisionMultiShowBudget = true;
    Tree->Recalculate();
    // The attribute box edits its caption line.
    Tree->SelectNode(B, htSymbolAttributeBox);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->SelectionElementType(), htSymbolAttributeCaption);
    Tree->InlineEditor()->setText(QStringLiteral("Which"));
    EXPECT_EQ(B->DecisionCaption, QStringLiteral("Which"));

    Tree->SelectNode(B, htSymbolAttributeOwner);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("Ann"));
    EXPECT_EQ(B->DecisionOwner, QStringLiteral("Ann"));
    // The editor starts after the line's label.
    EXPECT_GT(Tree->InlineEditor()->x(), B->ElementRects[htSymbolAttributeOwner].Left);

    Tree->SelectNode(B, htSymbolAttributeMultiBudget);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->InlineEditor()->text(), QString()); // no limit
    Tree->InlineEditor()->setText(QStringLiteral("250"));
    EXPECT_EQ(B->DecisionMultiBudget, 250);
    Tree->InlineEditor()->setText(QStringLiteral("lots"));
    EXPECT_EQ(B->DecisionMultiBudget, -1);
    Key(Qt::Key_Escape);
    EXPECT_EQ(B->DecisionMultiBudget, -1);
}

TEST_F(DecTreeTest, TakingAnOptionOfAFixedDecisionAsksFirst)
{
    BuildSample();
    Root()->DecisionFixed = true;
    Tree->SelectNode(B, htProbability);
    ConfirmAnswer = false;
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_EQ(Questions, QStringList{ControlStrings::FixedDecisionQuestion});
    EXPECT_EQ(B->Probability, 0);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
    ConfirmAnswer = true;
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_EQ(B->Probability, 100);
    EXPECT_EQ(A->Probability, 0);
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::TakeToggleOption);
    // Giving back what is already taken does not ask.
    Questions.clear();
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_TRUE(Questions.isEmpty());
}

TEST_F(DecTreeTest, CtrlEnterCopiesAProbabilityOnlyToTheSameKindOfParent)
{
    BuildSample();
    Tree->SelectNode(A1, htProbability);
    Tree->Selection().Add(A2->Id);
    Tree->Selection().Add(B->Id);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("55"));
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(A2->Probability, 55);
    EXPECT_EQ(B->Probability, 0); // a decision's taken mark
}
