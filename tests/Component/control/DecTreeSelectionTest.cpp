#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"

#include <QAction>
#include <QMenu>
#include <QStatusTipEvent>

namespace {

// Records the status tips that reach a widget from its children.
class TStatusTipSpy : public QObject {
public:
    TStatusTipSpy(QWidget* window, QStringList& tips) : FTips(tips) { window->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::StatusTip)
            FTips << static_cast<QStatusTipEvent*>(event)->tip();
        return false;
    }

private:
    QStringList& FTips;
};

} // namespace

// The arrows move to the parent, the first child and the siblings of the first selected node,
// never off the tree; Tab walks the elements every selected node has.
TEST_F(DecTreeTest, ArrowsAndTabMoveTheSelection)
{
    BuildSample();
    struct Case { const char* Select; TNodeElementType Element; const char *Keys, *Selected; TNodeElementType After; };
    const Case cases[] = {
        {"Root", htOptionDescriptor, "Left", "Root", htOptionDescriptor},
        {"Root", htOptionDescriptor, "Right Down", "B", htOptionDescriptor},
        {"A", htOptionDescriptor, "Right Down Down", "A2", htOptionDescriptor},
        {"A2", htOptionDescriptor, "Up Up Left", "A", htOptionDescriptor},
        {"A1,A2", htPayoff, "Down", "A2", htPayoff},
        {"", htOptionDescriptor, "Down", "Root", htOptionDescriptor},
        {"A1", htPayoff, "Left", "A", htPayoff},
        // The root has neither probability nor payoff: the next valid element in Tab order.
        {"A", htPayoff, "Left", "Root", htSymbol},
        {"Root", htOptionDescriptor, "Tab", "Root", htSymbol},
        {"A1", htOptionDescriptor, "Tab Tab", "A1", htPayoff},
        {"A1", htOptionDescriptor, "Shift+Tab", "A1", htSymbol},
        {"A1", htOptionDescriptor, "Backtab Backtab", "A1", htPayoff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Keys);
        SelectNames(QString::fromLatin1(c.Select), c.Element);
        Keys(QString::fromLatin1(c.Keys));
        EXPECT_EQ(SelectedNames(), c.Selected);
        EXPECT_EQ(Tree->SelectionElementType(), c.After);
    }
    // The children of a collapsed node are not on the screen.
    A->ChildrenVisible = false;
    Tree->Recalculate();
    SelectNames(QStringLiteral("A"), htOptionDescriptor);
    Keys(QStringLiteral("Right"));
    EXPECT_EQ(SelectedNames(), "A");
}

// Clicks in a row, each with what is selected after it.
TEST_F(DecTreeTest, MouseClicksSelect)
{
    BuildSample();
    constexpr auto Ctrl = Qt::ControlModifier;
    constexpr auto Right = Qt::RightButton;
    struct Step { const char* Node; TNodeElementType Element; Qt::KeyboardModifiers Mods; Qt::MouseButton Button; const char* Selected; };
    const Step steps[] = {
        // Ctrl toggles one element of all selected nodes; another element starts anew.
        {"A1", htOptionDescriptor, {}, Qt::LeftButton, "A1"}, {"A2", htOptionDescriptor, Ctrl, Qt::LeftButton, "A1,A2"},
        // A right click inside a multiple selection keeps it; elsewhere it selects the node alone,
        // on empty space nothing.
        {"A1", htOptionDescriptor, {}, Right, "A1,A2"}, {"B", htOptionDescriptor, {}, Right, "B"},
        {"B", htPayoff, Ctrl, Qt::LeftButton, "B"}, {"", htOptionDescriptor, {}, Right, ""},
        // Collapsing drops what it hides from the selection, and selects the node when nothing is left.
        {"A1", htOptionDescriptor, {}, Qt::LeftButton, "A1"}, {"B", htOptionDescriptor, Ctrl, Qt::LeftButton, "A1,B"},
        {"A", htPlusMinus, {}, Qt::LeftButton, "B"}, {"A", htPlusMinus, {}, Qt::LeftButton, "B"},
        {"A1", htOptionDescriptor, {}, Qt::LeftButton, "A1"}, {"A", htPlusMinus, {}, Qt::LeftButton, "A"},
    };
    for (const Step& step : steps) {
        TDecTreeNode* node = *step.Node ? Find(QString::fromLatin1(step.Node)) : nullptr;
        QTest::mouseClick(Tree, step.Button, step.Mods, node ? Center(node, step.Element) : QPoint(5, Tree->height() - 5));
        EXPECT_EQ(SelectedNames(), step.Selected) << step.Node;
    }
    // Ctrl toggles at the release, not at the press.
    QTest::mousePress(Tree, Qt::LeftButton, Ctrl, Center(B, htOptionDescriptor));
    EXPECT_EQ(SelectedNames(), "A");
    QTest::mouseRelease(Tree, Qt::LeftButton, Ctrl, Center(B, htOptionDescriptor));
    EXPECT_EQ(SelectedNames(), "A,B");
    // A double click and typing a blank both edit.
    Click(A, htPlusMinus);
    QTest::mouseDClick(Tree, Qt::LeftButton, {}, Center(A1, htOptionDescriptor));
    EXPECT_TRUE(Tree->IsEditing());
    Keys(QStringLiteral("Esc Space"));
    EXPECT_EQ(Tree->InlineEditor()->text(), QStringLiteral(" "));
}

