#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"
#include "Component/model/TreeSnapshot.h"
#include "bench/support/RandomTree.h"

#include <random>
#include <vector>

namespace {

// Root takes A (chance: A1 60 %, A2 40 %) over B (a decision with B1); payoffs in units.
const char* const Base = "4; Root 100 0; A 100 1; A1 60 5; A2 40 0; B 0 -2; B1 100 1";

} // namespace

// What a user's keys do to the tree, the selection and the undo steps, from a selected element.
TEST_F(DecTreeTest, EditingKeySequences)
{
    // The tree after the keys; nullptr: as it was.
    struct Case { const char *Select; TNodeElementType Element; const char *Keys, *Tree, *Selected, *Undo; bool Editing; };
    const Case cases[] = {
        // Escape puts the value from before the edit back and recomputes; the undo step stays.
        {"B", htPayoff, "'12' Esc", nullptr, "B", "Edit Payoff", false},
        {"A1", htProbability, "'70' Esc", nullptr, "A1", "Edit Probability", false},
        {"A1", htPayoff, "'0' Esc", nullptr, "A1", "Edit Payoff", false},
        // Enter walks through a multiple selection; Ctrl+Enter copies to all of it and ends.
        {"A1,A2", htPayoff, "F2 '5' Enter '6' Enter", "6.4; Root 100 0; A 100 1; A1 60 5; A2 40 6; B 0 -2; B1 100 1",
         "A1,A2", "Edit Payoff,Edit Payoff", false},
        {"A1,A2", htPayoff, "'9' Enter", "6.4; Root 100 0; A 100 1; A1 60 9; A2 40 0; B 0 -2; B1 100 1", "A1,A2",
         "Edit Payoff,Edit Payoff", true},
        {"A1,A2,B1", htPayoff, "'9' Ctrl+Enter", "10; Root 100 0; A 100 1; A1 60 9; A2 40 9; B 0 -2; B1 100 9",
         "A1,A2,B1", "Edit Payoff", false},
        // Insert names two new options one after the other; Escape takes back what was added.
        {"B1", htOptionDescriptor, "Ins 'Yes' Enter 'No' Enter",
         "4; Root 100 0; A 100 1; A1 60 5; A2 40 0; B 0 -2; B1 100 1; Yes 100 0; No 0 0", "No",
         "Add subnodes,Edit Title,Edit Title", false},
        {"B1", htOptionDescriptor, "Ins 'x' Esc", nullptr, "B1", "Add subnodes,Edit Title", false},
        {"B1", htOptionDescriptor, "Ins 'Yes' Enter 'No' Esc",
         "4; Root 100 0; A 100 1; A1 60 5; A2 40 0; B 0 -2; B1 100 1; Yes 100 0;  0 0", "",
         "Add subnodes,Edit Title,Edit Title", false},
        {"Root", htOptionDescriptor, "Shift+Ins 'C' Enter",
         "4; Root 100 0; A 100 1; A1 60 5; A2 40 0; B 0 -2; B1 100 1; C 0 0", "C", "Add subnodes,Edit Title", false},
        // Delete keeps the weights left, and selects the shallowest, then first, parent.
        {"A1", htOptionDescriptor, "Del", "1; Root 100 0; A 100 1; A2 40 0; B 0 -2; B1 100 1", "A", "Remove", false},
        {"A1,B1", htOptionDescriptor, "Del", "1; Root 100 0; A 100 1; A2 40 0; B 0 -2", "A", "Remove", false},
        // A node goes with its subtree; the only option left takes 100.
        {"A,A1", htOptionDescriptor, "Del", "-1; Root 100 0; B 100 -2; B1 100 1", "Root", "Remove", false},
        {"B", htSymbolAttributeFixed, "F2 F2", nullptr, "B", "Toggle Mode,Toggle Mode", false},
        {"B", htSymbolAttributeOwner, "'Ann' Enter", nullptr, "B", "Edit Decision Owner", false},
        // The attribute box edits the caption line, which B does not show.
        {"B", htSymbolAttributeBox, "F2", nullptr, "B", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Keys);
        SetUp();
        BuildSample();
        Add(B, QStringLiteral("B1"), ntDecision, 100, 10000);
        B->DecisionShowFixed = B->DecisionShowOwner = true;
        Tree->Recalculate();
        SelectNames(QString::fromLatin1(c.Select), c.Element);
        Keys(QString::fromLatin1(c.Keys));
        EXPECT_EQ(Dump(), c.Tree ? c.Tree : Base);
        EXPECT_EQ(SelectedNames(), c.Selected);
        EXPECT_EQ(UndoNames(), c.Undo);
        EXPECT_EQ(Tree->IsEditing(), c.Editing);
    }
}

