#pragma once
// The interactive tree control: shows one decision-tree document, lets the user select nodes
// and elements with the mouse and the keyboard, edits elements in place and runs the structural
// editing commands. The document itself (root, view settings, selection, style states, undo)
// is the headless TDecTreeDocument, which the control owns; the control adds only what a window
// needs: the drawing, the rubber band, the in-place editor, the attribute popup and its events.
//
// Every change ends in Recalculate, which recomputes the values, lays the tree out, sizes the
// area the view scrolls over and repaints at once. Painting happens only in paint events and
// covers only the exposed area, so a large tree stays fast.
//
// The control is a window onto the drawing, as large as the scroll box's visible area: the
// window system caps a widget's size far below the height of a large tree, so the control never
// takes the drawing's size. Nodes keep their rectangles in layout pixels; Origin is the layout
// point at the control's top-left corner, and every mapping between the two (hit tests, the
// editor, menus, dialogs, the band) goes through ToClient and ToLayout.

#include "Component/draw/TreePainter.h"
#include "Component/draw/HitTestResult.h"
#include "Component/draw/StyleApplier.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/EditedValues.h"
#include "Component/model/NodeTypes.h"
#include "Component/model/Rectangle.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

class QAction;
class QTimer;
class QMenu;
class TCanvas;
class TDecTree;
class TRecordingCanvas;
class TScrollableDecTree;
class TStyle;

// How a hit changes the selection: a plain click replaces it, a Ctrl-click toggles one node, a
// right click keeps a multiple selection it lands in.
enum class TSelectMode { Replace, Toggle, RightClick };

