#include "Component/control/DecTree.h"

#include "Component/control/ControlStrings.h"
#include "Component/control/EditDueDateForm.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/draw/PainterCanvas.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/draw/TreeLayout.h"
#include "Component/draw/TreePainter.h"
#include "Component/model/EditedValues.h"
#include "Component/model/NodeStatus.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QValidator>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

// The band's colour and how much of the drawing shows through it on its edge and inside.
constexpr int BandRed = 10;
constexpr int BandGreen = 50;
constexpr int BandBlue = 255;
constexpr int BandEdgeAlpha = 25;
constexpr int BandInsideAlpha = 190;
// The back buffer grows by this much so that every small resize does not reallocate it.
constexpr int BackBufferMargin = 50;
// How often the view follows a band dragged beyond the control's edge, and the most it moves at
// once: the farther the mouse is beyond the edge, the faster it scrolls.
constexpr int AutoScrollMs = 40;
constexpr int AutoScrollMaxStep = 200;

int ClampToInt(int64_t value)
{
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// The origin along one axis that shows the span low .. low + size in a view of that length.
int64_t ShowSpan(int64_t origin, int64_t view, int64_t low, int64_t size, bool centre)
{
    if (low >= origin && low + size <= origin + view)
        return origin;
    if (centre)
        return low + size / 2 - view / 2;
    if (size > view || low < origin)
        return low;
    return low + size - view;
}

// How far a coordinate lies beyond the span 0 .. length - 1, with its sign.
int Overshoot(int value, int length)
{
    return value < 0 ? value : value >= length ? value - length + 1 : 0;
}

bool DefaultConfirm(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, QString(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void DefaultInform(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QString(), text, QMessageBox::Ok);
}

bool DefaultEditDueDate(const QPoint& screenPos, double& date)
{
    return EditDueDate(screenPos.x(), screenPos.y(), date);
}

inline uint8_t BlendChannel(uint32_t pixel, int colour, int alpha)
{
    return uint8_t(((pixel * uint32_t(alpha)) >> 8) + uint32_t(colour * (255 - alpha)) / 255);
}

inline QRgb BlendPixel(QRgb p, int alpha)
{
    return qRgb(BlendChannel(qRed(p), BandRed, alpha), BlendChannel(qGreen(p), BandGreen, alpha),
                BlendChannel(qBlue(p), BandBlue, alpha));
}

class TRefusingValidator : public QValidator {
public:
    explicit TRefusingValidator(TInlineEditor* editor) : QValidator(editor), FEditor(editor) {}
    State validate(QString& input, int&) const override
    {
        return FEditor->Refuses && FEditor->Refuses(input) ? Invalid : Acceptable;
    }

private:
    TInlineEditor* FEditor;
};

} // namespace

// ---------------------------------------------------------------------------------------------

TInlineEditor::TInlineEditor(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new TRefusingValidator(this));
    // The line edit keeps a fixed blank of two pixels beside its text; negative margins take
    // it back, so the text stands exactly where the drawing had it and a value as wide as its
    // drawn element fits without its first character being scrolled out of view.
    setTextMargins(-EditorTextInset, 0, -EditorTextInset, 0);
}

void TInlineEditor::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyDown && OnKeyDown(event)) {
        event->accept();
        return;
    }
    switch (event->key()) {
    // Line ends and Escape never reach the tree behind the editor; Tab stays in the editor.
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        event->accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
        // Keys the editor does not use (Page Up, F-keys) stop here too: they would otherwise
        // act on the tree, on a selection the user cannot see while editing.
        event->accept();
    }
}

// ---------------------------------------------------------------------------------------------