// Anything but Yes ends a command that asks, before it records anything.
TEST_F(DecTreeTest, QuestionsComeFirst)
{
    BuildSample();
    ConfirmAnswer = false;
    Root()->DecisionFixed = true;
    SelectNames(QStringLiteral("A"), htOptionDescriptor);
    Keys(QStringLiteral("Del Tab Down F2"));
    EXPECT_EQ(Questions, (QStringList{ControlStrings::DeleteQuestion, ControlStrings::FixedDecisionQuestion}));
    EXPECT_EQ(Dump(), "4; Root 100 0 fixed; A 100 1; A1 60 5; A2 40 0; B 0 -2");
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
    ConfirmAnswer = true;
    Keys(QStringLiteral("F2"));
    EXPECT_EQ(Dump(), "-2; Root 100 0 fixed; A 0 1; A1 60 5; A2 40 0; B 100 -2");
    // Giving back what is already taken does not ask.
    Questions.clear();
    Keys(QStringLiteral("F2"));
    EXPECT_TRUE(Questions.isEmpty());
    EXPECT_EQ(UndoNames(), "Take/Toggle option,Take/Toggle option");
}

// A typed number is read in the user's locale, or refused where the editor shows why: the node
// keeps its value, and Enter does not end the edit until the text is mended.
TEST_F(DecTreeTest, NumbersAreReadInTheUsersLocaleOrRefused)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    BuildSample();
    B->NodeType = ntMultiDecision;
    B->DecisionMultiShowBudget = true;
    Add(B, QStringLiteral("B1"), ntDecision, 100, 10000);
    Tree->Recalculate();
    struct Case { TDecTreeNode*& Node; TNodeElementType Element; const char *Keys, *Refusal; double Value; };
    const Case cases[] = {
        {A1, htPayoff, "'1.234,5'", "", 1234.5}, {A1, htPayoff, "'12.5'", "", 12.5},
        {A1, htPayoff, "'0.125'", "", 0.125}, {A1, htPayoff, "'1.234,50 €'", "", 1234.5},
        {A1, htPayoff, "'-1,5x' Enter", "Invalid number", 5}, {A1, htPayoff, "'-1,5x' Enter Esc", "", 5},
        {A1, htProbability, "'12,5 %'", "", 12.5}, {A1, htProbability, "'1.5.5'", "Invalid number", 60},
        {B, htSymbolAttributeMultiBudget, "'1.000'", "", 1000},
        {B, htSymbolAttributeMultiBudget, "'2,5'", "Invalid number: the budget is a whole amount", -1},
    };
    Tree->Options().SetCurrencySymbol(QStringLiteral("€"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Keys);
        Tree->SelectNode(c.Node, c.Element);
        Keys(QString::fromUtf8(c.Keys));
        EXPECT_EQ(Tree->EditorRefusal().toStdString(), c.Refusal);
        EXPECT_EQ(Tree->IsEditing(), !QString::fromUtf8(c.Keys).contains(QStringLiteral("Esc")));
        const double value = c.Element == htPayoff        ? double(c.Node->Payoff) / CurrencyScale
                             : c.Element == htProbability ? c.Node->Probability
                                                          : c.Node->DecisionMultiBudget;
        EXPECT_EQ(value, c.Value);
        Keys(QStringLiteral("Esc"));
    }
}

// A typed amount is stored to the unit, as opening a file that holds the same text stores it
// (through a double it would be 922337203685476.9664).
TEST_F(DecTreeTest, TypedAmountsKeepEveryUnit)
{
    BuildSample();
    Tree->SelectNode(A1, htPayoff);
    Keys(QStringLiteral("'922337203685477'"));
    EXPECT_EQ(A1->Payoff, 9223372036854770000);
}

