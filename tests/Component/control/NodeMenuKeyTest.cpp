#include "DecTreeFixture.h"

#include <QMenu>

TEST_F(DecTreeTest, ShiftF10OpensTheNodeMenuLikeTheMenuKey)
{
    BuildSample();
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    int shown = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { ++shown; });
    Tree->SetPopupMenu(&menu);
    Tree->SelectNode(A1, htPayoff);
    Tree->setFocus();
    // F10 alone is not the menu.
    QTest::keyClick(Tree, Qt::Key_F10);
    EXPECT_EQ(shown, 0);
    QTest::keyClick(Tree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(shown, 1);
    const TRectangle& r = A1->ElementRects[htPayoff];
    EXPECT_EQ(menu.pos(), Tree->mapToGlobal(QPoint(r.Left, r.Top + r.Height)));
    menu.hide();
}
