// In-place editing of the tree control: one element of the selected nodes is edited over its
// drawing; every keystroke is written into the node and the tree recomputed and repainted.

#include "Component/control/ControlStrings.h"
#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/draw/CanvasFonts.h"
#include "Component/draw/NodeStyles.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/draw/StyleApplier.h"
#include "Component/draw/TreeLayout.h"
#include "Component/styles/StyleState.h"
#include "shared/core/LocaleNumbers.h"

#include <QKeyEvent>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QColor ToQColor(TColor color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// What a typed text gives the edited element: a value, or why it gives none. Numbers are read
// in the user's locale (numbers in files never are); a text that is no number leaves the value
// as it was, never 0.
struct TTyped {
    TNumberText Kind = TNumberText::Invalid;
    QString Why;
    double Number = 0;
    TCurrency Money = 0;
    bool Ok() const { return Kind == TNumberText::Number; }
};

TTyped Refusal(const TLocaleNumber& reading)
{
    return TTyped{reading.Kind, NumberRefusal(reading)};
}

TTyped TypedProbability(const QString& text)
{
    QString t = text;
    t.remove(QLatin1Char('%'));
    t.remove(QLatin1Char(' '));
    const TLocaleNumber reading = ReadLocaleNumber(t);
    if (!reading.IsNumber())
        return Refusal(reading);
    return TTyped{TNumberText::Number, QString(), reading.Value};
}

// An amount as the tree shows it, with or without the currency symbol, in units of 1/10000.
TTyped TypedMoney(const QString& text, const QString& symbol)
{
    const TLocaleNumber reading = ReadLocaleMoney(text, symbol);
    if (!reading.IsNumber())
        return Refusal(reading);
    // Exactly as a document's amount is read, not through a double: large amounts keep every unit.
    const std::optional<int64_t> money = ReadingToMoney(reading);
    if (!money)
        return TTyped{TNumberText::TooLarge, LocaleNumberTexts::TooLarge};
    return TTyped{TNumberText::Number, QString(), reading.Value, *money};
}

// Empty is no limit (-1); else a whole amount.
TTyped TypedBudget(const QString& text, const QString& symbol)
{
    if (text.trimmed().isEmpty())
        return TTyped{TNumberText::Number, QString(), -1};
    TTyped typed = TypedMoney(text, symbol);
    if (!typed.Ok())
        return typed;
    if (typed.Money % CurrencyScale != 0)
        return TTyped{TNumberText::Invalid, ControlStrings::BudgetNotWhole};
    const TCurrency whole = typed.Money / CurrencyScale;
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max())
        return TTyped{TNumberText::TooLarge, LocaleNumberTexts::TooLarge};
    typed.Number = double(whole);
    return typed;
}

QString PayoffEditText(TCurrency payoff, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(double(payoff) / double(CurrencyScale), 'f', std::clamp(decimals, 0, 18));
}

bool IsValueElement(TNodeElementType e)
{
    return e == htOptionDescriptor || e == htProbability || e == htPayoff || e == htSymbolAttributeCaption ||
           e == htSymbolAttributeOwner || e == htSymbolAttributeMultiBudget;
}

} // namespace

bool TDecTree::CanEditSelection() const
{
    const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    if (nodes.empty())
        return false;
    bool inClone = false, clone = false, chanceChild = false, allCaptions = true;
    for (const TDecTreeNode* node : nodes) {
        inClone = inClone || node->IsInsideClone();
        clone = clone || node->IsClone();
        chanceChild = chanceChild || (node->Parent() && node->Parent()->NodeType == ntChance);
        allCaptions = allCaptions && node->ShowsCaption();
    }
    switch (FSelectionElementType) {
    case htOptionDescriptor:
    case htPayoff:
        return !inClone;
    case htProbability:
        // Taking an option inside a clone acts on the clone's master.
        return !chanceChild || !inClone;
    case htSymbolAttributeBox:
        return allCaptions && !clone && !inClone;
    case htSymbolAttributeCaption:
    case htSymbolAttributeOwner:
    case htSymbolAttributeMultiBudget:
    case htSymbolAttributeDueDate:
    case htSymbolAttributeFixed:
        return !clone && !inClone;
    case htSymbol:
    case htPlusMinus:
    case htRollUpDown:
    case htSymbolAttributeMultiInvestment:
        return false;
    }
    return false;
}

