#pragma once
// Draws a laid-out decision tree onto a canvas: per node its branch text box, the connector
// lines, its symbol in the warning colour when a check fails, the attribute box, the expected
// value and the branch's probability (or taken mark) and payoff; on the control's own screen
// image also the comment mark, the expand and attribute-popup glyphs and the selection frames.
//
// Two passes: first every shadow, then everything else, so no shadow ever covers a neighbour.
// Styles come from each node's style state (clone or not, in the taken path or not) in the
// style states given at creation, which are the document's.

#include "Component/draw/Canvas.h"
#include "Component/draw/StyledPainter.h"
#include "Component/model/Clones.h"
#include "Component/model/NodeStatus.h"
#include "Component/model/NodeTypes.h"
#include "Component/model/Rectangle.h"
#include "shared/core/NullableColor.h"

#include <QRect>
#include <QString>

#include <unordered_map>
#include <vector>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class TDecTreeNode;
class TStyle;
class TStyleState;
class TStyleStates;
struct TTreeOptions;

// What painters learn about a laid-out drawing and keep from one painting to the next, until
// its owner says the layout changed: where, among a node's options, the look of the connectors
// or their column changes.
class TPaintCache {
public:
    void Clear() { FRunStarts.clear(); }
    // The indexes at which a run of the node's options with one connector look and one column
    // begins, in order (0 first).
    const std::vector<int>& RunStarts(const TDecTreeNode& node);

private:
    struct TRuns {
        int Count = -1; // of the options they were found among
        std::vector<int> Starts;
    };
    std::unordered_map<const TDecTreeNode*, TRuns> FRunStarts;
};

// Why a painting stopped: the class name and message of the exception that stopped it.
struct TPaintError {
    QString ClassName;
    QString Message;
};
using TPaintErrorHandler = std::function<void(const TPaintError&)>;

class TTreePainter {
public:
    static constexpr TColor clWarningRed = 0x000000FF;
    static constexpr TColor clWarningMagenta = 0x00FF00FF;

    // The canvas and the style states are not owned and must outlive the painter. OnScreen is
    // true only for the control's own image: then comment marks, glyphs and selection frames
    // are drawn too.
    TTreePainter(TCanvas& canvas, const TStyleStates& styleStates, bool onScreen);
    ~TTreePainter();
    TTreePainter(const TTreePainter&) = delete;
    TTreePainter& operator=(const TTreePainter&) = delete;

    const bool OnScreen;
    const std::unique_ptr<TStyledPainter> StyledPainter;
    const TStyleStates* const StyleStates;
    // Which element of the selected nodes carries the selection frame (the control's).
    TNodeElementType SelectionElementType = htOptionDescriptor;
    // Told once when an exception stops a painting.
    TPaintErrorHandler OnError;
    // Kept by the owner of a drawing that is painted again and again; none: the painter keeps
    // its own for one painting.
    TPaintCache* Cache = nullptr;

    // Both passes over the tree under root. Nodes whose subtree cannot reach the exposed area
    // (or the canvas's clip, when it has one) are skipped, so a small area of a huge tree
    // paints fast; without either, everything is drawn. Never throws: an exception stops the
    // painting, is kept in LastError and handed to OnError once, and false is returned.
    bool Paint(TDecTreeNode* root);
    bool Paint(TDecTreeNode* root, const QRect& exposed);
    const std::optional<TPaintError>& LastError() const { return FLastError; }

    // One pass over the node and its shown subtree. Throws what painting raises (an unknown
    // node type, a symbol of a height the triangle refuses); the node must belong to a
    // document, whose options say whether payoffs are shown and how money is written.
    void PaintNode(TDecTreeNode* node, bool shadowPass);

private:
    struct TNodeContext;
    bool PaintCaught(TDecTreeNode* root);
    void PaintPass(TDecTreeNode* root, bool shadowPass);
    void PaintHead(const TNodeContext& c);
    void PaintEndNode(const TNodeContext& c);
    void PaintSymbolAndAttributes(const TNodeContext& c);
    void PaintBranchTexts(const TNodeContext& c);
    void DrawElementSelection(const TNodeContext& c, TNodeElementType element, const TStyle& style, bool thin);
    TNullableColor WarningColor(const TDecTreeNode& node) const;
    bool SubtreeMayShow(const TDecTreeNode& node) const;
    bool RowMayShow(const TDecTreeNode& node) const;
    bool LineMayShow(const QPoint& from, const QPoint& to) const;
    // The children [first, last) whose subtree, or whose connector from the point, may reach
    // the area; all of them when there is no area.
    std::pair<int, int> ChildRange(const TDecTreeNode& node) const;
    std::pair<int, int> ConnectorRange(const TDecTreeNode& node, const QPoint& from) const;
    void PaintConnectors(TDecTreeNode& node, bool childrenInside, const QPoint& from, int first, int last);
    int32_t CullingMargin();
    QString DescriptorText(const TDecTreeNode& node);
    const QString& CodeBody(const TDecTreeNode& node);

    TCanvas& FCanvas;
    const TTreeOptions* FOptions = nullptr;
    std::optional<TMoneySeparators> FSeparators; // the locale's, taken once per painting
    std::optional<TRectangle> FArea; // what may show; none: everything
    int32_t FMargin = -1;            // how far drawing reaches beyond a node's rectangles
    std::optional<TPaintError> FLastError;
    // The outline codes (without their gap) of the nodes entered in this pass: a node's code is
    // its parent's and its place among the children, where asking the node walks all the way to
    // the root and looks for its place in every list on the way.
    std::unordered_map<const TDecTreeNode*, QString> FCodeBodies;
    // The clones' masters, for the codes under clones: looked up once a pass, not once a row.
    std::optional<TCloneMasters> FMasters;
    TPaintCache FOwnCache;
};
