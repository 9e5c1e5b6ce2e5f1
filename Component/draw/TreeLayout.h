#pragma once
// Layout of a decision tree, left to right: every node's branch text box, attribute box and
// symbol on the node's row, its children stacked to the right of the symbol, probability and
// payoff just above and below the incoming line. The two passes fill each node's layout cache
// (BoundsRect and one rectangle per TNodeElementType); the hit test reads it back.
//
// Every pass walks the tree with an explicit stack, so chains of any depth are laid out,
// painted and hit-tested on a normal call stack.

#include "Component/draw/HitTestResult.h"
#include "Component/model/NodeTypes.h"
#include "Component/model/Rectangle.h"

#include <cstdint>
#include <vector>

class TCanvas;
class TDecTreeDocument;
class TDecTreeNode;
class TStyle;

namespace TreeLayoutMetrics {
constexpr int32_t DescriptorPadding = 12;   // added to the text's width and line height
constexpr int32_t SymbolSize = 17;
constexpr int32_t GlyphSize = 9;
constexpr int32_t SymbolGap = 20;           // descriptor column to symbol column
constexpr int32_t ChildIndent = 13;         // symbol's right edge to the children's column
constexpr int32_t SiblingGap = 20;          // between sibling subtrees
constexpr int32_t BranchTextGap = 6;        // probability and payoff end before the symbol column
constexpr int32_t EndNodeTextRoom = 70;
} // namespace TreeLayoutMetrics

// The style that measures and paints an element of the node, in the node's style state; null
// for the two marks. ArgumentOutOfRangeException "OfType is not a valid TNodeElementType" for a
// value outside the enumeration.
TStyle* GetElementStyle(const TDecTreeNode& node, TNodeElementType element);

// First pass: the sizes of the elements of the node and all its descendants, collapsed ones
// included, measured on the canvas with the style that paints each text. The node must belong
// to a document (its styles and options are the document's).
void LayoutNode(TDecTreeNode& node, TCanvas& canvas);

// Second pass: the positions of the elements and the BoundsRect of the node and its shown
// descendants, the node's branch text box at (x, y) with the given column width. The canvas
// measures the end nodes' path texts and the symbols' line height. Subtrees that must move
// down to clear their parent's expected value are moved as a whole, in one final pass.
void LayoutTree(TDecTreeNode& node, int32_t x, int32_t y, int32_t columnWidth, TCanvas& canvas);

// Both passes on a root as the control lays out its document: the root's branch text box at
// (borderSize, borderSize) with its own width as column width. Returns the root's BoundsRect,
// whose right and bottom edges give the drawing's extent.
TRectangle LayoutDocumentTree(TDecTreeNode& root, TCanvas& canvas, int32_t borderSize);

// The layout brought up to date after the values of some nodes changed and nothing else since the
// last layout: the texts of the `changed` nodes and of their ancestors, and the end-node texts in
// the subtree of pathValuesFrom (null, or a node whose ancestors are all among those measured
// again). They are measured again and what they can move is placed again; a subtree with nothing
// new in it is only moved. Such changes move widths and horizontal places only: when a height
// changes too, the answer is false and the layout is left for LayoutDocumentTree to make whole.
// On true the layout is exactly the one it would make. A large subtree is placed by several
// threads.
bool RelayoutChangedValues(TDecTreeNode& root, TCanvas& canvas, int32_t borderSize,
                           const std::vector<TDecTreeNode*>& changed, TDecTreeNode* pathValuesFrom);

// Whether every style of the document's taken-path states measures as the same style of the
// not-taken states (for clones and for other nodes): then a node that enters or leaves the taken
// path keeps every size, and its layout changes only with its values.
bool TakenStatesMeasureAlike(const TDecTreeDocument& document, TCanvas& canvas);

// The node and element under the point: within the node's BoundsRect the node's own elements
// are tried first (marks, branch text, attribute lines, attribute box, symbol, probability,
// payoff), then the children in order, but never those of a collapsed node, whose layout is
// stale. Points on the right and bottom edges hit.
void HitTest(TDecTreeNode* node, int32_t x, int32_t y, HitTestResult& result);
HitTestResult HitTest(TDecTreeNode* node, int32_t x, int32_t y);

// The attribute-box line elements in the order in which they stand in the box, with whether
// the node shows each one.
struct TAttributeLineElements {
    TNodeElementType Element[6];
    bool Shown[6];
};
TAttributeLineElements AttributeLineElements(const TDecTreeNode& node);