bool TDecTree::IsEditing() const
{
    return !FEditor->isHidden();
}

void TDecTree::SetEditedNode(TDecTreeNode* node, TNodeElementType element)
{
    FEditedId = node->Id;
    FHasEditedNode = true;
    FEditedCache = node;
    FEditedCacheVersion = FDocument->StructureVersion();
    FEditedElement = element;
}

TDecTreeNode* TDecTree::EditedNode() const
{
    if (!FHasEditedNode || !Root())
        return nullptr;
    if (FEditedCache && FEditedCacheVersion == FDocument->StructureVersion())
        return FEditedCache;
    FEditedCache = Root()->FindNodeById(FEditedId);
    FEditedCacheVersion = FDocument->StructureVersion();
    return FEditedCache;
}

void TDecTree::ApplyEditorLook(const TStyle& style)
{
    ApplyStyleToControl(FEditorLook, style);
    FEditor->setFont(ToQFont(FEditorLook.Font));
    QPalette palette = FEditor->palette();
    palette.setColor(QPalette::Base, ToQColor(FEditorLook.Color));
    palette.setColor(QPalette::Text, ToQColor(FEditorLook.Font.Color));
    FEditor->setPalette(palette);
}

int TDecTree::EditorTextWidth(const QString& text) const
{
    FMeasureCanvas->Font = FEditorLook.Font;
    return FMeasureCanvas->TextWidth(text);
}

// Lays the editor over the edited element's present rectangle.
void TDecTree::PlaceEditor(bool opening)
{
    TDecTreeNode* node = EditedNode();
    if (!node)
        return;
    const TRectangle& laid = node->ElementRects[FEditedElement];
    const TRectangle r = TRectangle::Offset(laid, -FOrigin.x(), -FOrigin.y());
    const int h = FEditor->height();
    // A number typed with more characters than its drawing has (a blank and "%", more decimals)
    // widens the box, so the value never scrolls out of sight in it.
    auto wide = [this](int width) { return std::max(width, EditorTextWidth(FEditor->text()) + 5); };
    switch (FEditedElement) {
    case htOptionDescriptor:
        FEditor->setGeometry(r.Left + 6 + FEditorIndent, r.Top + 6, r.Width - 12 - FEditorIndent + 1,
                             opening ? r.Height - 12 : h);
        break;
    case htProbability:
        FEditor->setGeometry(r.Left, r.Top, wide(r.Width), opening ? r.Height : h);
        break;
    case htPayoff:
        FEditor->setGeometry(r.Left, r.Top, wide(r.Width + 1), opening ? r.Height : h);
        break;
    // The budget stays beside its label as the other lines do; laid over the whole line it
    // would jump onto the label with the first keystroke.
    case htSymbolAttributeMultiBudget:
    case htSymbolAttributeCaption:
    case htSymbolAttributeOwner:
        FEditor->setGeometry(r.Left + FEditorIndent, r.Top, r.Width - FEditorIndent + (opening ? 3 : 1),
                             opening ? r.Height : h);
        break;
    default:
        break;
    }
}

void TDecTree::ShowEditorRefusal(const QString& why)
{
    if (why.isEmpty()) {
        FEditorRefusal->hide();
        return;
    }
    FEditorRefusal->setText(why);
    FEditorRefusal->adjustSize();
    FEditorRefusal->move(FEditor->x(), FEditor->y() + FEditor->height() + 1);
    FEditorRefusal->show();
    FEditorRefusal->raise();
}

QString TDecTree::EditorRefusal() const
{
    return FEditorRefusal->isHidden() ? QString() : FEditorRefusal->text();
}

