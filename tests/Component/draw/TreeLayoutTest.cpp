#include "Component/draw/TreeLayout.h"

#include "Component/draw/NodeStyles.h"
#include "Component/styles/StyleStates.h"
#include "TreeTestSupport.h"
#include "bench/support/RandomTree.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace treetest;

namespace {

struct LayoutFixture : ::testing::Test {
    TDecTreeDocument Doc;
    TMeasure M;
    TStyleState& Taken() { return *Doc.StyleStates.InTakenPath(); }
    void Layout()
    {
        Doc.CalculateValues();
        LayoutDocumentTree(*Doc.Root(), M.Canvas, 10);
    }
    static const TRectangle& R(const TDecTreeNode* n, TNodeElementType e) { return n->ElementRects[e]; }
};

} // namespace

// --- measuring and placing ----------------------------------------------------------------

TEST_F(LayoutFixture, SingleRootIsLaidOutAsAnEndNode)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Layout();
    const TStyle& desc = *Taken().OptionDescriptors();
    const TStyle& term = *Taken().SymbolsTerminator();
    const int32_t dw = M.Width(desc, QStringLiteral("Root")) + 12;
    const int32_t dh = M.LineHeight(desc) + 12;
    const int32_t t = std::max(M.Width(term, QStringLiteral("100%")), M.Width(term, FormatCurrency(0, Doc.Options)));
    EXPECT_EQ(R(root, htOptionDescriptor), TRectangle::Create(10, 10 + (dh + 2) / 2 - dh / 2, dw, dh));
    EXPECT_EQ(root->BoundsRect, TRectangle::Create(10, 10, dw + 17 + 70 + t, dh + 2));
    const int32_t row = 10 + (dh + 2) / 2 - dh / 2 + dh / 2;
    EXPECT_EQ(R(root, htSymbol), TRectangle::Create(10 + dw + 20, row - 8, 17, 17));
    // No marks without children; the root has no branch texts.
    for (TNodeElementType e : {htPlusMinus, htRollUpDown, htProbability, htPayoff, htSymbolAttributeBox})
        EXPECT_EQ(R(root, e), TRectangle::Empty()) << int(e);
}

TEST_F(LayoutFixture, ChildrenStackWithTwentyPixelsBetweenSubtrees)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* a = Add(root, ntChance, QStringLiteral("Alpha"), 100, 5);
    TDecTreeNode* b = Add(root, ntChance, QStringLiteral("Beta, longer"), 0, -7);
    Layout();
    EXPECT_EQ(b->BoundsRect.Top, a->BoundsRect.Top + a->BoundsRect.Height + 20);
    EXPECT_EQ(a->BoundsRect.Top, root->BoundsRect.Top);
    EXPECT_EQ(root->BoundsRect.Height, a->BoundsRect.Height + 20 + b->BoundsRect.Height);
    // The children's column: right of the root's symbol, as wide as the widest descriptor plus
    // the wider of its probability and payoff.
    const TRectangle& s = R(root, htSymbol);
    EXPECT_EQ(a->BoundsRect.Left, s.Left + 17 + 13);
    const int32_t childW = std::max(R(a, htOptionDescriptor).Width + std::max(R(a, htProbability).Width, R(a, htPayoff).Width),
                                    R(b, htOptionDescriptor).Width + std::max(R(b, htProbability).Width, R(b, htPayoff).Width));
    EXPECT_EQ(R(a, htSymbol).Left, a->BoundsRect.Left + childW + 20);
    // Probability and payoff end 6 pixels before the symbol column, around the row line.
    const int32_t row = R(b, htOptionDescriptor).CenterY();
    EXPECT_EQ(R(b, htProbability).Left + R(b, htProbability).Width, R(b, htSymbol).Left - 6);
    EXPECT_EQ(R(b, htProbability).Top + R(b, htProbability).Height, row - 2);
    EXPECT_EQ(R(b, htPayoff).Top, row + 2);
    EXPECT_EQ(R(b, htSymbol).Top, row - 8);
    // Under a decision the taken mark is measured in the style that paints it.
    EXPECT_EQ(R(a, htProbability).Width, M.Width(*Taken().DecisionOptionsTakenYes(), QStringLiteral("TRUE")));
    EXPECT_EQ(R(b, htProbability).Width,
              M.Width(*Doc.StyleStates.NotInTakenPath()->DecisionOptionsTakenNo(), QStringLiteral("FALSE")));
    // Marks of a node with children: plus/minus right of the symbol, roll-up under it.
    EXPECT_EQ(R(root, htPlusMinus), TRectangle::Create(s.Left + 15, s.CenterY() - 4, 9, 9));
    EXPECT_EQ(R(root, htRollUpDown), TRectangle::Create(s.CenterX() - 4, s.Top + 15, 9, 9));
    // The root's bounds reach the right edge of its widest child.
    EXPECT_EQ(root->BoundsRect.Left + root->BoundsRect.Width,
              std::max(a->BoundsRect.Right(), b->BoundsRect.Right()));
}

