#include "Component/draw/TreePainter.h"

#include "Component/draw/NodeStyles.h"
#include "Component/draw/StyleApplier.h"
#include "Component/draw/TreeGlyphs.h"
#include "Component/draw/TreeLayout.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/styles/StyleStates.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <vector>

struct TTreePainter::TNodeContext {
    TDecTreeNode& Node;
    const TStyleState& State;
    const TRectangle& D; // branch text box
    const TRectangle& S; // symbol
    const TRectangle& A; // attribute box
    bool CloneOrInsideClone; // known from the walk, which saves a climb to the root per node
    TNodeContext(TDecTreeNode& node, bool insideClone, const TStyleStates& states) :
        Node(node), State(*StyleStateFor(states, insideClone || node.IsClone(), node.InTakenPath)),
        D(node.ElementRects[htOptionDescriptor]), S(node.ElementRects[htSymbol]),
        A(node.ElementRects[htSymbolAttributeBox]), CloneOrInsideClone(insideClone || node.IsClone())
    {
    }
};

namespace {

const QString BranchParentTypeError = QStringLiteral("Unknown TreeNode.Parent.NodeType Value: ");

// A comment counts when anything but line breaks, blanks and control characters is left.
bool HasComment(const QString& comment)
{
    for (QChar ch : comment)
        if (ch.unicode() > 0x20)
            return true;
    return false;
}


} // namespace

TTreePainter::TTreePainter(TCanvas& canvas, const TStyleStates& styleStates, bool onScreen) :
    OnScreen(onScreen), StyledPainter(std::make_unique<TStyledPainter>(canvas)), StyleStates(&styleStates),
    FCanvas(canvas)
{
}

TTreePainter::~TTreePainter() = default;

bool TTreePainter::Paint(TDecTreeNode* root)
{
    FArea.reset();
    if (const std::optional<QRect> clip = FCanvas.ClipRect())
        FArea = TRectangle::Create(clip->x(), clip->y(), clip->width(), clip->height());
    return PaintCaught(root);
}

bool TTreePainter::Paint(TDecTreeNode* root, const QRect& exposed)
{
    QRect area = exposed;
    if (const std::optional<QRect> clip = FCanvas.ClipRect())
        area = area.intersected(*clip);
    FArea = TRectangle::Create(area.x(), area.y(), area.width(), area.height());
    return PaintCaught(root);
}

bool TTreePainter::PaintCaught(TDecTreeNode* root)
{
    FLastError.reset();
    try {
        FSeparators = TMoneySeparators::Current();
        PaintPass(root, true);
        PaintPass(root, false);
        FArea.reset();
        return true;
    } catch (const Exception& e) {
        FLastError = TPaintError{e.ClassName(), e.Message()};
    } catch (const std::exception& e) {
        FLastError = TPaintError{QStringLiteral("Exception"), QString::fromLocal8Bit(e.what())};
    } catch (...) {
        FLastError = TPaintError{QStringLiteral("Exception"), QStringLiteral("Unknown error while painting")};
    }
    FArea.reset();
    if (OnError) {
        // A failing handler must not carry the exception out of a paint event either.
        try {
            OnError(*FLastError);
        } catch (...) {
        }
    }
    return false;
}

void TTreePainter::PaintNode(TDecTreeNode* node, bool shadowPass)
{
    FSeparators = TMoneySeparators::Current();
    PaintPass(node, shadowPass);
}

int32_t TTreePainter::CullingMargin()
{
    if (FMargin >= 0)
        return FMargin;
    // Texts may stand a line above a node's rectangle, shadows, glyphs, wide outlines and
    // selection frames reach a few pixels beyond its elements.
    const TCanvasFont keep = FCanvas.Font;
    int32_t tallest = 0;
    for (int s = 0; s < TStyleStates::StateCount; ++s) {
        for (TStyle* style : StyleStates->State(s)->RootStyle()->GetAllStyles(true)) {
            TCanvasFont font = FCanvas.Font;
            ApplyStyleToFont(font, *style);
            FCanvas.Font = font;
            tallest = std::max(tallest, FCanvas.TextHeight(QStringLiteral("A")));
        }
    }
    FCanvas.Font = keep;
    FMargin = tallest + 2 * (MaxLineWidth + 2) + TStyledPainter::ShadowOffset;
    return FMargin;
}