namespace {

// The values and places of every node as the last recalculation left them.
std::vector<std::vector<double>> Results(TDecTreeDocument& doc)
{
    std::vector<std::vector<double>> out;
    for (TDecTreeNode* n : doc.PreOrder()) {
        std::vector<double> r{n->ExpectedValue, n->MinValue, n->MaxValue, double(n->InTakenPath)};
        if (!n->HasChildren())
            r.insert(r.end(), {n->PathProbability, n->PathPayoff});
        for (const TRectangle& e : n->ElementRects)
            r.insert(r.end(), {double(e.Left), double(e.Top), double(e.Width), double(e.Height)});
        r.insert(r.end(), {double(n->BoundsRect.Left), double(n->BoundsRect.Width)});
        out.push_back(r);
    }
    return out;
}

} // namespace

// Keystrokes typed into the editors of a tree with clones leave values and layout as a whole
// recalculation of the same tree makes them, also where an edit inside a master changes its clone.
TEST_F(DecTreeTest, KeystrokesLeaveTheTreeAsAWholeRecalculationDoes)
{
    TRandomTreeSettings settings;
    settings.Seed = 31;
    settings.NodeCount = 120;
    FillRandomDocument(Tree->Document(), settings);
    std::vector<TDecTreeNode*> nodes = Tree->Document().PreOrder();
    QString error;
    nodes[nodes.size() - 1]->SetCloneMaster(nodes[5]->Id, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    Tree->Recalculate();
    std::mt19937 random(5);
    const TNodeElementType elements[] = {htOptionDescriptor, htPayoff, htProbability};
    int edited = 0;
    for (int round = 0; round < 40; ++round) {
        nodes = Tree->Document().PreOrder();
        TDecTreeNode* node = nodes[random() % nodes.size()];
        Tree->SelectNode(node, elements[random() % 3]);
        if (!Tree->EditElement(false, 0))
            continue;
        ++edited;
        for (int k = 0; k < 4; ++k)
            QTest::keyClick(Tree->InlineEditor(), "15-0."[random() % 5]);
        const auto typed = Results(Tree->Document());
        Tree->Recalculate();
        ASSERT_EQ(typed, Results(Tree->Document())) << "round " << round;
    }
    EXPECT_GT(edited, 20);
}

// The same where the branch texts off the taken path are bold: an option taken, or a branch typed
// to 0, moves the taken path and with it the widths of whole subtrees.
TEST_F(DecTreeTest, EditsThatMoveTheTakenPathLeaveTheTreeAsAWholeRecalculationDoes)
{
    auto* bold = Tree->StyleStates().NotInTakenPath()->OptionDescriptors()->FontBold();
    bold->Inherit = false;
    bold->Value = true;
    TRandomTreeSettings settings;
    settings.Seed = 32;
    settings.NodeCount = 150;
    FillRandomDocument(Tree->Document(), settings);
    for (TDecTreeNode* n : Tree->Document().PreOrder())
        n->Caption = QStringLiteral("Option");
    Tree->Recalculate();
    std::mt19937 random(6);
    int moved = 0;
    for (int round = 0; round < 40; ++round) {
        const std::vector<TDecTreeNode*> nodes = Tree->Document().PreOrder();
        TDecTreeNode* node = nodes[1 + random() % (nodes.size() - 1)];
        const bool wasTaken = node->InTakenPath;
        Tree->SelectNode(node, htProbability);
        // A decision's option is taken at the click; a chance branch opens its editor.
        if (Tree->EditElement(false, 0))
            Tree->InlineEditor()->setText(random() % 2 ? QStringLiteral("0") : QStringLiteral("30"));
        moved += node->InTakenPath != wasTaken;
        const auto edited = Results(Tree->Document());
        Tree->CloseInlineEditor();
        Tree->Recalculate();
        ASSERT_EQ(edited, Results(Tree->Document())) << "round " << round;
    }
    EXPECT_GT(moved, 8);
}

namespace {

struct TStatesApart {
    const char* Name;
    TStyleState* (TStyleStates::*State)() const; // with its branch texts in bold, or none
    bool Whole;                                  // the whole tree laid out again
};

void PrintTo(const TStatesApart& c, std::ostream* out)
{
    *out << c.Name;
}

class TakingAnOption : public DecTreeTest, public ::testing::WithParamInterface<TStatesApart> {};

} // namespace

// Taking an option lays out only what the move of the taken path reaches while both states of the
// path, for nodes and for clones, measure alike; where a style sets them apart, the whole tree is
// laid out again. What tells the two apart: a place no layout gives (a branch text moved down)
// is kept by a layout of what the edit reaches, which leaves every node's row as it was, and put
// right by a whole one.
TEST_P(TakingAnOption, LaysOutTheWholeTreeOnlyWhereTheStatesMeasureApart)
{
    const TStatesApart& c = GetParam();
    if (c.State) {
        auto* bold = (Tree->StyleStates().*c.State)()->OptionDescriptors()->FontBold();
        bold->Inherit = false;
        bold->Value = true;
    }
    BuildSample();
    TDecTreeNode* far = Add(Add(Root(), QStringLiteral("C"), ntChance), QStringLiteral("C1"), ntDecision, 100);
    Add(B, QStringLiteral("B2"), ntDecision);
    Tree->Recalculate();
    TRectangle& marked = far->ElementRects[htOptionDescriptor];
    const int32_t row = marked.Top;
    marked.Top += 1000;
    Tree->SelectNode(B, htProbability);
    Tree->EditElement(false, 0);
    ASSERT_TRUE(B->InTakenPath);
    ASSERT_FALSE(A->InTakenPath);
    EXPECT_EQ(marked.Top, c.Whole ? row : row + 1000);
    marked.Top = row;
    const auto taken = Results(Tree->Document());
    Tree->Recalculate();
    EXPECT_EQ(taken, Results(Tree->Document()));
}

INSTANTIATE_TEST_SUITE_P(States, TakingAnOption,
                         ::testing::Values(TStatesApart{"Alike", nullptr, false},
                                           TStatesApart{"BoldOffThePath", &TStyleStates::NotInTakenPath, true},
                                           TStatesApart{"ClonesBoldOffThePath", &TStyleStates::CloneNotInTakenPath,
                                                        true}),
                         [](const ::testing::TestParamInfo<TStatesApart>& info) { return info.param.Name; });

// After an undo, a collapsed node is sized as in the tree the undo gives back, made anew: it holds
// no path values, whatever it held from a time it was an end node.
TEST_F(DecTreeTest, AnUndoSizesCollapsedNodesAsTheTreeItGivesBack)
{
    BuildSample();
    // A2 was an end node, reached with 40 % and a payoff far wider than none; now it has a child
    // and is collapsed.
    A2->Payoff = TCurrency(1234567) * CurrencyScale;
    Tree->Recalculate();
    ASSERT_GT(A2->PathPayoff, 1000000);
    Add(A2, QStringLiteral("C"), ntDecision, 100, 0);
    A2->ChildrenVisible = false;
    Tree->Recalculate();
    Tree->SelectNode(A1, htPayoff);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    QTest::keyClick(Tree->InlineEditor(), '7');
    Tree->CloseInlineEditor();
    Tree->UndoManager().Undo();

    TDecTree fresh;
    fresh.Options() = Tree->Options();
    fresh.SetRoot(TTreeSnapshot::Capture(std::make_shared<TNodeRecordPool>(), Root()).Restore(&fresh.Document()));
    fresh.Recalculate();
    const std::vector<TDecTreeNode*>& mine = Tree->Document().PreOrder();
    const std::vector<TDecTreeNode*>& theirs = fresh.Document().PreOrder();
    ASSERT_EQ(mine.size(), theirs.size());
    for (size_t i = 0; i < mine.size(); ++i) {
        const TRectangle& a = mine[i]->BoundsRect;
        const TRectangle& b = theirs[i]->BoundsRect;
        EXPECT_TRUE(a.Left == b.Left && a.Top == b.Top && a.Width == b.Width && a.Height == b.Height)
            << "node " << i << ": width " << a.Width << ", made anew " << b.Width;
    }
}

// An undo that gives back other view settings or style states, with the same tree, lays the tree
// out again: it is then as a whole recalculation leaves it.
TEST_F(DecTreeTest, AnUndoOfSettingsOrStylesLaysTheTreeOutAgain)
{
    BuildSample();
    B->Caption = QStringLiteral("An option off the taken path");
    Tree->Recalculate();
    TDecTreeUndoManager& undo = Tree->UndoManager();
    const std::vector<std::function<void()>> changes{
        [this] { Tree->Options().SetCurrencyDecimals(4); },
        [this] {
            auto* bold = Tree->StyleStates().NotInTakenPath()->OptionDescriptors()->FontBold();
            bold->Inherit = false;
            bold->Value = true;
        },
    };
    for (size_t k = 0; k < changes.size(); ++k) {
        undo.SaveState(QStringLiteral("change"));
        changes[k]();
        Tree->Recalculate();
        for (int step = 0; step < 2; ++step) {
            step == 0 ? undo.Undo() : undo.Redo();
            const auto restored = Results(Tree->Document());
            Tree->Recalculate();
            EXPECT_EQ(restored, Results(Tree->Document())) << "change " << k << (step == 0 ? ", undone" : ", redone");
        }
    }
}

// A probability copied to several branches of a chance node (Ctrl+Enter), undone: the branch
// that leaves the taken path is marked and laid out again too, not only the first one.
TEST_F(DecTreeTest, AnUndoOfAProbabilityCopiedToSeveralBranchesLeavesTheTreeAsAWholeRecalculationDoes)
{
    BuildSample();
    A2->Probability = 0;
    Tree->Recalculate();
    ASSERT_FALSE(A2->InTakenPath);
    Tree->SelectNode(A1, htProbability);
    Tree->Selection().Add(A2->Id);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("30"));
    QTest::keyClick(Tree->InlineEditor(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(A2->Probability, 30);
    ASSERT_TRUE(A2->InTakenPath);
    Tree->UndoManager().Undo();
    EXPECT_EQ(A1->Probability, 60);
    EXPECT_EQ(A2->Probability, 0);
    const auto undone = Results(Tree->Document());
    Tree->Recalculate();
    EXPECT_EQ(undone, Results(Tree->Document()));
}

// A decision closed and the step undone: its range is that of all its options again, as a whole
// recalculation makes it.
TEST_F(DecTreeTest, AnUndoOfTheModeRecalculatesTheValues)
{
    BuildSample();
    Root()->DecisionShowFixed = true;
    Tree->Recalculate();
    const double openMin = Root()->MinValue;
    Tree->SelectNode(Root(), htSymbolAttributeFixed);
    Tree->EditElement(false, 0);
    ASSERT_TRUE(Root()->DecisionFixed);
    ASSERT_NE(Root()->MinValue, openMin);
    Tree->UndoManager().Undo();
    EXPECT_FALSE(Root()->DecisionFixed);
    EXPECT_EQ(Root()->MinValue, openMin);
    const auto undone = Results(Tree->Document());
    Tree->Recalculate();
    EXPECT_EQ(undone, Results(Tree->Document()));
}

// The same with branches of two chance nodes: each node's values are made again.
TEST_F(DecTreeTest, AnUndoOfAProbabilityCopiedToBranchesOfTwoNodesLeavesTheTreeAsAWholeRecalculationDoes)
{
    BuildSample();
    B->NodeType = ntChance;
    TDecTreeNode* b1 = Add(B, QStringLiteral("B1"), ntDecision, 50, 0);
    Add(B, QStringLiteral("B2"), ntDecision, 50, 70000);
    Tree->Recalculate();
    Tree->SelectNode(A1, htProbability);
    Tree->Selection().Add(b1->Id);
    ASSERT_TRUE(Tree->EditElement(false, 0));
    Tree->InlineEditor()->setText(QStringLiteral("20"));
    QTest::keyClick(Tree->InlineEditor(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(b1->Probability, 20);
    Tree->UndoManager().Undo();
    EXPECT_EQ(b1->Probability, 50);
    const auto undone = Results(Tree->Document());
    Tree->Recalculate();
    EXPECT_EQ(undone, Results(Tree->Document()));
}

// Options taken under two decisions in one step (as taking a whole path does), undone: the
// values of both decisions are made again.
TEST_F(DecTreeTest, AnUndoOfOptionsTakenUnderTwoDecisionsLeavesTheTreeAsAWholeRecalculationDoes)
{
    BuildSample();
    TDecTreeNode* b1 = Add(B, QStringLiteral("B1"), ntDecision, 100, 30000);
    TDecTreeNode* b2 = Add(B, QStringLiteral("B2"), ntDecision, 0, 90000);
    Tree->Recalculate();
    Tree->UndoManager().SaveState(QStringLiteral("Take this path"));
    A->Probability = 0;
    B->Probability = 100;
    b1->Probability = 0;
    b2->Probability = 100;
    Tree->Recalculate();
    Tree->UndoManager().Undo();
    EXPECT_EQ(b1->Probability, 100);
    const auto undone = Results(Tree->Document());
    Tree->Recalculate();
    EXPECT_EQ(undone, Results(Tree->Document()));
}
