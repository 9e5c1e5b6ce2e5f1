// Where the view stands when a document opens.

#include "support/MainWindowHarness.h"

#include "Component/control/DecTree.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/RandomTree.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The root stands level with the middle of its subtree, far below the drawing's top in a large
// tree: the document opens with it in view, whatever the view showed before.
TEST(OpenedDocumentView, ALargeDocumentOpensWithItsRootInView)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.qdn"));
    {
        TDecTreeDocument document;
        document.ResetDefaultStyles();
        TRandomTreeSettings settings;
        settings.Seed = 7;
        settings.NodeCount = 10000;
        FillRandomDocument(document, settings);
        QString error;
        ASSERT_TRUE(SaveDocument(document, document.StyleStates, path, &error)) << error.toStdString();
    }
    TMainWindowHarness h;
    h.Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.Form.get()));
    TDecTree* tree = h.Form->GetTree();
    for (const char* before : {"start", "end"}) {
        SCOPED_TRACE(before);
        if (QByteArray(before) == "end")
            tree->ScrollTo(QPoint(tree->Extent().width(), tree->Extent().height()));
        h.Form->LoadDocument(path);
        QApplication::processEvents();
        ASSERT_EQ(tree->GetSingleSelectedNode(), tree->Root());
        const TRectangle& title = tree->Root()->ElementRects[htOptionDescriptor];
        ASSERT_GT(title.Top, 4 * tree->height());
        EXPECT_TRUE(QRect(tree->Origin(), tree->size()).contains(QRect(title.Left, title.Top, title.Width, title.Height)))
            << "view at " << tree->Origin().y() << ", root at " << title.Top;
        EXPECT_EQ(tree->Origin().x(), 0);
    }
}
