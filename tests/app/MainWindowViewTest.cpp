// The main window's view onto the tree: where it stands when a document opens, how the wheel moves it.

#include "support/MainWindowHarness.h"

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/RandomTree.h"

#include <QScrollBar>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A shown main window and a generated document of that many nodes, saved in a folder of its own.
struct TShownWindow {
    explicit TShownWindow(int nodes)
    {
        TDecTreeDocument document;
        document.ResetDefaultStyles();
        TRandomTreeSettings settings;
        settings.Seed = 7;
        settings.NodeCount = nodes;
        FillRandomDocument(document, settings);
        QString error;
        EXPECT_TRUE(SaveDocument(document, document.StyleStates, Path, &error)) << error.toStdString();
        H.Form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(H.Form.get()));
    }
    void Open()
    {
        H.Form->LoadDocument(Path);
        QApplication::processEvents();
    }
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("large.qdn"));
    TMainWindowHarness H;
    TDecTree* Tree = H.Form->GetTree();
};

} // namespace

// The root stands level with the middle of its subtree, far below the drawing's top in a large
// tree: the document opens with it in view, whatever the view showed before.
TEST(MainWindowView, ALargeDocumentOpensWithItsRootInView)
{
    TShownWindow w(10000);
    TDecTree* tree = w.Tree;
    for (const char* before : {"start", "end"}) {
        SCOPED_TRACE(before);
        if (QByteArray(before) == "end")
            tree->ScrollTo(QPoint(tree->Extent().width(), tree->Extent().height()));
        w.Open();
        ASSERT_EQ(tree->GetSingleSelectedNode(), tree->Root());
        const TRectangle& title = tree->Root()->ElementRects[htOptionDescriptor];
        ASSERT_GT(title.Top, 4 * tree->height());
        EXPECT_TRUE(QRect(tree->Origin(), tree->size()).contains(QRect(title.Left, title.Top, title.Width, title.Height)))
            << "view at " << tree->Origin().y() << ", root at " << title.Top;
        EXPECT_EQ(tree->Origin().x(), 0);
    }
}

// A wheel turn over the tree scrolls by a step, down and up; with Shift, sideways.
TEST(MainWindowView, TheWheelOverTheTreeScrollsTheView)
{
    TShownWindow w(3000);
    w.Open();
    TDecTree* tree = w.Tree;
    tree->ScrollTo(QPoint(100, 1000));
    ASSERT_EQ(tree->Origin(), QPoint(100, 1000));
    struct Case { int Delta; Qt::KeyboardModifiers Mods; QPoint Then; };
    const Case cases[] = {{-120, {}, QPoint(100, 1040)}, {120, {}, QPoint(100, 1000)},
                          {-120, Qt::ShiftModifier, QPoint(140, 1000)}, {120, Qt::ShiftModifier, QPoint(100, 1000)}};
    for (const Case& c : cases) {
        const QPointF at(tree->width() / 2, tree->height() / 2);
        QWheelEvent wheel(at, tree->mapToGlobal(at), QPoint(), QPoint(0, c.Delta), Qt::NoButton, c.Mods,
                          Qt::NoScrollPhase, false);
        // As the window system delivers it: passed on to the parents while nobody takes it.
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        qApp->notify(tree, &wheel);
        EXPECT_EQ(tree->Origin(), c.Then) << c.Delta << " " << int(c.Mods);
    }
}