// A band selects what it touches, with Ctrl it toggles that in the earlier selection. Clones
// and what lies inside them are never caught by a band, never changed by Ctrl+Enter and never
// edited inside.
TEST_F(DecTreeTest, BandSelectsTouchedNodesAndPassesClonesBy)
{
    BuildSample();
    auto band = [this](QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(Tree, Qt::LeftButton, mods, from);
        ASSERT_TRUE(Tree->HitTestAt(from).IsNull);
        QTest::mouseMove(Tree, to);
        QTest::mouseRelease(Tree, Qt::LeftButton, mods, to);
    };
    const TRectangle a1 = A1->ElementRects[htOptionDescriptor];
    // From empty space right of A1's column to A1's middle.
    band(QPoint(a1.Right() + 3, a1.Top - 3), QPoint(a1.Right() - 2, a1.Top + 2));
    EXPECT_EQ(SelectedNames(), "A1");
    QString refused;
    B->SetCloneMaster(A->Id, refused);
    ASSERT_TRUE(refused.isEmpty());
    Tree->Recalculate();
    const QPoint corner(Tree->width() - 2, Tree->height() - 2);
    band(QPoint(1, 1), corner);
    EXPECT_EQ(SelectedNames(), "Root,A,A1,A2");
    // Ending on a node, a Ctrl-band does not toggle it once more.
    SelectNames(QStringLiteral("A1,B"), htOptionDescriptor);
    band(QPoint(1, 1), Center(A2, htOptionDescriptor), Qt::ControlModifier);
    EXPECT_EQ(SelectedNames(), "B,A,A2"); // the root stands lower, at the middle of its subtree

    SelectNames(QStringLiteral("A1,A2,B"), htProbability);
    Keys(QStringLiteral("'55' Ctrl+Enter"));
    EXPECT_EQ(Dump(), "3.5; Root 100 0; A 100 1; A1 55 5; A2 55 0; B 0 -2; A1 55 5; A2 55 0");
    SelectNames(QStringLiteral("A1,B"), htPayoff);
    Keys(QStringLiteral("'3' Ctrl+Enter"));
    EXPECT_EQ(B->Payoff, -20000);
    // B's copies are A's chance options: neither their titles nor their probabilities.
    for (const TNodeElementType element : {htOptionDescriptor, htProbability}) {
        Tree->SelectNode(B->Children.Items(0), element);
        Keys(QStringLiteral("F2"));
        EXPECT_FALSE(Tree->IsEditing()) << element;
    }
}

// When the selected element goes (its line hidden, or the node deleted for a parent without
// it), the selection moves to the next valid element.
TEST_F(DecTreeTest, TheSelectionElementMovesWhenItGoes)
{
    BuildSample();
    B->DecisionShowCaption = true;
    Add(B, QStringLiteral("B1"));
    Tree->SelectNode(B, htSymbolAttributeCaption);
    Tree->BuildAttributePopup(B);
    Tree->PopupItemClick(Tree->AttributePopup()->findChild<QAction*>(ControlStrings::PopHideAll));
    EXPECT_EQ(Tree->SelectionElementType(), htOptionDescriptor);
    SelectNames(QStringLiteral("B"), htPayoff);
    Keys(QStringLiteral("Del"));
    EXPECT_EQ(Tree->SelectionElementType(), htSymbol); // the root has no payoff
    // Insert opens a collapsed node to show what it adds.
    A->ChildrenVisible = false;
    SelectNames(QStringLiteral("A"), htOptionDescriptor);
    Keys(QStringLiteral("Ins"));
    EXPECT_TRUE(A->ChildrenVisible);
}

