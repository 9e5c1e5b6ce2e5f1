#include "DecTreeFixture.h"

#include "Component/draw/RecordingCanvas.h"

TEST_F(DecTreeTest, RecalculateComputesValuesSizesAndReports)
{
    BuildSample();
    int calculated = 0;
    Tree->OnCalculated = [&](TDecTree*) { ++calculated; };
    const QSize view = Tree->size();
    Tree->SetMinWidth(0);
    Tree->SetMinHeight(0);
    Tree->Recalculate();
    EXPECT_EQ(calculated, 1);
    EXPECT_TRUE(Root()->InTakenPath);
    EXPECT_EQ(Extent(), QSize(Root()->BoundsRect.Width, Root()->BoundsRect.Height + 12));

    Tree->SetMinWidth(3000);
    Tree->SetMinHeight(2000);
    Tree->Recalculate();
    EXPECT_EQ(Extent(), QSize(3000, 2000));
    // The control stays a window of the scroll box's size onto that area.
    EXPECT_EQ(Tree->size(), view);
    EXPECT_EQ(Tree->size(), Box->viewport()->size());
}

// Nothing hidden stays selected; when nothing is left, the node that hides the first is
// selected, with an element it has. Nothing hidden, nothing changes: the order of selecting stays.
TEST_F(DecTreeTest, HidingLevelsLeavesNoHiddenNodeSelected)
{
    BuildSample();
    struct Case { int Levels; const char *Select, *Selected; TNodeElementType After; };
    const Case cases[] = {{2, "A1,B", "B", htPayoff}, {2, "A1,A2", "A", htPayoff}, {1, "A1,A2", "Root", htSymbol},
                          {0, "B,A1", "B,A1", htPayoff}};
    for (const Case& c : cases) {
        Tree->SetVisibleLevels(0);
        SelectNames(QString::fromLatin1(c.Select), htPayoff);
        Tree->SetVisibleLevels(c.Levels);
        EXPECT_EQ(SelectedNames(), c.Selected);
        EXPECT_EQ(Tree->SelectionElementType(), c.After);
    }
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

// The view keeps what it learnt about a node's connectors only until the next layout: once
// another option is taken, its connector is painted in the taken look.
TEST_F(DecTreeTest, ConnectorsFollowAChangeOfTheTakenOption)
{
    for (int i = 0; i < 40; ++i)
        Add(Root(), QStringLiteral("Option %1").arg(i), ntDecision, i == 0 ? 100 : 0);
    // The taken connector in a colour of its own.
    constexpr QRgb Red = 0xFFFF0000u;
    TStyleStates& states = Tree->Document().StyleStates;
    for (auto [state, value] : {std::pair{states.InTakenPath(), 0x000000FF}, std::pair{states.NotInTakenPath(), 0}}) {
        auto* color = state->ConnectorLines()->LineColor();
        color->Value = TColor(value);
        color->Inherit = false;
    }
    Tree->Recalculate();
    QApplication::processEvents();
    // The root in the middle of the view, where every connector starts.
    Tree->ScrollTo(QPoint(0, Root()->ElementRects[htSymbol].Top - Tree->height() / 2));
    TDecTreeNode* option = Root()->Children[23];
    const QPoint from = ToClient(Root()->ElementRects[htSymbol].Center());
    const QPoint to = ToClient(option->ElementRects[htOptionDescriptor].LeftCenter());
    const QPoint middle = (from + to) / 2;
    ASSERT_TRUE(Tree->rect().contains(to));
    const auto redNearMiddle = [&] {
        const QImage shot = Tree->grab().toImage();
        for (int x = middle.x() - 3; x <= middle.x() + 3; ++x)
            if (shot.pixel(x, middle.y()) == Red)
                return true;
        return false;
    };
    EXPECT_FALSE(redNearMiddle());
    Root()->Children[0]->Probability = 0;
    option->Probability = 100;
    Tree->RecalculateTaken(*option);
    ASSERT_TRUE(option->InTakenPath);
    EXPECT_TRUE(redNearMiddle());
}
