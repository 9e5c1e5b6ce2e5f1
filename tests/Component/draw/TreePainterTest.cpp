#include "Component/draw/TreePainter.h"

#include "Component/draw/NodeStyles.h"
#include "Component/draw/PainterCanvas.h"
#include "Component/draw/TreeGlyphs.h"
#include "Component/draw/TreeLayout.h"
#include "Component/styles/StyleStates.h"
#include "TreeTestSupport.h"
#include "bench/support/RandomTree.h"
#include "shared/core/Colors.h"
#include "shared/core/Exceptions.h"

#include <QImage>
#include <QLocale>
#include <gtest/gtest.h>

using namespace treetest;

namespace {

struct PainterFixture : ::testing::Test {
    TDecTreeDocument Doc;
    TMeasure M;
    TRecordingCanvas Canvas;

    void Layout()
    {
        Doc.CalculateValues();
        LayoutDocumentTree(*Doc.Root(), M.Canvas, 10);
    }
    bool Paint(bool onScreen, TNodeElementType selection = htOptionDescriptor)
    {
        Canvas.Clear();
        TTreePainter painter(Canvas, Doc.StyleStates, onScreen);
        painter.SelectionElementType = selection;
        return painter.Paint(Doc.Root());
    }
    std::vector<QString> Texts() const
    {
        std::vector<QString> out;
        for (const TCanvasCall& c : Canvas.Calls())
            if (c.Op == TCanvasOp::TextOut || c.Op == TCanvasOp::TextRect)
                out.push_back(c.Text);
        return out;
    }
    const TCanvasCall* FindText(const QString& text) const
    {
        for (const TCanvasCall& c : Canvas.Calls())
            if ((c.Op == TCanvasOp::TextOut || c.Op == TCanvasOp::TextRect) && c.Text == text)
                return &c;
        return nullptr;
    }
    int Count(TCanvasOp op) const
    {
        return int(std::count_if(Canvas.Calls().begin(), Canvas.Calls().end(),
                                 [op](const TCanvasCall& c) { return c.Op == op; }));
    }
    // The last outline drawn exactly on the rectangle: the shape itself after its fill steps.
    const TCanvasCall* LastShapeAt(const TRectangle& r) const
    {
        const TCanvasCall* found = nullptr;
        for (const TCanvasCall& c : Canvas.Calls())
            if ((c.Op == TCanvasOp::Rectangle || c.Op == TCanvasOp::Ellipse) && c.Rect == r.ToRect())
                found = &c;
        return found;
    }
    int SelectionFrames() const
    {
        return int(std::count_if(Canvas.Calls().begin(), Canvas.Calls().end(), [](const TCanvasCall& c) {
            return c.Op == TCanvasOp::Rectangle && c.Pen.Style == TPenStyle::Dot && c.Pen.Color == clBlue;
        }));
    }
    QString Money(double units) const { return FormatCurrency(treetest::Money(units), Doc.Options); }
};

} // namespace

TEST_F(PainterFixture, RootAloneIsATerminatorWithItsPathTextOnly)
{
    SetRoot(Doc, ntDecision);
    Doc.Root()->Comment = QStringLiteral("note");
    Layout();
    ASSERT_TRUE(Paint(true));
    EXPECT_EQ(Texts(), (std::vector<QString>{QStringLiteral("Root"), QStringLiteral("100%")}));
    EXPECT_EQ(Count(TCanvasOp::GradientFillTriangle) > 0, true);
    // An end node gets no glyphs and no expected value, even on the screen.
    EXPECT_EQ(Count(TCanvasOp::Draw), 0);

    Doc.Options.ShowPayoff = true;
    Layout();
    ASSERT_TRUE(Paint(true));
    EXPECT_EQ(Texts(), (std::vector<QString>{QStringLiteral("Root"), QStringLiteral("100%"), Money(0)}));
    // The percentage stands on the point right of the triangle, the money hangs below it.
    const TRectangle& s = Doc.Root()->ElementRects[htSymbol];
    const TCanvasCall* p = FindText(QStringLiteral("100%"));
    const TCanvasCall* m = FindText(Money(0));
    ASSERT_TRUE(p && m);
    EXPECT_EQ(p->Points[0].x(), s.Right() + 6);
    EXPECT_EQ(p->Points[0].y() + M.Canvas.TextHeight(QStringLiteral("100%")), s.CenterY() - 2);
    EXPECT_EQ(m->Points[0], QPoint(s.Right() + 6, s.CenterY() + 2));
}

