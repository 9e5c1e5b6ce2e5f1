#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"

#include <cmath>

namespace {
void TypeText(QWidget* w, const QString& text)
{
    QTest::keyClicks(w, text);
}
} // namespace

TEST_F(DecTreeTest, TypingIntoAPayoffWritesEveryKeystroke)
{
    BuildSample();
    Tree->SelectNode(A1, htPayoff);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::EditPayoff);
    EXPECT_EQ(Tree->InlineEditor()->text(), QStringLiteral("5.00"));
    int calculated = 0;
    Tree->OnCalculated = [&](TDecTree*) { ++calculated; };
    TypeText(Tree->InlineEditor(), QStringLiteral("1.25"));
    EXPECT_EQ(A1->Payoff, 12500);
    EXPECT_EQ(calculated, 4);
    EXPECT_DOUBLE_EQ(A->ExpectedValue, 0.75);
    EXPECT_DOUBLE_EQ(Root()->ExpectedValue, 1.75);
    TypeText(Tree->InlineEditor(), QStringLiteral("x"));
    EXPECT_EQ(A1->Payoff, 0);
    EXPECT_EQ(Tree->UndoManager().UndoStack().size(), 1u);
    // Escape puts the old value back; the snapshot stays.
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(A1->Payoff, 50000);
    EXPECT_EQ(Tree->UndoManager().UndoStack().size(), 1u);
    EXPECT_TRUE(Tree->hasFocus());
}

TEST_F(DecTreeTest, PayoffEditorRefusesValuesBeyondTheMoneyType)
{
    BuildSample();
    Tree->SelectNode(A1, htPayoff);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    TInlineEditor* editor = Tree->InlineEditor();
    // The keystroke that would overflow is not taken: the text and the node keep 10.
    TypeText(editor, QStringLiteral("1e16"));
    EXPECT_EQ(editor->text(), QStringLiteral("1e1"));
    EXPECT_EQ(A1->Payoff, 100000);
    // The money type holds up to about 922 trillion.
    editor->selectAll();
    TypeText(editor, QStringLiteral("900000000000000"));
    EXPECT_EQ(A1->Payoff, 9000000000000000000);
    TypeText(editor, QStringLiteral("0"));
    EXPECT_EQ(editor->text(), QStringLiteral("900000000000000"));
    EXPECT_EQ(A1->Payoff, 9000000000000000000);
    // Pasted or set text is refused as a whole; the node keeps its value.
    editor->setText(QStringLiteral("-2.5"));
    EXPECT_EQ(A1->Payoff, -25000);
    editor->setText(QStringLiteral("1e300"));
    EXPECT_EQ(A1->Payoff, -25000);
    editor->setText(QStringLiteral("1e400"));
    EXPECT_EQ(A1->Payoff, -25000);
    editor->setText(QStringLiteral("inf"));
    EXPECT_EQ(A1->Payoff, -25000);
    editor->setText(QStringLiteral("0.00005"));
    EXPECT_EQ(A1->Payoff, 0); // half to even
    // Text that is no number at all still stands for 0.
    editor->setText(QStringLiteral("-2.5"));
    editor->setText(QStringLiteral("abc"));
    EXPECT_EQ(A1->Payoff, 0);
    Key(Qt::Key_Escape);
    EXPECT_EQ(A1->Payoff, 50000);
}

TEST_F(DecTreeTest, ProbabilityEditorRefusesValuesThatAreNotFinite)
{
    BuildSample();
    Tree->SelectNode(A2, htProbability);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    TInlineEditor* editor = Tree->InlineEditor();
    editor->selectAll();
    TypeText(editor, QStringLiteral("inf"));
    EXPECT_EQ(editor->text(), QStringLiteral("in"));
    EXPECT_EQ(A2->Probability, 0); // no number
    editor->setText(QStringLiteral("35"));
    editor->setText(QStringLiteral("1e999 %"));
    EXPECT_EQ(A2->Probability, 35);
    editor->setText(QStringLiteral("nan"));
    EXPECT_EQ(A2->Probability, 35);
    editor->setText(QStringLiteral("1e300"));
    EXPECT_EQ(A2->Probability, 1e300); // finite: taken
}