void TDecTree::OpenEditor(const QString& text)
{
    FEditorRefusal->hide();
    FEditorUpdating = true;
    FEditor->setText(text);
    FEditorUpdating = false;
    PlaceEditor(true);
    FEditor->show();
    FEditor->raise();
    FEditor->selectAll();
    FEditor->setFocus();
    if (TScrollableDecTree* box = ScrollBox())
        box->ScrollControlIntoView(FEditor);
}

bool TDecTree::EditElement(bool advanced, int nodeIndex)
{
    if (!CanEditSelection())
        return false;
    std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
    if (nodes.empty())
        return false;
    TDecTreeNode* node = nodeIndex >= 0 && nodeIndex < int(nodes.size()) ? nodes[size_t(nodeIndex)] : nodes.front();
    FNewSubnodes = false;
    if (FSelectionElementType == htSymbolAttributeBox)
        SetSelectionElementType(htSymbolAttributeCaption);
    const TGuid id = node->Id;
    TUndoManager& undo = FDocument->UndoManager;
    TStyleState* state = GetStyleState(*node);
    const TRectangle r = node->ElementRects[FSelectionElementType];

    switch (FSelectionElementType) {
    case htOptionDescriptor:
        undo.SaveState(ControlStrings::EditTitle);
        FKeptCaption = node->Caption;
        CloseInlineEditor();
        ApplyEditorLook(*state->OptionDescriptors());
        FEditorIndent = EditorTextWidth(node->GetOutlineCode());
        SetEditedNode(node, htOptionDescriptor);
        OpenEditor(node->Caption);
        return true;

    case htProbability: {
        TDecTreeNode* parent = node->Parent();
        if (!parent)
            return false;
        if (parent->NodeType == ntDecision || parent->NodeType == ntMultiDecision) {
            if (parent->DecisionFixed && node->Probability == 0) {
                if (!Dialogs.Confirm(this, ControlStrings::FixedDecisionQuestion))
                    return false;
                // The question ran an event loop; the node is found again.
                node = Root() ? Root()->FindNodeById(id) : nullptr;
                if (!node)
                    return false;
            }
            undo.SaveState(ControlStrings::TakeToggleOption);
            node->TakeOption();
            RecalculateTaken(*node);
            return false;
        }
        if (parent->NodeType != ntChance)
            throw ArgumentException(ControlStrings::NodeTypeInvalid);
        undo.SaveState(ControlStrings::EditProbability);
        CloseInlineEditor();
        FKeptProbability = node->Probability;
        ApplyEditorLook(*state->ChanceOptionProbabilities());
        FEditorIndent = 0;
        SetEditedNode(node, htProbability);
        OpenEditor(FloatToText(node->Probability));
        return true;
    }

    case htPayoff:
        if (node->PayoffSource.isEmpty() && !advanced) {
            if (!node->Parent())
                return false;
            ApplyEditorLook(*state->OptionPayoff());
            undo.SaveState(ControlStrings::EditPayoff);
            CloseInlineEditor();
            FKeptPayoff = node->Payoff;
            FEditorIndent = 0;
            SetEditedNode(node, htPayoff);
            OpenEditor(PayoffEditText(node->Payoff, FDocument->Options.CurrencyDecimals));
            return true;
        }
        if (OnAdvancedEdit)
            OnAdvancedEdit(this, node, htPayoff);
        return false;

    case htSymbolAttributeCaption:
    case htSymbolAttributeOwner:
    case htSymbolAttributeMultiBudget: {
        const TNodeElementType element = FSelectionElementType;
        QString label, text;
        if (element == htSymbolAttributeCaption) {
            undo.SaveState(ControlStrings::EditCaption);
            FKeptDecisionCaption = node->DecisionCaption;
            text = node->DecisionCaption;
        } else if (element == htSymbolAttributeOwner) {
            undo.SaveState(ControlStrings::EditDecisionOwner);
            FKeptDecisionOwner = node->DecisionOwner;
            label = PainterTexts::Owner;
            text = node->DecisionOwner;
        } else {
            undo.SaveState(ControlStrings::EditBudget);
            FKeptBudget = node->DecisionMultiBudget;
            label = PainterTexts::Budget;
            text = node->DecisionMultiBudget == -1 ? QString() : QString::number(node->DecisionMultiBudget);
        }
        CloseInlineEditor();
        ApplyEditorLook(*state->SymbolAttributes());
        FEditorIndent = EditorTextWidth(label);
        SetEditedNode(node, element);
        OpenEditor(text);
        return true;
    }

    case htSymbolAttributeDueDate: {
        undo.SaveState(ControlStrings::EditDecisionDueDate);
        double date = node->DecisionDueDate;
        // The dialog opens under the line it edits, which is brought into view first.
        ScrollIntoView(r);
        if (Dialogs.EditDueDate(mapToGlobal(ToClient(QPoint(r.Left, r.Top + r.Height))), date)) {
            // The dialog ran an event loop; the node is found again.
            if (TDecTreeNode* again = Root() ? Root()->FindNodeById(id) : nullptr) {
                again->DecisionDueDate = date;
                Recalculate();
            }
        }
        return false;
    }

    case htSymbolAttributeFixed:
        undo.SaveState(ControlStrings::ToggleMode);
        node->DecisionFixed = !node->DecisionFixed;
        Recalculate();
        return false;

    default:
        return false;
    }
}