bool TTreePainter::SubtreeMayShow(const TDecTreeNode& node) const
{
    return TRectangle::Intersects(TRectangle::InflateAll(node.BoundsRect, FMargin), *FArea);
}

bool TTreePainter::RowMayShow(const TDecTreeNode& node) const
{
    const TRectangle* rects = node.ElementRects;
    int64_t top = std::min(rects[htOptionDescriptor].Top, rects[htSymbol].Top);
    int64_t bottom = std::max(rects[htOptionDescriptor].Bottom(), rects[htSymbol].Bottom());
    auto take = [&](const TRectangle& r) {
        top = std::min<int64_t>(top, r.Top);
        bottom = std::max<int64_t>(bottom, r.Bottom());
    };
    if (rects[htSymbolAttributeBox].Width != 0)
        take(rects[htSymbolAttributeBox]);
    if (node.Parent()) {
        take(rects[htProbability]);
        take(rects[htPayoff]);
    }
    if (node.HasChildren())
        take(rects[htRollUpDown]);
    const TRectangle row = TRectangle::FromEdges(node.BoundsRect.Left, int32_t(std::max<int64_t>(top, INT32_MIN)),
                                                 node.BoundsRect.Right(), int32_t(std::min<int64_t>(bottom, INT32_MAX)));
    return TRectangle::Intersects(TRectangle::InflateAll(row, FMargin), *FArea);
}

bool TTreePainter::LineMayShow(const QPoint& from, const QPoint& to) const
{
    const TRectangle r = TRectangle::FromEdges(std::min(from.x(), to.x()), std::min(from.y(), to.y()),
                                               std::max(from.x(), to.x()), std::max(from.y(), to.y()));
    return TRectangle::Intersects(TRectangle::InflateAll(r, MaxLineWidth + 1), *FArea);
}

void TTreePainter::PaintPass(TDecTreeNode* root, bool shadowPass)
{
    if (!root)
        return;
    if (!root->Tree)
        throw InvalidOperationException(QStringLiteral("The tree to paint belongs to no document"));
    FOptions = &root->Tree->Options;
    FCodeBodies.clear();
    FMasters.reset();
    StyledPainter->ShadowPass = shadowPass;
    if (FArea)
        CullingMargin();

    struct TItem {
        TDecTreeNode* Node;
        bool InsideClone;
        bool After;   // the part drawn after the children
        bool RowShows;
    };
    std::vector<TItem> stack{{root, root->IsInsideClone(), false, true}};
    if (FOptions->OutlineCodes && !root->Parent())
        FCodeBodies[root] = QString();
    while (!stack.empty()) {
        const TItem item = stack.back();
        stack.pop_back();
        TDecTreeNode& n = *item.Node;
        const TNodeContext c(n, item.InsideClone, *StyleStates);
        if (item.After) {
            if (item.RowShows) {
                PaintSymbolAndAttributes(c);
                PaintBranchTexts(c);
            }
            continue;
        }
        if (FArea && !SubtreeMayShow(n))
            continue;
        const bool rowShows = !FArea || RowMayShow(n);
        if (rowShows)
            PaintHead(c);
        if (!n.HasChildren()) {
            if (rowShows) {
                PaintEndNode(c);
                PaintBranchTexts(c);
            }
            continue;
        }
        stack.push_back({&n, item.InsideClone, true, rowShows});
        if (!n.ChildrenVisible)
            continue;
        const bool childrenInside = item.InsideClone || n.IsClone();
        if (!shadowPass) {
            const QPoint from = c.S.Center();
            const auto [first, last] = ConnectorRange(n, from);
            PaintConnectors(n, childrenInside, from, first, last);
        }
        const auto [first, last] = ChildRange(n);
        for (int i = last - 1; i >= first; --i) {
            TDecTreeNode* child = n.Children[i];
            if (FOptions->OutlineCodes && !n.IsClone()) {
                // A node's code is its parent's and its own place; children of a clone are
                // numbered on from its master, so only they take the long way.
                const QString& parent = CodeBody(n);
                QString body;
                const QString number = QString::number(i + 1);
                body.reserve(parent.size() + 1 + number.size());
                if (!parent.isEmpty())
                    body.append(parent).append(QLatin1Char('.'));
                body.append(number);
                FCodeBodies[child] = std::move(body);
            }
            stack.push_back({child, childrenInside, false, true});
        }
    }
}

