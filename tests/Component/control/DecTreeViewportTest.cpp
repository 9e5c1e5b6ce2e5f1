// The control is a view onto a drawing that may be far larger than any widget: every node can be
// scrolled to, and everything that maps between the drawing and the screen follows the view.

#include "DecTreeFixture.h"

#include "Component/control/ControlStrings.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QScrollBar>

namespace {

// Whether anything darker than mid-grey (a glyph's stroke) is drawn in the area.
bool HasInk(const QImage& image, const QRect& area)
{
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

} // namespace

// Taller than the tallest widget the window system allows (16,777,215 pixels): the last node can
// still be scrolled to, is drawn, hit and edited in place.
TEST_F(DecTreeTest, TheLastNodeOfADrawingTallerThanAWidgetCanBeReached)
{
    constexpr int EndNodes = 400000;
    for (int i = 0; i < EndNodes - 1; ++i)
        Add(Root(), QString(), ntDecision, i == 0 ? 100 : 0);
    TDecTreeNode* last = Add(Root(), QStringLiteral("Last"));
    Tree->Recalculate();
    QApplication::processEvents(); // the scroll bars show
    const TRectangle& title = last->ElementRects[htOptionDescriptor];
    ASSERT_GT(title.Top, QWIDGETSIZE_MAX);

    QScrollBar* bar = Box->verticalScrollBar();
    EXPECT_GE(bar->maximum() + bar->pageStep(), title.Top + title.Height);
    bar->setValue(bar->maximum());
    ASSERT_TRUE(Shown(title));

    const QPoint at = ToClient(title.Center());
    const HitTestResult hit = Tree->HitTestAt(at);
    ASSERT_FALSE(hit.IsNull);
    EXPECT_EQ(hit.Node, last);
    EXPECT_EQ(hit.Element, htOptionDescriptor);
    // Drawn there, on white: the view paints the drawing's part that it shows.
    const QImage shot = Tree->grab().toImage();
    EXPECT_TRUE(HasInk(shot, QRect(ToClient(title.TopLeft()), QSize(title.Width, title.Height))));
    const QRect beside(Root()->BoundsRect.Right() + 20 - Origin().x(), 0, 20, Tree->height());
    ASSERT_LT(beside.right(), Tree->width());
    for (int y = beside.top(); y <= beside.bottom(); ++y)
        ASSERT_EQ(shot.pixel(beside.left(), y), qRgb(255, 255, 255)) << y;

    // A double click: the press selects, the second click edits.
    QTest::mouseClick(Tree, Qt::LeftButton, {}, at);
    QTest::mouseDClick(Tree, Qt::LeftButton, {}, at);
    ASSERT_TRUE(Tree->IsEditing());
    EXPECT_TRUE(Tree->rect().contains(Tree->InlineEditor()->geometry()));
    Keys(QStringLiteral("End 'ing' Enter"));
    EXPECT_EQ(last->Caption, QStringLiteral("Lasting"));
    EXPECT_EQ(SelectedNames(), "Lasting");
}

// A tree wider and taller than the view: 30 levels, each with 40 options, the 21st leading on.
class DecTreeViewTest : public DecTreeTest {
protected:
    void BuildLarge()
    {
        TDecTreeNode* node = Root();
        for (int level = 0; level < 30; ++level) {
            TDecTreeNode* next = nullptr;
            for (int i = 0; i < 40; ++i) {
                TDecTreeNode* child = Add(node, QStringLiteral("L%1-%2").arg(level).arg(i), ntDecision, i == 0 ? 100 : 0);
                if (i == 20)
                    next = child;
            }
            node = next;
        }
        Tree->Recalculate();
        QApplication::processEvents(); // the scroll bars show
        ASSERT_GT(Extent().width(), 2 * Tree->width());
        ASSERT_GT(Extent().height(), 2 * Tree->height());
    }

    // The option of that name turned into a decision with one option and the attribute line
    // that the flag shows.
    TDecTreeNode* WithAttribute(const char* name, bool TDecTreeNode::*show)
    {
        TDecTreeNode* node = Find(QString::fromLatin1(name));
        node->*show = true;
        Add(node, QStringLiteral("child"), ntDecision, 100);
        Tree->Recalculate();
        return node;
    }