TEST_F(LayoutFixture, PayoffIsMeasuredInItsPositiveOrNegativeStyle)
{
    // A negative payoff drawn in a much larger font must get a rectangle that fits it.
    Doc.Options.ShowPayoff = true;
    Doc.StyleStates.InTakenPath()->OptionPayoffNegative()->FontSize()->Inherit = false;
    Doc.StyleStates.InTakenPath()->OptionPayoffNegative()->FontSize()->Value = 20;
    TDecTreeNode* root = SetRoot(Doc, ntChance);
    TDecTreeNode* neg = Add(root, ntChance, QStringLiteral("n"), 50, -1234);
    TDecTreeNode* pos = Add(root, ntChance, QStringLiteral("p"), 50, 1234);
    Layout();
    const TStyleState& state = *GetStyleState(*neg);
    EXPECT_EQ(R(neg, htPayoff).Width, M.Width(*state.OptionPayoffNegative(), FormatCurrency(neg->Payoff, Doc.Options)));
    EXPECT_EQ(R(neg, htPayoff).Height, M.LineHeight(*state.OptionPayoffNegative()));
    EXPECT_GT(R(neg, htPayoff).Height, R(pos, htPayoff).Height);
    EXPECT_EQ(R(pos, htPayoff).Width, M.Width(*state.OptionPayoffPositive(), FormatCurrency(pos->Payoff, Doc.Options)));
}

TEST_F(LayoutFixture, WithoutShowPayoffPayoffsHaveNoWidthAndNothingShifts)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* only = Add(root, ntChance, QStringLiteral("Only"), 100, 99);
    Layout();
    EXPECT_EQ(R(only, htPayoff).Width, 0);
    EXPECT_EQ(root->BoundsRect.Height, only->BoundsRect.Height);
    // With payoffs shown, the only child sits on the parent's row and is moved down, out of
    // the way of the expected value.
    Doc.Options.ShowPayoff = true;
    Layout();
    EXPECT_GT(R(only, htPayoff).Width, 0);
    const int32_t half = M.LineHeight(*Taken().SymbolsDecision()) / 2;
    EXPECT_GT(root->BoundsRect.Height, only->BoundsRect.Height);
    EXPECT_GE(R(only, htOptionDescriptor).Top - 2, R(root, htOptionDescriptor).CenterY() + half);
}

TEST_F(LayoutFixture, CollapsedNodeIsSizedLikeAnEndNodeButKeepsItsMarks)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* child = Add(root, ntChance, QStringLiteral("c"), 100, 0);
    Add(child, ntChance, QStringLiteral("x"), 50, 0);
    Add(child, ntChance, QStringLiteral("y"), 50, 0);
    root->ChildrenVisible = false;
    Layout();
    EXPECT_EQ(root->BoundsRect.Height, R(root, htOptionDescriptor).Height + 2);
    EXPECT_NE(R(root, htPlusMinus).Width, 0);
    EXPECT_NE(R(root, htRollUpDown).Width, 0);
    // The hidden subtree was measured but not placed.
    EXPECT_GT(R(child, htOptionDescriptor).Width, 0);
    EXPECT_EQ(child->BoundsRect, TRectangle::Empty()) << child->BoundsRect.Left << " " << child->BoundsRect.Top;
}

