#include "Component/draw/TreeLayout.h"

#include "Component/draw/NodeStyles.h"
#include "Component/model/EditedValues.h"
#include "Component/model/SubtreeWork.h"
#include "Component/styles/StyleStates.h"
#include "TreeTestSupport.h"
#include "bench/support/RandomTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <unordered_set>

using namespace treetest;

namespace {

struct LayoutFixture : ::testing::Test {
    TDecTreeDocument Doc;
    TMeasure M;
    void Layout()
    {
        Doc.CalculateValues();
        LayoutDocumentTree(*Doc.Root(), M.Canvas, 10);
    }
    static const TRectangle& R(const TDecTreeNode* n, TNodeElementType e) { return n->ElementRects[e]; }
};

} // namespace

// --- element styles -----------------------------------------------------------------------

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

    const std::vector<TDecTreeNode*> all = Doc.PreOrder();
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
    EXPECT_TRUE(HitTest(nullptr, 0, 0).IsNull);
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
        const std::vector<TDecTreeNode*> all = Doc.PreOrder();
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
            ASSERT_TRUE(actual[i] == expected[i]) << "round " << round << ", node " << i;

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

namespace {

// Everything a recalculation computes for a node: its values and its layout.
struct TNodeResult {
    double Values[5];
    bool InTakenPath;
    TNodeLayout Layout;
    bool operator==(const TNodeResult& o) const
    {
        return std::equal(std::begin(Values), std::end(Values), std::begin(o.Values),
                          [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }) &&
               InTakenPath == o.InTakenPath && Layout == o.Layout;
    }
};

std::vector<TNodeResult> Results(TDecTreeDocument& doc)
{
    std::vector<TNodeResult> out;
    const std::vector<TNodeLayout> layouts = Snapshot(doc.Root());
    for (TDecTreeNode* n : doc.PreOrder()) {
        // Path values are kept on end nodes only.
        const bool end = !n->HasChildren();
        out.push_back({{n->ExpectedValue, n->MinValue, n->MaxValue, end ? n->PathProbability : 0, end ? n->PathPayoff : 0},
                       n->InTakenPath,
                       layouts[out.size()]});
    }
    return out;
}

bool Shown(const TDecTreeNode* n)
{
    for (const TDecTreeNode* p = n->Parent(); p; p = p->Parent())
        if (!p->ChildrenVisible)
            return false;
    return true;
}

} // namespace