TDecTree::TDecTree(QWidget* parent)
    : QWidget(parent), FDocument(std::make_unique<TDecTreeDocument>()),
      FMeasureCanvas(std::make_unique<TRecordingCanvas>())
{
    Dialogs.Confirm = DefaultConfirm;
    Dialogs.Inform = DefaultInform;
    Dialogs.EditDueDate = DefaultEditDueDate;

    FBackBuffer = QImage(1, 1, QImage::Format_RGB32);
    FBackBuffer.fill(Qt::white);

    TDecTreeUndoManager& undo = FDocument->UndoManager;
    undo.OnBeforeRestore = [this] {
        CloseInlineEditor();
        ForgetNodes();
        FRestoreAnchor = FDocument->SelectionAnchor();
    };
    undo.OnAfterRestore = [this] {
        // A selection whose nodes the restored tree does not hold moves to the nearest of their
        // ancestors that it does, so the keys and commands still have a node to act on.
        if (!FRestoreAnchor.empty() && GetSelectedNodes().empty()) {
            FDocument->SelectNearest(FRestoreAnchor);
            AdjustElementType(true);
        }
        FRestoreAnchor.clear();
        DropHiddenFromSelection();
        RecalculateRestored();
    };

    FAttributePopup = std::make_unique<QMenu>();
    connect(FAttributePopup.get(), &QMenu::triggered, this, [this](QAction* item) { PopupItemClick(item); });

    resize(100, 100);

    FAutoScroll = new QTimer(this);
    FAutoScroll->setInterval(AutoScrollMs);
    connect(FAutoScroll, &QTimer::timeout, this, [this] { AutoScrollBand(); });

    FEditor = new TInlineEditor(this);
    FEditor->hide();
    FEditor->setFrame(false);
    FEditor->OnKeyDown = [this](QKeyEvent* event) { return EditorKeyDown(event); };
    FEditor->Refuses = [this](const QString& text) { return EditorRefuses(text); };
    connect(FEditor, &QLineEdit::textChanged, this, [this] { EditorChanged(); });
    FEditorRefusal = new QLabel(this);
    FEditorRefusal->hide();
    FEditorRefusal->setFrameShape(QFrame::Box);
    FEditorRefusal->setAutoFillBackground(true);
    QPalette refusal = FEditorRefusal->palette();
    refusal.setColor(QPalette::Window, Qt::white);
    refusal.setColor(QPalette::WindowText, Qt::red);
    FEditorRefusal->setPalette(refusal);

    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    FDocument->NewRoot();
    FSelectionElementType = htOptionDescriptor;
}

TDecTree::~TDecTree()
{
    // Nothing may call back into this control while its widgets are torn down.
    FEditor->disconnect(this);
    FEditor->OnKeyDown = nullptr;
    FEditor->Refuses = nullptr;
    FDocument->UndoManager.OnBeforeRestore = nullptr;
    FDocument->UndoManager.OnAfterRestore = nullptr;
}

void TDecTree::SetRoot(std::unique_ptr<TDecTreeNode> root)
{
    CloseInlineEditor();
    ForgetNodes();
    FDocument->SetRoot(std::move(root));
}

void TDecTree::ForgetNodes()
{
    FHasEditedNode = false;
    FEditedCache = nullptr;
    FHasPopupNode = false;
    FNewSubnodes = false;
    FAttributePopup->hide();
}

TScrollableDecTree* TDecTree::ScrollBox() const
{
    // The scroll area puts the tree into its viewport.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* box = qobject_cast<TScrollableDecTree*>(w))
            return box;
    return nullptr;
}

// ---- View ----------------------------------------------------------------------------------

void TDecTree::Recalculate()
{
    FEditBaseline = TEditBaseline{};
    TDecTreeNode* root = Root();
    TRectangle bounds;
    if (root) {
        // Clones first, so the roll-back sees current copies; the document then marks the root
        // taken and runs roll-back and path values in one walk of its cached node order.
        root->RefreshClones();
        FDocument->CalculateValues();

        FMeasureCanvas->Clear();
        bounds = LayoutDocumentTree(*root, *FMeasureCanvas, BorderSize);
        // The next edits in place need only what they reach.
        FEditBaseline.Valid = true;
        FEditBaseline.Root = root;
        FEditBaseline.Version = FDocument->StructureVersion();
    }
    ShowLayout(bounds);
}

void TDecTree::ShowLayout(const TRectangle& bounds)
{
    FPaintCache.Clear();
    if (Root()) {
        FDrawingSize = QSize(std::max(bounds.Width, 0), ClampToInt(std::max<int64_t>(int64_t(bounds.Height) + 12, 0)));
        UpdateExtent();
    }
    if (isVisible())
        repaint();
    else
        update();
    RefreshHint();
    if (OnCalculated)
        OnCalculated(this);
}

bool TDecTree::CanRecalculateEditAlone(const TDecTreeNode& node)
{
    TDecTreeNode* root = Root();
    if (!root || node.Tree != FDocument.get() || node.IsCloneOrInsideClone())
        return false;
    if (!FEditBaseline.Valid || FEditBaseline.Root != root || FEditBaseline.Version != FDocument->StructureVersion())
        return false;
    if (!FDocument->HasClones())
        return true;
    if (!FEditBaseline.MastersKnown) {
        for (const TDecTreeNode* n : FDocument->PreOrder())
            if (n->IsClone())
                FEditBaseline.Masters.insert(n->CloneMasterId);
        FEditBaseline.MastersKnown = true;
    }
    for (const TDecTreeNode* n = &node; n; n = n->Parent())
        if (FEditBaseline.Masters.count(n->Id))
            return false;
    return true;
}

