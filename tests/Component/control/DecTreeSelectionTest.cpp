#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"


TEST_F(DecTreeTest, SelectFromHitReplace)
{
    BuildSample();
    Tree->SelectFromHit(HitTestResult::Create(A1, htPayoff), TSelectMode::Replace);
    EXPECT_EQ(Selected(), Nodes{A1});
    EXPECT_EQ(Tree->SelectionElementType(), htPayoff);
    Tree->SelectFromHit(HitTestResult::Null(), TSelectMode::Replace);
    EXPECT_TRUE(Selected().empty());
    // The marks never change the selection.
    Tree->SelectNode(B, htOptionDescriptor);
    Tree->SelectFromHit(HitTestResult::Create(A, htPlusMinus), TSelectMode::Replace);
    EXPECT_EQ(Selected(), Nodes{B});
}

TEST_F(DecTreeTest, MouseClicksSelectAndCtrlClickTogglesOnRelease)
{
    BuildSample();
    Click(A1, htOptionDescriptor);
    EXPECT_EQ(Selected(), Nodes{A1});
    QTest::mousePress(Tree, Qt::LeftButton, Qt::ControlModifier, Center(A2, htOptionDescriptor));
    EXPECT_EQ(Selected(), Nodes{A1});
    QTest::mouseRelease(Tree, Qt::LeftButton, Qt::ControlModifier, Center(A2, htOptionDescriptor));
    EXPECT_EQ(Selected(), (Nodes{A1, A2}));
    // A right click inside the multiple selection keeps it; on empty space it clears it.
    Click(A1, htOptionDescriptor, {}, Qt::RightButton);
    EXPECT_EQ(Selected(), (Nodes{A1, A2}));
    QTest::mouseClick(Tree, Qt::RightButton, {}, QPoint(5, Tree->height() - 5));
    EXPECT_TRUE(Selected().empty());
}

TEST_F(DecTreeTest, BandSelectsTouchedNodesAndCtrlBandToggles)
{
    BuildSample();
    Tree->SelectNode(B, htOptionDescriptor);
    const TRectangle a1 = A1->ElementRects[htOptionDescriptor];
    const TRectangle a2 = A2->ElementRects[htOptionDescriptor];
    // From empty space left of A1 and A2 (just right of their column) to their middle.
    const QPoint start(std::max(a1.Right(), a2.Right()) + 3, a1.Top - 3);
    QTest::mousePress(Tree, Qt::LeftButton, {}, start);
    ASSERT_TRUE(Tree->HitTestAt(start).IsNull);
    QTest::mouseMove(Tree, QPoint(a1.Right() - 2, a1.Top + 2));
    EXPECT_EQ(Selected(), Nodes{A1});
    QTest::mouseMove(Tree, QPoint(a2.Right() - 2, a2.Bottom() - 2));
    EXPECT_EQ(Selected(), (Nodes{A1, A2}));
    QTest::mouseRelease(Tree, Qt::LeftButton, {}, QPoint(a2.Right() - 2, a2.Bottom() - 2));

    // With Ctrl the band adds to and removes from what was selected.
    Tree->SelectNode(A1, htOptionDescriptor);
    Tree->Selection().Add(B->Id);
    QTest::mousePress(Tree, Qt::LeftButton, Qt::ControlModifier, start);
    QTest::mouseMove(Tree, QPoint(a2.Right() - 2, a2.Bottom() - 2));
    QTest::mouseRelease(Tree, Qt::LeftButton, Qt::ControlModifier, QPoint(a2.Right() - 2, a2.Bottom() - 2));
    auto sel = Selected();
    EXPECT_EQ(sel.size(), 2u);
    EXPECT_NE(std::find(sel.begin(), sel.end(), B), sel.end());
    EXPECT_NE(std::find(sel.begin(), sel.end(), A2), sel.end());
}

TEST_F(DecTreeTest, HoverHints)
{
    BuildSample();
    QTest::mouseMove(Tree, Center(A1, htProbability));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintProbability);
    QTest::mouseMove(Tree, Center(B, htProbability));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintTakenOption);
    QTest::mouseMove(Tree, Center(B, htPayoff));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintPayoff);
    A2->Probability = 30;
    Tree->Recalculate();
    QTest::mouseMove(Tree, Center(A, htSymbol));
    EXPECT_EQ(Tree->Hint(), QStringLiteral("Probabilities don't add up to 100"));
    QTest::mouseMove(Tree, QPoint(3, Tree->height() - 3));
    EXPECT_EQ(Tree->Hint(), QString());
}
