#include "support/MainWindowHarness.h"

#include "Component/control/DecTree.h"
#include "Component/model/TreeBuilder.h"
#include "app/StatusPanelLabel.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <gtest/gtest.h>

TEST(StatusBarTest, OneLineHighAndPanelsSideBySideAtEveryWidth)
{
    TMainWindowHarness h;
    TMainForm& form = *h.Form;
    TDecTree* tree = form.GetTree();
    testtree::AddEnd(tree->Root(), 100, -123456789.12);
    testtree::AddEnd(tree->Root(), 0, 987654321.98);
    tree->Recalculate();
    form.show();
    QApplication::processEvents();
    // A hint with line breaks neither grows the bar nor moves the tree.
    const int height = form.statusBar()->height();
    const QRect area = form.centralWidget()->geometry();
    form.StatusPanels[3]->setText(QStringLiteral("first line\nsecond line\nthird line\n"));
    QApplication::processEvents();
    EXPECT_EQ(form.statusBar()->height(), height);
    EXPECT_EQ(form.centralWidget()->geometry(), area);
    EXPECT_EQ(static_cast<TStatusPanelLabel*>(form.StatusPanels[3])->ShownText(),
              QStringLiteral("first line second line third line "));

    for (int width : {660, form.minimumWidth()}) {
        SCOPED_TRACE(width);
        form.resize(width, 300);
        QApplication::processEvents();
        int previousRight = -1;
        for (QLabel* panel : form.StatusPanels) {
            const QRect r = panel->geometry();
            EXPECT_GT(r.left(), previousRight);
            EXPECT_LE(r.right(), form.statusBar()->rect().right());
            EXPECT_GE(r.width(), 30);
            previousRight = r.right();
        }
        for (int i = 0; width == 660 && i < 3; ++i) // room enough: each holds its whole text
            EXPECT_EQ(form.StatusPanels[i]->width(),
                      form.StatusPanels[i]->fontMetrics().horizontalAdvance(form.StatusPanels[i]->text()) + 8);
    }
}