TEST_F(PainterFixture, DrawingOrderFollowsTheTree)
{
    Doc.Options.ShowPayoff = true;
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 5);
    TDecTreeNode* b = Add(root, ntChance, QStringLiteral("b"), 0, -2);
    Add(b, ntChance, QStringLiteral("x"), 40, 10);
    Add(b, ntChance, QStringLiteral("y"), 60, 20);
    Layout();
    ASSERT_TRUE(Paint(false));
    const std::vector<QString> expected{
        QStringLiteral("Root"),
        QStringLiteral("a"), QStringLiteral("100%"), Money(5), QStringLiteral("TRUE"), Money(5),
        QStringLiteral("b"),
        QStringLiteral("x"), QStringLiteral("0%"), Money(8), QStringLiteral("40%"), Money(10),
        QStringLiteral("y"), QStringLiteral("0%"), Money(18), QStringLiteral("60%"), Money(20),
        Money(16), QStringLiteral("FALSE"), Money(-2),
        Money(5)};
    EXPECT_EQ(Texts(), expected);
    // The lines to the children start at the root symbol's centre, after the root's branch
    // text box and before the first child.
    const QPoint centre = root->ElementRects[htSymbol].Center();
    int firstLine = -1, rootText = -1, childText = -1;
    for (int i = 0; i < int(Canvas.Calls().size()); ++i) {
        const TCanvasCall& c = Canvas.Calls()[size_t(i)];
        if (c.Op == TCanvasOp::TextOut && c.Text == QStringLiteral("Root"))
            rootText = i;
        if (c.Op == TCanvasOp::TextOut && c.Text == QStringLiteral("a"))
            childText = i;
        if (c.Op == TCanvasOp::LineTo && c.Points[0] == centre && firstLine < 0)
            firstLine = i;
    }
    EXPECT_LT(rootText, firstLine);
    EXPECT_LT(firstLine, childText);
    // All shadows (the soft steps) come before anything of the normal pass.
    int lastShadow = -1;
    const TColor shadowSteps[] = {0xD7D7D7, 0xB0B0B0, 0x888888, 0x606060};
    for (int i = 0; i < int(Canvas.Calls().size()); ++i) {
        const TCanvasCall& c = Canvas.Calls()[size_t(i)];
        if ((c.Op == TCanvasOp::FillRect || c.Op == TCanvasOp::Ellipse) &&
            std::find(std::begin(shadowSteps), std::end(shadowSteps), c.Brush.Color) != std::end(shadowSteps))
            lastShadow = i;
    }
    EXPECT_GT(lastShadow, 0);
    EXPECT_LT(lastShadow, rootText);
}

TEST_F(PainterFixture, TakenMarkAndPayoffUseTheirStyles)
{
    Doc.Options.ShowPayoff = true;
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* half = Add(root, ntChance, QStringLiteral("h"), 50, -3);
    Layout();
    TStyleState& state = *GetStyleState(*half);
    state.DecisionOptionsTakenNo()->FontColor()->Inherit = false;
    state.DecisionOptionsTakenNo()->FontColor()->Value = 0x00123456;
    ASSERT_TRUE(Paint(false));
    const TCanvasCall* mark = FindText(QStringLiteral("FALSE"));
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->Font.Color, 0x00123456);
    EXPECT_EQ(mark->Points[0], half->ElementRects[htProbability].TopLeft());
    const TCanvasCall* payoff = nullptr;
    for (const TCanvasCall& c : Canvas.Calls())
        if (c.Op == TCanvasOp::TextOut && c.Text == Money(-3) && c.Points[0] == half->ElementRects[htPayoff].TopLeft())
            payoff = &c;
    ASSERT_NE(payoff, nullptr);
    EXPECT_EQ(payoff->Font.Color, TColor(0x0000FF)); // the negative payoff style
}

TEST_F(PainterFixture, PercentSplitThatMissesOneHundredIsMagenta)
{
    TDecTreeNode* root = SetRoot(Doc, ntChance);
    TDecTreeNode* a = Add(root, ntChance, QStringLiteral("a"), 50, 0);
    TDecTreeNode* b = Add(root, ntChance, QStringLiteral("b"), 49.99995, 0);
    Layout();
    ASSERT_TRUE(Paint(false));
    const TCanvasCall* symbol = LastShapeAt(root->ElementRects[htSymbol]);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->Op, TCanvasOp::Ellipse);
    EXPECT_EQ(symbol->Brush.Style, TBrushStyle::Clear); // gradient, no warning
    b->Probability = 49.9;
    (void)a;
    ASSERT_TRUE(Paint(false));
    symbol = LastShapeAt(root->ElementRects[htSymbol]);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->Brush.Style, TBrushStyle::Solid);
    EXPECT_EQ(symbol->Brush.Color, TTreePainter::clWarningMagenta);
}

TEST_F(PainterFixture, OverdueWinsOverAnExceededBudget)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, -500);
    root->DecisionMultiBudget = 1;
    Layout();
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Brush.Color, TTreePainter::clWarningMagenta);
    root->DecisionDueDate = 40000;
    Doc.Options.StatusDate = 40010;
    ASSERT_TRUE(root->IsOverdue());
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Brush.Color, TTreePainter::clWarningRed);
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Op, TCanvasOp::Rectangle);
}