namespace {

// Runs of fewer connectors are drawn one by one.
constexpr int FanLines = 16;

bool SameConnectors(const TDecTreeNode& a, const TDecTreeNode& b)
{
    return a.IsClone() == b.IsClone() && a.InTakenPath == b.InTakenPath &&
           a.ElementRects[htOptionDescriptor].Left == b.ElementRects[htOptionDescriptor].Left;
}

} // namespace

const std::vector<int>& TPaintCache::RunStarts(const TDecTreeNode& node)
{
    TRuns& runs = FRunStarts[&node];
    const int count = node.Children.Count();
    if (runs.Count != count) {
        runs.Count = count;
        runs.Starts.clear();
        for (int i = 0; i < count; ++i)
            if (i == 0 || !SameConnectors(*node.Children[i - 1], *node.Children[i]))
                runs.Starts.push_back(i);
    }
    return runs.Starts;
}

// The connectors to the options [first, last). Where the canvas can, each run of one look is
// handed over whole, so that it leaves out the lines that would not change a pixel.
void TTreePainter::PaintConnectors(TDecTreeNode& n, bool childrenInside, const QPoint& from, int first, int last)
{
    const auto style = [&](int i) -> const TStyle& {
        const TDecTreeNode& child = *n.Children[i];
        return *StyleStateFor(*StyleStates, childrenInside || child.IsClone(), child.InTakenPath)->ConnectorLines();
    };
    const auto oneByOne = [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const QPoint to = n.Children[i]->ElementRects[htOptionDescriptor].LeftCenter();
            if (FArea && !LineMayShow(from, to))
                continue;
            StyledPainter->DrawLine(style(i), from, to);
        }
    };
    if (last - first < FanLines)
        return oneByOne(first, last);
    TPaintCache& cache = Cache ? *Cache : FOwnCache;
    const std::vector<int>& starts = cache.RunStarts(n);
    std::optional<QRect> area;
    if (FArea)
        area = FArea->ToRect();
    for (auto next = std::upper_bound(starts.begin(), starts.end(), first); first < last;) {
        const int end = next == starts.end() ? last : std::min(*next, last);
        TLineFan fan;
        fan.From = from;
        fan.X = n.Children[first]->ElementRects[htOptionDescriptor].Left;
        fan.Count = end - first;
        fan.Y = [&n, first](int k) { return n.Children[first + k]->ElementRects[htOptionDescriptor].CenterY(); };
        if (!StyledPainter->DrawLineFan(style(first), fan, area))
            oneByOne(first, end);
        first = end;
        if (next != starts.end())
            ++next;
    }
}

