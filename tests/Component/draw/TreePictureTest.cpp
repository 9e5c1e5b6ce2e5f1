// Whole trees drawn into pictures and compared with reference pictures kept in the test data.
// A few pixels may differ where the font engine smooths glyph edges differently; shapes,
// colours and positions may not. QD_UPDATE_PICTURES=1 writes the pictures anew (look at them
// before committing).

#include "Component/draw/PainterCanvas.h"
#include "Component/draw/TreeLayout.h"
#include "Component/draw/TreePainter.h"
#include "TreeTestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace treetest;

namespace {

struct PictureFixture : ::testing::Test {
    TDecTreeDocument Doc;

    PictureFixture()
    {
        Doc.Options.CurrencySymbol = QStringLiteral("$");
        Doc.Options.CurrencyDecimals = 0; // no separators that the locale could change
        Doc.Options.ShowPayoff = true;
        Doc.Options.StatusDate = 45000;
    }

    QImage Draw(bool onScreen, TNodeElementType selection = htOptionDescriptor)
    {
        Doc.CalculateValues();
        TRecordingCanvas measure;
        const TRectangle bounds = LayoutDocumentTree(*Doc.Root(), measure, 10);
        QImage image(bounds.Right() + 10, bounds.Bottom() + 12, QImage::Format_RGB32);
        image.fill(Qt::white);
        TPainterCanvas canvas(&image);
        TTreePainter painter(canvas, Doc.StyleStates, onScreen);
        painter.SelectionElementType = selection;
        EXPECT_TRUE(painter.Paint(Doc.Root()));
        return image;
    }

    void Compare(const QImage& actual, const QString& name)
    {
        const QString path = testsupport::TestDataPath(QStringLiteral("tree_%1.png").arg(name));
        if (qEnvironmentVariableIsSet("QD_UPDATE_PICTURES")) {
            ASSERT_TRUE(actual.save(path)) << path.toStdString();
            return;
        }
        QImage expected(path);
        ASSERT_FALSE(expected.isNull()) << "missing " << path.toStdString();
        expected = expected.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(actual.size(), expected.size());
        int differing = 0;
        for (int y = 0; y < actual.height(); ++y) {
            const QRgb* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
            const QRgb* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
            for (int x = 0; x < actual.width(); ++x) {
                const int d = std::max({std::abs(qRed(a[x]) - qRed(e[x])), std::abs(qGreen(a[x]) - qGreen(e[x])),
                                        std::abs(qBlue(a[x]) - qBlue(e[x]))});
                differing += d > 48;
            }
        }
        // One pixel in a thousand: room for smoothed glyph edges, none for a selection frame
        // drawn around the wrong element or a missing mark.
        EXPECT_LE(differing, actual.width() * actual.height() / 1000) << name.toStdString();
    }
};

} // namespace

TEST_F(PictureFixture, EveryNodeType)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision, QStringLiteral("Launch?"));
    root->DecisionShowCaption = true;
    root->DecisionCaption = QStringLiteral("Product launch");
    root->DecisionShowOwner = true;
    root->DecisionOwner = QStringLiteral("Ann");
    TDecTreeNode* build = Add(root, ntChance, QStringLiteral("Build"), 100, -200);
    Add(build, ntChance, QStringLiteral("Hit"), 60, 900);
    Add(build, ntChance, QStringLiteral("Flop"), 40, 50);
    TDecTreeNode* buy = Add(root, ntMultiDecision, QStringLiteral("Buy"), 0, -300);
    buy->DecisionMultiShowBudget = true;
    buy->DecisionMultiBudget = 500;
    Add(buy, ntChance, QStringLiteral("Part A"), 100, 400);
    Add(buy, ntChance, QStringLiteral("Part B"), 0, -100);
    Add(root, ntChance, QStringLiteral("Wait"), 0, 0);
    Compare(Draw(false), QStringLiteral("node_types"));
}

TEST_F(PictureFixture, TheFourPathStates)
{
    TDecTreeNode* root = SetRoot(Doc, ntChance, QStringLiteral("Market"));
    TDecTreeNode* up = Add(root, ntDecision, QStringLiteral("Up"), 50, 0);
    Add(up, ntChance, QStringLiteral("Expand"), 100, 700);
    Add(up, ntChance, QStringLiteral("Keep"), 0, 300);
    TDecTreeNode* down = Add(root, ntDecision, QStringLiteral("Down"), 50, 0);
    QString error;
    down->SetCloneMaster(up->Id, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    root->RefreshClones();
    ASSERT_EQ(down->Children.Count(), 2);
    Doc.CalculateValues();
    ASSERT_TRUE(down->InTakenPath);
    ASSERT_FALSE(down->Children[1]->InTakenPath);
    Compare(Draw(false), QStringLiteral("path_states"));
}

TEST_F(PictureFixture, WarningColours)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision, QStringLiteral("Checks"));
    TDecTreeNode* late = Add(root, ntDecision, QStringLiteral("Late"), 100, 0);
    late->DecisionDueDate = 44000;
    Add(late, ntChance, QStringLiteral("a"), 100, 10);
    TDecTreeNode* spend = Add(root, ntMultiDecision, QStringLiteral("Spend"), 0, 0);
    spend->DecisionMultiBudget = 100;
    Add(spend, ntChance, QStringLiteral("b"), 100, -400);
    TDecTreeNode* odds = Add(root, ntChance, QStringLiteral("Odds"), 0, 0);
    Add(odds, ntChance, QStringLiteral("c"), 50, 10);
    Add(odds, ntChance, QStringLiteral("d"), 40, 20);
    Doc.CalculateValues();
    ASSERT_TRUE(late->IsOverdue());
    Compare(Draw(false), QStringLiteral("warnings"));
}

TEST_F(PictureFixture, SelectionGlyphsAndCommentOnScreen)
{
    TDecTreeNode* root = SetRoot(Doc, ntDecision, QStringLiteral("Root"));
    root->Comment = QStringLiteral("Right click for options");
    TDecTreeNode* open = Add(root, ntChance, QStringLiteral("Open"), 100, 20);
    Add(open, ntChance, QStringLiteral("x"), 50, 10);
    Add(open, ntChance, QStringLiteral("y"), 50, 30);
    TDecTreeNode* closed = Add(root, ntChance, QStringLiteral("Closed"), 0, 0);
    Add(closed, ntChance, QStringLiteral("hidden"), 100, 0);
    closed->ChildrenVisible = false;
    Doc.Selection.Add(root->Id);
    Doc.Selection.Add(open->Id);
    Compare(Draw(true, htSymbol), QStringLiteral("selection"));
}