// An edit in place recomputes only what its value reaches: the values up the node's path and
// down its subtree, and the widths and places they move. Over random trees and random edits of
// every kind the result is the whole recalculation's, to the bit.
TEST_F(LayoutFixture, EditedValuesGiveTheWholeRecalculationsResult)
{
    std::mt19937 random(23);
    int edits = 0, alone = 0, pathMoved = 0;
    for (int round = 0; round < 40; ++round) {
        TRandomTreeSettings settings;
        settings.Seed = 500 + uint64_t(round);
        settings.NodeCount = 20 + int(random() % 200);
        settings.MaxChildren = 2 + int(random() % 4);
        settings.ChainShare = (random() % 3) * 0.3;
        // Two documents of the same tree: one is recalculated whole after every edit.
        TDecTreeDocument whole;
        FillRandomDocument(Doc, settings);
        FillRandomDocument(whole, settings);
        for (TDecTreeDocument* d : {&Doc, &whole}) {
            d->Options.ShowPayoff = round % 5 != 0;
            d->Options.OutlineCodes = round % 3 == 0;
            std::mt19937 same(static_cast<uint32_t>(round));
            for (TDecTreeNode* n : d->PreOrder()) {
                if (n != d->Root() && same() % 9 == 0)
                    n->ChildrenVisible = false;
                n->DecisionShowCaption = same() % 3 == 0;
                n->DecisionShowOwner = same() % 3 == 0;
                n->DecisionMultiShowBudget = same() % 2 == 0;
                n->DecisionMultiShowInvestment = same() % 2 == 0;
            }
            // Every third tree shows negative payoffs larger: their edits change a height. Every
            // fourth shows the branch texts off the taken path in bold: a change of the taken path
            // changes widths there, below the branch that moved too.
            auto* negative = d->StyleStates.InTakenPath()->OptionPayoffNegative()->FontSize();
            negative->Inherit = round % 3 != 1;
            negative->Value = 14;
            auto* offPath = d->StyleStates.NotInTakenPath()->OptionDescriptors()->FontBold();
            offPath->Inherit = round % 4 != 2;
            offPath->Value = true;
            d->CalculateValues();
            LayoutDocumentTree(*d->Root(), M.Canvas, 10);
        }
        const std::vector<TDecTreeNode*> nodes = Doc.PreOrder(), wholeNodes = whole.PreOrder();
        for (int k = 0; k < 30; ++k) {
            const size_t at = random() % nodes.size();
            TDecTreeNode* n = nodes[at];
            TDecTreeNode* w = wholeNodes[at];
            if (!Shown(n))
                continue;
            TEditedValue edit = TEditedValue::Text;
            const int kind = int(random() % 6);
            const QString text(int(random() % 25), QChar(u'a' + char(random() % 26)));
            if (kind == 0 && n->Parent()) {
                const TCurrency payoff = (TCurrency(random() % 2000000) - 1000000) * (random() % 2 ? 1 : 10000);
                n->Payoff = w->Payoff = payoff;
                edit = TEditedValue::Payoff;
            } else if (kind == 1 && n->Parent() && n->Parent()->NodeType == ntChance) {
                n->Probability = w->Probability = random() % 4 == 0 ? 0 : double(random() % 1000) / 8;
                edit = TEditedValue::Probability;
            } else if (kind == 2 && n->NodeType == ntMultiDecision) {
                n->DecisionMultiBudget = w->DecisionMultiBudget = int32_t(random() % 100000) - 1;
                edit = TEditedValue::Budget;
            } else if (kind == 5 && n->Parent() && n->Parent()->NodeType != ntChance) {
                n->TakeOption();
                w->TakeOption();
                edit = TEditedValue::Marks;
            } else if (kind == 3) {
                n->DecisionCaption = w->DecisionCaption = text;
                n->DecisionOwner = w->DecisionOwner = text;
            } else {
                n->Caption = w->Caption = text;
            }
            ++edits;
            const TEditedValuesResult values = UpdateEditedValues(*n, edit);
            if (!values.Updated)
                Doc.CalculateValues();
            std::vector<TDecTreeNode*> changed{n};
            if (edit == TEditedValue::Marks)
                changed.assign(n->Parent()->Children.begin(), n->Parent()->Children.end());
            pathMoved += values.TakenPathFrom != nullptr;
            if (values.Updated && (!values.TakenPathFrom || TakenStatesMeasureAlike(Doc, M.Canvas)) &&
                RelayoutChangedValues(*Doc.Root(), M.Canvas, 10, changed, values.PathValuesFrom))
                ++alone;
            else
                LayoutDocumentTree(*Doc.Root(), M.Canvas, 10);
            whole.CalculateValues();
            LayoutDocumentTree(*whole.Root(), M.Canvas, 10);
            const std::vector<TNodeResult> expected = Results(whole), actual = Results(Doc);
            for (size_t i = 0; i < actual.size(); ++i)
                ASSERT_TRUE(actual[i] == expected[i]) << "round " << round << ", edit " << k << ", node " << i;
        }
    }
    // Most edits were laid out alone; the others moved a height. Many moved the taken path.
    EXPECT_GT(alone, edits * 3 / 4);
    EXPECT_LT(alone, edits);
    EXPECT_GT(pathMoved, edits / 20);
}

