#include "shared/widgets/StringTree.h"
#include "shared/widgets/StringTreeView.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A dialog that opens on an entry chosen in code must show that entry, also when its layout
// settles after the list became visible and the list shrinks.
TEST(StringTreeFocusTest, ANodeFocusedWhileHiddenIsInViewOnceShownAndStaysThereWhenTheListShrinks)
{
    QWidget window;
    auto* tree = new TStringTree(&window);
    tree->Columns().Add(QStringLiteral("Name"), 100);
    TStringTreeNode* parent = tree->Nodes().Add();
    TStringTreeNode* last = nullptr;
    for (int i = 0; i < 16; ++i)
        last = parent->Children().Add();
    tree->FullExpand();
    const TStringTreeView* view = tree->InnerTree();
    auto inView = [&] { return view->viewport()->rect().contains(view->visualRect(view->currentIndex())); };

    tree->resize(200, 40);
    tree->SetFocusedNode(parent);
    tree->SetFocusedNode(last);
    tree->resize(200, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(inView());
    tree->resize(200, 120);
    QTest::qWait(1);
    EXPECT_TRUE(inView());
}

} // namespace