void TDecTree::CloseInlineEditor()
{
    if (FEditor->isHidden())
        return;
    TScrollableDecTree* box = ScrollBox();
    const bool allowed = box ? box->AllowScrollIntoView : false;
    if (box)
        box->AllowScrollIntoView = false;
    FEditorRefusal->hide();
    FEditor->hide();
    setFocus();
    if (box)
        box->AllowScrollIntoView = allowed;
}

QString TDecTree::WriteEditorValue(TDecTreeNode& node, const QString& text)
{
    const QString& symbol = FDocument->Options.CurrencySymbol;
    TTyped typed;
    switch (FEditedElement) {
    case htOptionDescriptor:
        node.Caption = text;
        return QString();
    case htProbability:
        typed = TypedProbability(text);
        if (typed.Ok())
            node.Probability = typed.Number;
        break;
    case htPayoff:
        typed = TypedMoney(text, symbol);
        if (typed.Ok())
            node.Payoff = typed.Money;
        break;
    case htSymbolAttributeCaption:
        node.DecisionCaption = text;
        return QString();
    case htSymbolAttributeOwner:
        node.DecisionOwner = text;
        return QString();
    case htSymbolAttributeMultiBudget:
        typed = TypedBudget(text, symbol);
        if (typed.Ok())
            node.DecisionMultiBudget = int32_t(typed.Number);
        break;
    default:
        return QString();
    }
    return typed.Why;
}

bool TDecTree::EditorRefuses(const QString& text) const
{
    const QString& symbol = FDocument->Options.CurrencySymbol;
    switch (FEditedElement) {
    case htProbability: return TypedProbability(text).Kind == TNumberText::TooLarge;
    case htPayoff: return TypedMoney(text, symbol).Kind == TNumberText::TooLarge;
    case htSymbolAttributeMultiBudget: return TypedBudget(text, symbol).Kind == TNumberText::TooLarge;
    default: return false;
    }
}

void TDecTree::RestoreKeptValue(TDecTreeNode& node)
{
    switch (FEditedElement) {
    case htOptionDescriptor: node.Caption = FKeptCaption; break;
    case htProbability: node.Probability = FKeptProbability; break;
    case htPayoff: node.Payoff = FKeptPayoff; break;
    case htSymbolAttributeCaption: node.DecisionCaption = FKeptDecisionCaption; break;
    case htSymbolAttributeOwner: node.DecisionOwner = FKeptDecisionOwner; break;
    case htSymbolAttributeMultiBudget: node.DecisionMultiBudget = FKeptBudget; break;
    default: break;
    }
}