TEST_F(DecTreeTest, TypingOnASelectedElementReplacesItsValue)
{
    BuildSample();
    Tree->SelectNode(B, htPayoff);
    Tree->setFocus();
    Key(Qt::Key_7);
    ASSERT_TRUE(Tree->IsEditing());
    EXPECT_EQ(Tree->InlineEditor()->text(), QStringLiteral("7"));
    EXPECT_EQ(B->Payoff, 70000);
    TypeText(Tree->InlineEditor(), QStringLiteral("5"));
    EXPECT_EQ(B->Payoff, 750000);
    Key(Qt::Key_Return);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(B->Payoff, 750000);
}

TEST_F(DecTreeTest, ChanceProbabilityIgnoresBlanksAndPercentSigns)
{
    BuildSample();
    Tree->SelectNode(A2, htProbability);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::EditProbability);
    EXPECT_EQ(Tree->InlineEditor()->text(), QStringLiteral("40"));
    Tree->InlineEditor()->selectAll();
    TypeText(Tree->InlineEditor(), QStringLiteral("50 %"));
    EXPECT_DOUBLE_EQ(A2->Probability, 50);
}

TEST_F(DecTreeTest, TitleCaptionOwnerAndBudgetEdits)
{
    BuildSample();
    Tree->SelectNode(A1, htOptionDescriptor);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("New title"));
    EXPECT_EQ(A1->Caption, QStringLiteral("New title"));
    Key(Qt::Key_Return);

    B->NodeType = ntMultiDecision;
    Add(B, QStringLiteral("B1"), ntDecision, 100, -10000);
    B->DecisionShowCaption = B->DecisionShowOwner = B->DecisionMultiShowBudget = true;
    Tree->Recalculate();
    // The attribute box edits its caption line.
    Tree->SelectNode(B, htSymbolAttributeBox);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->SelectionElementType(), htSymbolAttributeCaption);
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::EditCaption);
    Tree->InlineEditor()->setText(QStringLiteral("Which"));
    EXPECT_EQ(B->DecisionCaption, QStringLiteral("Which"));

    Tree->SelectNode(B, htSymbolAttributeOwner);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::EditDecisionOwner);
    Tree->InlineEditor()->setText(QStringLiteral("Ann"));
    EXPECT_EQ(B->DecisionOwner, QStringLiteral("Ann"));
    // The editor starts after the line's label.
    EXPECT_GT(Tree->InlineEditor()->x(), B->ElementRects[htSymbolAttributeOwner].Left);

    Tree->SelectNode(B, htSymbolAttributeMultiBudget);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->InlineEditor()->text(), QString()); // no limit
    Tree->InlineEditor()->setText(QStringLiteral("250"));
    EXPECT_EQ(B->DecisionMultiBudget, 250);
    Tree->InlineEditor()->setText(QStringLiteral("lots"));
    EXPECT_EQ(B->DecisionMultiBudget, -1);
    Key(Qt::Key_Escape);
    EXPECT_EQ(B->DecisionMultiBudget, -1);
}

TEST_F(DecTreeTest, EditorStaysBesideTheLabelOfItsLineWhileTyping)
{
    BuildSample();
    B->NodeType = ntMultiDecision;
    Add(B, QStringLiteral("B1"), ntDecision, 100, -10000);
    B->DecisionShowOwner = B->DecisionMultiShowBudget = true;
    Tree->Recalculate();
    for (TNodeElementType element : {htSymbolAttributeOwner, htSymbolAttributeMultiBudget}) {
        Tree->SelectNode(B, element);
        ASSERT_TRUE(Tree->EditElement(false, 0));
        TInlineEditor* editor = Tree->InlineEditor();
        const int left = editor->x();
        EXPECT_GT(left, B->ElementRects[element].Left) << "after the label";
        QTest::keyClicks(editor, QStringLiteral("12"));
        // The label stays readable; the typed text does not jump over it.
        EXPECT_EQ(editor->x(), left) << int(element);
        Key(Qt::Key_Return);
    }
    EXPECT_EQ(B->DecisionOwner, QStringLiteral("12"));
    EXPECT_EQ(B->DecisionMultiBudget, 12);
}