// The same on a tree large enough that an edit's walks and its new layout are shared among
// threads: edits near the root reach tens of thousands of nodes, collapsed nodes and clones among
// them (whose end texts are measured in a font of their own).
TEST_F(LayoutFixture, EditsReachingLargeSubtreesGiveTheWholeRecalculationsResult)
{
    TRandomTreeSettings settings;
    settings.Seed = 91;
    settings.NodeCount = 60000;
    TDecTreeDocument whole;
    for (TDecTreeDocument* d : {&Doc, &whole}) {
        FillRandomDocument(*d, settings);
        d->Options.ShowPayoff = true;
        const std::vector<TDecTreeNode*> nodes = d->PreOrder();
        const std::vector<int32_t> size = d->SubtreeSizes();
        std::mt19937 same(5);
        // Collapsed nodes below the first levels, whose subtrees the edits reach whole.
        for (TDecTreeNode* n : nodes)
            if (n->HasChildren() && n->GetDepth() > 3 && same() % 151 == 0)
                n->ChildrenVisible = false;
        // End nodes far down the tree become clones of small subtrees found further on.
        for (size_t i = nodes.size() / 2, clones = 0; i < nodes.size() && clones < 20; i += 997) {
            size_t master = i + 1;
            while (master < nodes.size() && (size[master] < 3 || size[master] > 40))
                ++master;
            if (master < nodes.size() && !nodes[i]->HasChildren()) {
                QString refused;
                nodes[i]->SetCloneMaster(nodes[master]->Id, refused);
                clones += refused.isEmpty();
            }
        }
        auto* cloneEnds = d->StyleStates.CloneInTakenPath()->SymbolsTerminator()->FontSize();
        cloneEnds->Inherit = false;
        cloneEnds->Value = 13;
        d->Root()->RefreshClones();
        d->CalculateValues();
        LayoutDocumentTree(*d->Root(), M.Canvas, 10);
    }
    ASSERT_TRUE(Doc.HasClones());
    std::unordered_set<TGuid> masters;
    for (const TDecTreeNode* n : Doc.PreOrder())
        if (n->IsClone())
            masters.insert(n->CloneMasterId);
    auto editable = [&masters](const TDecTreeNode* n) {
        if (n->IsCloneOrInsideClone())
            return false;
        for (; n; n = n->Parent())
            if (masters.count(n->Id))
                return false;
        return true;
    };
    // Nodes with the largest subtrees first: the first four levels.
    std::vector<size_t> near;
    for (size_t i = 0; i < Doc.PreOrder().size(); ++i)
        if (Doc.PreOrder()[i]->GetDepth() <= 4 && editable(Doc.PreOrder()[i]))
            near.push_back(i);
    // And every fourth edit on the root's option with the largest subtree.
    size_t widest = 1;
    for (size_t c = 1; c < Doc.PreOrder().size(); c += size_t(Doc.SubtreeSizes()[c]))
        if (Doc.SubtreeSizes()[c] > Doc.SubtreeSizes()[widest])
            widest = c;
    ASSERT_TRUE(editable(Doc.PreOrder()[widest]));
    std::mt19937 random(31);
    int largest = 0;
    for (int k = 0; k < 16; ++k) {
        if (k == 12) {
            // From here on amounts carry a sign outside ASCII, which only the platform measures.
            for (TDecTreeDocument* d : {&Doc, &whole}) {
                d->Options.SetCurrencySymbol(QStringLiteral("\u20AC"));
                d->CalculateValues();
                LayoutDocumentTree(*d->Root(), M.Canvas, 10);
            }
        }
        const size_t at = k % 4 == 0 ? widest : near[random() % near.size()];
        TDecTreeNode* n = Doc.PreOrder()[at];
        TDecTreeNode* w = whole.PreOrder()[at];
        TDecTreeNode* parent = n->Parent();
        TEditedValue edit = TEditedValue::Payoff;
        if (parent && parent->NodeType == ntChance && k % 3 == 1) {
            // Off the taken path and back on it in turns.
            n->Probability = w->Probability = n->Probability > 0 ? 0 : 35;
            edit = TEditedValue::Probability;
        } else if (parent && parent->NodeType != ntChance && k % 3 == 2) {
            n->TakeOption();
            w->TakeOption();
            edit = TEditedValue::Marks;
        } else if (parent) {
            n->Payoff = w->Payoff = TCurrency(random() % 200000000) - 100000000;
        } else {
            continue;
        }
        const TEditedValuesResult values = UpdateEditedValues(*n, edit);
        ASSERT_TRUE(values.Updated);
        largest = std::max(largest, Doc.SubtreeSizes()[size_t(Doc.PositionOf(*values.PathValuesFrom))]);
        std::vector<TDecTreeNode*> changed{n};
        if (edit == TEditedValue::Marks)
            changed.assign(parent->Children.begin(), parent->Children.end());
        ASSERT_TRUE(TakenStatesMeasureAlike(Doc, M.Canvas));
        if (!RelayoutChangedValues(*Doc.Root(), M.Canvas, 10, changed, values.PathValuesFrom))
            LayoutDocumentTree(*Doc.Root(), M.Canvas, 10);
        whole.CalculateValues();
        LayoutDocumentTree(*whole.Root(), M.Canvas, 10);
        const std::vector<TNodeResult> expected = Results(whole), actual = Results(Doc);
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i)
            ASSERT_TRUE(actual[i] == expected[i]) << "edit " << k << ", node " << i;
    }
    EXPECT_GT(largest, 50000);
}