TEST_F(PainterFixture, ScreenOnlyMarksAndSelectionFrames)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 0);
    root->Comment = QStringLiteral("\r\n a comment \r\n");
    Doc.Selection.Add(root->Id);
    Layout();
    // For a picture or a printer: no glyphs, comment marks or selection frames.
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(Count(TCanvasOp::Draw), 0);
    EXPECT_EQ(SelectionFrames(), 0);
    EXPECT_EQ(Count(TCanvasOp::Polygon), Count(TCanvasOp::GradientFillTriangle) > 0 ? 1 : 0); // the triangle's outline only
    // On the screen: both glyphs, the comment mark, and the frame in both passes, one pen
    // width plus one outside the branch text box.
    ASSERT_TRUE(Paint(true));
    ASSERT_EQ(Count(TCanvasOp::Draw), 2);
    EXPECT_EQ(SelectionFrames(), 2);
    const TRectangle frame = TRectangle::InflateAll(root->ElementRects[htOptionDescriptor], 3);
    for (const TCanvasCall& c : Canvas.Calls()) {
        if (c.Op == TCanvasOp::Rectangle && c.Pen.Style == TPenStyle::Dot && c.Pen.Color == clBlue) {
            EXPECT_EQ(c.Rect, frame.ToRect());
        }
    }
    bool marker = false;
    for (const TCanvasCall& c : Canvas.Calls())
        marker = marker || (c.Op == TCanvasOp::Polygon && c.Brush.Color == clRed);
    EXPECT_TRUE(marker);
    std::vector<QPoint> glyphs;
    for (const TCanvasCall& c : Canvas.Calls())
        if (c.Op == TCanvasOp::Draw) {
            glyphs.push_back(c.Points[0]);
            EXPECT_EQ(c.ImageSize, QSize(9, 9));
        }
    EXPECT_EQ(glyphs[0], root->ElementRects[htRollUpDown].TopLeft());
    EXPECT_EQ(glyphs[1], root->ElementRects[htPlusMinus].TopLeft());
    // A comment of line breaks and blanks only has no mark; a thin element has a 1-pixel frame.
    root->Comment = QStringLiteral("\r\n \t ");
    Doc.Selection.Clear();
    Doc.Selection.Add(root->Children[0]->Id);
    ASSERT_TRUE(Paint(true, htProbability));
    marker = false;
    for (const TCanvasCall& c : Canvas.Calls())
        marker = marker || (c.Op == TCanvasOp::Polygon && c.Brush.Color == clRed);
    EXPECT_FALSE(marker);
    EXPECT_EQ(SelectionFrames(), 2);
    for (const TCanvasCall& c : Canvas.Calls()) {
        if (c.Op == TCanvasOp::Rectangle && c.Pen.Style == TPenStyle::Dot && c.Pen.Color == clBlue) {
            EXPECT_EQ(c.Rect, TRectangle::InflateAll(root->Children[0]->ElementRects[htProbability], 1).ToRect());
        }
    }
}

TEST_F(PainterFixture, CollapsedNodeDrawsItsOwnPartsButNoChildren)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* c = Add(root, ntChance, QStringLiteral("c"), 100, 0);
    Add(c, ntChance, QStringLiteral("hidden"), 100, 0);
    c->ChildrenVisible = false;
    Layout();
    ASSERT_TRUE(Paint(true));
    EXPECT_EQ(FindText(QStringLiteral("hidden")), nullptr);
    EXPECT_NE(FindText(QStringLiteral("TRUE")), nullptr);
    EXPECT_NE(LastShapeAt(c->ElementRects[htSymbol]), nullptr);
    // Glyphs: root's two, c's two (the plus of a collapsed node among them).
    EXPECT_EQ(Count(TCanvasOp::Draw), 4);
    // No line leaves the collapsed node's symbol.
    for (const TCanvasCall& call : Canvas.Calls()) {
        if (call.Op == TCanvasOp::MoveTo) {
            EXPECT_NE(call.Points[0], c->ElementRects[htSymbol].Center());
        }
    }
}

