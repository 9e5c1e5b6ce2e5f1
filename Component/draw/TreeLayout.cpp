#include "Component/draw/TreeLayout.h"

#include "Component/draw/Canvas.h"
#include "Component/draw/CanvasFonts.h"
#include "Component/draw/NodeStyles.h"
#include "Component/draw/StyleApplier.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/styles/StyleStates.h"
#include "shared/core/Exceptions.h"

#include <QStringList>

#include <algorithm>
#include <unordered_map>
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

// Moves everything the second pass placed for one node (not its children) down by dy.
void TranslateNode(TDecTreeNode& n, int32_t dy)
{
    auto down = [dy](TRectangle& r) { r.Top = Wrap(int64_t(r.Top) + dy); };
    down(n.BoundsRect);
    down(Rect(n, htOptionDescriptor));
    down(Rect(n, htSymbol));
    if (n.Parent()) {
        down(Rect(n, htProbability));
        down(Rect(n, htPayoff));
    }
    if (Rect(n, htSymbolAttributeBox).Width != 0) {
        down(Rect(n, htSymbolAttributeBox));
        const TAttributeLineElements lines = AttributeLineElements(n);
        for (int i = 0; i < 6; ++i)
            if (lines.Shown[i])
                down(Rect(n, lines.Element[i]));
    }
    if (n.HasChildren()) {
        down(Rect(n, htRollUpDown));
        down(Rect(n, htPlusMinus));
    }
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
                const TRectangle& s = Rect(n, htSymbol);
                const TRectangle& b = n.BoundsRect;
                const int index = int(FVisit.size());
                FChildIndexes.push_back(index);
                Enter(c, Wrap(int64_t(s.Left) + s.Width + ChildIndent), Wrap(int64_t(b.Top) + b.Height),
                      f.ChildWidth, f.Index, n.IsClone() || FInsideClone[size_t(f.Index)]);
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

        TRectangle& d = Rect(n, htOptionDescriptor);
        TRectangle& s = Rect(n, htSymbol);
        TRectangle& box = Rect(n, htSymbolAttributeBox);
        n.BoundsRect.Left = x;
        n.BoundsRect.Top = y;
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
        TRectangle& y2 = Rect(n, htPayoff);
        if (n.Parent()) {
            p.Left = Wrap(int64_t(symbolX) - p.Width - BranchTextGap);
            y2.Left = Wrap(int64_t(symbolX) - y2.Width - BranchTextGap);
        } else {
            p.Left = 0;
            y2.Left = 0;
        }
        int32_t childWidth = 0;
        if (PlacesChildren(n)) {
            int64_t widest = 0;
            bool first = true;
            for (const TDecTreeNode* c : n.Children) {
                const int64_t cw = int64_t(c->ElementRects[htOptionDescriptor].Width) +
                                   std::max(c->ElementRects[htProbability].Width, c->ElementRects[htPayoff].Width);
                if (first || cw > widest)
                    widest = cw;
                first = false;
            }
            childWidth = Wrap(widest);
            n.BoundsRect.Width = 0;
            n.BoundsRect.Height = 0;
        }
        FStack.push_back(TFrame{&n, w, childWidth, index, 0, FChildIndexes.size()});
    }

    void ChildPlaced(TFrame& parent, const TDecTreeNode& c)
    {
        TRectangle& b = parent.Node->BoundsRect;
        b.Height = Wrap(int64_t(b.Height) + c.BoundsRect.Height + SiblingGap);
        const int64_t right = int64_t(c.BoundsRect.Left) + c.BoundsRect.Width - b.Left;
        if (right >= b.Width)
            b.Width = Wrap(right);
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
            const TStyle& terminator = *state.SymbolsTerminator();
            const int32_t t1 = FMeasurer.TextWidth(terminator, PathProbabilityText(n.PathProbability));
            const int32_t t2 = FMeasurer.MoneyWidth(terminator, ValueToCurrency(n.PathPayoff), FOptions);
            b.Width = Wrap(int64_t(box.Width) + f.ColumnWidth + s.Width + EndNodeTextRoom + std::max(t1, t2));
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

        const TAttributeLineElements lines = AttributeLineElements(n);
        int64_t top = int64_t(box.Top) + 6;
        for (int i = 0; i < 6; ++i) {
            TRectangle& r = Rect(n, lines.Element[i]);
            if (!lines.Shown[i]) {
                r.Left = 0;
                r.Top = 0;
                continue;
            }
            r.Left = Wrap(int64_t(box.Left) + 6);
            r.Top = Wrap(top);
            top += int64_t(r.Height) + (lines.Element[i] == htSymbolAttributeCaption ? 5 : 2);
        }

        TRectangle& roll = Rect(n, htRollUpDown);
        TRectangle& plus = Rect(n, htPlusMinus);
        if (n.HasChildren()) {
            const TRectangle& under = box.Width != 0 ? box : s;
            roll = TRectangle::Create(Wrap(int64_t(under.CenterX()) - 4),
                                      Wrap(int64_t(under.Top) + under.Height - 2), GlyphSize, GlyphSize);
            plus = TRectangle::Create(Wrap(int64_t(s.Left) + s.Width - 2), Wrap(int64_t(s.CenterY()) - 4),
                                      GlyphSize, GlyphSize);
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

// The outline code of a node, without the gap that parts it from the caption, from its parent's
// when that is known. Asking the node itself walks up to the root, which over a deep chain makes
// the pass quadratic; only the children of a clone, numbered on from the clone's master, still
// need that walk. A code is as long as the node is deep, so it is copied once, not piece by piece.
QString ChildOutlineBody(const TDecTreeNode& child, const TDecTreeNode& parent, const QString& parentBody, int index)
{
    if (parent.IsClone())
        return child.GetOutlineCode().chopped(2);
    const QString number = QString::number(index + 1);
    if (parentBody.isEmpty())
        return number;
    QString body;
    body.reserve(parentBody.size() + 1 + number.size());
    body.append(parentBody).append(QLatin1Char('.')).append(number);
    return body;
}

void MeasureTree(TDecTreeNode& node, TMeasurer& measurer)
{
    const TDecTreeDocument& document = DocumentOf(node);
    const bool codes = document.Options.OutlineCodes;
    struct TItem {
        TDecTreeNode* Node;
        bool InsideClone;
        QString CodeBody; // empty without codes and for the root
    };
    std::vector<TItem> stack;
    const QString code = codes ? node.GetOutlineCode() : QString();
    stack.push_back({&node, node.IsInsideClone(), code.isEmpty() ? QString() : code.chopped(2)});
    QString descriptor;
    while (!stack.empty()) {
        TItem item = std::move(stack.back());
        stack.pop_back();
        TDecTreeNode& n = *item.Node;
        const bool cloneOrInside = item.InsideClone || n.IsClone();
        if (!item.CodeBody.isEmpty()) {
            descriptor.clear();
            descriptor.reserve(item.CodeBody.size() + 2 + n.Caption.size());
            descriptor.append(item.CodeBody).append(QLatin1String("  ")).append(n.Caption);
        }
        MeasureNode(n, item.CodeBody.isEmpty() ? n.Caption : descriptor,
                    *StyleStateFor(document.StyleStates, cloneOrInside, n.InTakenPath), document.Options, measurer);
        for (int i = n.Children.Count() - 1; i >= 0; --i) {
            TDecTreeNode* child = n.Children[i];
            stack.push_back({child, cloneOrInside, codes ? ChildOutlineBody(*child, n, item.CodeBody, i) : QString()});
        }
    }
}

} // namespace

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
