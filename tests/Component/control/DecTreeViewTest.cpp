#include "DecTreeFixture.h"

#include "Component/draw/RecordingCanvas.h"

TEST(DecTreeNew, HasOneSelectedRootAndDefaultSize)
{
    TDecTree tree;
    ASSERT_NE(tree.Root(), nullptr);
    EXPECT_EQ(tree.Root()->Caption, QStringLiteral("Root"));
    EXPECT_EQ(tree.Root()->Comment, QStringLiteral("Right click for options"));
    EXPECT_EQ(tree.Root()->DecisionMultiBudget, -1);
    EXPECT_TRUE(tree.Root()->ChildrenVisible);
    EXPECT_EQ(tree.GetSelectedNodes(), Nodes{tree.Root()});
    EXPECT_EQ(tree.SelectionElementType(), htOptionDescriptor);
    EXPECT_EQ(tree.size(), QSize(100, 100));
    EXPECT_EQ(tree.BorderSize, 10);
    EXPECT_EQ(tree.Options(), TTreeOptions());
    EXPECT_FALSE(tree.UndoManager().CanUndo());
}

TEST_F(DecTreeTest, RecalculateComputesValuesSizesAndReports)
{
    BuildSample();
    int calculated = 0;
    Tree->OnCalculated = [&](TDecTree* sender) {
        EXPECT_EQ(sender, Tree);
        ++calculated;
    };
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

TEST_F(DecTreeTest, ScrollBoxKeepsTreeAtLeastAsLargeAsItsViewport)
{
    EXPECT_GE(Tree->width(), Box->viewport()->width());
    EXPECT_GE(Tree->height(), Box->viewport()->height());
    Box->resize(1200, 900);
    EXPECT_EQ(Tree->MinWidth(), Box->viewport()->width());
    EXPECT_GE(Tree->height(), Box->viewport()->height());
}

TEST_F(DecTreeTest, VisibleLevelsZeroExpandsAll)
{
    BuildSample();
    EXPECT_EQ(Tree->GetLevels(), 3);
    Tree->SetVisibleLevels(1);
    EXPECT_FALSE(Root()->ChildrenVisible);
    Tree->SetVisibleLevels(0);
    EXPECT_TRUE(Root()->ChildrenVisible);
    EXPECT_TRUE(A->ChildrenVisible);
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

TEST_F(DecTreeTest, UndoThatCollapsesANodeLeavesNoHiddenNodeSelected)
{
    BuildSample();
    const TGuid a = A->Id;
    A->ChildrenVisible = false;
    Tree->Recalculate();
    Tree->UndoManager().SaveState(QStringLiteral("Expand"));
    A->ChildrenVisible = true;
    Tree->Recalculate();
    Tree->SelectNode(A1, htOptionDescriptor);
    Tree->UndoManager().Undo();
    EXPECT_EQ(Selected(), Nodes{Root()->FindNodeById(a)});
    // Delete now asks about the node the user sees.
    Tree->setFocus();
    ConfirmAnswer = false;
    Key(Qt::Key_Delete);
    EXPECT_EQ(Root()->FindNodeById(a)->Children.Count(), 2);
}

TEST_F(DecTreeTest, BackBufferGrowsButNeverShrinks)
{
    const QSize before = Tree->BackBufferSize();
    Box->resize(1400, 1000);
    const QSize grown = Tree->BackBufferSize();
    EXPECT_GE(grown.width(), Box->viewport()->width());
    EXPECT_GE(grown.height(), Box->viewport()->height());
    EXPECT_GE(grown.width(), before.width());
    Box->resize(300, 200);
    EXPECT_EQ(Tree->BackBufferSize(), grown);
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

TEST_F(DecTreeTest, BandIsBlendedIntoTheDrawing)
{
    BuildSample();
    // A band over empty space far below the tree.
    const QPoint start(20, Root()->BoundsRect.Bottom() + 60);
    const QPoint end = start + QPoint(40, 30);
    QTest::mousePress(Tree, Qt::LeftButton, {}, start);
    QTest::mouseMove(Tree, end);
    ASSERT_TRUE(Tree->BandActive());
    const QImage image = Tree->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // White under the band's inside: 255 × 190 >> 8 plus the band colour's share.
    const QRgb inside = image.pixel(start + QPoint(20, 15));
    EXPECT_EQ(qRed(inside), 189 + 10 * 65 / 255);
    EXPECT_EQ(qGreen(inside), 189 + 50 * 65 / 255);
    EXPECT_EQ(qBlue(inside), 189 + 255 * 65 / 255);
    const QRgb edge = image.pixel(start + QPoint(5, 0));
    EXPECT_EQ(qRed(edge), (255 * 25 >> 8) + 10 * 230 / 255);
    EXPECT_EQ(qBlue(edge), (255 * 25 >> 8) + 255 * 230 / 255);
    const QRgb outside = image.pixel(end + QPoint(2, 2));
    EXPECT_EQ(outside, qRgb(255, 255, 255));
    QTest::mouseRelease(Tree, Qt::LeftButton, {}, end);
    EXPECT_FALSE(Tree->BandActive());
}

// ---- Currency ------------------------------------------------------------------------------

namespace {
QString Money(TDecTree& tree, TCurrency value, int pos, int neg)
{
    tree.Options().SetCurrencyPosFormat(pos);
    tree.Options().SetCurrencyNegFormat(neg);
    return tree.FormatCurrency(value);
}
} // namespace

TEST_F(DecTreeTest, CurrencyPositiveFormats)
{
    Tree->Options().SetCurrencySymbol(QStringLiteral("EUR"));
    const TCurrency v = 12345678; // 1,234.5678
    EXPECT_EQ(Money(*Tree, v, 0, 0), QStringLiteral("EUR1,234.57"));
    EXPECT_EQ(Money(*Tree, v, 1, 0), QStringLiteral("1,234.57EUR"));
    EXPECT_EQ(Money(*Tree, v, 2, 0), QStringLiteral("EUR 1,234.57"));
    EXPECT_EQ(Money(*Tree, v, 3, 0), QStringLiteral("1,234.57 EUR"));
}

TEST_F(DecTreeTest, CurrencyNegativeFormats)
{
    const TCurrency v = -12345678;
    const char* expected[16] = {
        "($1,234.57)", "-$1,234.57", "$-1,234.57", "$1,234.57-", "(1,234.57$)", "-1,234.57$",
        "1,234.57-$", "1,234.57$-", "-1,234.57 $", "-$ 1,234.57", "1,234.57 $-", "$ 1,234.57-",
        "$ -1,234.57", "1,234.57- $", "($ 1,234.57)", "(1,234.57 $)",
    };
    for (int code = 0; code < 16; ++code)
        EXPECT_EQ(Money(*Tree, v, 0, code), QString::fromLatin1(expected[code])) << "code " << code;
}

TEST_F(DecTreeTest, CurrencyDecimalsSeparatorsAndZero)
{
    Tree->Options().SetCurrencyDecimals(0);
    EXPECT_EQ(Money(*Tree, 15000, 0, 1), QStringLiteral("$2"));
    Tree->Options().SetCurrencyDecimals(3);
    EXPECT_EQ(Money(*Tree, -10000000000, 3, 8), QStringLiteral("-1,000,000.000 $"));
    // An amount that rounds to zero shows no sign.
    Tree->Options().SetCurrencyDecimals(2);
    EXPECT_EQ(Money(*Tree, -1, 0, 1), QStringLiteral("$0.00"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Money(*Tree, 12345678, 3, 0), QStringLiteral("1.234,57 $"));
}

TEST_F(DecTreeTest, APaintingFaultIsReportedOnceAfterThePaintEvent)
{
    TDecTreeNode* child = Add(Root(), QStringLiteral("a"), ntChance, 100, 0);
    Root()->ChildrenVisible = false;
    Tree->Recalculate();
    (void)child;
    // An unknown node type cannot be drawn; every repaint meets it again.
    Root()->NodeType = TNodeType(7);
    for (int i = 0; i < 3; ++i) {
        Tree->grab();
        EXPECT_TRUE(Notices.isEmpty()) << "no message box may open inside a paint event";
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(Notices.size(), 1);
    EXPECT_TRUE(Notices[0].startsWith(QStringLiteral("InvalidOperationException: ")));
    // Mended, painting works again; a new fault is reported anew.
    Root()->NodeType = ntDecision;
    Tree->grab();
    Root()->NodeType = TNodeType(7);
    Tree->grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(Notices.size(), 2);
}
