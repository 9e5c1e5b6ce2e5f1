#include "Component/draw/TreePainter.h"

#include "Component/draw/NodeStyles.h"
#include "Component/draw/PainterCanvas.h"
#include "Component/draw/TreeLayout.h"
#include "Component/styles/StyleStates.h"
#include "TreeTestSupport.h"
#include "bench/support/RandomTree.h"
#include "shared/core/Colors.h"

#include <QImage>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <array>
#include <random>
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
    const TCanvasCall* FindText(const QString& text) const
    {
        for (const TCanvasCall& c : Canvas.Calls())
            if ((c.Op == TCanvasOp::TextOut || c.Op == TCanvasOp::TextRect) && c.Text == text)
                return &c;
        return nullptr;
    }
};

} // namespace

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

// A shape's selection frame stands a pixel clear of its outline, a text line's hugs the text.
TEST_F(PainterFixture, SelectionFramesClearTheOutlinesOfShapes)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    TDecTreeNode* end = Add(root, ntChance, QStringLiteral("a"), 100, -50);
    root->DecisionShowCaption = true;
    root->DecisionCaption = QStringLiteral("Budget round");
    root->DecisionShowOwner = true;
    root->DecisionOwner = QStringLiteral("Ann");
    Layout();
    auto frames = [&]() {
        std::vector<QRect> out;
        for (const TCanvasCall& c : Canvas.Calls())
            if (c.Op == TCanvasOp::Rectangle && c.Pen.Style == TPenStyle::Dot && c.Pen.Color == clBlue)
                out.push_back(c.Rect);
        return out;
    };
    auto state = [&](TDecTreeNode* n) { return StyleStateFor(Doc.StyleStates, false, n->InTakenPath); };
    for (const auto& [node, element, margin] :
         {std::tuple{root, htSymbolAttributeBox, state(root)->SymbolAttributes()->EffectiveLineWidth() + 1},
          {root, htSymbolAttributeOwner, 1},
          {end, htSymbol, std::max(state(end)->SymbolsTerminator()->EffectiveLineWidth(), 1) + 1}}) {
        Doc.Selection.Clear();
        Doc.Selection.Add(node->Id);
        ASSERT_TRUE(Paint(true, element));
        const QRect frame = TRectangle::InflateAll(node->ElementRects[element], margin).ToRect();
        EXPECT_EQ(frames(), (std::vector<QRect>{frame, frame})) << element;
    }
}

// --- small routines -----------------------------------------------------------------------

