#include "Component/draw/TreeLayout.h"

#include "Component/draw/Canvas.h"
#include "Component/draw/CanvasFonts.h"
#include "Component/draw/NodeStyles.h"
#include "Component/draw/StyleApplier.h"
#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/SubtreeWork.h"
#include "Component/styles/StyleStates.h"
#include "shared/core/Exceptions.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <unordered_map>
#include <unordered_set>
#include <vector>

using namespace TreeLayoutMetrics;

namespace {

// Coordinates wrap like the 32-bit arithmetic they were designed with, so nonsense input gives
// nonsense positions, never undefined behaviour.
inline int32_t Wrap(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

TRectangle& Rect(TDecTreeNode& node, TNodeElementType e) { return node.ElementRects[e]; }

// Fonts and line heights per style, taken once per pass: a style's effective font walks its
// cascade, and a tree has thousands of texts in a handful of styles. Texts are measured by the
// same font entries every canvas measures with, so this is the canvas's own measurement.
class TMeasurer {
public:
    explicit TMeasurer(TCanvas& canvas) : FCanvas(canvas), FSeparators(TMoneySeparators::Current()) {}

    int32_t TextWidth(const TStyle& style, const QString& text)
    {
        if (text.isEmpty())
            return 0;
        return Entry(style).Font->TextWidth(text);
    }
    int32_t LineHeight(const TStyle& style) { return Entry(style).LineHeight; }
    int32_t MoneyWidth(const TStyle& style, TCurrency value, const TTreeOptions& options)
    {
        return TextWidth(style, FormatCurrency(value, options, FSeparators));
    }
    TCanvasFontEntry& FontEntry(const TStyle& style) { return *Entry(style).Font; }
    const TMoneySeparators& Separators() const { return FSeparators; }

private:
    struct TEntry {
        TCanvasFontEntry* Font = nullptr;
        int32_t LineHeight = 0;
    };
    TEntry& Entry(const TStyle& style)
    {
        if (&style == FLastStyle)
            return *FLast;
        auto it = FEntries.find(&style);
        if (it == FEntries.end()) {
            TCanvasFont font = FCanvas.Font;
            ApplyStyleToFont(font, style);
            const TCanvasFont keep = FCanvas.Font;
            FCanvas.Font = font;
            TEntry e{&CanvasFontEntry(font), FCanvas.TextHeight(QStringLiteral("A"))};
            FCanvas.Font = keep;
            it = FEntries.emplace(&style, e).first;
        }
        FLastStyle = &style;
        FLast = &it->second;
        return it->second;
    }

    TCanvas& FCanvas;
    // Asked once per layout: a tree has an amount or two per node, and the locale's answer is
    // the same for all of them.
    const TMoneySeparators FSeparators;
    std::unordered_map<const TStyle*, TEntry> FEntries;
    const TStyle* FLastStyle = nullptr;
    TEntry* FLast = nullptr;
};

TDecTreeDocument& DocumentOf(const TDecTreeNode& node)
{
    if (!node.Tree)
        throw InvalidOperationException(QStringLiteral("The node belongs to no tree, so it can not be laid out"));
    return *node.Tree;
}

const QString ParentTypeError = QStringLiteral("Unknown FParent.NodeType Value: ");

// The descriptor is the caption after the outline code, if any.
void MeasureNode(TDecTreeNode& n, const QString& descriptor, const TStyleState& state, const TTreeOptions& options,
                 TMeasurer& m)
{
    for (TRectangle& r : n.ElementRects)
        r = TRectangle::Empty();

    const TStyle& descriptorStyle = *state.OptionDescriptors();
    TRectangle& d = Rect(n, htOptionDescriptor);
    d.Width = Wrap(int64_t(m.TextWidth(descriptorStyle, descriptor)) +
                   DescriptorPadding);
    d.Height = m.LineHeight(descriptorStyle) + DescriptorPadding;

    if (n.Parent()) {
        const TStyle& probabilityStyle = *ProbabilityTextStyle(state, n, ParentTypeError);
        TRectangle& p = Rect(n, htProbability);
        p.Width = m.TextWidth(probabilityStyle, ProbabilityText(n, ParentTypeError));
        p.Height = m.LineHeight(probabilityStyle);
        // Measured in the style that paints it, so a negative payoff in a wider font still fits.
        const TStyle& payoffStyle = *GetPayoffStyle(state, n);
        TRectangle& y = Rect(n, htPayoff);
        y.Width = options.ShowPayoff ? m.MoneyWidth(payoffStyle, n.Payoff, options) : 0;
        y.Height = m.LineHeight(payoffStyle);
    }

    const TStyle& attributeStyle = *state.SymbolAttributes();
    TRectangle& box = Rect(n, htSymbolAttributeBox);
    QStringList lines;
    n.GetAttributeLines(lines);
    const int32_t lineHeight = lines.isEmpty() ? 0 : m.LineHeight(attributeStyle);
    if (!lines.isEmpty()) {
        int64_t width = 12;
        for (const QString& line : lines)
            width = std::max<int64_t>(width, int64_t(m.TextWidth(attributeStyle, line)) + 12);
        box.Width = Wrap(width);
        box.Height = Wrap(int64_t(lines.size()) * (lineHeight + 2) + 12 +
                          (n.ShowsCaption() && lines.size() > 1 ? 3 : 0));
    }

    Rect(n, htSymbol).Width = SymbolSize;
    Rect(n, htSymbol).Height = SymbolSize;

    const TAttributeLineElements shown = AttributeLineElements(n);
    for (int i = 0; i < 6; ++i) {
        if (!shown.Shown[i])
            continue;
        TRectangle& r = Rect(n, shown.Element[i]);
        r.Width = Wrap(int64_t(box.Width) - 12);
        r.Height = lineHeight;
    }
}

// Which nodes LayoutTree places: the node itself and, below an expanded node, its children.
bool PlacesChildren(const TDecTreeNode& n) { return n.HasChildren() && n.ChildrenVisible; }

// The horizontal places of a node's row at x with column width w: branch text, attribute box,
// symbol, probability and payoff.
void PlaceColumns(TDecTreeNode& n, int32_t x, int32_t w)
{
    TRectangle& d = Rect(n, htOptionDescriptor);
    TRectangle& s = Rect(n, htSymbol);
    TRectangle& box = Rect(n, htSymbolAttributeBox);
    n.BoundsRect.Left = x;
    d.Left = x;
    const int32_t symbolX = Wrap(int64_t(x) + w + SymbolGap);
    if (box.Width != 0) {
        box.Left = symbolX;
        s.Left = Wrap(int64_t(box.Left) + box.Width);
    } else {
        box.Left = 0;
        s.Left = symbolX;
    }
    TRectangle& p = Rect(n, htProbability);
    TRectangle& y = Rect(n, htPayoff);
    if (n.Parent()) {
        p.Left = Wrap(int64_t(symbolX) - p.Width - BranchTextGap);
        y.Left = Wrap(int64_t(symbolX) - y.Width - BranchTextGap);
    } else {
        p.Left = 0;
        y.Left = 0;
    }
}

// The horizontal places of what lies inside or under the box and the symbol: the attribute lines
// and the two marks.
void PlaceInnerColumns(TDecTreeNode& n)
{
    const TRectangle& box = Rect(n, htSymbolAttributeBox);
    const TRectangle& s = Rect(n, htSymbol);
    const TAttributeLineElements lines = AttributeLineElements(n);
    for (int i = 0; i < 6; ++i)
        Rect(n, lines.Element[i]).Left = lines.Shown[i] ? Wrap(int64_t(box.Left) + 6) : 0;
    const bool marks = n.HasChildren();
    const TRectangle& under = box.Width != 0 ? box : s;
    Rect(n, htRollUpDown).Left = marks ? Wrap(int64_t(under.CenterX()) - 4) : 0;
    Rect(n, htPlusMinus).Left = marks ? Wrap(int64_t(s.Left) + s.Width - 2) : 0;
}

// The column width of an expanded node's children: the widest branch text with its probability
// or payoff, whichever is wider.
int32_t ChildColumnWidth(const TDecTreeNode& n)
{
    int64_t widest = 0;
    bool first = true;
    for (const TDecTreeNode* c : n.Children) {
        const int64_t cw = int64_t(c->ElementRects[htOptionDescriptor].Width) +
                           std::max(c->ElementRects[htProbability].Width, c->ElementRects[htPayoff].Width);
        if (first || cw > widest)
            widest = cw;
        first = false;
    }
    return Wrap(widest);
}

int32_t ChildColumnX(const TDecTreeNode& n)
{
    const TRectangle& s = n.ElementRects[htSymbol];
    return Wrap(int64_t(s.Left) + s.Width + ChildIndent);
}

// An expanded node's width grows to take in each placed child.
void TakeInChild(TRectangle& b, const TDecTreeNode& c)
{
    const int64_t right = int64_t(c.BoundsRect.Left) + c.BoundsRect.Width - b.Left;
    if (right >= b.Width)
        b.Width = Wrap(right);
}

// The width of an end node or a collapsed one: room for the end-node text right of the symbol.
int32_t EndNodeWidth(const TDecTreeNode& n, int32_t columnWidth, int32_t textWidth)
{
    return Wrap(int64_t(n.ElementRects[htSymbolAttributeBox].Width) + columnWidth + n.ElementRects[htSymbol].Width +
                EndNodeTextRoom + textWidth);
}

// The wider of the end-node texts (path probability and path payoff) in the terminator's style.
int32_t EndNodeTextWidth(const TDecTreeNode& n, const TStyleState& state, const TTreeOptions& options, TMeasurer& m)
{
    const TStyle& terminator = *state.SymbolsTerminator();
    const int32_t t1 = m.TextWidth(terminator, PathProbabilityText(n.PathProbability));
    const int32_t t2 = m.MoneyWidth(terminator, ValueToCurrency(n.PathPayoff), options);
    return std::max(t1, t2);
}

// Hands each rectangle the second pass placed for one node (not its children) to move.
template <class Move>
void ForEachPlaced(TDecTreeNode& n, Move move)
{
    move(n.BoundsRect);
    move(Rect(n, htOptionDescriptor));
    move(Rect(n, htSymbol));
    if (n.Parent()) {
        move(Rect(n, htProbability));
        move(Rect(n, htPayoff));
    }
    if (Rect(n, htSymbolAttributeBox).Width != 0) {
        move(Rect(n, htSymbolAttributeBox));
        const TAttributeLineElements lines = AttributeLineElements(n);
        for (int i = 0; i < 6; ++i)
            if (lines.Shown[i])
                move(Rect(n, lines.Element[i]));
    }
    if (n.HasChildren()) {
        move(Rect(n, htRollUpDown));
        move(Rect(n, htPlusMinus));
    }
}

// Moves everything the second pass placed for one node (not its children) down by dy.
void TranslateNode(TDecTreeNode& n, int32_t dy)
{
    ForEachPlaced(n, [dy](TRectangle& r) { r.Top = Wrap(int64_t(r.Top) + dy); });
}

struct TFrame {
    TDecTreeNode* Node;
    int32_t ColumnWidth;
    int32_t ChildWidth;
    int Index;     // the node's place in the visit order
    int NextChild; // the next child to place
    size_t ChildBase; // where the indexes of its placed children start
};

class TTreePlacer {
public:
    TTreePlacer(TMeasurer& measurer, const TDecTreeDocument& document) :
        FMeasurer(measurer), FStates(document.StyleStates), FOptions(document.Options)
    {
    }

    void Run(TDecTreeNode& root, int32_t x, int32_t y, int32_t columnWidth)
    {
        Enter(root, x, y, columnWidth, -1, root.IsInsideClone());
        while (!FStack.empty()) {
            TFrame& f = FStack.back();
            TDecTreeNode& n = *f.Node;
            if (PlacesChildren(n) && f.NextChild < n.Children.Count()) {
                TDecTreeNode& c = *n.Children[f.NextChild++];
                const TRectangle& b = n.BoundsRect;
                const int index = int(FVisit.size());
                FChildIndexes.push_back(index);
                Enter(c, ChildColumnX(n), Wrap(int64_t(b.Top) + b.Height), f.ChildWidth, f.Index,
                      n.IsClone() || FInsideClone[size_t(f.Index)]);
                continue;
            }
            const TFrame done = f;
            FStack.pop_back();
            Finish(done);
            if (!FStack.empty())
                ChildPlaced(FStack.back(), n);
        }
        ApplyShifts();
    }

private:
    const TStyleState& StateOf(const TDecTreeNode& n, bool insideClone) const
    {
        return *StyleStateFor(FStates, insideClone || n.IsClone(), n.InTakenPath);
    }

    void Enter(TDecTreeNode& n, int32_t x, int32_t y, int32_t w, int parentIndex, bool insideClone)
    {
        const int index = int(FVisit.size());
        FVisit.push_back(&n);
        FParentIndex.push_back(parentIndex);
        FShift.push_back(0);
        FInsideClone.push_back(insideClone);

        n.BoundsRect.Top = y;
        PlaceColumns(n, x, w);
        int32_t childWidth = 0;
        if (PlacesChildren(n)) {
            childWidth = ChildColumnWidth(n);
            n.BoundsRect.Width = 0;
            n.BoundsRect.Height = 0;
        }
        FStack.push_back(TFrame{&n, w, childWidth, index, 0, FChildIndexes.size()});
    }

    void ChildPlaced(TFrame& parent, const TDecTreeNode& c)
    {
        TRectangle& b = parent.Node->BoundsRect;
        b.Height = Wrap(int64_t(b.Height) + c.BoundsRect.Height + SiblingGap);
        TakeInChild(b, c);
    }

    void Finish(const TFrame& f)
    {
        TDecTreeNode& n = *f.Node;
        const TStyleState& state = StateOf(n, FInsideClone[size_t(f.Index)]);
        TRectangle& b = n.BoundsRect;
        TRectangle& d = Rect(n, htOptionDescriptor);
        TRectangle& s = Rect(n, htSymbol);
        TRectangle& box = Rect(n, htSymbolAttributeBox);
        const bool expanded = PlacesChildren(n);
        if (expanded) {
            b.Height = Wrap(int64_t(b.Height) - SiblingGap);
        } else {
            b.Height = Wrap(int64_t(d.Height) + 2);
            b.Width = EndNodeWidth(n, f.ColumnWidth, EndNodeTextWidth(n, state, FOptions, FMeasurer));
        }
        b.Height = std::max(b.Height, Wrap(int64_t(box.Height) + 2));
        d.Top = Wrap(int64_t(b.CenterY()) - d.Height / 2);
        const int32_t row = d.CenterY();

        if (expanded && FOptions.ShowPayoff) {
            // Children whose branch text would run into this node's expected value move down,
            // by twice the overlap; they were placed already, so they move as a whole.
            const int32_t half = FMeasurer.LineHeight(*GetSymbolStyle(state, n)) / 2;
            const int64_t bandTop = int64_t(row) - half;
            const int64_t bandBottom = int64_t(row) + half;
            const int count = n.Children.Count();
            for (int i = 0; i < count; ++i) {
                const TRectangle& cd = n.Children[i]->ElementRects[htOptionDescriptor];
                auto inside = [&cd](int64_t v) {
                    return int64_t(cd.Top) - 2 <= v && v < int64_t(cd.Top) + cd.Height + 2;
                };
                if (!inside(bandTop) && !inside(bandBottom))
                    continue;
                const int32_t shift = Wrap((bandBottom - cd.Top) * 2);
                b.Height = Wrap(int64_t(b.Height) + shift);
                for (int j = i; j < count; ++j) {
                    int32_t& pending = FShift[size_t(FChildIndexes[f.ChildBase + size_t(j)])];
                    pending = Wrap(int64_t(pending) + shift);
                }
                break;
            }
        }
        if (expanded)
            FChildIndexes.resize(f.ChildBase);

        TRectangle& p = Rect(n, htProbability);
        TRectangle& y = Rect(n, htPayoff);
        if (n.Parent()) {
            y.Top = Wrap(int64_t(row) + 2);
            p.Top = Wrap(int64_t(row) - 2 - p.Height);
        } else {
            y.Top = 0;
            p.Top = 0;
        }
        s.Top = Wrap(int64_t(row) - s.Height / 2);
        box.Top = box.Width != 0 ? Wrap(int64_t(row) - box.Height / 2) : 0;

        PlaceInnerColumns(n);
        const TAttributeLineElements lines = AttributeLineElements(n);
        int64_t top = int64_t(box.Top) + 6;
        for (int i = 0; i < 6; ++i) {
            TRectangle& r = Rect(n, lines.Element[i]);
            if (!lines.Shown[i]) {
                r.Top = 0;
                continue;
            }
            r.Top = Wrap(top);
            top += int64_t(r.Height) + (lines.Element[i] == htSymbolAttributeCaption ? 5 : 2);
        }

        TRectangle& roll = Rect(n, htRollUpDown);
        TRectangle& plus = Rect(n, htPlusMinus);
        if (n.HasChildren()) {
            const TRectangle& under = box.Width != 0 ? box : s;
            roll.Top = Wrap(int64_t(under.Top) + under.Height - 2);
            roll.Width = roll.Height = GlyphSize;
            plus.Top = Wrap(int64_t(s.CenterY()) - 4);
            plus.Width = plus.Height = GlyphSize;
        } else {
            roll = TRectangle::Empty();
            plus = TRectangle::Empty();
        }
    }

    // The visit order is pre-order, so a parent's total is known before its children's.
    void ApplyShifts()
    {
        for (size_t i = 0; i < FVisit.size(); ++i) {
            if (FParentIndex[i] >= 0)
                FShift[i] = Wrap(int64_t(FShift[i]) + FShift[size_t(FParentIndex[i])]);
            if (FShift[i] != 0)
                TranslateNode(*FVisit[i], FShift[i]);
        }
    }

    TMeasurer& FMeasurer;
    const TStyleStates& FStates;
    const TTreeOptions& FOptions;
    std::vector<TFrame> FStack;
    std::vector<TDecTreeNode*> FVisit;
    std::vector<int> FParentIndex;
    std::vector<int32_t> FShift;
    std::vector<bool> FInsideClone;
    std::vector<int> FChildIndexes;
};

} // namespace

TAttributeLineElements AttributeLineElements(const TDecTreeNode& node)
{
    return TAttributeLineElements{
        {htSymbolAttributeCaption, htSymbolAttributeOwner, htSymbolAttributeMultiBudget,
         htSymbolAttributeMultiInvestment, htSymbolAttributeDueDate, htSymbolAttributeFixed},
        {node.ShowsCaption(), node.ShowsOwner(), node.ShowsBudget(), node.ShowsInvestment(),
         node.ShowsDueDate(), node.ShowsFixed()}};
}

TStyle* GetElementStyle(const TDecTreeNode& node, TNodeElementType element)
{
    switch (element) {
    case htOptionDescriptor: return GetStyleState(node)->OptionDescriptors();
    case htSymbol: return GetSymbolStyle(node);
    case htProbability: return GetProbabilityOrTakenStyle(node);
    case htPayoff: return GetPayoffStyle(node);
    case htPlusMinus:
    case htRollUpDown: return nullptr;
    case htSymbolAttributeBox:
    case htSymbolAttributeCaption:
    case htSymbolAttributeOwner:
    case htSymbolAttributeMultiBudget:
    case htSymbolAttributeMultiInvestment:
    case htSymbolAttributeDueDate:
    case htSymbolAttributeFixed: return GetStyleState(node)->SymbolAttributes();
    }
    throw ArgumentOutOfRangeException(QStringLiteral("OfType is not a valid TNodeElementType"));
}

namespace {

// Appends the decimal digits of a place, as QString::number writes them, without a text of its own.
void AppendNumber(QString& text, int number)
{
    char16_t digits[12];
    int at = 12;
    do {
        digits[--at] = char16_t(u'0' + number % 10);
        number /= 10;
    } while (number > 0);
    text.append(QStringView(digits + at, 12 - at));
}

// Measures every node below and including node. With outline codes, a node's code (without the
// gap that parts it from the caption) is its parent's, a dot and its place. Asking the node itself
// walks up to the root, which over a deep chain makes the pass quadratic; only the children of a
// clone, numbered on from the clone's master, still need that walk, with the pass's masters. A code
// is as long as the node is deep, so the texts are made once, in place: an end node's code only
// ever goes into the one text that is measured, and a fork's is kept for its children to share.
void MeasureTree(TDecTreeNode& node, TMeasurer& measurer)
{
    const TDecTreeDocument& document = DocumentOf(node);
    const bool codes = document.Options.OutlineCodes;
    struct TItem {
        TDecTreeNode* Node;
        bool InsideClone;
        QString Code; // Place 0: the node's own code; else its parent's (empty for the root's children)
        int Place;    // 1-based among the parent's children, or 0
    };
    std::vector<TItem> stack;
    const TCloneMasters masters(node);
    const QString code = codes ? node.GetOutlineCode(&masters) : QString();
    stack.push_back({&node, node.IsInsideClone(), code.isEmpty() ? QString() : code.chopped(2), 0});
    QString descriptor;
    QString own;
    while (!stack.empty()) {
        TItem item = std::move(stack.back());
        stack.pop_back();
        TDecTreeNode& n = *item.Node;
        const bool cloneOrInside = item.InsideClone || n.IsClone();
        descriptor.resize(0);
        descriptor.append(item.Code);
        if (item.Place != 0) {
            if (!item.Code.isEmpty())
                descriptor.append(QLatin1Char('.'));
            AppendNumber(descriptor, item.Place);
        }
        // A fork's code is kept for its children to share.
        own = item.Place == 0 ? item.Code : n.HasChildren() ? QString(descriptor) : QString();
        const bool coded = !descriptor.isEmpty();
        if (coded)
            descriptor.append(QLatin1String("  ")).append(n.Caption);
        MeasureNode(n, coded ? descriptor : n.Caption,
                    *StyleStateFor(document.StyleStates, cloneOrInside, n.InTakenPath), document.Options, measurer);
        for (int i = n.Children.Count() - 1; i >= 0; --i) {
            TDecTreeNode* child = n.Children[i];
            if (!codes)
                stack.push_back({child, cloneOrInside, QString(), 0});
            else if (n.IsClone())
                stack.push_back({child, cloneOrInside, child->GetOutlineCode(&masters).chopped(2), 0});
            else
                stack.push_back({child, cloneOrInside, own, i + 1});
        }
    }
}

// The branch text of a node as MeasureTree forms it: the outline code, if any, then the caption.
QString DescriptorText(const TDecTreeNode& n, const TTreeOptions& options)
{
    const QString code = options.OutlineCodes ? n.GetOutlineCode() : QString();
    if (code.isEmpty())
        return n.Caption;
    return code.chopped(2) + QLatin1String("  ") + n.Caption;
}

// Measures a node again as MeasureNode does, keeping where the last layout put it vertically.
// False when a height changed, or whether the node has an attribute box: then more than widths
// and horizontal places can move.
bool RemeasureKeepingHeights(TDecTreeNode& n, const TDecTreeDocument& document, TMeasurer& m)
{
    TRectangle old[NodeElementTypeCount];
    std::copy(std::begin(n.ElementRects), std::end(n.ElementRects), old);
    MeasureNode(n, DescriptorText(n, document.Options),
                *StyleStateFor(document.StyleStates, n.IsCloneOrInsideClone(), n.InTakenPath), document.Options, m);
    for (int e = 0; e < NodeElementTypeCount; ++e) {
        TRectangle& r = n.ElementRects[e];
        // The marks are sized where they are placed.
        if (e == htPlusMinus || e == htRollUpDown)
            r = old[e];
        if (r.Height != old[e].Height)
            return false;
        r.Top = old[e].Top;
    }
    return (old[htSymbolAttributeBox].Width == 0) == (n.ElementRects[htSymbolAttributeBox].Width == 0);
}

// Subtrees an edit moves or places again are shared out among threads from this many nodes.
const size_t& RelayoutParallelFrom = SubtreeWorkSettings().RelayoutFrom;

// at(i) for every placed position of the subtree at top (not below a collapsed node), in any
// order, shared out among threads for a large subtree.
template <class At>
void ForEachPlacedPosition(TDecTreeDocument& document, size_t top, At at)
{
    const std::vector<TDecTreeNode*>& nodes = document.PreOrder();
    const std::vector<int32_t>& size = document.SubtreeSizes();
    auto range = [&](size_t first, size_t end) {
        for (size_t i = first; i < end; i += PlacesChildren(*nodes[i]) ? 1 : size_t(size[i]))
            at(*nodes[i]);
    };
    const size_t n = size_t(size[top]);
    const unsigned threads = SubtreeThreadCount(n, RelayoutParallelFrom);
    if (threads <= 1)
        return range(top, top + n);
    const TSubtreePlan plan = PlanSubtrees(size, top, SubtreeGrain(n, threads),
                                           [&nodes](size_t i) { return PlacesChildren(*nodes[i]); });
    for (size_t i : plan.Above)
        at(*nodes[i]);
    ForEachSubtree(plan, threads, range);
}

// Moves everything placed for the node at position `at` and below it right by dx (a negative dx:
// left).
void TranslateSubtreeX(TDecTreeDocument& document, size_t at, int32_t dx)
{
    auto right = [dx](TRectangle& r) { r.Left = Wrap(int64_t(r.Left) + dx); };
    ForEachPlacedPosition(document, at, [&right](TDecTreeNode& n) { ForEachPlaced(n, right); });
}

// A subtree in which nothing was measured again, moved to its new place: its branch text to x,
// its symbol column and everything right of it to x + w. Its width follows the symbol column.
void MovePlacedSubtree(TDecTreeDocument& document, size_t at, int32_t x, int32_t w)
{
    TDecTreeNode& n = *document.PreOrder()[at];
    const TRectangle& box = Rect(n, htSymbolAttributeBox);
    const int32_t oldX = n.BoundsRect.Left;
    const int32_t oldSymbolX = box.Width != 0 ? box.Left : Rect(n, htSymbol).Left;
    const int32_t dx = Wrap(int64_t(x) - oldX);
    const int32_t dColumn = Wrap(int64_t(x) + w + SymbolGap - oldSymbolX);
    if (dx == 0 && dColumn == 0)
        return;
    if (dColumn != 0)
        TranslateSubtreeX(document, at, dColumn);
    // The branch text and the node's own left edge go with x, not with the column.
    n.BoundsRect.Left = x;
    Rect(n, htOptionDescriptor).Left = x;
    n.BoundsRect.Width = Wrap(int64_t(n.BoundsRect.Width) + dColumn - dx);
}

// The end-node texts of worker threads, measured with the terminator fonts of the four states,
// looked up before the workers start. Only a font whose widths are the sums of its characters'
// advances measures without the platform; any other text fails the walk (Failed), which is then
// made again on the calling thread.
class TConcurrentEndTexts {
public:
    TConcurrentEndTexts(TMeasurer& measurer, const TDecTreeDocument& document) :
        FOptions(document.Options), FSeparators(measurer.Separators())
    {
        for (int k = 0; k < TStyleStates::StateCount; ++k) {
            FStates[k] = document.StyleStates.State(k);
            TCanvasFontEntry& font = measurer.FontEntry(*FStates[k]->SymbolsTerminator());
            font.TextWidth(QStringLiteral("0")); // settles how the font measures
            FFonts[k] = &font;
        }
    }