TEST_F(PainterFixture, ClonesUseTheCloneStatesAndHaveNoRollUpGlyph)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* master = Add(root, ntChance, QStringLiteral("master"), 100, 0);
    Add(master, ntChance, QStringLiteral("m1"), 100, 0);
    TDecTreeNode* clone = Add(root, ntChance, QStringLiteral("clone"), 0, 0);
    clone->CloneMasterId = master->Id;
    TDecTreeNode* inside = Add(clone, ntChance, QStringLiteral("c1"), 100, 0);
    Layout();
    ASSERT_FALSE(clone->InTakenPath);
    TStyleState& cloneState = *Doc.StyleStates.CloneNotInTakenPath();
    cloneState.OptionDescriptors()->FontColor()->Inherit = false;
    cloneState.OptionDescriptors()->FontColor()->Value = 0x00ABCDEF;
    TStyleState& insideState = *GetStyleState(*inside);
    insideState.ConnectorLines()->LineColor()->Inherit = false;
    insideState.ConnectorLines()->LineColor()->Value = 0x00010203;
    ASSERT_TRUE(Paint(true));
    EXPECT_EQ(FindText(QStringLiteral("clone"))->Font.Color, 0x00ABCDEF);
    EXPECT_EQ(FindText(QStringLiteral("c1"))->Font.Color, 0x00ABCDEF);
    EXPECT_NE(FindText(QStringLiteral("master"))->Font.Color, 0x00ABCDEF);
    // The line from the clone to its child is drawn in the child's state.
    bool found = false;
    for (const TCanvasCall& c : Canvas.Calls())
        if (c.Op == TCanvasOp::LineTo && c.Points[0] == clone->ElementRects[htSymbol].Center())
            found = found || c.Pen.Color == 0x00010203;
    EXPECT_TRUE(found);
    // Glyphs: root 2, master 2, clone only its plus/minus.
    EXPECT_EQ(Count(TCanvasOp::Draw), 5);
}

TEST_F(PainterFixture, PathProbabilityIsRoundedHalfToEven)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Layout();
    root->PathProbability = 0.125;
    ASSERT_TRUE(Paint(false));
    EXPECT_NE(FindText(QStringLiteral("12%")), nullptr);
    root->PathProbability = 0.135;
    ASSERT_TRUE(Paint(false));
    EXPECT_NE(FindText(QStringLiteral("14%")), nullptr);
    // Only a true half goes to the even neighbour. The stored 0.025 and 0.005 lie a little
    // above 2.5 and 0.5 percent, though a product in double precision lands on the half.
    root->PathProbability = 0.025;
    ASSERT_TRUE(Paint(false));
    EXPECT_NE(FindText(QStringLiteral("3%")), nullptr);
    EXPECT_EQ(PathProbabilityText(0.005), QStringLiteral("1%"));
    EXPECT_EQ(PathProbabilityText(0.015), QStringLiteral("1%"));
    EXPECT_EQ(PathProbabilityText(0.375), QStringLiteral("38%"));
    // Nonsense values paint as the nearest representable text instead of failing.
    root->PathProbability = std::numeric_limits<double>::quiet_NaN();
    ASSERT_TRUE(Paint(false));
    EXPECT_NE(FindText(QStringLiteral("0%")), nullptr);
}

TEST_F(PainterFixture, AttributeBoxLinesAreClippedAndSeparated)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, -50);
    root->DecisionShowCaption = true;
    root->DecisionCaption = QStringLiteral("Budget round");
    root->DecisionMultiShowInvestment = true;
    root->DecisionShowOwner = true;
    root->DecisionOwner = QStringLiteral("Ann");
    Layout();
    ASSERT_TRUE(Paint(false));
    std::vector<const TCanvasCall*> lines;
    for (const TCanvasCall& c : Canvas.Calls())
        if (c.Op == TCanvasOp::TextRect)
            lines.push_back(&c);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->Text, QStringLiteral("Budget round"));
    EXPECT_EQ(lines[1]->Text, QStringLiteral("Owner: Ann"));
    EXPECT_EQ(lines[2]->Text, QStringLiteral("Investment: ") + root->GetInvestmentText());
    const TRectangle& caption = root->ElementRects[htSymbolAttributeCaption];
    EXPECT_EQ(lines[0]->Rect, TRectangle::Inflate(caption, 4, 0, 4, 0).ToRect());
    EXPECT_EQ(lines[0]->Points[0], caption.TopLeft());
    // The dotted separator 2 pixels under the caption.
    bool dotted = false;
    for (const TCanvasCall& c : Canvas.Calls())
        if (c.Op == TCanvasOp::LineTo && c.Pen.Style == TPenStyle::Dot)
            dotted = dotted || (c.Points[0] == QPoint(caption.Left, caption.Bottom() + 2) &&
                                c.Points[1] == QPoint(caption.Right(), caption.Bottom() + 2));
    EXPECT_TRUE(dotted);
}