void TDecTree::RecalculateEdit(TDecTreeNode& node, TNodeElementType element)
{
    switch (element) {
    case htOptionDescriptor:
    case htSymbolAttributeCaption:
    case htSymbolAttributeOwner: return RecalculateChange(node, TEditedValue::Text);
    case htPayoff: return RecalculateChange(node, TEditedValue::Payoff);
    case htProbability: return RecalculateChange(node, TEditedValue::Probability);
    case htSymbolAttributeMultiBudget: return RecalculateChange(node, TEditedValue::Budget);
    default: return Recalculate();
    }
}

void TDecTree::RecalculateTaken(TDecTreeNode& option)
{
    RecalculateChange(option, TEditedValue::Marks);
}

void TDecTree::RecalculateChange(TDecTreeNode& node, TEditedValue edit)
{
    if (!CanRecalculateEditAlone(node))
        return Recalculate();
    const TEditedValuesResult values = UpdateEditedValues(node, edit);
    if (!values.Updated)
        return Recalculate();
    TDecTreeNode& root = *Root();
    FMeasureCanvas->Clear();
    // The marks beside a taken option changed with it; a node that entered or left the taken
    // path keeps its sizes only while both states measure alike.
    std::vector<TDecTreeNode*> changed{&node};
    if (edit == TEditedValue::Marks)
        changed.assign(node.Parent()->Children.begin(), node.Parent()->Children.end());
    const bool alone = !values.TakenPathFrom || TakenStatesMeasureAlike(*FDocument, *FMeasureCanvas);
    if (!alone || !RelayoutChangedValues(root, *FMeasureCanvas, BorderSize, changed, values.PathValuesFrom))
        LayoutDocumentTree(root, *FMeasureCanvas, BorderSize);
    ShowLayout(root.BoundsRect);
}

void TDecTree::RecalculateRestored()
{
    // A restore that wrote values in place is recalculated as the edit that made the difference
    // was: one text, payoff or budget, or the probabilities of the options of one node.
    const TUndoRestore& restored = FDocument->UndoManager.LastRestore();
    const std::vector<TTreeRestore::TChanged>& changed = restored.Tree.Changed;
    if (restored.Tree.Structure || restored.Tree.Resized || restored.Options || restored.Styles || !Root())
        return Recalculate();
    // Nothing changed: the tree is shown again as it stands.
    if (changed.empty())
        return RecalculateChange(*Root(), TEditedValue::Text);
    TDecTreeNode& first = *changed.front().Node;
    if (changed.size() == 1) {
        const uint32_t fields = changed.front().Fields;
        if (!(fields & ~uint32_t(rfCaption | rfDecisionCaption | rfDecisionOwner)))
            return RecalculateChange(first, TEditedValue::Text);
        if (fields == rfPayoff && first.Parent())
            return RecalculateChange(first, TEditedValue::Payoff);
        if (fields == rfBudget)
            return RecalculateChange(first, TEditedValue::Budget);
    }
    TDecTreeNode* parent = first.Parent();
    bool options = parent != nullptr;
    for (const TTreeRestore::TChanged& c : changed)
        options = options && c.Fields == rfProbability && c.Node->Parent() == parent;
    if (options && parent->NodeType != ntChance)
        return RecalculateChange(first, TEditedValue::Marks);
    if (options && changed.size() == 1)
        return RecalculateChange(first, TEditedValue::Probability);
    Recalculate();
}

int TDecTree::GetLevels() const
{
    return Root() ? Root()->GetLevelCount() : 0;
}

void TDecTree::SetVisibleLevels(int levels)
{
    if (Root())
        Root()->SetLevelsVisible(levels);
    DropHiddenFromSelection();
    Recalculate();
}

