#include "DecTreeFixture.h"

#include "Component/draw/RecordingCanvas.h"

TEST_F(DecTreeTest, RecalculateComputesValuesSizesAndReports)
{
    BuildSample();
    int calculated = 0;
    Tree->OnCalculated = [&](TDecTree*) { ++calculated; };
    Tree->SetMinWidth(0);
    Tree->SetMinHeight(0);
    Tree->Recalculate();
    EXPECT_EQ(calculated, 1);
    EXPECT_TRUE(Root()->InTakenPath);
    // A: 0.6 × 5 = 3; the root takes A with its payoff of 1.
    EXPECT_DOUBLE_EQ(A->ExpectedValue, 3.0);
    EXPECT_DOUBLE_EQ(Root()->ExpectedValue, 4.0);
    EXPECT_EQ(Tree->height(), Root()->BoundsRect.Height + 12);
    EXPECT_EQ(Tree->width(), Root()->BoundsRect.Width);

    Tree->SetMinWidth(3000);
    Tree->SetMinHeight(2000);
    Tree->Recalculate();
    EXPECT_EQ(Tree->size(), QSize(3000, 2000));
}

TEST_F(DecTreeTest, HidingLevelsLeavesNoHiddenNodeSelected)
{
    BuildSample();
    Tree->SelectNode(A1, htPayoff);
    Tree->Selection().Add(B->Id);
    Tree->SetVisibleLevels(2);
    EXPECT_EQ(Selected(), Nodes{B});
    EXPECT_EQ(Tree->SelectionElementType(), htPayoff);
    Tree->SetVisibleLevels(0);
    Tree->SelectNode(A1, htPayoff);
    Tree->Selection().Add(A2->Id);
    Tree->SetVisibleLevels(2);
    EXPECT_EQ(Selected(), Nodes{A});
    Tree->SetVisibleLevels(1);
    EXPECT_EQ(Selected(), Nodes{Root()});
    EXPECT_EQ(Tree->SelectionElementType(), htSymbol); // the root has no payoff
    // Nothing hidden, nothing changes: the order of selecting stays.
    Tree->SetVisibleLevels(0);
    Tree->SelectNode(B, htOptionDescriptor);
    Tree->Selection().Add(A1->Id);
    Tree->SetVisibleLevels(0);
    EXPECT_EQ(Selected(), (Nodes{B, A1}));
}

TEST_F(DecTreeTest, PaintToCanvasDrawsTheTreeWithoutScreenMarks)
{
    BuildSample();
    TRecordingCanvas canvas;
    Tree->PaintToCanvas(canvas);
    bool sawCaption = false;
    for (const TCanvasCall& call : canvas.Calls())
        sawCaption = sawCaption || call.Text == QStringLiteral("A1");
    EXPECT_TRUE(sawCaption);
    // The glyphs of the expand marks are drawn only on the screen.
    for (const TCanvasCall& call : canvas.Calls())
        EXPECT_NE(call.Op, TCanvasOp::Draw);
}