TEST_F(DecTreeTest, ElementsThatActAtOnce)
{
    BuildSample();
    B->DecisionShowFixed = B->DecisionShowDueDate = true;
    Add(B, QStringLiteral("B1"), ntDecision, 100, 0);
    Tree->Recalculate();
    // The mode line toggles without an editor.
    Tree->SelectNode(B, htSymbolAttributeFixed);
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_TRUE(B->DecisionFixed);
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::ToggleMode);
    // The due date goes through its dialog.
    Tree->SelectNode(B, htSymbolAttributeDueDate);
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_EQ(DueDateDialogs, 1);
    EXPECT_EQ(B->DecisionDueDate, 46357);
    // Neither the symbol nor the investment line ever open.
    Tree->SelectNode(B, htSymbol);
    EXPECT_FALSE(Tree->CanEditSelection());
    Tree->SelectNode(B, htSymbolAttributeMultiInvestment);
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_FALSE(Tree->IsEditing());
}

TEST_F(DecTreeTest, TakingAnOptionOfAFixedDecisionAsksFirst)
{
    BuildSample();
    Root()->DecisionFixed = true;
    Tree->SelectNode(B, htProbability);
    ConfirmAnswer = false;
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_EQ(Questions, QStringList{ControlStrings::FixedDecisionQuestion});
    EXPECT_EQ(B->Probability, 0);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
    ConfirmAnswer = true;
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_EQ(B->Probability, 100);
    EXPECT_EQ(A->Probability, 0);
    EXPECT_EQ(Tree->UndoManager().UndoDescription(), ControlStrings::TakeToggleOption);
    // Giving back what is already taken does not ask.
    Questions.clear();
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_TRUE(Questions.isEmpty());
}

TEST_F(DecTreeTest, PayoffWithASourceGoesToTheAdvancedEditor)
{
    BuildSample();
    int advanced = 0;
    Tree->OnAdvancedEdit = [&](TDecTree*, TDecTreeNode* node, TNodeElementType e) {
        EXPECT_EQ(node, A1);
        EXPECT_EQ(e, htPayoff);
        ++advanced;
    };
    Tree->SelectNode(A1, htPayoff);
    EXPECT_FALSE(Tree->EditElement(true, 0));
    A1->PayoffSource = QStringLiteral("Import: book.xlsx!A1");
    EXPECT_FALSE(Tree->EditElement(false, 0));
    EXPECT_EQ(advanced, 2);
    EXPECT_FALSE(Tree->IsEditing());
}

TEST_F(DecTreeTest, EnterWalksThroughTheSelectionAndCtrlEnterCopies)
{
    BuildSample();
    TDecTreeNode* B1 = Add(B, QStringLiteral("B1"), ntDecision, 100, 10000);
    Tree->Recalculate();
    Tree->SelectNode(A1, htPayoff);
    Tree->Selection().Add(A2->Id);
    Tree->Selection().Add(B1->Id);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Key(Qt::Key_Return);
    EXPECT_EQ(Tree->EditedNode(), A2);
    EXPECT_TRUE(Tree->IsEditing());
    Key(Qt::Key_Return);
    EXPECT_EQ(Tree->EditedNode(), B1);
    Key(Qt::Key_Return);
    EXPECT_FALSE(Tree->IsEditing());

    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("3"));
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(A1->Payoff, 30000);
    EXPECT_EQ(A2->Payoff, 30000);
    EXPECT_EQ(B1->Payoff, 30000);
}

