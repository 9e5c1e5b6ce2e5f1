// The due-date dialog in a real window placed low on the screen, as a user meets it. Run on the
// test platform here and by ctest on a virtual X screen of 1366 x 768 (tests/CMakeLists.txt).

#include "Component/control/DecTree.h"
#include "Component/control/EditDueDateForm.h"
#include "Component/control/ScrollableDecTree.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/TreeBuilder.h"

TEST(DueDateDialogPlacement, ADoubleClickOnALineLowOnTheScreenOpensTheDialogWhollyOnIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    TScrollableDecTree box;
    TDecTree* tree = box.Tree();
    tree->Options().SetShowPayoff(true);
    for (int i = 0; i < 30; ++i) {
        TDecTreeNode* decision = testtree::AppendNode(tree->Root(), QStringLiteral("D%1").arg(i), ntDecision,
                                                      i == 0 ? 100 : 0, 0);
        decision->DecisionShowDueDate = true;
        testtree::AppendNode(decision, QStringLiteral("option"), ntDecision, 100, 0);
    }
    tree->Recalculate();
    // The window's top at 43 % of the screen's height (330 of 768), its bottom just above the
    // screen's.
    const int top = screen.top() + screen.height() * 43 / 100;
    box.setGeometry(screen.left() + 100, top, 700, screen.bottom() - 10 - top);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QApplication::processEvents();

    // The lowest due-date line wholly in view.
    const QRect view(tree->mapToGlobal(QPoint(0, 0)), tree->size());
    QRect line;
    for (TDecTreeNode* decision : tree->Root()->Children) {
        const TRectangle& r = decision->ElementRects[htSymbolAttributeDueDate];
        const QRect shown(tree->mapToGlobal(tree->ToClient(r.TopLeft())), QSize(r.Width + 1, r.Height + 1));
        if (view.contains(shown) && shown.top() > line.top())
            line = shown;
    }
    ASSERT_TRUE(line.isValid());
    ASSERT_GT(line.bottom(), screen.bottom() - 120);

    QRect frame;
    QScreen* shownOn = nullptr;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TEditDueDateForm*>(QApplication::activeModalWidget());
        if (!form || !form->windowHandle() || !form->windowHandle()->isExposed())
            return;
        poll.stop();
        frame = form->frameGeometry();
        shownOn = form->screen();
        form->CancelButton->click();
    });
    poll.start();
    const QPoint at = tree->mapFromGlobal(line.center());
    QTest::mouseClick(tree, Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree, Qt::LeftButton, {}, at);
    ASSERT_FALSE(frame.isNull()) << "no dialog";
    EXPECT_EQ(shownOn, box.screen());
    EXPECT_TRUE(screen.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                        << frame.height() << " on " << screen.width() << "x" << screen.height();
    // At the line, not somewhere else on the screen.
    EXPECT_EQ(frame.left(), line.left());
}