TEST_F(PainterFixture, AnExceptionStopsThePaintingAndIsReportedOnce)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 0);
    root->ChildrenVisible = false;
    Layout();
    root->NodeType = TNodeType(7);
    TTreePainter painter(Canvas, Doc.StyleStates, true);
    int reports = 0;
    TPaintError reported;
    painter.OnError = [&](const TPaintError& e) {
        ++reports;
        reported = e;
        throw std::runtime_error("a failing handler stays inside too");
    };
    bool ok = true;
    EXPECT_NO_THROW(ok = painter.Paint(root));
    EXPECT_FALSE(ok);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(reported.ClassName, QStringLiteral("InvalidOperationException"));
    EXPECT_EQ(reported.Message, QStringLiteral("Unhandled NoteType"));
    ASSERT_TRUE(painter.LastError().has_value());
    // The single pass raises to its caller.
    EXPECT_THROW(painter.PaintNode(root, false), InvalidOperationException);
    // Expanded, the child's branch text meets the unknown parent type first.
    root->ChildrenVisible = true;
    EXPECT_FALSE(painter.Paint(root));
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(painter.LastError()->ClassName, QStringLiteral("Exception"));
    EXPECT_EQ(painter.LastError()->Message, QStringLiteral("Unknown TreeNode.Parent.NodeType Value: 7"));
    // A good tree paints again with the same painter.
    root->NodeType = ntDecision;
    EXPECT_TRUE(painter.Paint(root));
    EXPECT_FALSE(painter.LastError().has_value());
}

// --- painting only an exposed area --------------------------------------------------------

TEST_F(PainterFixture, ExposedAreaPaintsTheSamePixelsAndSkipsTheRest)
{
    TRandomTreeSettings settings;
    settings.Seed = 42;
    settings.NodeCount = 1500;
    FillRandomDocument(Doc, settings);
    Doc.Options.ShowPayoff = true;
    Layout();
    const TRectangle bounds = Doc.Root()->BoundsRect;
    const QSize size(bounds.Right() + 20, std::min(bounds.Bottom() + 20, 6000));
    QImage full(size, QImage::Format_RGB32), part(size, QImage::Format_RGB32);
    full.fill(Qt::white);
    part.fill(Qt::white);
    // An area around a node in the middle of the picture.
    const TDecTreeNode* middle = nullptr;
    for (const TDecTreeNode* n : Doc.PreOrder()) {
        const TRectangle& d = n->ElementRects[htOptionDescriptor];
        if (d.Top > 2000 && d.Top < 4000 && n->HasChildren()) {
            middle = n;
            break;
        }
    }
    ASSERT_NE(middle, nullptr);
    const TRectangle& d = middle->ElementRects[htOptionDescriptor];
    const QRect exposed(d.Left - 100, d.Top - 250, 700, 500);
    {
        TPainterCanvas canvas(&full);
        TTreePainter painter(canvas, Doc.StyleStates, true);
        ASSERT_TRUE(painter.Paint(Doc.Root()));
    }
    {
        TPainterCanvas canvas(&part);
        TTreePainter painter(canvas, Doc.StyleStates, true);
        ASSERT_TRUE(painter.Paint(Doc.Root(), exposed));
    }
    int differing = 0;
    for (int y = exposed.top(); y <= exposed.bottom(); ++y)
        for (int x = exposed.left(); x <= exposed.right(); ++x)
            differing += full.pixel(x, y) != part.pixel(x, y);
    EXPECT_EQ(differing, 0);
    int inked = 0;
    for (int y = exposed.top(); y <= exposed.bottom(); ++y)
        for (int x = exposed.left(); x <= exposed.right(); ++x)
            inked += full.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(inked, 1000);

    // Far fewer drawing calls than for the whole tree.
    Paint(true);
    const size_t all = Canvas.Calls().size();
    Canvas.Clear();
    TTreePainter painter(Canvas, Doc.StyleStates, true);
    ASSERT_TRUE(painter.Paint(Doc.Root(), exposed));
    EXPECT_LT(Canvas.Calls().size() * 10, all);
    EXPECT_GT(Canvas.Calls().size(), 0u);
}

namespace {

// Draws nothing and only counts, for trees too large to record.
class TCountingCanvas final : public TCanvas {
public:
    int Calls = 0;
    void FillRect(const QRect&) override { ++Calls; }
    void Rectangle(const QRect&) override { ++Calls; }
    void Ellipse(const QRect&) override { ++Calls; }
    void Polygon(const QPolygon&) override { ++Calls; }
    void LineTo(const QPoint&) override { ++Calls; }
    void TextOut(int32_t, int32_t, const QString&) override { ++Calls; }
    void TextRect(const QRect&, int32_t, int32_t, const QString&) override { ++Calls; }
    void Draw(int32_t, int32_t, const QImage&) override { ++Calls; }
    void GradientFillTriangle(const TTriangleVertices&) override { ++Calls; }

protected:
    void ClipChanged(const std::optional<QRect>&) override {}
};

} // namespace

TEST_F(PainterFixture, DeepChainPaintsWithoutRecursion)
{
    Doc.SetRoot(MakeChain(Doc, 20000, ntChance));
    Doc.Options.ShowPayoff = true;
    Layout();
    TCountingCanvas canvas;
    TTreePainter painter(canvas, Doc.StyleStates, true);
    EXPECT_TRUE(painter.Paint(Doc.Root()));
    EXPECT_GT(canvas.Calls, 20000 * 10);
}