TEST_F(LayoutFixture, AttributeBoxAndItsLines)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 1);
    root->DecisionShowCaption = true;
    root->DecisionCaption = QStringLiteral("Invest?");
    Layout();
    const TStyle& attr = *Taken().SymbolAttributes();
    const int32_t lh = M.LineHeight(attr);
    const TRectangle& box = R(root, htSymbolAttributeBox);
    EXPECT_EQ(box.Height, lh + 2 + 12); // a caption alone has no separator
    EXPECT_EQ(box.Width, std::max(12, M.Width(attr, QStringLiteral("Invest?")) + 12));
    EXPECT_EQ(R(root, htSymbol).Left, box.Left + box.Width);
    EXPECT_EQ(box.Left, root->BoundsRect.Left + R(root, htOptionDescriptor).Width + 20);

    root->DecisionShowOwner = true;
    root->DecisionOwner = QStringLiteral("Ann");
    root->DecisionMultiShowBudget = true;
    root->DecisionMultiBudget = 5000;
    Layout();
    EXPECT_EQ(box.Height, 3 * (lh + 2) + 12 + 3);
    const TRectangle& caption = R(root, htSymbolAttributeCaption);
    const TRectangle& owner = R(root, htSymbolAttributeOwner);
    const TRectangle& budget = R(root, htSymbolAttributeMultiBudget);
    EXPECT_EQ(caption, TRectangle::Create(box.Left + 6, box.Top + 6, box.Width - 12, lh));
    EXPECT_EQ(owner.Top, caption.Top + lh + 5);
    EXPECT_EQ(budget.Top, owner.Top + lh + 2);
    EXPECT_EQ(R(root, htSymbolAttributeFixed), TRectangle::Empty());
    EXPECT_EQ(box.Top, R(root, htOptionDescriptor).CenterY() - box.Height / 2);
    // The roll-up mark hangs under the box instead of the symbol.
    EXPECT_EQ(R(root, htRollUpDown), TRectangle::Create(box.CenterX() - 4, box.Top + box.Height - 2, 9, 9));
    EXPECT_GE(root->BoundsRect.Height, box.Height + 2);
}

TEST_F(LayoutFixture, UnknownParentTypeIsRefusedWhileMeasuring)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Add(root, ntChance, QStringLiteral("a"), 100, 1);
    root->NodeType = TNodeType(9);
    try {
        LayoutNode(*root, M.Canvas);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unknown FParent.NodeType Value: 9"));
    }
}

TEST_F(LayoutFixture, NodeWithoutDocumentIsRefused)
{
    auto lone = NewNode(nullptr, nullptr, ntDecision, QStringLiteral("x"), 100, 0);
    EXPECT_THROW(LayoutNode(*lone, M.Canvas), InvalidOperationException);
}

TEST_F(LayoutFixture, NonFinitePathValuesStillLayOut)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    Layout();
    root->PathProbability = std::numeric_limits<double>::quiet_NaN();
    root->PathPayoff = 1e300;
    LayoutTree(*root, 10, 10, R(root, htOptionDescriptor).Width, M.Canvas);
    EXPECT_GT(root->BoundsRect.Width, 0);
}

// --- element styles -----------------------------------------------------------------------