void TDecTree::DropHiddenFromSelection()
{
    TPrivateArrayList shown(32, true);
    TDecTreeNode* firstHider = nullptr;
    for (TDecTreeNode* node : GetSelectedNodes()) {
        // The topmost collapsed ancestor hides the node and is itself shown.
        TDecTreeNode* hider = nullptr;
        for (TDecTreeNode* a = node->Parent(); a; a = a->Parent())
            if (!a->ChildrenVisible)
                hider = a;
        if (!hider)
            shown.Add(node->Id);
        else if (!firstHider)
            firstHider = hider;
    }
    if (shown.Count() == 0 && firstHider)
        shown.Add(firstHider->Id);
    if (shown.Equals(Selection(), false))
        return;
    Selection() = shown;
    AdjustElementType(true);
}

void TDecTree::SetMinWidth(int value)
{
    FMinWidth = value;
    UpdateExtent();
}

void TDecTree::SetMinHeight(int value)
{
    FMinHeight = value;
    UpdateExtent();
}

// ---- Viewport ------------------------------------------------------------------------------

void TDecTree::UpdateExtent()
{
    const QSize extent = FDrawingSize.expandedTo(QSize(FMinWidth, FMinHeight));
    const bool changed = extent != FExtent;
    FExtent = extent;
    // A drawing that shrank below the view pulls the view back onto it.
    const QPoint before = FOrigin;
    ScrollTo(FOrigin);
    if (changed && FOrigin == before)
        Q_EMIT ViewChanged();
}

void TDecTree::ScrollTo(const QPoint& origin)
{
    const int maxX = std::max(0, FExtent.width() - width());
    const int maxY = std::max(0, FExtent.height() - height());
    const QPoint clamped(std::clamp(origin.x(), 0, maxX), std::clamp(origin.y(), 0, maxY));
    if (clamped == FOrigin)
        return;
    MoveOrigin(clamped);
    Q_EMIT ViewChanged();
}

void TDecTree::MoveOrigin(const QPoint& origin)
{
    const QPoint shift = FOrigin - origin;
    FOrigin = origin;
    // What is drawn moves with the drawing and only the uncovered strip is painted; the editor
    // and its note move along, as they lie on the element they edit.
    if (isVisible()) {
        scroll(shift.x(), shift.y());
    } else {
        FEditor->move(FEditor->pos() + shift);
        FEditorRefusal->move(FEditorRefusal->pos() + shift);
    }
}

void TDecTree::ScrollIntoView(const TRectangle& rect, bool centre)
{
    // A point on the right or bottom edge belongs to the rectangle, so the span is one longer.
    const int64_t x = ShowSpan(FOrigin.x(), width(), rect.Left, int64_t(rect.Width) + 1, centre);
    const int64_t y = ShowSpan(FOrigin.y(), height(), rect.Top, int64_t(rect.Height) + 1, centre);
    ScrollTo(QPoint(ClampToInt(x), ClampToInt(y)));
}

void TDecTree::ScrollSelectionIntoView(bool centre)
{
    const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    if (nodes.empty())
        return;
    const TDecTreeNode& node = *nodes.front();
    const TRectangle& title = node.ElementRects[htOptionDescriptor];
    TRectangle element = node.ElementRects[FSelectionElementType];
    if (element.Width == 0 && element.Height == 0)
        element = title;
    // The drawing's own border around it keeps the selection frame, which lies just outside the
    // element, in view too.
    ScrollIntoView(TRectangle::InflateAll(TRectangle::Union(title, element), BorderSize), centre);
    ScrollIntoView(TRectangle::InflateAll(element, BorderSize));
}

void TDecTree::AutoScrollBand()
{
    const QPoint beyond(Overshoot(FBandMouse.x(), width()), Overshoot(FBandMouse.y(), height()));
    if (!FBandActive || beyond.isNull()) {
        FAutoScroll->stop();
        return;
    }
    const QPoint step(std::clamp(beyond.x(), -AutoScrollMaxStep, AutoScrollMaxStep),
                      std::clamp(beyond.y(), -AutoScrollMaxStep, AutoScrollMaxStep));
    const QPoint before = FOrigin;
    ScrollTo(FOrigin + step);
    // At the drawing's end there is nothing more to reach until the mouse moves again.
    if (FOrigin == before) {
        FAutoScroll->stop();
        return;
    }
    UpdateBand(FBandMouse);
}

QString TDecTree::FormatCurrency(TCurrency value) const
{
    return ::FormatCurrency(value, FDocument->Options);
}

void TDecTree::PaintToCanvas(TCanvas& canvas)
{
    if (!Root())
        return;
    TTreePainter painter(canvas, FDocument->StyleStates, false);
    painter.SelectionElementType = FSelectionElementType;
    painter.Paint(Root());
}