    const TRectangle& SelectedRect()
    {
        return Selected().front()->ElementRects[Tree->SelectionElementType()];
    }
};

// Every arrow and Tab brings what it selects into view, wherever it lies; a step to a node
// already in view leaves the view alone.
TEST_F(DecTreeViewTest, KeyboardNavigationKeepsTheSelectionInView)
{
    BuildLarge();
    QStringList keys{QStringLiteral("Right")};
    for (int i = 0; i < 39; ++i)
        keys << QStringLiteral("Down");
    for (int i = 0; i < 19; ++i)
        keys << QStringLiteral("Up");
    for (int level = 1; level < 30; ++level) {
        keys << QStringLiteral("Right");
        for (int i = 0; i < 20; ++i)
            keys << QStringLiteral("Down");
    }
    keys << QStringLiteral("Tab") << QStringLiteral("Tab");
    for (int i = 0; i < 29; ++i)
        keys << QStringLiteral("Left") << QStringLiteral("Shift+Tab");
    Tree->SelectNode(Root(), htOptionDescriptor);
    QPoint farthest;
    for (const QString& key : keys) {
        Keys(key);
        ASSERT_EQ(Selected().size(), 1u);
        ASSERT_TRUE(Shown(SelectedRect())) << key.toStdString() << " to " << SelectedNames();
        ASSERT_TRUE(Shown(Selected().front()->ElementRects[htOptionDescriptor])) << SelectedNames();
        farthest = QPoint(std::max(farthest.x(), Origin().x()), std::max(farthest.y(), Origin().y()));
    }
    EXPECT_EQ(SelectedNames(), "L0-20");
    EXPECT_GT(farthest.x(), Tree->width());
    EXPECT_GT(farthest.y(), Tree->height());

    // The next option lies within the view: nothing moves. The one after the view's last row
    // moves the view by about a row, not a page.
    Tree->SelectNode(Find(QStringLiteral("L0-5")), htOptionDescriptor);
    Box->verticalScrollBar()->setValue(SelectedRect().Top - Tree->height() / 2);
    const QPoint before = Origin();
    Keys(QStringLiteral("Down"));
    EXPECT_EQ(SelectedNames(), "L0-6");
    EXPECT_EQ(Origin(), before);
    Tree->SelectNode(Find(QStringLiteral("L0-15")), htOptionDescriptor);
    Box->verticalScrollBar()->setValue(SelectedRect().Top + SelectedRect().Height + 20 - Tree->height());
    const int rowOnEdge = Origin().y();
    ASSERT_GT(rowOnEdge, 0);
    Keys(QStringLiteral("Down"));
    EXPECT_TRUE(Shown(SelectedRect()));
    EXPECT_GT(Origin().y(), rowOnEdge);
    EXPECT_LT(Origin().y(), rowOnEdge + 4 * SelectedRect().Height);
}

// Ending an edit gives the focus back to the tree without moving the view, however the edit ends.
TEST_F(DecTreeViewTest, EndingAnEditLeavesTheViewWhereItIs)
{
    BuildLarge();
    TDecTreeNode* node = Find(QStringLiteral("L1-30"));
    const TRectangle& title = node->ElementRects[htOptionDescriptor];
    Box->horizontalScrollBar()->setValue(title.Left - 40);
    Box->verticalScrollBar()->setValue(title.Top - 200);
    const QPoint view = Origin();
    for (const char* end : {"Enter", "Escape", "click"}) {
        SCOPED_TRACE(end);
        Click(node, htOptionDescriptor);
        Keys(QStringLiteral("F2 'x'"));
        ASSERT_TRUE(Tree->IsEditing());
        if (QByteArray(end) == "click")
            QTest::mouseClick(Tree, Qt::LeftButton, {}, QPoint(2, 2));
        else
            Keys(QString::fromLatin1(end));
        EXPECT_FALSE(Tree->IsEditing());
        EXPECT_EQ(Origin(), view);
    }
}

// An editor opened on an element outside the view (a command, Enter walking a selection) is
// scrolled into view with it.
TEST_F(DecTreeViewTest, TheEditorOpensInView)
{
    BuildLarge();
    SelectNames(QStringLiteral("L0-0,L5-39,L0-39"), htPayoff);
    for (const char* name : {"L0-0", "L5-39", "L0-39"}) {
        SCOPED_TRACE(name);
        if (QByteArray(name) == "L0-0")
            ASSERT_TRUE(Tree->EditElement(false, 0));
        else
            Keys(QStringLiteral("Enter"));
        ASSERT_TRUE(Tree->IsEditing());
        EXPECT_EQ(Tree->EditedNode(), Find(QString::fromLatin1(name)));
        EXPECT_TRUE(Tree->rect().contains(Tree->InlineEditor()->geometry()));
        EXPECT_TRUE(Shown(Tree->EditedNode()->ElementRects[htPayoff]));
    }
}

// Scrolled far from the drawing's start, the mouse hits, hints and opens menus at the node under it.
TEST_F(DecTreeViewTest, MouseAndMenusFollowTheView)
{
    BuildLarge();
    TDecTreeNode* node = WithAttribute("L2-35", &TDecTreeNode::DecisionShowOwner);
    const TRectangle& title = node->ElementRects[htOptionDescriptor];
    Box->horizontalScrollBar()->setValue(title.Left - 100);
    Box->verticalScrollBar()->setValue(title.Top - 300);
    ASSERT_TRUE(Shown(title));
    ASSERT_NE(Origin(), QPoint(0, 0));

    Click(node, htPayoff);
    EXPECT_EQ(SelectedNames(), "L2-35");
    EXPECT_EQ(Tree->SelectionElementType(), htPayoff);
    QTest::mouseMove(Tree, ToClient(Center(node, htProbability)));
    EXPECT_EQ(Tree->Hint(), ControlStrings::HintTakenOption);

    // The attribute popup opens under its mark, the node menu under the selected element.
    const TRectangle& mark = node->ElementRects[htRollUpDown];
    Click(node, htRollUpDown);
    EXPECT_TRUE(Tree->AttributePopup()->isVisible());
    EXPECT_EQ(Tree->AttributePopup()->pos(), Tree->mapToGlobal(ToClient(QPoint(mark.Left, mark.Top + mark.Height))));
    Tree->AttributePopup()->hide();
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    Tree->SetPopupMenu(&menu);
    Tree->setFocus();
    const TRectangle& payoff = node->ElementRects[htPayoff];
    QTest::keyClick(Tree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(menu.pos(), Tree->mapToGlobal(ToClient(QPoint(payoff.Left, payoff.Top + payoff.Height))));
    menu.hide();
    // A selected element outside the view: the menu opens at the view's nearest edge.
    Box->verticalScrollBar()->setValue(payoff.Top + 2 * Tree->height());
    QTest::keyClick(Tree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(QRect(Tree->mapToGlobal(QPoint(0, 0)), Tree->size()).contains(menu.pos()));
    menu.hide();
}

// F2 on a due-date line outside the view scrolls it in and opens the dialog just under it.
TEST_F(DecTreeViewTest, TheDueDateDialogOpensUnderItsLineInTheView)
{
    BuildLarge();
    TDecTreeNode* node = WithAttribute("L0-39", &TDecTreeNode::DecisionShowDueDate);
    QPoint opened;
    Tree->Dialogs.EditDueDate = [&](const QPoint& screenPos, double&) {
        opened = screenPos;
        return false;
    };
    Tree->SelectNode(node, htOptionDescriptor);
    ASSERT_FALSE(Shown(node->ElementRects[htSymbolAttributeDueDate]));
    const QRect view(Tree->mapToGlobal(QPoint(0, 0)), Tree->size());
    // Tabbing to the line brings it into view; scrolled away again, F2 brings it back.
    for (int i = 0; i < 11 && Tree->SelectionElementType() != htSymbolAttributeDueDate; ++i)
        Keys(QStringLiteral("Tab"));
    ASSERT_EQ(Tree->SelectionElementType(), htSymbolAttributeDueDate);
    EXPECT_TRUE(Shown(node->ElementRects[htSymbolAttributeDueDate]));
    Tree->ScrollTo(QPoint(0, 0));
    Keys(QStringLiteral("F2"));
    const TRectangle& line = node->ElementRects[htSymbolAttributeDueDate];
    EXPECT_TRUE(Shown(line));
    EXPECT_EQ(opened, Tree->mapToGlobal(ToClient(QPoint(line.Left, line.Top + line.Height))));
    EXPECT_TRUE(view.contains(opened));
}

// A band dragged beyond the view's edge scrolls the view and reaches what was out of sight.
TEST_F(DecTreeTest, ABandDraggedBeyondTheEdgeScrollsOnAndSelectsBeyondIt)
{
    for (int i = 0; i < 100; ++i)
        Add(Root(), QStringLiteral("F%1").arg(i), ntDecision, i == 0 ? 100 : 0);
    Tree->Recalculate();
    QApplication::processEvents(); // the scroll bars show
    TDecTreeNode* first = Find(QStringLiteral("F20"));
    const TRectangle& title = first->ElementRects[htOptionDescriptor];
    Box->verticalScrollBar()->setValue(title.Top - 20);
    ASSERT_GT(Origin().y(), 0);
    // Empty space left of an option's title starts the band.
    const QPoint start = ToClient(QPoint(title.Left - 5, title.Top - 5));
    ASSERT_TRUE(Tree->HitTestAt(start).IsNull);
    QTest::mousePress(Tree, Qt::LeftButton, {}, start);
    ASSERT_TRUE(Tree->BandActive());
    const int top = Origin().y();
    const QPoint below(start.x() + 40, Tree->height() + 150);
    QTest::mouseMove(Tree, below);
    QElapsedTimer waited;
    waited.start();
    while (Origin().y() < top + 400 && waited.elapsed() < 10000)
        QTest::qWait(20);
    ASSERT_GE(Origin().y(), top + 400);
    QTest::mouseRelease(Tree, Qt::LeftButton, {}, below);
    EXPECT_FALSE(Tree->BandActive());
    // The band began at that option and reached options below the view it began in.
    const std::vector<TDecTreeNode*> caught = Selected();
    ASSERT_FALSE(caught.empty());
    EXPECT_EQ(caught.front(), first);
    EXPECT_GT(caught.back()->ElementRects[htOptionDescriptor].Top, top + Tree->height());
    for (const TDecTreeNode* node : caught)
        EXPECT_EQ(node->Parent(), first->Parent());
    // The view stops with the band.
    const int scrolled = Origin().y();
    QTest::qWait(3 * 40);
    EXPECT_EQ(Origin().y(), scrolled);
}

// A drawing that shrinks, or a view that grows, past the view's end brings the view back onto
// the drawing, scroll bars included.
TEST_F(DecTreeViewTest, ADrawingThatShrinksPullsTheViewBack)
{
    BuildLarge();
    Box->verticalScrollBar()->setValue(Box->verticalScrollBar()->maximum());
    Box->horizontalScrollBar()->setValue(Box->horizontalScrollBar()->maximum());
    ASSERT_GT(Origin().y(), 0);
    const QPoint end = Origin();
    Box->resize(Box->width() + 100, Box->height() + 50);
    QApplication::processEvents();
    EXPECT_EQ(Origin(), end - QPoint(100, 50));
    EXPECT_EQ(Box->verticalScrollBar()->value(), Origin().y());
    Tree->SetVisibleLevels(2);
    const QSize room = Extent() - Tree->size();
    EXPECT_EQ(Origin(), QPoint(std::max(0, room.width()), std::max(0, room.height())));
    EXPECT_EQ(Box->verticalScrollBar()->maximum(), std::max(0, room.height()));
    EXPECT_EQ(Box->verticalScrollBar()->value(), Origin().y());
    EXPECT_EQ(Box->horizontalScrollBar()->value(), Origin().x());
}

// What is taller or wider than the view is scrolled to its top or its left edge, from either side;
// what fits is scrolled in by the least distance.
TEST_F(DecTreeViewTest, WhatDoesNotFitTheViewIsShownFromItsStart)
{
    BuildLarge();
    const QSize view = Tree->size();
    const QPoint far(Extent().width() - view.width(), Extent().height() - view.height());
    struct TCase {
        const char* Name;
        QPoint From;       // the view's origin before
        TRectangle Shown;  // what is scrolled into view
        QPoint Expected;   // the origin after
    };
    const TCase cases[] = {
        {"taller, below", {0, 0}, TRectangle::Create(50, 900, 100, view.height() + 300), {0, 900}},
        {"taller, above", far, TRectangle::Create(50, 900, 100, view.height() + 300), {50, 900}},
        {"wider, right", {0, 0}, TRectangle::Create(700, 100, view.width() + 200, 20), {700, 0}},
        {"wider, left", far, TRectangle::Create(700, 100, view.width() + 200, 20), {700, 100}},
        {"fits, below", {0, 0}, TRectangle::Create(50, 2000, 100, 40), {0, 2000 + 41 - view.height()}},
        {"fits, right", {0, 0}, TRectangle::Create(2000, 100, 30, 20), {2000 + 31 - view.width(), 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Tree->ScrollTo(c.From);
        ASSERT_EQ(Origin(), c.From);
        Tree->ScrollIntoView(c.Shown);
        EXPECT_EQ(Origin(), c.Expected);
        // The scroll bars follow.
        EXPECT_EQ(QPoint(Box->horizontalScrollBar()->value(), Box->verticalScrollBar()->value()), c.Expected);
    }
}

// Each scroll bar reaches the drawing's far edge and no further: its range is what the drawing
// has beyond the view, across as down.
TEST_F(DecTreeViewTest, TheScrollBarsEndAtTheDrawingsEdges)
{
    BuildLarge();
    for (const QSize size : {QSize(900, 700), QSize(600, 500), QSize(1200, 300)}) {
        Box->resize(size);
        QApplication::processEvents();
        const QSize room = Extent() - Tree->size();
        ASSERT_GT(room.width(), 0);
        ASSERT_GT(room.height(), 0);
        EXPECT_EQ(Box->horizontalScrollBar()->maximum(), room.width()) << size.width();
        EXPECT_EQ(Box->verticalScrollBar()->maximum(), room.height()) << size.height();
        Box->horizontalScrollBar()->setValue(Box->horizontalScrollBar()->maximum());
        EXPECT_EQ(Origin().x() + Tree->width(), Extent().width());
    }
}