TEST_F(LayoutFixture, ElementStylesFollowTheNodeAndItsState)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* taken = Add(root, ntChance, QStringLiteral("t"), 100, -5);
    TDecTreeNode* half = Add(root, ntChance, QStringLiteral("h"), 50, 5);
    Add(taken, ntChance, QStringLiteral("e"), 100, 0);
    Doc.CalculateValues();
    ASSERT_TRUE(taken->InTakenPath);
    half->InTakenPath = false;
    const TStyleState& in = *Doc.StyleStates.InTakenPath();
    const TStyleState& out = *Doc.StyleStates.NotInTakenPath();
    EXPECT_EQ(GetElementStyle(*root, htOptionDescriptor), in.OptionDescriptors());
    EXPECT_EQ(GetElementStyle(*root, htSymbol), in.SymbolsDecision());
    EXPECT_EQ(GetElementStyle(*taken, htSymbol), in.SymbolsChance());
    EXPECT_EQ(GetElementStyle(*half, htSymbol), out.SymbolsTerminator());
    EXPECT_EQ(GetElementStyle(*taken, htPayoff), in.OptionPayoffNegative());
    EXPECT_EQ(GetElementStyle(*half, htPayoff), out.OptionPayoffPositive());
    // Any probability but exactly 0 answers "Yes" here, although 50 is painted as "FALSE".
    EXPECT_EQ(GetElementStyle(*half, htProbability), out.DecisionOptionsTakenYes());
    EXPECT_EQ(ProbabilityTextStyle(out, *half, QString()), out.DecisionOptionsTakenNo());
    half->Probability = 0;
    EXPECT_EQ(GetElementStyle(*half, htProbability), out.DecisionOptionsTakenNo());
    EXPECT_EQ(GetElementStyle(*taken->Children[0], htProbability), in.ChanceOptionProbabilities());
    EXPECT_EQ(GetElementStyle(*root, htPlusMinus), nullptr);
    EXPECT_EQ(GetElementStyle(*root, htRollUpDown), nullptr);
    for (int e = htSymbolAttributeBox; e <= htSymbolAttributeFixed; ++e)
        EXPECT_EQ(GetElementStyle(*root, TNodeElementType(e)), in.SymbolAttributes());
    try {
        GetElementStyle(*root, TNodeElementType(13));
        FAIL() << "no exception";
    } catch (const ArgumentOutOfRangeException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("OfType is not a valid TNodeElementType"));
    }
    try {
        GetProbabilityOrTakenStyle(*root);
        FAIL() << "no exception";
    } catch (const InvalidOperationException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("GetProbabilityOrTakenStyle can not be called on the root node"));
    }
    // A node type outside the three has no symbol style, and its children no probability style.
    taken->NodeType = TNodeType(7);
    for (auto style : {+[](const TDecTreeNode& n) { return GetSymbolStyle(n); },
                       +[](const TDecTreeNode& n) { return GetProbabilityOrTakenStyle(*n.Children[0]); }}) {
        try {
            style(*taken);
            FAIL() << "no exception";
        } catch (const InvalidOperationException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Unhandled NodeType"));
        }
    }
}

TEST_F(LayoutFixture, ClonesAndNodesInsideClonesUseTheCloneStates)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* master = Add(root, ntChance, QStringLiteral("m"), 100, 0);
    Add(master, ntChance, QStringLiteral("x"), 100, 0);
    TDecTreeNode* clone = Add(root, ntChance, QStringLiteral("c"), 0, 0);
    clone->CloneMasterId = master->Id;
    TDecTreeNode* inside = Add(clone, ntChance, QStringLiteral("x"), 100, 0);
    Doc.CalculateValues();
    clone->InTakenPath = true;
    inside->InTakenPath = false;
    EXPECT_EQ(GetStyleState(*clone), Doc.StyleStates.CloneInTakenPath());
    EXPECT_EQ(GetStyleState(*inside), Doc.StyleStates.CloneNotInTakenPath());
    EXPECT_EQ(GetStyleState(*master), Doc.StyleStates.InTakenPath());
    master->InTakenPath = false;
    EXPECT_EQ(GetStyleState(*master), Doc.StyleStates.NotInTakenPath());
}

