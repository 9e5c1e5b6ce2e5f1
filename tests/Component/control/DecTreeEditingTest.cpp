#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"
#include "bench/support/RandomTree.h"

#include <random>
#include <vector>

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

namespace {

// The values and places of every node as the last recalculation left them.
std::vector<std::vector<double>> Results(TDecTreeDocument& doc)
{
    std::vector<std::vector<double>> out;
    for (TDecTreeNode* n : doc.PreOrder()) {
        std::vector<double> r{n->ExpectedValue, n->MinValue, n->MaxValue, double(n->InTakenPath)};
        if (!n->HasChildren())
            r.insert(r.end(), {n->PathProbability, n->PathPayoff});
        for (const TRectangle& e : n->ElementRects)
            r.insert(r.end(), {double(e.Left), double(e.Top), double(e.Width), double(e.Height)});
        r.insert(r.end(), {double(n->BoundsRect.Left), double(n->BoundsRect.Width)});
        out.push_back(r);
    }
    return out;
}

} // namespace

// Keystrokes typed into the editors of a tree with clones leave values and layout as a whole
// recalculation of the same tree makes them, also where an edit inside a master changes its clone.
TEST_F(DecTreeTest, KeystrokesLeaveTheTreeAsAWholeRecalculationDoes)
{
    TRandomTreeSettings settings;
    settings.Seed = 31;
    settings.NodeCount = 120;
    FillRandomDocument(Tree->Document(), settings);
    std::vector<TDecTreeNode*> nodes = Tree->Document().PreOrder();
    QString error;
    nodes[nodes.size() - 1]->SetCloneMaster(nodes[5]->Id, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    Tree->Recalculate();
    std::mt19937 random(5);
    const TNodeElementType elements[] = {htOptionDescriptor, htPayoff, htProbability};
    int edited = 0;
    for (int round = 0; round < 40; ++round) {
        nodes = Tree->Document().PreOrder();
        TDecTreeNode* node = nodes[random() % nodes.size()];
        Tree->SelectNode(node, elements[random() % 3]);
        if (!Tree->EditElement(false, 0))
            continue;
        ++edited;
        for (int k = 0; k < 4; ++k)
            QTest::keyClick(Tree->InlineEditor(), "15-0."[random() % 5]);
        const auto typed = Results(Tree->Document());
        Tree->Recalculate();
        ASSERT_EQ(typed, Results(Tree->Document())) << "round " << round;
    }
    EXPECT_GT(edited, 20);
}