TEST_F(PainterFixture, LinesToTheChildrenAreDrawnInEachChildsOwnState)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* taken = Add(root, ntChance, QStringLiteral("a"), 100, 5);
    TDecTreeNode* other = Add(root, ntChance, QStringLiteral("b"), 0, 0);
    Layout();
    ASSERT_TRUE(taken->InTakenPath);
    ASSERT_FALSE(other->InTakenPath);
    const int32_t takenWidth = Doc.StyleStates.InTakenPath()->ConnectorLines()->EffectiveLineWidth();
    const int32_t otherWidth = Doc.StyleStates.NotInTakenPath()->ConnectorLines()->EffectiveLineWidth();
    ASSERT_NE(takenWidth, otherWidth);
    ASSERT_TRUE(Paint(false));
    const QPoint from = root->ElementRects[htSymbol].Center();
    auto lineTo = [&](const TDecTreeNode* child) -> const TCanvasCall* {
        for (const TCanvasCall& c : Canvas.Calls())
            if (c.Op == TCanvasOp::LineTo && c.Points[0] == from &&
                c.Points[1] == child->ElementRects[htOptionDescriptor].LeftCenter())
                return &c;
        return nullptr;
    };
    ASSERT_NE(lineTo(taken), nullptr);
    ASSERT_NE(lineTo(other), nullptr);
    EXPECT_EQ(lineTo(taken)->Pen.Width, takenWidth);
    EXPECT_EQ(lineTo(other)->Pen.Width, otherWidth);
}

TEST_F(PainterFixture, AnySumChanceNodeIsNeverMarkedAndShowsNoPercentSign)
{
    TDecTreeNode* root = SetRoot(Doc, ntChance);
    root->ChanceType = ctAnySum;
    Add(root, ntChance, QStringLiteral("a"), 1, 0);
    Add(root, ntChance, QStringLiteral("b"), 2, 0);
    Layout();
    ASSERT_TRUE(Paint(false));
    const TCanvasCall* symbol = LastShapeAt(root->ElementRects[htSymbol]);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->Brush.Style, TBrushStyle::Clear); // gradient, no warning
    EXPECT_NE(FindText(QStringLiteral("1")), nullptr);
    EXPECT_EQ(FindText(QStringLiteral("1%")), nullptr);

    root->ChanceType = ctPercent;
    Layout();
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Brush.Color, TTreePainter::clWarningMagenta);
    EXPECT_NE(FindText(QStringLiteral("1%")), nullptr);
}

TEST_F(PainterFixture, MultiOptionDecisionWithoutBudgetIsNotMarked)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, -500);
    root->DecisionMultiBudget = -1;
    Layout();
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Brush.Style, TBrushStyle::Clear);
    root->DecisionMultiBudget = 499;
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Brush.Color, TTreePainter::clWarningMagenta);
    root->DecisionMultiBudget = 500; // spending the whole budget does not exceed it
    ASSERT_TRUE(Paint(false));
    EXPECT_EQ(LastShapeAt(root->ElementRects[htSymbol])->Brush.Style, TBrushStyle::Clear);
}

TEST_F(PainterFixture, SelectionFramesOfOutlineFreeElementsAndOfThePayoff)
{
    Doc.Options.ShowPayoff = true;
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 5);
    TDecTreeNode* other = Add(root, ntChance, QStringLiteral("b"), 0, 7);
    Doc.Selection.Add(other->Id);
    Layout();
    // Not in the taken path, the branch text box has no outline; its frame keeps the distance
    // of a one-pixel outline.
    ASSERT_EQ(Doc.StyleStates.NotInTakenPath()->OptionDescriptors()->EffectiveLineWidth(), 0);
    auto frames = [&]() {
        std::vector<QRect> out;
        for (const TCanvasCall& c : Canvas.Calls())
            if (c.Op == TCanvasOp::Rectangle && c.Pen.Style == TPenStyle::Dot && c.Pen.Color == clBlue)
                out.push_back(c.Rect);
        return out;
    };
    ASSERT_TRUE(Paint(true, htOptionDescriptor));
    const QRect descriptor = TRectangle::InflateAll(other->ElementRects[htOptionDescriptor], 2).ToRect();
    EXPECT_EQ(frames(), (std::vector<QRect>{descriptor, descriptor}));
    // The payoff's frame is thin, in both passes.
    ASSERT_TRUE(Paint(true, htPayoff));
    const QRect payoff = TRectangle::InflateAll(other->ElementRects[htPayoff], 1).ToRect();
    EXPECT_EQ(frames(), (std::vector<QRect>{payoff, payoff}));
    // Without payoffs there is no payoff text and so no frame.
    Doc.Options.ShowPayoff = false;
    Layout();
    ASSERT_TRUE(Paint(true, htPayoff));
    EXPECT_TRUE(frames().empty());
}