TEST_F(LayoutFixture, OutlineCodesAreMeasuredWithTheCaptionUnderClonesToo)
{
    Doc.Options.SetOutlineCodes(true);
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* master = Add(root, ntChance, QStringLiteral("m"), 100, 0);
    TDecTreeNode* x = Add(master, ntDecision, QStringLiteral("x"), 100, 0);
    Add(x, ntChance, QStringLiteral("y"), 100, 0);
    for (int i = 0; i < 10; ++i)
        Add(root, ntChance, QStringLiteral("side"), 0, 0);
    // A clone as the twelfth option: its copies are numbered under the master, "1.1" and so on.
    TDecTreeNode* clone = Add(root, ntChance, QStringLiteral("c"), 0, 0);
    clone->CloneMasterId = master->Id;
    TDecTreeNode* insideX = Add(clone, ntDecision, QStringLiteral("x"), 100, 0);
    TDecTreeNode* insideY = Add(insideX, ntChance, QStringLiteral("y"), 100, 0);
    // A clone inside the clone, of a node of its own: numbering jumps again.
    TDecTreeNode* nested = Add(insideY, ntChance, QStringLiteral("n"), 100, 0);
    nested->CloneMasterId = x->Id;
    Add(nested, ntChance, QStringLiteral("z"), 100, 0);
    Layout();
    EXPECT_EQ(insideY->GetOutlineCode(), "1.1.1  ");
    EXPECT_EQ(nested->Children[0]->GetOutlineCode(), "1.1.1  ");
    EXPECT_EQ(clone->GetOutlineCode(), "12  ");

    std::vector<TDecTreeNode*> all;
    for (std::vector<TDecTreeNode*> stack{root}; !stack.empty();) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        all.push_back(n);
        for (TDecTreeNode* c : n->Children)
            stack.push_back(c);
    }
    auto expected = [this](const TDecTreeNode* n) {
        return M.Width(*GetStyleState(*n)->OptionDescriptors(), n->GetOutlineCode() + n->Caption) +
               TreeLayoutMetrics::DescriptorPadding;
    };
    for (const TDecTreeNode* n : all)
        EXPECT_EQ(R(n, htOptionDescriptor).Width, expected(n)) << n->GetOutlineCode().toStdString();
    // Measuring a subtree alone starts from its own code.
    LayoutNode(*insideX, M.Canvas);
    for (const TDecTreeNode* n : {insideX, insideY, nested, nested->Children[0]})
        EXPECT_EQ(R(n, htOptionDescriptor).Width, expected(n)) << n->GetOutlineCode().toStdString();
}

// --- hit testing --------------------------------------------------------------------------

TEST_F(LayoutFixture, HitTestFindsTheTopmostElementEdgesIncluded)
{
    TDecTreeNode* root = SetRoot(Doc, ntMultiDecision);
    TDecTreeNode* a = Add(root, ntChance, QStringLiteral("a"), 100, 1);
    TDecTreeNode* b = Add(root, ntChance, QStringLiteral("b"), 0, 1);
    root->DecisionShowCaption = true;
    root->DecisionCaption = QStringLiteral("Caption");
    root->DecisionShowOwner = true;
    Doc.Options.ShowPayoff = true;
    Layout();
    auto hit = [&](int x, int y) { return HitTest(root, x, y); };
    const TRectangle& d = R(b, htOptionDescriptor);
    EXPECT_EQ(hit(d.Left, d.Top), HitTestResult::Create(b, htOptionDescriptor));
    EXPECT_EQ(hit(d.Right(), d.Bottom()), HitTestResult::Create(b, htOptionDescriptor)); // right edge hits
    // The marks overlap the symbol and the box and win over them.
    const TRectangle& plus = R(root, htPlusMinus);
    EXPECT_EQ(hit(plus.Left, plus.CenterY()), HitTestResult::Create(root, htPlusMinus));
    const TRectangle& roll = R(root, htRollUpDown);
    EXPECT_EQ(hit(roll.CenterX(), roll.Top), HitTestResult::Create(root, htRollUpDown));
    // A line of the box, and the box around it.
    const TRectangle& owner = R(root, htSymbolAttributeOwner);
    EXPECT_EQ(hit(owner.Left + 1, owner.Top + 1), HitTestResult::Create(root, htSymbolAttributeOwner));
    const TRectangle& box = R(root, htSymbolAttributeBox);
    EXPECT_EQ(hit(box.Left + 1, box.Top + 1), HitTestResult::Create(root, htSymbolAttributeBox));
    const TRectangle& s = R(a, htSymbol);
    EXPECT_EQ(hit(s.CenterX(), s.CenterY()), HitTestResult::Create(a, htSymbol));
    // Branch texts may stand a pixel or two outside their node's bounds, where they do not hit.
    const TRectangle& p = R(a, htProbability);
    EXPECT_EQ(hit(p.Left, p.CenterY()), HitTestResult::Create(a, htProbability));
    const TRectangle& y = R(a, htPayoff);
    EXPECT_EQ(hit(y.Right(), y.CenterY()), HitTestResult::Create(a, htPayoff));
    // Outside everything, and far outside the root's bounds.
    EXPECT_TRUE(hit(root->BoundsRect.Left, root->BoundsRect.Bottom()).IsNull);
    EXPECT_TRUE(hit(-100, -100).IsNull);
    EXPECT_TRUE(HitTest(nullptr, 0, 0).IsNull);
}