namespace {

// The first index in [0, count) for which past(i) holds, where past is false and then true.
template <class Past>
int FirstPast(int count, Past past)
{
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (past(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

} // namespace

// Children are stacked downwards in their order, each subtree below the one before it, so the
// ones an area can reach form one run, found by halving.
std::pair<int, int> TTreePainter::ChildRange(const TDecTreeNode& n) const
{
    const int count = n.Children.Count();
    if (!FArea)
        return {0, count};
    const TRectangle& a = *FArea;
    const int first = FirstPast(count, [&](int i) {
        const TRectangle r = TRectangle::InflateAll(n.Children[i]->BoundsRect, FMargin);
        return int64_t(a.Top) <= int64_t(r.Top) + r.Height;
    });
    const int last = first + FirstPast(count - first, [&](int i) {
        const TRectangle r = TRectangle::InflateAll(n.Children[first + i]->BoundsRect, FMargin);
        return int64_t(r.Top) > int64_t(a.Top) + a.Height;
    });
    return {first, last};
}

// The connectors' ends on the children's side go down with the children, so the lines whose
// height can meet the area form one run too.
std::pair<int, int> TTreePainter::ConnectorRange(const TDecTreeNode& n, const QPoint& from) const
{
    const int count = n.Children.Count();
    if (!FArea)
        return {0, count};
    const TRectangle& a = *FArea;
    const auto span = [&](int i) {
        const int32_t y = n.Children[i]->ElementRects[htOptionDescriptor].LeftCenter().y();
        return TRectangle::InflateAll(
            TRectangle::FromEdges(0, std::min(from.y(), y), 0, std::max(from.y(), y)), MaxLineWidth + 1);
    };
    const int first = FirstPast(count, [&](int i) {
        const TRectangle r = span(i);
        return int64_t(a.Top) <= int64_t(r.Top) + r.Height;
    });
    const int last = first + FirstPast(count - first, [&](int i) {
        const TRectangle r = span(first + i);
        return int64_t(r.Top) > int64_t(a.Top) + a.Height;
    });
    return {first, last};
}

const QString& TTreePainter::CodeBody(const TDecTreeNode& node)
{
    auto known = FCodeBodies.find(&node);
    if (known == FCodeBodies.end()) {
        if (!FMasters)
            FMasters.emplace(node);
        known = FCodeBodies.emplace(&node, node.GetOutlineCode(&*FMasters).chopped(2)).first;
    }
    return known->second;
}

QString TTreePainter::DescriptorText(const TDecTreeNode& node)
{
    if (!FOptions->OutlineCodes || !node.Parent())
        return node.Caption;
    const QString& body = CodeBody(node);
    QString text;
    text.reserve(body.size() + 2 + node.Caption.size());
    text.append(body).append(QLatin1String("  ")).append(node.Caption);
    return text;
}

void TTreePainter::PaintHead(const TNodeContext& c)
{
    const TStyle& descriptor = *c.State.OptionDescriptors();
    StyledPainter->DrawRectangle(descriptor, c.D);
    if (!StyledPainter->ShadowPass)
        StyledPainter->DrawText(descriptor, c.D.Center(), DescriptorText(c.Node), taCenter, taCenter);
    DrawElementSelection(c, htOptionDescriptor, descriptor, false);
    if (OnScreen && !StyledPainter->ShadowPass && HasComment(c.Node.Comment))
        StyledPainter->DrawCornerMarker(c.D, descriptor.EffectiveLineWidth());
    StyledPainter->DrawLine(*c.State.ConnectorLines(), c.D.RightCenter(), c.S.LeftCenter());
}

void TTreePainter::PaintEndNode(const TNodeContext& c)
{
    const TStyle& terminator = *c.State.SymbolsTerminator();
    StyledPainter->DrawTriangle(terminator, c.S);
    DrawElementSelection(c, htSymbol, terminator, false);
    if (StyledPainter->ShadowPass)
        return;
    const QString p = PathProbabilityText(c.Node.PathProbability);
    const int32_t x = c.S.Right() + 6;
    if (FOptions->ShowPayoff) {
        StyledPainter->DrawText(terminator, QPoint(x, c.S.CenterY() - 2), p, taLeftJustify, taRightJustify);
        StyledPainter->DrawText(terminator, QPoint(x, c.S.CenterY() + 2),
                                FormatCurrency(ValueToCurrency(c.Node.PathPayoff), *FOptions, *FSeparators),
                                taLeftJustify, taLeftJustify);
    } else {
        StyledPainter->DrawText(terminator, QPoint(x, c.S.CenterY()), p, taLeftJustify, taCenter);
    }
}

TNullableColor TTreePainter::WarningColor(const TDecTreeNode& node) const
{
    if (node.IsOverdue())
        return clWarningRed;
    if (node.NodeType == ntMultiDecision && node.DecisionMultiBudget != -1 &&
        node.GetInvestment() > int64_t(node.DecisionMultiBudget) * CurrencyScale)
        return clWarningMagenta;
    if (node.ChanceType == ctPercent && !SameValue(node.GetProbabilitySum(), 100))
        return clWarningMagenta;
    return {};
}

void TTreePainter::PaintSymbolAndAttributes(const TNodeContext& c)
{
    TDecTreeNode& n = c.Node;
    const TNullableColor warning = WarningColor(n);
    const TStyle* symbol = nullptr;
    switch (n.NodeType) {
    case ntDecision:
        symbol = c.State.SymbolsDecision();
        StyledPainter->DrawRectangle(*symbol, c.S, warning);
        break;
    case ntMultiDecision:
        symbol = c.State.SymbolsMultiDecision();
        StyledPainter->DrawRectangle(*symbol, c.S, warning);
        break;
    case ntChance:
        symbol = c.State.SymbolsChance();
        StyledPainter->DrawEllipse(*symbol, c.S, warning);
        break;
    default: throw InvalidOperationException(QStringLiteral("Unhandled NoteType"));
    }
    DrawElementSelection(c, htSymbol, *symbol, false);

    if (n.HasVisibleAttributes()) {
        const TStyle& attributes = *c.State.SymbolAttributes();
        StyledPainter->DrawRectangle(attributes, c.A);
        DrawElementSelection(c, htSymbolAttributeBox, attributes, false);
        struct TLine {
            bool Shown;
            TNodeElementType Element;
            const QString& Label;
            QString (TDecTreeNode::*Value)() const;
        };
        static const QString NoLabel;
        const TLine lines[] = {
            {n.ShowsCaption(), htSymbolAttributeCaption, NoLabel, &TDecTreeNode::GetCaptionText},
            {n.ShowsOwner(), htSymbolAttributeOwner, PainterTexts::Owner, &TDecTreeNode::GetOwnerText},
            {n.ShowsBudget(), htSymbolAttributeMultiBudget, PainterTexts::Budget, &TDecTreeNode::GetBudgetText},
            {n.ShowsInvestment(), htSymbolAttributeMultiInvestment, PainterTexts::Investment,
             &TDecTreeNode::GetInvestmentText},
            {n.ShowsDueDate(), htSymbolAttributeDueDate, PainterTexts::DueDate, &TDecTreeNode::GetDueDateText},
            {n.ShowsFixed(), htSymbolAttributeFixed, PainterTexts::Mode, &TDecTreeNode::GetStatusText},
        };
        for (const TLine& line : lines) {
            if (!line.Shown)
                continue;
            const TRectangle& r = n.ElementRects[line.Element];
            if (!StyledPainter->ShadowPass)
                StyledPainter->DrawTextRect(attributes, TRectangle::Inflate(r, 4, 0, 4, 0), r.TopLeft(),
                                            line.Label + (n.*line.Value)());
            DrawElementSelection(c, line.Element, attributes, true);
            if (line.Element == htSymbolAttributeCaption && n.HasCaptionAndAttributes())
                StyledPainter->DrawDottedLine(attributes, QPoint(r.Left, r.Bottom() + 2),
                                              QPoint(r.Right(), r.Bottom() + 2));
        }
    }

    if (OnScreen && !StyledPainter->ShadowPass) {
        if (!c.CloneOrInsideClone)
            StyledPainter->DrawGraphic(n.ElementRects[htRollUpDown].TopLeft(), TreeGlyph(tgRollUpDown));
        StyledPainter->DrawGraphic(n.ElementRects[htPlusMinus].TopLeft(),
                                   TreeGlyph(n.ChildrenVisible ? tgMinus : tgPlus));
    }

    if (FOptions->ShowPayoff && !StyledPainter->ShadowPass)
        StyledPainter->DrawText(*symbol, QPoint(c.S.Right() + 12, c.S.CenterY()),
                                FormatCurrency(ValueToCurrency(n.ExpectedValue), *FOptions, *FSeparators),
                                taLeftJustify, taCenter);
}

void TTreePainter::PaintBranchTexts(const TNodeContext& c)
{
    TDecTreeNode& n = c.Node;
    if (!n.Parent())
        return;
    const TStyle& style = *ProbabilityTextStyle(c.State, n, BranchParentTypeError);
    if (!StyledPainter->ShadowPass)
        StyledPainter->DrawText(style, n.ElementRects[htProbability].TopLeft(),
                                ProbabilityText(n, BranchParentTypeError), taLeftJustify, taLeftJustify);
    DrawElementSelection(c, htProbability, style, true);
    if (FOptions->ShowPayoff) {
        if (!StyledPainter->ShadowPass)
            StyledPainter->DrawText(*GetPayoffStyle(c.State, n), n.ElementRects[htPayoff].TopLeft(),
                                    FormatCurrency(n.Payoff, *FOptions, *FSeparators), taLeftJustify, taLeftJustify);
        DrawElementSelection(c, htPayoff, *c.State.OptionPayoff(), true);
    }
}

void TTreePainter::DrawElementSelection(const TNodeContext& c, TNodeElementType element, const TStyle& style,
                                        bool thin)
{
    if (!OnScreen || SelectionElementType != element || !c.Node.IsSelected())
        return;
    const int32_t w = thin ? 1 : std::max(style.EffectiveLineWidth(), 1) + 1;
    StyledPainter->DrawSelectionRect(TRectangle::InflateAll(c.Node.ElementRects[element], w));
}