TEST_F(PainterFixture, WithoutPayoffsNoMoneyIsDrawn)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* a = Add(root, ntChance, QStringLiteral("a"), 100, 5);
    Add(a, ntChance, QStringLiteral("x"), 100, 3);
    Layout();
    ASSERT_TRUE(Paint(true));
    // No expected values beside the symbols, no payoffs, one path text per end node.
    EXPECT_EQ(Texts(), (std::vector<QString>{QStringLiteral("Root"), QStringLiteral("a"), QStringLiteral("x"),
                                             QStringLiteral("100%"), QStringLiteral("100%"),
                                             QStringLiteral("TRUE")}));
}

TEST_F(PainterFixture, MinusMarksAnExpandedNodeAndPlusACollapsedOne)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 5);
    // The pixel above the centre of the mark: black only in the plus sign's upright stroke.
    auto stroke = [&]() {
        Layout();
        const TRectangle bounds = root->BoundsRect;
        QImage image(bounds.Right() + 10, bounds.Bottom() + 10, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            TPainterCanvas canvas(&image);
            TTreePainter painter(canvas, Doc.StyleStates, true);
            EXPECT_TRUE(painter.Paint(root));
        }
        const TRectangle& mark = root->ElementRects[htPlusMinus];
        return QColor(image.pixel(mark.Left + 4, mark.Top + 2));
    };
    EXPECT_EQ(stroke(), QColor(Qt::white));
    root->ChildrenVisible = false;
    EXPECT_EQ(stroke(), QColor(Qt::black));
}

TEST_F(PainterFixture, IncomingLineRunsFromTheBranchTextToTheSymbolsLeftEdge)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* a = Add(root, ntChance, QStringLiteral("a"), 100, 5);
    Layout();
    ASSERT_TRUE(Paint(false));
    for (const TDecTreeNode* n : {static_cast<const TDecTreeNode*>(root), static_cast<const TDecTreeNode*>(a)}) {
        const QPoint from = n->ElementRects[htOptionDescriptor].RightCenter();
        const QPoint to = n->ElementRects[htSymbol].LeftCenter();
        int found = 0;
        for (const TCanvasCall& c : Canvas.Calls())
            found += c.Op == TCanvasOp::LineTo && c.Points[0] == from && c.Points[1] == to;
        EXPECT_EQ(found, 1) << n->Caption.toStdString();
    }
}

TEST_F(PainterFixture, AttributeBoxAndItsLinesCarrySelectionFrames)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, -50);
    root->DecisionShowCaption = true;
    root->DecisionCaption = QStringLiteral("Budget round");
    root->DecisionShowOwner = true;
    root->DecisionOwner = QStringLiteral("Ann");
    Doc.Selection.Add(root->Id);
    Layout();
    auto frames = [&]() {
        std::vector<QRect> out;
        for (const TCanvasCall& c : Canvas.Calls())
            if (c.Op == TCanvasOp::Rectangle && c.Pen.Style == TPenStyle::Dot && c.Pen.Color == clBlue)
                out.push_back(c.Rect);
        return out;
    };
    // The box frame keeps its outline's width plus one; the lines' frames are thin.
    const int32_t w = Doc.StyleStates.InTakenPath()->SymbolAttributes()->EffectiveLineWidth() + 1;
    ASSERT_GT(w, 2);
    ASSERT_TRUE(Paint(true, htSymbolAttributeBox));
    const QRect box = TRectangle::InflateAll(root->ElementRects[htSymbolAttributeBox], w).ToRect();
    EXPECT_EQ(frames(), (std::vector<QRect>{box, box}));
    ASSERT_TRUE(Paint(true, htSymbolAttributeOwner));
    const QRect owner = TRectangle::InflateAll(root->ElementRects[htSymbolAttributeOwner], 1).ToRect();
    EXPECT_EQ(frames(), (std::vector<QRect>{owner, owner}));
}

// --- small routines -----------------------------------------------------------------------