TEST_F(LayoutFixture, HitTestDoesNotEnterCollapsedSubtrees)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision);
    TDecTreeNode* child = Add(root, ntChance, QStringLiteral("c"), 100, 0);
    Layout();
    const TRectangle d = R(child, htOptionDescriptor);
    ASSERT_EQ(HitTest(root, d.CenterX(), d.CenterY()), HitTestResult::Create(child, htOptionDescriptor));
    // Collapsing leaves the child's rectangles stale; a click there must not find it, even
    // where the root's (now smaller) bounds still cover the spot.
    // Placing again (without measuring) leaves them as they were.
    root->ChildrenVisible = false;
    LayoutTree(*root, 10, 10, R(root, htOptionDescriptor).Width, M.Canvas);
    ASSERT_EQ(R(child, htOptionDescriptor), d);
    root->BoundsRect = TRectangle::Union(root->BoundsRect, d);
    EXPECT_TRUE(HitTest(root, d.CenterX(), d.CenterY()).IsNull);
}

TEST(HitTestResultTest, NullResultRefusesItsElement)
{
    const HitTestResult null = HitTestResult::Null();
    EXPECT_TRUE(null.IsNull);
    EXPECT_EQ(null.Node, nullptr);
    try {
        null.GetElement();
        FAIL() << "no exception";
    } catch (const InvalidOperationException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("HitTestResult is null, so Element can not be retrieved"));
    }
    TDecTreeDocument doc;
    const HitTestResult r = HitTestResult::Create(doc.Root(), htPayoff);
    EXPECT_FALSE(r.IsNull);
    EXPECT_EQ(r.GetElement(), htPayoff);
}

// --- moving placed subtrees equals placing them again -------------------------------------

namespace {

// The placing rule as first designed: a subtree that must move down is placed again from
// scratch at its new position (exponential in depth, so only for small trees).
class TReferencePlacer {
public:
    explicit TReferencePlacer(TMeasure& m) : M(m) {}