// The single-line editor laid over an element while it is edited in place. It hands Enter,
// Escape and Tab to the tree first, so they never reach the tree's own key handling.
class TInlineEditor : public QLineEdit {
    Q_OBJECT
public:
    // The blank the line edit keeps on either side of its text, in pixels.
    static constexpr int EditorTextInset = 2;
    explicit TInlineEditor(QWidget* parent);
    // Answers whether the key was taken.
    std::function<bool(QKeyEvent* event)> OnKeyDown;
    // Answers whether a text the user is about to type or paste is refused; the keystroke or
    // the paste then does not happen, so the text always shows what the node holds.
    std::function<bool(const QString& text)> Refuses;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The questions and dialogs the control opens. Each has a working default (message boxes and
// the due-date dialog); a host or a test may replace them.
struct TDecTreeDialogs {
    // A confirmation with Yes and No; true only for Yes.
    std::function<bool(QWidget* parent, const QString& text)> Confirm;
    // An information box with OK.
    std::function<void(QWidget* parent, const QString& text)> Inform;
    // The due-date dialog at a screen point; true when the date was changed.
    std::function<bool(const QPoint& screenPos, double& date)> EditDueDate;
};

class TDecTree : public QWidget {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TDecTree* sender)>;
    using TEditNodeElementEvent =
        std::function<void(TDecTree* sender, TDecTreeNode* node, TNodeElementType elementType)>;

    // The element Tab order; the two marks are never a selection element.
    static constexpr TNodeElementType TabOrder[11] = {
        htOptionDescriptor,          htProbability,          htPayoff,
        htSymbol,                    htSymbolAttributeBox,   htSymbolAttributeCaption,
        htSymbolAttributeOwner,      htSymbolAttributeMultiBudget,
        htSymbolAttributeMultiInvestment, htSymbolAttributeDueDate, htSymbolAttributeFixed,
    };

    explicit TDecTree(QWidget* parent = nullptr);
    ~TDecTree() override;

    // ---- The document ----
    TDecTreeDocument& Document() { return *FDocument; }
    const TDecTreeDocument& Document() const { return *FDocument; }
    TDecTreeNode* Root() const { return FDocument->Root(); }
    // Replaces the root (loading a document); the edit and the popup under way are forgotten.
    // The caller recalculates.
    void SetRoot(std::unique_ptr<TDecTreeNode> root);
    TTreeOptions& Options() { return FDocument->Options; }
    TStyleStates& StyleStates() { return FDocument->StyleStates; }
    TDecTreeUndoManager& UndoManager() { return FDocument->UndoManager; }
    void ResetDefaultStyles() { FDocument->ResetDefaultStyles(); }
    // The selected node ids in the order of selecting.
    TPrivateArrayList& Selection() { return FDocument->Selection; }
    const TPrivateArrayList& Selection() const { return FDocument->Selection; }

    // ---- View ----
    // Values, layout, size, an immediate repaint, then OnCalculated.
    void Recalculate();
    // The same after the edited element of node took a new value in place, with nothing else
    // changed since the last recalculation: only what that value reaches is computed and laid
    // out again, with the same result.
    void RecalculateEdit(TDecTreeNode& node, TNodeElementType element);
    // The same after option was taken (TakeOption): the marks of it and its siblings changed.
    void RecalculateTaken(TDecTreeNode& option);
    int GetLevels() const;
    // Shows that many levels (0 or less: all), then recalculates.
    void SetVisibleLevels(int levels);
    // The area the view scrolls over, in layout pixels: the drawing with its bottom margin, at
    // least MinWidth × MinHeight.
    QSize Extent() const { return FExtent; }
    int MinWidth() const { return FMinWidth; }
    int MinHeight() const { return FMinHeight; }
    void SetMinWidth(int value);
    void SetMinHeight(int value);
    int BorderSize = 10;
    // Money in the document's currency format (see FormatCurrency of NodeStatus.h).
    QString FormatCurrency(TCurrency value) const;
    // The whole tree onto any canvas (printing, picture export), without the screen's marks.
    void PaintToCanvas(TCanvas& canvas);
    // The context menu the host shows on a right click or the menu key (not owned).
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    // The hover hint in full ("short|long"); the tool tip shows the short part.
    const QString& Hint() const { return FHint; }

    // ---- Viewport ----
    // The layout point shown at the control's top-left corner.
    QPoint Origin() const { return FOrigin; }
    QPoint ToClient(const QPoint& layoutPoint) const { return layoutPoint - FOrigin; }
    QPoint ToLayout(const QPoint& clientPoint) const { return clientPoint + FOrigin; }
    // Scrolls to that origin, kept within 0 .. Extent less the control's size.
    void ScrollTo(const QPoint& origin);
    // Scrolls the least distance that shows the rectangle (layout pixels), its left or top edge
    // first where it does not fit. With centre, a rectangle not wholly in view is brought to the
    // middle of the view instead.
    void ScrollIntoView(const TRectangle& rect, bool centre = false);
    // Shows the selected element of the first selected node, with the node's title when there is
    // room for both.
    void ScrollSelectionIntoView(bool centre = false);

    // ---- Selection ----
    TNodeElementType SelectionElementType() const { return FSelectionElementType; }
    // Stores the element and repaints.
    void SetSelectionElementType(TNodeElementType value);
    // The selected nodes in selection order; ids that find no node are skipped.
    std::vector<TDecTreeNode*> GetSelectedNodes() const;
    std::vector<TGuid> GetSelectedNodeIds() const;
    // The one selected node, nullptr when none or several are selected.
    TDecTreeNode* GetSingleSelectedNode() const;
    // The selection becomes that node alone with that element (no repaint).
    void SelectNode(TDecTreeNode* node, TNodeElementType elementType);
    void SelectFromHit(const HitTestResult& hit, TSelectMode mode);
    HitTestResult HitTestAt(const QPoint& clientPos) const;
    HitTestResult HitTestAtCursor() const;
    // The selection element := the next valid one (the current one itself when Reset).
    void AdjustElementType(bool reset, bool backward = false);
    TNodeElementType NextElementType(TNodeElementType current, bool reset, bool backward) const;
    // Whether every node has that element (an empty list: true).
    static bool ValidElementType(TNodeElementType element, const std::vector<TDecTreeNode*>& nodes);
    static bool ValidElementType(TNodeElementType element, const TDecTreeNode& node);
    TRectangle BandRectangle() const;
    bool BandActive() const { return FBandActive; }

    // ---- In-place editing ----
    bool CanEditSelection() const;
    // Edits the selection element of the selected node at nodeIndex (the first when out of
    // range). True only when the inline editor opened.
    bool EditElement(bool advanced, int nodeIndex);
    // Hides the editor and gives the focus back to the tree; what was typed stays.
    void CloseInlineEditor();
    bool IsEditing() const;
    TInlineEditor* InlineEditor() const { return FEditor; }
    // The node being edited; nullptr when none (or when the tree it was in has been replaced).
    TDecTreeNode* EditedNode() const;
    TNodeElementType EditedElement() const { return FEditedElement; }
    // Why the editor's text gives the edited element no value, shown under the editor; empty
    // while it does.
    QString EditorRefusal() const;

    // ---- Editing commands ----
    void AddSubnodes(bool toParent);
    void DeleteSelectedNodes(bool ask);
    bool CanDeleteSelection() const;
    // The attribute popup, rebuilt for a node each time it opens.
    QMenu* AttributePopup() const { return FAttributePopup.get(); }
    void BuildAttributePopup(TDecTreeNode* node);
    TDecTreeNode* PopupNode() const;
    void PopupItemClick(QAction* item);

    // ---- Events ----
    TEditNodeElementEvent OnAdvancedEdit;
    TNotifyEvent OnBeforeExpandCollapse;
    TNotifyEvent OnBeforeShowDecisionProperty;
    TNotifyEvent OnCalculated;
    // A fault while painting, once when it first appears (after the paint event has ended);
    // without a handler it is shown with Dialogs.Inform.
    std::function<void(TDecTree* sender, const TPaintError& error)> OnPaintError;

    TDecTreeDialogs Dialogs;

    // The off-screen surface of the band frames; it only grows.
    QSize BackBufferSize() const { return FBackBuffer.size(); }

Q_SIGNALS:
    // The extent or the origin changed; the scroll box's bars follow.
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct TSelectionFacts;
    void ShowLayout(const TRectangle& bounds);
    // The extent for the drawing's size and the minimum, and the origin kept within it.
    void UpdateExtent();
    void MoveOrigin(const QPoint& origin);
    // While a band is dragged beyond the control's edge, the view follows the mouse.
    void AutoScrollBand();
    bool CanRecalculateEditAlone(const TDecTreeNode& node);
    void RecalculateChange(TDecTreeNode& node, TEditedValue edit);
    void PaintBuffered(const QRect& exposed);
    // After an undo or redo: no more than what it changed (see TUndoRestore).
    void RecalculateRestored();
    void PaintTreeArea(TCanvas& canvas, const QRect& exposed);
    void BlendBand(const QRect& exposed, const TRectangle& band);
    void UpdateBand(const QPoint& pos);
    void UpdateHint(const QPoint& pos);
    // The hint for whatever now lies under the mouse: a change may have given the element there
    // another hint (a clone unlinked, probabilities that add up again) or taken it away.
    void RefreshHint();
    QString HintFor(const HitTestResult& hit) const;
    void ForgetNodes();
    // Selected nodes under a collapsed node leave the selection, so nothing the user cannot see
    // stays selected for Enter or Delete; when none remains, the collapsed node that hid the
    // first of them is selected.
    void DropHiddenFromSelection();
    TScrollableDecTree* ScrollBox() const;

    // In-place editing.
    void OpenEditor(const QString& text);
    void PlaceEditor(bool opening);
    void ApplyEditorLook(const TStyle& style);
    int EditorTextWidth(const QString& text) const;
    void EditorChanged();
    bool EditorKeyDown(QKeyEvent* event);
    // Writes the text into the node; when it gives no value, the node is left alone and the
    // answer says why.
    QString WriteEditorValue(TDecTreeNode& node, const QString& text);
    // A number the edited element cannot hold: not finite, or beyond the money or budget type.
    bool EditorRefuses(const QString& text) const;
    void ShowEditorRefusal(const QString& why);
    void RestoreKeptValue(TDecTreeNode& node);
    void CopyEditedValueToSelection(TDecTreeNode& source);
    void SetEditedNode(TDecTreeNode* node, TNodeElementType element);

    std::unique_ptr<TDecTreeDocument> FDocument;
    TInlineEditor* FEditor = nullptr; // child widget
    QLabel* FEditorRefusal = nullptr; // child widget
    bool FNewSubnodes = false;
    bool FEditorUpdating = false;
    // The edited node by id, with a cache of its address for the document's structure version.
    TGuid FEditedId;
    mutable TDecTreeNode* FEditedCache = nullptr;
    mutable uint64_t FEditedCacheVersion = 0;
    bool FHasEditedNode = false;
    TNodeElementType FEditedElement = htOptionDescriptor;
    // Font and colour of the edited element, and the drawn width of what precedes the value
    // in its box (the outline code of a title, the label of an attribute line).
    TControlLook FEditorLook;
    int FEditorIndent = 0;
    // Values before the edit, put back by Escape.
    QString FKeptCaption;
    double FKeptProbability = 0;
    TCurrency FKeptPayoff = 0;
    QString FKeptDecisionCaption;
    QString FKeptDecisionOwner;
    int32_t FKeptBudget = -1;

    std::unique_ptr<QMenu> FAttributePopup;
    TGuid FPopupNodeId;
    bool FHasPopupNode = false;
    QPointer<QMenu> FPopupMenu;

    // The selected node and its ancestors as an undo step found them (see SelectionAnchor).
    std::vector<TGuid> FRestoreAnchor;
    TPrivateArrayList FBandBase{32, true};
    TNodeElementType FSelectionElementType = htOptionDescriptor;
    bool FBandActive = false;
    bool FPaintFailed = false;
    // Band corners in layout pixels, so that the band stays on the drawing while the view scrolls.
    QPoint FBandStart;
    QPoint FBandEnd;
    QPoint FBandMouse; // the mouse in client pixels at the band's last move
    QTimer* FAutoScroll = nullptr; // child object
    TRectangle FLastBandRect;
    int FMinWidth = 0;
    int FMinHeight = 0;
    QSize FDrawingSize; // the laid-out tree with its bottom margin
    QSize FExtent;
    QPoint FOrigin;
    QImage FBackBuffer;
    // What the painters learn about the drawing, kept until the next layout.
    TPaintCache FPaintCache;
    bool FCtrlAtMouseDown = false;
    QString FHint;
    std::unique_ptr<TRecordingCanvas> FMeasureCanvas;
    // What an edit's own recalculation needs of the tree as the last full one left it: its root
    // and structure, and the ids of the clones' masters (an edit inside a master changes its
    // clones too), gathered on the first edit that needs them.
    struct TEditBaseline {
        bool Valid = false;
        const TDecTreeNode* Root = nullptr;
        uint64_t Version = 0;
        bool MastersKnown = false;
        std::unordered_set<TGuid> Masters;
    };
    TEditBaseline FEditBaseline;
};