void TDecTree::paintEvent(QPaintEvent* event)
{
    const QRect exposed = event->rect();
    // The view is painted into the back buffer, whose pixels the canvas writes itself (the
    // lines among them the same whatever part of the drawing is exposed), and copied to the
    // screen in one piece. A scaled screen is painted on directly, at its own resolution.
    if (FBandActive || devicePixelRatioF() == 1.0) {
        PaintBuffered(exposed);
        return;
    }
    // The painter works in layout pixels. Texts are drawn through pre-laid-out glyph runs, whose
    // placement stays exact however far down a large drawing they lie.
    QPainter qp(this);
    qp.translate(-FOrigin);
    TPainterCanvas canvas(&qp);
    PaintTreeArea(canvas, exposed.translated(FOrigin));
}

void TDecTree::PaintTreeArea(TCanvas& canvas, const QRect& exposed)
{
    canvas.Brush = TCanvasBrush{0x00FFFFFF, TBrushStyle::Solid};
    canvas.FillRect(exposed);
    if (!Root())
        return;
    TTreePainter painter(canvas, FDocument->StyleStates, true);
    painter.SelectionElementType = FSelectionElementType;
    painter.Cache = &FPaintCache;
    const bool painted = painter.Paint(Root(), exposed);
    // A fault that repeats on every repaint is reported once, when it first appears; the report
    // waits until painting is over, since a message box must not open inside a paint event.
    if (!painted && !FPaintFailed && painter.LastError()) {
        const TPaintError error = *painter.LastError();
        QTimer::singleShot(0, this, [this, error] {
            if (OnPaintError)
                OnPaintError(this, error);
            else if (Dialogs.Inform)
                Dialogs.Inform(this, error.ClassName + QStringLiteral(": ") + error.Message);
        });
    }
    FPaintFailed = !painted;
}

// The exposed area is painted into the back buffer, the band (while it is drawn) blended into
// its pixels, and the result copied to the screen in one piece, so the band never flickers.
void TDecTree::PaintBuffered(const QRect& exposed)
{
    if (exposed.isEmpty())
        return;
    if (FBackBuffer.width() < exposed.width() || FBackBuffer.height() < exposed.height()) {
        FBackBuffer = QImage(std::max(FBackBuffer.width(), exposed.width() + BackBufferMargin),
                             std::max(FBackBuffer.height(), exposed.height() + BackBufferMargin),
                             QImage::Format_RGB32);
    }
    const QRect area = exposed.translated(FOrigin);
    {
        QPainter bp(&FBackBuffer);
        bp.translate(-area.topLeft());
        TPainterCanvas canvas(&bp);
        PaintTreeArea(canvas, area);
    }
    if (FBandActive) {
        const TRectangle band = BandRectangle();
        BlendBand(area, band);
        FLastBandRect = band;
    }
    QPainter qp(this);
    qp.drawImage(exposed.topLeft(), FBackBuffer, QRect(QPoint(0, 0), exposed.size()));
}

void TDecTree::BlendBand(const QRect& exposed, const TRectangle& band)
{
    // Pixels of the band's frame (edges inclusive) that lie in the exposed area.
    const int left = std::max(band.Left, exposed.left());
    const int right = std::min(band.Left + band.Width, exposed.right());
    const int top = std::max(band.Top, exposed.top());
    const int bottom = std::min(band.Top + band.Height, exposed.bottom());
    for (int y = top; y <= bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(FBackBuffer.scanLine(y - exposed.top()));
        const bool edgeRow = y == band.Top || y == band.Top + band.Height;
        for (int x = left; x <= right; ++x) {
            const bool edge = edgeRow || x == band.Left || x == band.Left + band.Width;
            QRgb& p = row[x - exposed.left()];
            p = BlendPixel(p, edge ? BandEdgeAlpha : BandInsideAlpha);
        }
    }
}

void TDecTree::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A larger view may reach past the drawing's end: the origin comes back within the extent.
    ScrollTo(FOrigin);
    // The back buffer covers what can be exposed at once, the control. It never shrinks.
    const QSize need = size();
    if (FBackBuffer.width() < need.width() || FBackBuffer.height() < need.height())
        FBackBuffer = QImage(std::max(FBackBuffer.width(), need.width() + BackBufferMargin),
                             std::max(FBackBuffer.height(), need.height() + BackBufferMargin),
                             QImage::Format_RGB32);
}

bool TDecTree::focusNextPrevChild(bool)
{
    // Tab and Shift+Tab walk the selection element instead of the focus.
    return false;
}