    void LayoutTree(TDecTreeNode& n, int32_t x, int32_t y, int32_t w)
    {
        const TStyleState& state = *GetStyleState(n);
        const TTreeOptions& options = n.Tree->Options;
        TRectangle* r = n.ElementRects;
        TRectangle& b = n.BoundsRect;
        TRectangle& d = r[htOptionDescriptor];
        TRectangle& s = r[htSymbol];
        TRectangle& box = r[htSymbolAttributeBox];
        b.Left = x;
        b.Top = y;
        d.Left = x;
        const int32_t symbolX = x + w + 20;
        if (box.Width != 0) {
            box.Left = symbolX;
            s.Left = box.Left + box.Width;
        } else {
            box.Left = 0;
            s.Left = symbolX;
        }
        if (n.Parent()) {
            r[htProbability].Left = symbolX - r[htProbability].Width - 6;
            r[htPayoff].Left = symbolX - r[htPayoff].Width - 6;
        } else {
            r[htProbability].Left = 0;
            r[htPayoff].Left = 0;
        }
        int32_t childW = 0;
        const bool expanded = n.HasChildren() && n.ChildrenVisible;
        if (expanded) {
            for (TDecTreeNode* c : n.Children)
                childW = std::max(childW, c->ElementRects[htOptionDescriptor].Width +
                                              std::max(c->ElementRects[htProbability].Width, c->ElementRects[htPayoff].Width));
            b.Width = 0;
            b.Height = 0;
            for (TDecTreeNode* c : n.Children) {
                LayoutTree(*c, s.Left + s.Width + 13, b.Top + b.Height, childW);
                b.Height += c->BoundsRect.Height + 20;
                if (c->BoundsRect.Left + c->BoundsRect.Width - b.Left >= b.Width)
                    b.Width = c->BoundsRect.Left + c->BoundsRect.Width - b.Left;
            }
            b.Height -= 20;
        } else {
            b.Height = d.Height + 2;
            const TStyle& term = *state.SymbolsTerminator();
            const int32_t t1 = M.Width(term, QString::number(RoundToInt32(double(std::nearbyintl((long double)n.PathProbability * 100)))) + QStringLiteral("%"));
            const int32_t t2 = M.Width(term, FormatCurrency(ValueToCurrency(n.PathPayoff), options));
            b.Width = box.Width + w + s.Width + 70 + std::max(t1, t2);
        }
        b.Height = std::max(b.Height, box.Height + 2);
        d.Top = b.Top + b.Height / 2 - d.Height / 2;
        const int32_t row = d.Top + d.Height / 2;
        if (expanded && options.ShowPayoff) {
            const int32_t half = M.LineHeight(*GetSymbolStyle(n)) / 2;
            const int32_t top = row - half, bottom = row + half;
            for (int i = 0; i < n.Children.Count(); ++i) {
                const TRectangle& cd = n.Children[i]->ElementRects[htOptionDescriptor];
                auto in = [&](int32_t v) { return cd.Top - 2 <= v && v < cd.Top + cd.Height + 2; };
                if (!in(top) && !in(bottom))
                    continue;
                const int32_t shift = (bottom - cd.Top) * 2;
                b.Height += shift;
                for (int j = i; j < n.Children.Count(); ++j) {
                    TDecTreeNode* c = n.Children[j];
                    LayoutTree(*c, c->BoundsRect.Left, c->BoundsRect.Top + shift, childW);
                }
                break;
            }
        }
        if (n.Parent()) {
            r[htPayoff].Top = row + 2;
            r[htProbability].Top = row - 2 - r[htProbability].Height;
        } else {
            r[htPayoff].Top = 0;
            r[htProbability].Top = 0;
        }
        s.Top = row - s.Height / 2;
        box.Top = box.Width != 0 ? row - box.Height / 2 : 0;
        const TAttributeLineElements lines = AttributeLineElements(n);
        int32_t lineTop = box.Top + 6;
        for (int i = 0; i < 6; ++i) {
            TRectangle& l = r[lines.Element[i]];
            if (!lines.Shown[i])
                continue;
            l.Left = box.Left + 6;
            l.Top = lineTop;
            lineTop += l.Height + (lines.Element[i] == htSymbolAttributeCaption ? 5 : 2);
        }
        if (n.HasChildren()) {
            const TRectangle& under = box.Width != 0 ? box : s;
            r[htRollUpDown] = TRectangle::Create(under.Left + under.Width / 2 - 4, under.Top + under.Height - 2, 9, 9);
            r[htPlusMinus] = TRectangle::Create(s.Left + s.Width - 2, s.Top + s.Height / 2 - 4, 9, 9);
        } else {
            r[htRollUpDown] = TRectangle::Empty();
            r[htPlusMinus] = TRectangle::Empty();
        }
    }

private:
    TMeasure& M;
};

struct TNodeLayout {
    TRectangle Bounds;
    std::array<TRectangle, NodeElementTypeCount> Elements;
    bool operator==(const TNodeLayout&) const = default;
};

std::vector<TNodeLayout> Snapshot(TDecTreeNode* root)
{
    std::vector<TNodeLayout> out;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        TNodeLayout l{n->BoundsRect, {}};
        std::copy(std::begin(n->ElementRects), std::end(n->ElementRects), l.Elements.begin());
        out.push_back(l);
        for (int i = n->Children.Count() - 1; i >= 0; --i)
            stack.push_back(n->Children[i]);
    }
    return out;
}

std::string Describe(const TNodeLayout& a, const TNodeLayout& e)
{
    auto text = [](const TRectangle& r) {
        return QStringLiteral("(%1,%2,%3,%4)").arg(r.Left).arg(r.Top).arg(r.Width).arg(r.Height);
    };
    QString out;
    if (!(a.Bounds == e.Bounds))
        out += QStringLiteral(" bounds ") + text(a.Bounds) + QStringLiteral(" != ") + text(e.Bounds);
    for (int i = 0; i < NodeElementTypeCount; ++i)
        if (!(a.Elements[size_t(i)] == e.Elements[size_t(i)]))
            out += QStringLiteral(" element %1 ").arg(i) + text(a.Elements[size_t(i)]) + QStringLiteral(" != ") +
                   text(e.Elements[size_t(i)]);
    return out.toStdString();
}

} // namespace