TEST_F(DecTreeTest, HoverHints)
{
    BuildSample();
    QTest::mouseMove(Tree, Center(A1, htProbability));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintProbability);
    QTest::mouseMove(Tree, Center(B, htProbability));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintTakenOption);
    QTest::mouseMove(Tree, Center(B, htPayoff));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintPayoff);
    A2->Probability = 30;
    Tree->Recalculate();
    QTest::mouseMove(Tree, Center(A, htSymbol));
    EXPECT_EQ(Tree->Hint(), QStringLiteral("Probabilities don't add up to 100"));
    QTest::mouseMove(Tree, QPoint(3, Tree->height() - 3));
    EXPECT_EQ(Tree->Hint(), QString());
}

// The hint follows a change under a mouse that does not move, undo and redo included, and the
// window hears of it.
TEST_F(DecTreeTest, TheHintFollowsChangesUnderARestingMouse)
{
    BuildSample();
    QString error;
    B->SetCloneMaster(A->Id, error);
    ASSERT_EQ(error, QString());
    Tree->Recalculate();
    QStringList told;
    TStatusTipSpy spy(Box.get(), told);
    QCursor::setPos(Tree->mapToGlobal(Center(B, htSymbol)));
    QTest::mouseMove(Tree, Center(B, htSymbol));
    ASSERT_EQ(Tree->Hint(), ControlStrings::HintLinkedNode);
    told.clear();
    // Unlinked, keeping the copies: nothing moves, but the node is no longer linked.
    Tree->UndoManager().SaveState(QStringLiteral("Unlink Clone"));
    B->SetCloneMaster(TGuid(), error);
    Tree->Recalculate();
    EXPECT_EQ(Tree->Hint(), QString());
    EXPECT_EQ(Tree->toolTip(), QString());
    Tree->UndoManager().Undo();
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintLinkedNode);
    Tree->UndoManager().Redo();
    EXPECT_EQ(Tree->Hint(), QString());
    EXPECT_EQ(told, QStringList({QString(), ControlStrings::HintLinkedNode, QString()}));
    // With the mouse away from the tree the hint goes, and the window is told nothing.
    Tree->UndoManager().Undo();
    QCursor::setPos(Box->mapToGlobal(QPoint(-20, -20)));
    told.clear();
    Tree->UndoManager().Redo();
    EXPECT_EQ(Tree->Hint(), QString());
    EXPECT_EQ(told, QStringList());
}

// An undo or redo that takes the selected nodes away selects the nearest of their ancestors that
// the restored tree holds, with an element that node has.
TEST_F(DecTreeTest, UndoAndRedoLeaveTheSelectionOnNodesOfTheTree)
{
    const struct {
        const char* name;
        const char* keys;   // from A1's title, the editor closed after each key
        bool redo;          // after undoing them all, redo them all
        TNodeElementType element; // the element selected before the last undo or redo
        const char* selected;
        TNodeElementType after;
    } cases[] = {
        {"nodes added under A1, undone", "Ins", false, htOptionDescriptor, "A1", htOptionDescriptor},
        {"a node added beside A1, undone", "Shift+Ins", false, htPayoff, "A", htPayoff},
        {"A1 removed again by redo", "Del", true, htPayoff, "A", htPayoff},
        {"A removed again by redo while A1's probability is selected", "Left Del", true, htProbability, "Root", htSymbol},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tree->SetRoot(nullptr);
        Tree->Document().NewRoot();
        Tree->UndoManager().Clear();
        BuildSample();
        SelectNames(QStringLiteral("A1"), htOptionDescriptor);
        int steps = 0;
        for (const QString& key : QString::fromLatin1(c.keys).split(QLatin1Char(' '))) {
            const size_t before = Tree->UndoManager().UndoStack().size();
            Keys(key);
            Tree->CloseInlineEditor();
            steps += int(Tree->UndoManager().UndoStack().size() - before);
        }
        if (c.redo) {
            for (int i = 0; i < steps; ++i)
                Tree->UndoManager().Undo();
            SelectNames(QStringLiteral("A1"), c.element);
        } else {
            Tree->SelectNode(Selected().at(0), c.element);
        }
        for (int i = 0; i < steps; ++i)
            c.redo ? Tree->UndoManager().Redo() : Tree->UndoManager().Undo();
        EXPECT_EQ(SelectedNames(), c.selected);
        EXPECT_EQ(Tree->SelectionElementType(), c.after);
    }
}