TEST(PainterTextTest, NumbersAndRounding)
{
    EXPECT_TRUE(SameValue(100, 99.99995));
    EXPECT_FALSE(SameValue(100, 99.9));
    EXPECT_FALSE(SameValue(100, 99.9995));
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundToInt32(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(RoundToInt32(-std::numeric_limits<double>::infinity()), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundToInt64(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ValueToCurrency(1.23456), 12346);
    EXPECT_EQ(ValueToCurrency(0.00005), 0); // 0.5 of a unit rounds to even
    EXPECT_EQ(PathProbabilityText(0.125), QStringLiteral("12%"));
    const QString point = QLocale().decimalPoint();
    EXPECT_EQ(FloatToText(12.5), QStringLiteral("12") + point + QStringLiteral("5"));
    EXPECT_EQ(FloatToText(100), QStringLiteral("100"));
    EXPECT_EQ(FloatToText(1e20), QStringLiteral("1E20"));
    EXPECT_EQ(FloatToText(0.00001), QStringLiteral("1E-5"));
    EXPECT_EQ(FloatToText(1.0 / 3), QStringLiteral("0") + point + QStringLiteral("333333333333333"));
    EXPECT_EQ(TextToFloatDef(QStringLiteral(" 12") + point + QStringLiteral("5 ")), 12.5);
    EXPECT_EQ(TextToFloatDef(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(TextToFloatDef(QString()), 0.0);
}

TEST(TreeGlyphTest, GlyphsAreFramedNineByNineMarks)
{
    for (TTreeGlyph g : {tgMinus, tgPlus, tgRollUpDown}) {
        const QImage& image = TreeGlyph(g);
        ASSERT_EQ(image.size(), QSize(9, 9));
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(image.pixel(i, 0), image.pixel(0, 0));
            EXPECT_EQ(image.pixel(8, i), image.pixel(0, 0));
        }
        EXPECT_EQ(QColor(image.pixel(4, 4)), QColor(Qt::black)); // every mark passes the centre
        EXPECT_EQ(QColor(image.pixel(1, 1)), QColor(Qt::white));
    }
    EXPECT_EQ(QColor(TreeGlyph(tgMinus).pixel(4, 2)), QColor(Qt::white));
    EXPECT_EQ(QColor(TreeGlyph(tgPlus).pixel(4, 2)), QColor(Qt::black));
    EXPECT_EQ(QColor(TreeGlyph(tgRollUpDown).pixel(2, 3)), QColor(Qt::black));
    EXPECT_EQ(QColor(TreeGlyph(tgRollUpDown).pixel(2, 5)), QColor(Qt::white));
}

TEST_F(PainterFixture, OutlineCodesArePaintedBeforeCaptionsUnderClonesAndInPartialAreas)
{
    Doc.Options.SetOutlineCodes(true);
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* master = Add(root, ntChance, QStringLiteral("m"), 100, 0);
    TDecTreeNode* x = Add(master, ntDecision, QStringLiteral("x"), 100, 0);
    TDecTreeNode* chain = Add(x, ntChance, QStringLiteral("y"), 100, 0);
    for (int i = 0; i < 30; ++i)
        chain = Add(chain, ntChance, QStringLiteral("deep"), 100, 0);
    for (int i = 0; i < 10; ++i)
        Add(root, ntChance, QStringLiteral("side"), 0, 0);
    TDecTreeNode* clone = Add(root, ntChance, QStringLiteral("c"), 0, 0);
    clone->CloneMasterId = master->Id;
    TDecTreeNode* insideX = Add(clone, ntDecision, QStringLiteral("x"), 100, 0);
    TDecTreeNode* insideY = Add(insideX, ntChance, QStringLiteral("y"), 100, 0);
    TDecTreeNode* nested = Add(insideY, ntChance, QStringLiteral("n"), 100, 0);
    nested->CloneMasterId = x->Id;
    Add(nested, ntChance, QStringLiteral("z"), 100, 0);
    Layout();

    std::vector<TDecTreeNode*> all;
    for (std::vector<TDecTreeNode*> stack{root}; !stack.empty();) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        all.push_back(n);
        for (TDecTreeNode* c : n->Children)
            stack.push_back(c);
    }
    ASSERT_TRUE(Paint(true));
    for (const TDecTreeNode* n : all)
        EXPECT_TRUE(FindText(n->GetOutlineCode() + n->Caption)) << (n->GetOutlineCode() + n->Caption).toStdString();
    EXPECT_TRUE(FindText(QStringLiteral("1.1.1.1.1  deep")));
    EXPECT_TRUE(FindText(QStringLiteral("12  c")));
    EXPECT_TRUE(FindText(QStringLiteral("1.1.1.1  n")));

    // An area that starts below the rows of their parents: those rows are not painted, so the
    // codes of the rows that are come from the nodes themselves.
    for (const TDecTreeNode* n : {chain, nested->Children[0]}) {
        const TRectangle& d = n->ElementRects[htOptionDescriptor];
        Canvas.Clear();
        TTreePainter painter(Canvas, Doc.StyleStates, true);
        ASSERT_TRUE(painter.Paint(root, QRect(d.Left, d.Top, d.Width, d.Height)));
        EXPECT_TRUE(FindText(n->GetOutlineCode() + n->Caption)) << n->GetOutlineCode().toStdString();
        for (const TCanvasCall& c : Canvas.Calls()) {
            if (c.Op != TCanvasOp::TextOut || !c.Text.contains(QStringLiteral("  ")))
                continue;
            EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&c](const TDecTreeNode* m) {
                return c.Text == m->GetOutlineCode() + m->Caption;
            })) << c.Text.toStdString();
        }
    }
}