TEST(PainterTextTest, NumbersAndRounding)
{
    EXPECT_TRUE(SameValue(100, 99.99995));
    EXPECT_FALSE(SameValue(100, 99.9));
    EXPECT_FALSE(SameValue(100, 99.9995));
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
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

    const std::vector<TDecTreeNode*> all = Doc.PreOrder();
    ASSERT_TRUE(Paint(true));
    for (const TDecTreeNode* n : all)
        EXPECT_TRUE(FindText(n->GetOutlineCode() + n->Caption)) << (n->GetOutlineCode() + n->Caption).toStdString();

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

// --- any area of a wide fan-out ------------------------------------------------------------

namespace {

struct TFanOutCase {
    const char* Name;
    int Options;          // children of the root
    int ConnectorWidth;   // every state's connectors (below 0: none); 0 keeps the document's own
    TNodeType RootType;
    bool Codes;
};

class PainterAreaTest : public ::testing::TestWithParam<TFanOutCase> {};

constexpr std::array<TColor, TStyleStates::StateCount> ConnectorColors{0x00102030, 0x00203010, 0x00301020, 0x00112233};

// Decision and chance options, some with a subtree, a few selected, one with attribute lines and
// a dotted line under its caption, one a clone of another: every kind of shape and line.
void BuildFanOut(TDecTreeDocument& doc, const TFanOutCase& c)
{
    TDecTreeNode* root = SetRoot(doc, c.RootType);
    std::vector<TDecTreeNode*> options;
    for (int i = 0; i < c.Options; ++i) {
        const TNodeType type = i % 7 == 3 ? ntChance : ntDecision;
        TDecTreeNode* option =
            Add(root, type, QStringLiteral("Option %1").arg(i), c.RootType == ntChance ? 1 : (i == c.Options / 3 ? 100 : 0), i % 13);
        options.push_back(option);
        if (i % 29 == 5) {
            for (int k = 0; k < 3; ++k)
                Add(option, ntDecision, QStringLiteral("Sub %1").arg(k), k == 0 ? 100 : 0, k);
        }
        if (i % 31 == 7 || i == c.Options / 3)
            doc.Selection.Add(option->Id);
    }
    TDecTreeNode* attributed = options[size_t(c.Options / 2)];
    attributed->NodeType = ntDecision;
    attributed->DecisionShowCaption = true;
    attributed->DecisionShowOwner = true;
    attributed->DecisionCaption = QStringLiteral("Caption");
    attributed->DecisionOwner = QStringLiteral("Owner");
    Add(attributed, ntDecision, QStringLiteral("Under"), 100, 1);
    options.back()->CloneMasterId = options[5]->Id;
    // More clones and attribute lines along the fan: the connectors' look changes within it,
    // and dotted separators cross the areas' edges.
    for (int i = 20; i < c.Options - 1; i += 41)
        options[size_t(i)]->CloneMasterId = options[5]->Id;
    for (int i = 9; i < c.Options - 1; i += 17) {
        TDecTreeNode* o = options[size_t(i)];
        if (o->IsClone() || o->HasChildren())
            continue;
        o->NodeType = ntDecision;
        o->DecisionShowCaption = true;
        o->DecisionShowOwner = true;
        o->DecisionCaption = QStringLiteral("Caption %1").arg(i);
        o->DecisionOwner = QStringLiteral("Owner");
        Add(o, ntDecision, QStringLiteral("Under"), 100, 1);
    }
    for (int k = 0; k < 3; ++k)
        Add(options.back(), ntDecision, QStringLiteral("Sub %1").arg(k), k == 0 ? 100 : 0, k);
    if (c.ConnectorWidth != 0) {
        for (int s = 0; s < TStyleStates::StateCount; ++s) {
            auto* width = doc.StyleStates.State(s)->ConnectorLines()->LineWidth();
            width->Value = std::max(0, c.ConnectorWidth);
            width->Inherit = false;
        }
    }
    // Each look of a connector in a colour nothing else has.
    for (int s = 0; s < TStyleStates::StateCount; ++s) {
        auto* color = doc.StyleStates.State(s)->ConnectorLines()->LineColor();
        color->Value = ConnectorColors[s];
        color->Inherit = false;
    }
    doc.Options.ShowPayoff = true;
    doc.Options.SetOutlineCodes(c.Codes);
}

} // namespace

// A painted area equals the same area of the whole picture, pixel for pixel, wherever its edges
// cut rows, connectors, shadows and selection frames, and whatever its size.
TEST_P(PainterAreaTest, AnAreaEqualsTheSameAreaOfTheWholePicture)
{
    const TFanOutCase& c = GetParam();
    TDecTreeDocument doc;
    BuildFanOut(doc, c);
    doc.CalculateValues();
    TMeasure measure;
    LayoutDocumentTree(*doc.Root(), measure.Canvas, 10);
    const TRectangle bounds = doc.Root()->BoundsRect;
    const QSize size(bounds.Right() + 20, bounds.Bottom() + 20);
    ASSERT_LT(size.height(), 32000); // every line of the whole picture is written directly
    QImage whole(size, QImage::Format_RGB32);
    whole.fill(Qt::white);
    {
        TPainterCanvas canvas(&whole);
        TTreePainter painter(canvas, doc.StyleStates, true);
        ASSERT_TRUE(painter.Paint(doc.Root()));
    }
    {
        // The same picture where the painter draws every line itself, one by one: a clip of its
        // own (the whole image) keeps the canvas from writing pixels.
        QImage drawn(size, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        {
            QPainter clipped(&drawn);
            clipped.setClipRect(drawn.rect());
            TPainterCanvas canvas(&clipped);
            TTreePainter painter(canvas, doc.StyleStates, true);
            ASSERT_TRUE(painter.Paint(doc.Root()));
        }
        // Their shapes' edges may differ; their connectors may not.
        const auto connector = [](QRgb p) {
            return std::any_of(ConnectorColors.begin(), ConnectorColors.end(),
                               [p](TColor c) { return ColorToArgb(c) == p; });
        };
        for (int py = 0; py < size.height(); ++py) {
            const auto* a = reinterpret_cast<const QRgb*>(whole.constScanLine(py));
            const auto* b = reinterpret_cast<const QRgb*>(drawn.constScanLine(py));
            for (int px = 0; px < size.width(); ++px)
                if (a[px] != b[px] && (connector(a[px]) || connector(b[px])))
                    FAIL() << "drawn by the painter, at " << px << "," << py;
        }
    }
    std::mt19937 random(11);
    const int symbolY = doc.Root()->ElementRects[htSymbol].CenterY();
    QImage part(size, QImage::Format_RGB32);
    // Thin areas just below and just above an option's subtree, where only its shadow, its
    // texts, its selection frame or a connector's width still reach, and just beyond the end of
    // its connector, where only the line's width and round end reach. Among the options the
    // taken one, selected, whose frame stands furthest out.
    std::vector<QRect> edges;
    for (int i : {1, c.Options / 3, c.Options / 2, c.Options - 2}) {
        const TDecTreeNode& option = *doc.Root()->Children[i];
        const TRectangle& b = option.BoundsRect;
        const int end = option.ElementRects[htOptionDescriptor].CenterY();
        for (int k = 0; k <= 8; ++k) {
            edges.push_back(QRect(0, b.Bottom() + k, size.width(), 1));
            edges.push_back(QRect(0, b.Top - k, size.width(), 1));
            if (k > 0 && k <= 4) {
                edges.push_back(QRect(0, end + k, size.width(), 1));
                edges.push_back(QRect(0, end - k, size.width(), 1));
            }
        }
    }
    for (int round = 0; round < 36 + int(edges.size()); ++round) {
        // Thin bands, screens and tall strips; around the root's row, far above and below it,
        // and at the drawing's ends.
        const int w = std::array{1, 7, 120, 400, size.width()}[round % 5];
        const int h = std::array{1, 3, 60, 250, 768, 2000}[round % 6];
        int y = int(random() % unsigned(size.height()));
        if (round % 4 == 0)
            y = symbolY - int(random() % 600);
        if (round == 1)
            y = 0;
        if (round == 2)
            y = size.height() - h;
        const QRect area = round >= 36 ? edges[size_t(round - 36)]
                                       : QRect(int(random() % unsigned(std::max(1, size.width() - w / 2))), y, w, h);
        part.fill(Qt::white);
        {
            TPainterCanvas canvas(&part);
            TTreePainter painter(canvas, doc.StyleStates, true);
            ASSERT_TRUE(painter.Paint(doc.Root(), area));
        }
        // And in an image that holds only the area, as the control's view paints it: lines
        // run off its edges.
        QImage view(area.size(), QImage::Format_RGB32);
        view.fill(Qt::white);
        {
            QPainter shifted(&view);
            shifted.translate(-area.topLeft());
            TPainterCanvas canvas(&shifted);
            TTreePainter painter(canvas, doc.StyleStates, true);
            ASSERT_TRUE(painter.Paint(doc.Root(), area));
        }
        const QRect r = area.intersected(part.rect());
        for (int py = r.top(); py <= r.bottom(); ++py) {
            const auto* a = reinterpret_cast<const QRgb*>(whole.constScanLine(py));
            const auto* b = reinterpret_cast<const QRgb*>(part.constScanLine(py));
            const auto* v = reinterpret_cast<const QRgb*>(view.constScanLine(py - area.y())) - area.x();
            for (int px = r.left(); px <= r.right(); ++px) {
                ASSERT_EQ(a[px], b[px]) << "area " << area.x() << "," << area.y() << " " << area.width() << "x"
                                        << area.height() << " at " << px << "," << py;
                ASSERT_EQ(a[px], v[px]) << std::hex << a[px] << " " << v[px] << std::dec << " view " << area.x() << "," << area.y() << " " << area.width() << "x"
                                        << area.height() << " at " << px << "," << py;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    FanOuts, PainterAreaTest,
    ::testing::Values(TFanOutCase{"DecisionThinAndWide", 400, 0, ntDecision, false},
                      TFanOutCase{"ChanceAllTaken", 300, 0, ntChance, true},
                      TFanOutCase{"WideConnectors", 300, 3, ntDecision, true},
                      TFanOutCase{"WiderConnectors", 200, 6, ntDecision, false},
                      TFanOutCase{"NoConnectors", 100, -1, ntChance, false}),
    [](const ::testing::TestParamInfo<TFanOutCase>& info) { return std::string(info.param.Name); });