TEST_F(DecTreeTest, CtrlEnterCopiesAProbabilityOnlyToTheSameKindOfParent)
{
    BuildSample();
    Tree->SelectNode(A1, htProbability);
    Tree->Selection().Add(A2->Id);
    Tree->Selection().Add(B->Id);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("55"));
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(A2->Probability, 55);
    EXPECT_EQ(B->Probability, 0); // a decision's taken mark
}

TEST_F(DecTreeTest, CloneContentsAreNotEditable)
{
    BuildSample();
    QString error;
    B->SetCloneMaster(A->Id, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    Tree->Recalculate();
    ASSERT_EQ(B->Children.Count(), 2);
    Tree->SelectNode(B->Children.Items(0), htPayoff);
    EXPECT_FALSE(Tree->CanEditSelection());
    Tree->SelectNode(B, htPayoff);
    EXPECT_TRUE(Tree->CanEditSelection());
    Tree->SelectNode(B, htSymbolAttributeOwner);
    EXPECT_FALSE(Tree->CanEditSelection());
}

TEST_F(DecTreeTest, UndoDuringAnEditForgetsTheEditedNode)
{
    BuildSample();
    const TGuid a1 = A1->Id;
    Tree->SelectNode(A1, htPayoff);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("9"));
    Tree->UndoManager().Undo();
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditedNode(), nullptr);
    EXPECT_EQ(Root()->FindNodeById(a1)->Payoff, 50000);
    EXPECT_EQ(Selected(), Nodes{Root()->FindNodeById(a1)});
    Tree->UndoManager().Redo();
    EXPECT_EQ(Root()->FindNodeById(a1)->Payoff, 90000);
    // A keystroke after the tree was replaced writes nowhere.
    Tree->InlineEditor()->setText(QStringLiteral("1"));
    EXPECT_EQ(Root()->FindNodeById(a1)->Payoff, 90000);
}

TEST_F(DecTreeTest, TypedNumbersAreReadInTheUsersLocale)
{
    BuildSample();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Tree->SelectNode(A1, htPayoff);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    EXPECT_EQ(Tree->InlineEditor()->text(), QStringLiteral("5,00"));
    Tree->InlineEditor()->setText(QStringLiteral("1,5"));
    EXPECT_EQ(A1->Payoff, 15000);
    Key(Qt::Key_Return);
    Tree->SelectNode(A2, htProbability);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("12,5 %"));
    EXPECT_DOUBLE_EQ(A2->Probability, 12.5);
}

namespace {
QRect CaretRect(QLineEdit* editor)
{
    return editor->inputMethodQuery(Qt::ImCursorRectangle).toRect();
}
} // namespace

TEST_F(DecTreeTest, EditorShowsAValueAsWideAsItsDrawingWhole)
{
    BuildSample();
    A1->Caption = QStringLiteral("Annabelle");
    Tree->Recalculate();
    Tree->SelectNode(A1, htOptionDescriptor);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    TInlineEditor* editor = Tree->InlineEditor();
    // The line edit scrolls its text while painting; the caret's place tells by how much.
    editor->setCursorPosition(0);
    editor->grab();
    const int start = CaretRect(editor).center().x();
    editor->setCursorPosition(int(A1->Caption.size()));
    editor->grab();
    const int end = CaretRect(editor).center().x();
    // Not scrolled: the first letter stays in view while the caret stands after the last.
    EXPECT_NEAR(end - start, editor->fontMetrics().horizontalAdvance(A1->Caption), 1);
    // And the text starts where the drawing had it.
    const TRectangle& r = A1->ElementRects[htOptionDescriptor];
    EXPECT_EQ(editor->x(), r.Left + 6);
    EXPECT_LE(start, CaretRect(editor).width() / 2 + 1);
}
