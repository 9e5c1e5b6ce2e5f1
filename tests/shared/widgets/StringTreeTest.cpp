#include "shared/core/Exceptions.h"
#include "shared/widgets/StringTree.h"
#include "shared/widgets/StringTreeView.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The texts of column 0 in the order the view shows the top-level nodes.
QStringList Shown(const TStringTree& tree)
{
    QStringList texts;
    const TStringTreeModel& model = tree.InnerTree()->Model();
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString();
    return texts;
}

TStringTreeNode* AddNode(TStringTreeNodeCollection& nodes, const QStringList& texts)
{
    TStringTreeNode* node = nodes.Add();
    for (int i = 0; i < texts.size(); ++i)
        node->SetText(i, texts[i]);
    return node;
}

void ClickHeader(TStringTree& tree, int section)
{
    QHeaderView* header = tree.InnerTree()->header();
    const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

} // namespace

TEST(StringTreeTest, TextsPadToTheWrittenColumnAndNoColumnsShowNothing)
{
    TStringTree tree;
    TStringTreeNode* node = tree.Nodes().Add();
    node->SetText(3, QStringLiteral("x"));
    EXPECT_EQ(node->TextCount(), 4);
    EXPECT_EQ(node->Text(5), QString());
    EXPECT_THROW(node->Text(-1), EInvalidOperation);
    EXPECT_THROW(node->SetText(-1, QStringLiteral("y")), EInvalidOperation);

    // Without columns the view asks for no column and shows empty texts; with one, the text.
    node->SetText(0, QStringLiteral("first"));
    EXPECT_EQ(Shown(tree), QStringList{QString()});
    tree.Columns().Add(QStringLiteral("Name"), 80);
    EXPECT_EQ(Shown(tree), QStringList{QStringLiteral("first")});
}

TEST(StringTreeTest, HeaderClicksToggleTheSortAndTheCustomComparisonMayOverrule)
{
    TStringTree tree;
    tree.SetAutoSort(true);
    tree.Columns().Add(QStringLiteral("Name"), 80);
    tree.Columns().Add(QStringLiteral("Rank"), 80);
    for (const auto& [name, rank] : {std::pair{"b", "2"}, std::pair{"A", "3"}, std::pair{"c", "1"}})
        AddNode(tree.Nodes(), {QString::fromLatin1(name), QString::fromLatin1(rank)});
    tree.resize(300, 200);
    tree.show();

    EXPECT_EQ(Shown(tree), (QStringList{"b", "A", "c"}));
    ClickHeader(tree, 0);
    EXPECT_EQ(Shown(tree), (QStringList{"A", "b", "c"}));
    EXPECT_FALSE(tree.Columns().SortDirection());
    ClickHeader(tree, 0);
    EXPECT_EQ(Shown(tree), (QStringList{"c", "b", "A"}));
    ClickHeader(tree, 0);
    EXPECT_EQ(Shown(tree), (QStringList{"A", "b", "c"}));
    ClickHeader(tree, 1);
    EXPECT_EQ(tree.Columns().SortColumn(), tree.Columns()[1]);
    EXPECT_EQ(Shown(tree), (QStringList{"c", "b", "A"}));
    // The collection keeps the order the nodes were added in.
    EXPECT_EQ(tree.Nodes()[0]->Text(0), QStringLiteral("b"));

    // The handler gets the text comparison preset and its answer counts; direction still applies.
    bool presetSeen = true;
    tree.OnCustomCompare = [&](TStringTree*, TStringTreeColumn* column, TStringTreeNode* a, TStringTreeNode* b,
                               int& result) {
        presetSeen = presetSeen && (result < 0) == (a->Text(column) < b->Text(column));
        result = -result;
    };
    tree.Columns().SetSortColumn(tree.Columns()[1]);
    EXPECT_EQ(Shown(tree), (QStringList{"A", "b", "c"}));
    EXPECT_TRUE(presetSeen);
    tree.OnCustomCompare = [](TStringTree*, TStringTreeColumn*, TStringTreeNode*, TStringTreeNode*, int&) {};
    tree.Columns().SetSortDirection(true);
    EXPECT_EQ(Shown(tree), (QStringList{"A", "b", "c"}));
}