// A branch text that grows or shrinks moves the subtrees of its siblings sideways. A sibling's
// subtree of tens of thousands of nodes is moved by several threads (however many processors
// there are): the nodes above their ranges move with it.
TEST_F(LayoutFixture, ABranchTextMovesALargeSiblingSubtreeSideways)
{
    const TSubtreeWorkSettings saved = SubtreeWorkSettings();
    TRandomTreeSettings settings;
    settings.Seed = 12;
    settings.NodeCount = 45000;
    settings.MaxChildren = 2;
    TDecTreeDocument whole;
    for (TDecTreeDocument* d : {&Doc, &whole}) {
        FillRandomDocument(*d, settings);
        d->Root()->NodeType = ntDecision;
        Add(d->Root(), ntDecision, QStringLiteral("a"), 0, 0);
        d->CalculateValues();
        LayoutDocumentTree(*d->Root(), M.Canvas, 10);
    }
    int32_t largest = 0;
    for (const TDecTreeNode* c : Doc.Root()->Children)
        largest = std::max(largest, Doc.SubtreeSizes()[size_t(Doc.PositionOf(*c))]);
    ASSERT_GE(largest, 20000);
    for (const unsigned threads : {2u, 8u}) {
        SubtreeWorkSettings().Threads = threads;
        for (const int length : {60, 1, 30}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, a text of " << length);
            TDecTreeNode* a = Doc.Root()->Children[Doc.Root()->Children.Count() - 1];
            TDecTreeNode* w = whole.Root()->Children[whole.Root()->Children.Count() - 1];
            const int32_t before = Doc.Root()->Children[0]->ElementRects[htSymbol].Left;
            a->Caption = w->Caption = QString(length, QLatin1Char('w'));
            const TEditedValuesResult values = UpdateEditedValues(*a, TEditedValue::Text);
            ASSERT_TRUE(values.Updated);
            ASSERT_TRUE(RelayoutChangedValues(*Doc.Root(), M.Canvas, 10, {a}, values.PathValuesFrom));
            // The siblings moved.
            EXPECT_NE(Doc.Root()->Children[0]->ElementRects[htSymbol].Left, before);
            whole.CalculateValues();
            LayoutDocumentTree(*whole.Root(), M.Canvas, 10);
            const std::vector<TNodeResult> expected = Results(whole), actual = Results(Doc);
            ASSERT_EQ(actual.size(), expected.size());
            for (size_t i = 0; i < actual.size(); ++i)
                ASSERT_TRUE(actual[i] == expected[i]) << "node " << i;
        }
    }
    SubtreeWorkSettings() = saved;
}

// An edit that moves the taken path keeps every size only while each state measures as its
// alternate: a font of a style set apart off the path, for nodes or for clones, tells them apart;
// set alike in both, or on the path alone (which the state off the path inherits), it does not.
TEST_F(LayoutFixture, TakenPathStatesMeasureAlikeOnlyWithTheSameFonts)
{
    using TStyleOf = TStyle* (TStyleState::*)() const;
    struct TCase {
        const char* Name;
        TStyleOf Style;
        int Size;  // a font size, or 0 for bold
        bool Clones;
        bool Taken, NotTaken; // the states set apart
    };
    // The state off the path inherits from the one on it: what is set on the path alone holds
    // for both.
    const TCase cases[] = {
        {"branch texts bold off the path", &TStyleState::OptionDescriptors, 0, false, false, true},
        {"branch texts bold on the path", &TStyleState::OptionDescriptors, 0, false, true, false},
        {"branch texts bold on and off", &TStyleState::OptionDescriptors, 0, false, true, true},
        {"end texts larger off the path", &TStyleState::SymbolsTerminator, 15, false, false, true},
        {"negative payoffs larger off the path", &TStyleState::OptionPayoffNegative, 15, false, false, true},
        {"probabilities larger off the path", &TStyleState::ChanceOptionProbabilities, 15, false, false, true},
        {"attribute lines bold off the path", &TStyleState::SymbolAttributes, 0, false, false, true},
        {"clone branch texts bold off the path", &TStyleState::OptionDescriptors, 0, true, false, true},
        {"clone end texts larger off the path", &TStyleState::SymbolsTerminator, 15, true, false, true},
        {"clone payoffs larger off the path", &TStyleState::OptionPayoff, 15, true, false, true},
        {"clone end texts larger on the path", &TStyleState::SymbolsTerminator, 15, true, true, false},
        {"clone end texts larger on and off", &TStyleState::SymbolsTerminator, 15, true, true, true},
    };
    SetRoot(Doc, ntDecision);
    EXPECT_TRUE(TakenStatesMeasureAlike(Doc, M.Canvas));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TDecTreeDocument doc;
        SetRoot(doc, ntDecision);
        TStyleStates& states = doc.StyleStates;
        TStyleState* taken = c.Clones ? states.CloneInTakenPath() : states.InTakenPath();
        TStyleState* notTaken = c.Clones ? states.CloneNotInTakenPath() : states.NotInTakenPath();
        for (TStyleState* state : {c.Taken ? taken : nullptr, c.NotTaken ? notTaken : nullptr}) {
            if (!state)
                continue;
            TStyle* style = (state->*c.Style)();
            if (c.Size) {
                style->FontSize()->Inherit = false;
                style->FontSize()->Value = c.Size;
            } else {
                style->FontBold()->Inherit = false;
                style->FontBold()->Value = true;
            }
        }
        EXPECT_EQ(TakenStatesMeasureAlike(doc, M.Canvas), !c.NotTaken || c.Taken);
    }
}