TEST_F(LayoutFixture, MovingPlacedSubtreesGivesTheSameLayoutAsPlacingThemAgain)
{
    std::mt19937 random(7);
    int shiftedTrees = 0;
    for (int round = 0; round < 60; ++round) {
        TRandomTreeSettings settings;
        settings.Seed = 1000 + uint64_t(round);
        settings.NodeCount = 20 + int(random() % 120);
        settings.MaxChildren = 1 + int(random() % 4);
        settings.ChainShare = (random() % 3) * 0.3;
        FillRandomDocument(Doc, settings);
        Doc.Options.ShowPayoff = round % 5 != 0;
        Doc.Options.OutlineCodes = round % 3 == 0;
        // Odd cases the generator leaves out: collapsed nodes, attribute boxes, wide texts.
        std::vector<TDecTreeNode*> all;
        for (std::vector<TDecTreeNode*> stack{Doc.Root()}; !stack.empty();) {
            TDecTreeNode* n = stack.back();
            stack.pop_back();
            all.push_back(n);
            for (TDecTreeNode* c : n->Children)
                stack.push_back(c);
        }
        int depth = 0;
        for (TDecTreeNode* n : all) {
            depth = std::max(depth, n->GetDepth());
            if (n != Doc.Root() && random() % 9 == 0)
                n->ChildrenVisible = false;
            if (random() % 4 == 0) {
                n->DecisionShowCaption = true;
                n->DecisionCaption = QString(int(random() % 30), QLatin1Char('w'));
                n->DecisionShowOwner = random() % 2 == 0;
                n->DecisionShowFixed = random() % 2 == 0;
            }
            if (random() % 7 == 0)
                n->Caption = QString(int(random() % 40), QLatin1Char('M'));
        }
        if (depth > 18)
            continue; // the first-design rule takes exponential time in depth
        // Every other tree has larger symbol texts: children clear a band as high as the line
        // of the symbol's font, not of the branch texts' font.
        auto* symbolSize = Doc.StyleStates.InTakenPath()->Symbols()->FontSize();
        symbolSize->Inherit = round % 2 == 0;
        symbolSize->Value = 16;
        Doc.CalculateValues();
        TDecTreeNode& root = *Doc.Root();

        LayoutNode(root, M.Canvas);
        TReferencePlacer(M).LayoutTree(root, 10, 10, root.ElementRects[htOptionDescriptor].Width);
        const std::vector<TNodeLayout> expected = Snapshot(&root);

        LayoutNode(root, M.Canvas);
        LayoutTree(root, 10, 10, root.ElementRects[htOptionDescriptor].Width, M.Canvas);
        const std::vector<TNodeLayout> actual = Snapshot(&root);
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i)
            ASSERT_TRUE(actual[i] == expected[i]) << "round " << round << ", node " << i << ": " << Describe(actual[i], expected[i]);

        // Count the trees in which subtrees did move, so the comparison is known to cover it.
        for (TDecTreeNode* n : all) {
            if (!n->HasChildren() || !n->ChildrenVisible || !n->BoundsRect.Height)
                continue;
            int32_t stacked = -20;
            for (TDecTreeNode* c : n->Children)
                stacked += c->BoundsRect.Height + 20;
            if (n->BoundsRect.Height != std::max(stacked, n->ElementRects[htSymbolAttributeBox].Height + 2)) {
                ++shiftedTrees;
                break;
            }
        }
    }
    EXPECT_GT(shiftedTrees, 10);
}

TEST_F(LayoutFixture, DeepChainIsLaidOutWithoutRecursion)
{
    Doc.SetRoot(MakeChain(Doc, 20000, ntDecision));
    Doc.Options.ShowPayoff = true;
    Doc.CalculateValues();
    LayoutDocumentTree(*Doc.Root(), M.Canvas, 10);
    // Each single child sits on its parent's row and moves down, so every level adds height.
    const TDecTreeNode* last = Doc.Root();
    while (last->HasChildren())
        last = last->Children[0];
    EXPECT_GT(last->BoundsRect.Top, 20000);
    EXPECT_EQ(HitTest(Doc.Root(), last->ElementRects[htSymbol].CenterX(), last->ElementRects[htSymbol].CenterY()).Node,
              last);
}