TEST(StringTreeTest, NestedUpdateBracketsRepaintOnceAtTheEndAndOnlyWhenAsked)
{
    TStringTree tree;
    TStringTreeNode* node = tree.Nodes().Add();
    QSignalSpy repaints(tree.InnerTree(), &TStringTreeView::RepaintRequested);

    tree.BeginUpdate();
    tree.BeginUpdate();
    node->SetText(0, QStringLiteral("a"));
    node->SetText(1, QStringLiteral("b"));
    tree.EndUpdate();
    EXPECT_EQ(repaints.count(), 0);
    tree.EndUpdate();
    EXPECT_EQ(repaints.count(), 1);

    tree.BeginUpdate();
    tree.EndUpdate();
    tree.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(repaints.count(), 1);
    node->SetText(0, QStringLiteral("c"));
    EXPECT_EQ(repaints.count(), 2);
}

TEST(StringTreeTest, FindByTextWalksDepthFirstParentsBeforeChildren)
{
    TStringTree tree;
    TStringTreeNode* a = AddNode(tree.Nodes(), {"a"});
    TStringTreeNode* a1 = AddNode(a->Children(), {"a1"});
    TStringTreeNode* deep = AddNode(a1->Children(), {"x"});
    AddNode(tree.Nodes(), {"x"});
    TStringTreeNode* b = AddNode(tree.Nodes(), {"b"});

    EXPECT_EQ(tree.Nodes().FindByText(0, "x", true), deep);
    EXPECT_EQ(tree.Nodes().FindByText(0, "x", false), tree.Nodes()[1]);
    EXPECT_EQ(tree.Nodes().FindByText(0, "a1", false), nullptr);
    EXPECT_EQ(tree.Nodes().FindByText(0, "b", true), b);

    tree.FullExpand();
    EXPECT_TRUE(a1->Expanded());
    EXPECT_EQ(tree.VisibleCount(), 5);
    a->Children().Clear();
    EXPECT_EQ(tree.VisibleCount(), 3);
}

// With FocusOnRightClick a right click selects the node under it unless that is selected, and
// nothing off the nodes; without it the selection stays. Either way the owner hears of the press.
TEST(StringTreeTest, RightClickSelectsOnlyWithFocusOnRightClickAndOnlyAnUnselectedNode)
{
    for (const bool focus : {true, false}) {
        TStringTree tree;
        tree.SetMultiSelect(true);
        tree.SetFocusOnRightClick(focus);
        tree.Columns().Add(QStringLiteral("Name"), 100);
        for (const char* text : {"a", "b", "c"})
            AddNode(tree.Nodes(), {QString::fromLatin1(text)});
        tree.resize(200, 200);
        tree.show();
        TStringTreeView* view = tree.InnerTree();
        auto rightClick = [&](QPoint p) { QTest::mouseClick(view->viewport(), Qt::RightButton, {}, p); };
        auto centre = [&](int i) { return view->visualRect(view->Model().IndexOf(tree.Nodes()[i])).center(); };
        int downs = 0;
        tree.OnMouseDown = [&](TStringTree* sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            EXPECT_EQ(sender, &tree);
            ++downs;
        };

        tree.Nodes()[0]->SetSelected(true);
        tree.Nodes()[1]->SetSelected(true);
        rightClick(centre(1));
        EXPECT_EQ(tree.SelectedCount(), 2);
        rightClick(centre(2));
        EXPECT_EQ(tree.SelectedCount(), focus ? 1 : 2);
        EXPECT_EQ(tree.Nodes()[2]->Selected(), focus);
        EXPECT_EQ(tree.FocusedNode() == tree.Nodes()[2], focus);
        const QPoint inTree = view->viewport()->mapTo(&tree, centre(2));
        EXPECT_EQ(tree.GetNodeAt(inTree.x(), inTree.y()), tree.Nodes()[2]);
        rightClick(QPoint(10, view->viewport()->height() - 3));
        EXPECT_EQ(tree.SelectedCount(), focus ? 0 : 2);
        EXPECT_EQ(downs, 3);
    }
}

TEST(StringTreeTest, CheckingHandlerMayChangeOrRefuseTheNewState)
{
    TStringTree tree;
    tree.SetShowCheckBoxes(true);
    TStringTreeNode* node = tree.Nodes().Add();
    bool allow = true;
    int checked = 0;
    tree.OnChecking = [&](TStringTree*, TStringTreeNode*, TStringTreeNodeCheckState& state, bool& allowed) {
        if (state == stncsCheckedNormal)
            state = stncsMixedNormal;
        allowed = allow;
    };
    tree.OnChecked = [&](TStringTree*, TStringTreeNode*) { ++checked; };
    QAbstractItemModel& model = tree.InnerTree()->Model();
    model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(node->CheckState(), stncsMixedNormal);
    EXPECT_EQ(model.index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    allow = false;
    node->SetCheckState(stncsUncheckedNormal);
    EXPECT_EQ(node->CheckState(), stncsMixedNormal);
    EXPECT_EQ(checked, 1);
}