void TDecTree::EditorChanged()
{
    if (FEditorUpdating || FEditor->isHidden())
        return;
    TDecTreeNode* node = EditedNode();
    if (!node)
        return;
    const QString text = FEditor->text();
    const int cursor = FEditor->cursorPosition();
    if (FEditedElement == htOptionDescriptor || FEditedElement == htSymbolAttributeCaption ||
        FEditedElement == htSymbolAttributeOwner)
        FEditor->resize(EditorTextWidth(text) + 5, FEditor->height());
    // A text that is no number leaves the value from before the edit, and says why.
    const QString why = WriteEditorValue(*node, text);
    if (!why.isEmpty())
        RestoreKeptValue(*node);
    RecalculateEdit(*node, FEditedElement);
    PlaceEditor(false);
    ShowEditorRefusal(why);
    // Back to the first character, then the caret where it was.
    FEditor->setCursorPosition(0);
    FEditor->setCursorPosition(cursor);
}

void TDecTree::CopyEditedValueToSelection(TDecTreeNode& source)
{
    const bool sourceUnderChance = source.Parent() && source.Parent()->NodeType == ntChance;
    for (TDecTreeNode* node : GetSelectedNodes()) {
        if (node == &source || node->IsCloneOrInsideClone())
            continue;
        switch (FSelectionElementType) {
        case htOptionDescriptor:
            node->Caption = source.Caption;
            break;
        case htProbability:
            // A chance branch's weight never lands on a decision's taken mark, nor the reverse.
            if (node->Parent() && (node->Parent()->NodeType == ntChance) == sourceUnderChance)
                node->Probability = source.Probability;
            break;
        case htPayoff:
            if (node->Parent())
                node->Payoff = source.Payoff;
            break;
        case htSymbolAttributeCaption:
            node->DecisionCaption = source.DecisionCaption;
            break;
        case htSymbolAttributeOwner:
            node->DecisionOwner = source.DecisionOwner;
            break;
        case htSymbolAttributeMultiBudget:
            node->DecisionMultiBudget = source.DecisionMultiBudget;
            break;
        default:
            break;
        }
    }
}

bool TDecTree::EditorKeyDown(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A text that is no number is not taken: the editor stays until it is mended or left.
        if (!FEditorRefusal->isHidden())
            return true;
        TDecTreeNode* node = EditedNode();
        CloseInlineEditor();
        if (!node)
            return true;
        TDecTreeNode* parent = node->Parent();
        if (FNewSubnodes && parent && parent->Children.Count() == 2 && parent->Children.Items(0) == node) {
            // Naming two new options one after the other.
            SelectNode(parent->Children.Items(1), FSelectionElementType);
            EditElement(false, 0);
            update();
            return true;
        }
        if (event->modifiers().testFlag(Qt::ControlModifier) && IsValueElement(FSelectionElementType)) {
            CopyEditedValueToSelection(*node);
            Recalculate();
            return true;
        }
        const std::vector<TDecTreeNode*> nodes = GetSelectedNodes();
        const auto it = std::find(nodes.begin(), nodes.end(), node);
        if (it != nodes.end() && it + 1 != nodes.end()) {
            EditElement(false, int(it - nodes.begin()) + 1);
            update();
        }
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (TDecTreeNode* node = EditedNode()) {
            TDecTreeNode* parent = node->Parent();
            if (FNewSubnodes && parent) {
                // Cancelling the options just added.
                if (parent->Children.Count() == 2 && parent->Children.Items(0) == node)
                    parent->Children.Delete(1);
                FHasEditedNode = false;
                FEditedCache = nullptr;
                parent->Children.Remove(node);
                SelectNode(parent, htOptionDescriptor);
            } else {
                RestoreKeptValue(*node);
            }
        }
        FNewSubnodes = false;
        CloseInlineEditor();
        Recalculate();
        return true;
    }
    return false;
}