    int32_t operator()(const TDecTreeNode& n, const TStyleState& state) const
    {
        const TCanvasFontEntry* font = nullptr;
        for (int k = 0; k < TStyleStates::StateCount; ++k)
            if (FStates[k] == &state)
                font = FFonts[k];
        const int32_t t1 = font ? font->SummedTextWidth(PathProbabilityText(n.PathProbability)) : -1;
        const int32_t t2 =
            font ? font->SummedTextWidth(FormatCurrency(ValueToCurrency(n.PathPayoff), FOptions, FSeparators)) : -1;
        if (t1 < 0 || t2 < 0) {
            Failed = true;
            return 0;
        }
        return std::max(t1, t2);
    }

    mutable std::atomic<bool> Failed{false};

private:
    const TTreeOptions& FOptions;
    const TMoneySeparators& FSeparators;
    const TStyleState* FStates[TStyleStates::StateCount] = {};
    const TCanvasFontEntry* FFonts[TStyleStates::StateCount] = {};
};

// The column width a node was last placed with: PlaceColumns put its symbol column that far
// (and the symbol gap) right of its branch text.
int32_t PlacedColumnWidth(const TDecTreeNode& n)
{
    const TRectangle& box = n.ElementRects[htSymbolAttributeBox];
    const int32_t symbolX = box.Width != 0 ? box.Left : n.ElementRects[htSymbol].Left;
    return Wrap(int64_t(symbolX) - n.BoundsRect.Left - SymbolGap);
}

using TNodeSet = std::unordered_set<const TDecTreeNode*>;

// Places the subtree at position first again, its branch text at x with column width w, as the
// second pass places it horizontally (every Top stays): each node's columns from its place, its
// children's from it, and the widths back up from the end nodes, whose texts are measured by
// endTextWidth(node, state). A node that keeps its place and column keeps every column below it:
// there only the widths are made again.
template <class EndTextWidth>
void PlaceSubtreeAcross(TDecTreeDocument& document, size_t first, int32_t x, int32_t w, bool insideClone,
                        const EndTextWidth& endTextWidth)
{
    const std::vector<TDecTreeNode*>& nodes = document.PreOrder();
    const std::vector<int32_t>& size = document.SubtreeSizes();
    struct TOpen {
        size_t At, Next;
        int32_t ChildX, ChildWidth;
        bool InsideClone; // for the children
        bool Kept;        // the children's columns are as they were
    };
    // A node measured again lost its places (its columns start at 0 again), so it never keeps
    // its column; and as its ancestors were measured again too, a node that keeps its column has
    // nothing measured again below it.
    auto columnsKept = [](const TDecTreeNode& n, int32_t nx, int32_t nw) {
        return nx == n.BoundsRect.Left && nw == PlacedColumnWidth(n);
    };
    std::vector<TOpen> stack;
    auto visit = [&](size_t i, int32_t nx, int32_t nw, bool inside, bool kept) {
        TDecTreeNode& n = *nodes[i];
        if (kept || columnsKept(n, nx, nw)) {
            kept = true;
            nw = PlacedColumnWidth(n);
        } else {
            PlaceColumns(n, nx, nw);
            PlaceInnerColumns(n);
        }
        if (PlacesChildren(n)) {
            n.BoundsRect.Width = 0;
            stack.push_back({i, i + 1, kept ? 0 : ChildColumnX(n), kept ? 0 : ChildColumnWidth(n),
                             inside || n.IsClone(), kept});
            return;
        }
        const TStyleState& state = *StyleStateFor(document.StyleStates, inside || n.IsClone(), n.InTakenPath);
        n.BoundsRect.Width = EndNodeWidth(n, nw, endTextWidth(n, state));
    };
    visit(first, x, w, insideClone, false);
    while (!stack.empty()) {
        TOpen& f = stack.back();
        if (f.Next < f.At + size_t(size[f.At])) {
            const size_t c = f.Next;
            f.Next += size_t(size[c]);
            const TOpen parent = f; // visit may grow the stack
            visit(c, parent.ChildX, parent.ChildWidth, parent.InsideClone, parent.Kept);
            continue;
        }
        TRectangle& bounds = nodes[f.At]->BoundsRect;
        for (size_t c = f.At + 1; c < f.Next; c += size_t(size[c]))
            TakeInChild(bounds, *nodes[c]);
        stack.pop_back();
    }
}

// The subtree of top placed again after all its end nodes got new path values. A large one is
// shared out among threads: the nodes above the workers' ranges get their columns first, and
// their widths from their children last.
void PlaceWithNewEndTexts(TDecTreeDocument& document, size_t at, int32_t x, int32_t w, TMeasurer& measurer)
{
    const bool insideClone = document.PreOrder()[at]->IsInsideClone();
    auto sequential = [&](size_t first) {
        PlaceSubtreeAcross(document, first, x, w, insideClone,
                           [&](const TDecTreeNode& n, const TStyleState& state) {
            return EndNodeTextWidth(n, state, document.Options, measurer);
        });
    };
    const std::vector<int32_t>& size = document.SubtreeSizes();
    const size_t n = size_t(size[at]);
    const unsigned threads = SubtreeThreadCount(n, RelayoutParallelFrom);
    if (threads <= 1)
        return sequential(at);
    const std::vector<TDecTreeNode*>& nodes = document.PreOrder();
    const std::vector<int32_t>& parent = document.ParentPositions();
    const TSubtreePlan plan = PlanSubtrees(size, at, SubtreeGrain(n, threads),
                                           [&nodes](size_t i) { return PlacesChildren(*nodes[i]); });
    // Each node above the ranges is open (it places children): its children's column, and
    // whether they lie inside a clone, by its place in Above.
    struct TColumn {
        int32_t X, Width;
        bool InsideClone;
    };
    std::vector<TColumn> columns(plan.Above.size());
    auto columnOf = [&](size_t i) -> const TColumn& {
        const auto it = std::lower_bound(plan.Above.begin(), plan.Above.end(), size_t(parent[i]));
        return columns[size_t(it - plan.Above.begin())];
    };
    for (size_t k = 0; k < plan.Above.size(); ++k) {
        const size_t i = plan.Above[k];
        TDecTreeNode& node = *nodes[i];
        const bool inside = i == at ? insideClone : columnOf(i).InsideClone;
        if (i == at) {
            PlaceColumns(node, x, w);
        } else {
            const TColumn& c = columnOf(i);
            PlaceColumns(node, c.X, c.Width);
        }
        PlaceInnerColumns(node);
        node.BoundsRect.Width = 0;
        columns[k] = {ChildColumnX(node), ChildColumnWidth(node), inside || node.IsClone()};
    }
    const TConcurrentEndTexts texts(measurer, document);
    ForEachSubtree(plan, threads, [&](size_t first, size_t) {
        if (first == at) {
            PlaceSubtreeAcross(document, first, x, w, insideClone, texts);
            return;
        }
        const TColumn& c = columnOf(first);
        PlaceSubtreeAcross(document, first, c.X, c.Width, c.InsideClone, texts);
    });
    // A text the workers could not measure left them going on with a width of 0: every column is
    // in place, and the walk on this thread makes only the widths again.
    if (texts.Failed)
        return sequential(at);
    for (auto it = plan.Above.rbegin(); it != plan.Above.rend(); ++it) {
        TDecTreeNode& node = *nodes[*it];
        for (const TDecTreeNode* c : node.Children)
            TakeInChild(node.BoundsRect, *c);
    }
}

} // namespace

bool RelayoutChangedValues(TDecTreeNode& root, TCanvas& canvas, int32_t borderSize,
                           const std::vector<TDecTreeNode*>& changed, TDecTreeNode* pathValuesFrom)
{
    TDecTreeDocument& document = DocumentOf(root);
    const std::vector<TDecTreeNode*>& nodes = document.PreOrder();
    const std::vector<int32_t>& size = document.SubtreeSizes();
    if (nodes.empty() || nodes.front() != &root)
        return false;
    TMeasurer measurer(canvas);
    // The changed nodes and their ancestors are measured again (an ancestor may show a sum of its
    // children, or a status); the nodes on their way down from the root are placed again.
    TNodeSet placeAgain;
    for (TDecTreeNode* c : changed) {
        for (TDecTreeNode* n = c; n && placeAgain.insert(n).second; n = n->Parent())
            if (!RemeasureKeepingHeights(*n, document, measurer))
                return false;
    }

    // Top down, by position in the document's order: a node to place again gets its columns from
    // its place and column width, and its children theirs from it; a subtree with nothing new in
    // it is only moved. Below pathValuesFrom every end node has new texts. Widths come back up as
    // each node is left.
    struct TFrame {
        size_t At, Next;
        int32_t ChildX, ChildWidth;
    };
    std::vector<TFrame> stack;
    auto visit = [&](size_t at, int32_t x, int32_t w) {
        TDecTreeNode& n = *nodes[at];
        if (&n == pathValuesFrom) {
            PlaceWithNewEndTexts(document, at, x, w, measurer);
            return;
        }
        if (!placeAgain.count(&n)) {
            MovePlacedSubtree(document, at, x, w);
            return;
        }
        PlaceColumns(n, x, w);
        PlaceInnerColumns(n);
        if (PlacesChildren(n)) {
            n.BoundsRect.Width = 0;
            stack.push_back({at, at + 1, ChildColumnX(n), ChildColumnWidth(n)});
            return;
        }
        const TStyleState& state = *StyleStateFor(document.StyleStates, n.IsCloneOrInsideClone(), n.InTakenPath);
        n.BoundsRect.Width = EndNodeWidth(n, w, EndNodeTextWidth(n, state, document.Options, measurer));
    };
    visit(0, borderSize, root.ElementRects[htOptionDescriptor].Width);
    while (!stack.empty()) {
        TFrame& f = stack.back();
        if (f.Next < f.At + size_t(size[f.At])) {
            const size_t c = f.Next;
            f.Next += size_t(size[c]);
            const TFrame parent = f; // visit may grow the stack
            visit(c, parent.ChildX, parent.ChildWidth);
            continue;
        }
        TRectangle& bounds = nodes[f.At]->BoundsRect;
        for (size_t c = f.At + 1; c < f.Next; c += size_t(size[c]))
            TakeInChild(bounds, *nodes[c]);
        stack.pop_back();
    }
    return true;
}

bool TakenStatesMeasureAlike(const TDecTreeDocument& document, TCanvas& canvas)
{
    // Each style of a state against the same style of the other: the layout asks nothing of a
    // style but its font.
    using TStyleOf = TStyle* (TStyleState::*)() const;
    static constexpr TStyleOf Styles[] = {
        &TStyleState::RootStyle,         &TStyleState::Symbols,
        &TStyleState::SymbolsDecision,   &TStyleState::SymbolsMultiDecision,
        &TStyleState::SymbolsChance,     &TStyleState::SymbolsTerminator,
        &TStyleState::SymbolAttributes,  &TStyleState::OptionDescriptors,
        &TStyleState::ConnectorLines,    &TStyleState::ChanceOptionProbabilities,
        &TStyleState::DecisionOptionsTaken, &TStyleState::DecisionOptionsTakenYes,
        &TStyleState::DecisionOptionsTakenNo, &TStyleState::OptionPayoff,
        &TStyleState::OptionPayoffPositive, &TStyleState::OptionPayoffNegative,
    };
    TMeasurer measurer(canvas);
    const TStyleStates& states = document.StyleStates;
    const std::pair<const TStyleState*, const TStyleState*> pairs[] = {
        {states.InTakenPath(), states.NotInTakenPath()},
        {states.CloneInTakenPath(), states.CloneNotInTakenPath()},
    };
    for (const auto& [taken, notTaken] : pairs)
        for (TStyleOf style : Styles)
            if (&measurer.FontEntry(*(taken->*style)()) != &measurer.FontEntry(*(notTaken->*style)()))
                return false;
    return true;
}

void LayoutNode(TDecTreeNode& node, TCanvas& canvas)
{
    TMeasurer measurer(canvas);
    MeasureTree(node, measurer);
}

void LayoutTree(TDecTreeNode& node, int32_t x, int32_t y, int32_t columnWidth, TCanvas& canvas)
{
    TMeasurer measurer(canvas);
    TTreePlacer(measurer, DocumentOf(node)).Run(node, x, y, columnWidth);
}

TRectangle LayoutDocumentTree(TDecTreeNode& root, TCanvas& canvas, int32_t borderSize)
{
    // One measurer for both passes: each style's font is looked up once.
    TMeasurer measurer(canvas);
    MeasureTree(root, measurer);
    TTreePlacer(measurer, DocumentOf(root)).Run(root, borderSize, borderSize,
                                                root.ElementRects[htOptionDescriptor].Width);
    return root.BoundsRect;
}

void HitTest(TDecTreeNode* node, int32_t x, int32_t y, HitTestResult& result)
{
    static constexpr TNodeElementType Order[] = {
        htPlusMinus, htRollUpDown, htOptionDescriptor, htSymbolAttributeCaption, htSymbolAttributeOwner,
        htSymbolAttributeMultiBudget, htSymbolAttributeMultiInvestment, htSymbolAttributeDueDate,
        htSymbolAttributeFixed, htSymbolAttributeBox, htSymbol, htProbability, htPayoff};
    result = HitTestResult::Null();
    if (!node)
        return;
    // Pre-order, children in order: the first node (in that order) with a hit element wins.
    std::vector<TDecTreeNode*> stack{node};
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        if (!n->BoundsRect.Contains(x, y))
            continue;
        for (TNodeElementType e : Order) {
            if (n->ElementRects[e].Contains(x, y)) {
                result = HitTestResult::Create(n, e);
                return;
            }
        }
        if (PlacesChildren(*n))
            for (int i = n->Children.Count() - 1; i >= 0; --i)
                stack.push_back(n->Children[i]);
    }
}

HitTestResult HitTest(TDecTreeNode* node, int32_t x, int32_t y)
{
    HitTestResult result;
    HitTest(node, x, y, result);
    return result;
}
