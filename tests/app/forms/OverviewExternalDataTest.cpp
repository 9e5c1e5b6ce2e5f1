#include "Component/formula/WorkbookFixtures.h"
#include "Component/model/TreeBuilder.h"
#include "app/forms/ExternalDataStrings.h"
#include "app/forms/OverviewExternalData.h"
#include "Component/control/DecTree.h"

#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include "shared/widgets/WhiteTop.h"
#include <gtest/gtest.h>

using namespace testtree;
namespace S = ExternalDataStrings;

namespace {

QString Import(const QString& path, const QString& cell)
{
    return "Import: Excel(\"" + path + "\", \"" + cell + "\")";
}

struct TShown {
    QStringList Rows; // old | new | node | source | mark
    QString Lines, Changed, Message;
};

} // namespace

TEST(OverviewExternalDataTest, ListsEveryImportDepthFirstAndAppliesReadableRowsAsOneUndoStep)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString book = fixtures::File(QStringLiteral("book.xlsx"));
    TDecTree tree;
    tree.Options().CurrencyDecimals = 2;
    TDecTreeNode* root = SetRoot(tree.Document(), ntDecision);
    TDecTreeNode* a = AddEnd(root, 100, 0);
    a->Payoff = 125012; // shows as 12.50 like the cell: unchanged, yet written back rounded
    a->PayoffSource = Import(book, "Price");
    a->Caption = "A";
    TDecTreeNode* master = AddChild(root, ntChance, 0, 0);
    master->ChildrenVisible = false;
    TDecTreeNode* inner = AddEnd(master, 100, 0);
    inner->PayoffSource = Import(book, "Data$AB7");
    inner->Caption = "Inner";
    TDecTreeNode* clone = AddChild(root, ntChance, 0, 0);
    MakeClone(clone, master);
    TDecTreeNode* failing = AddEnd(root, 0, 5);
    failing->PayoffSource = Import("/nowhere/gone.xlsx", "Data$A1");
    // A failed read compares as 0: with a stored 0 it is no change.
    AddEnd(root, 0, 0)->PayoffSource = Import("/nowhere/gone.xlsx", "Data$B1");
    AddEnd(root, 0, 3)->PayoffSource = "Income-Cost: 3:0";
    tree.Recalculate();
    const int undoBefore = int(tree.UndoManager().UndoStack().size());

    TShown shown;
    SetOverviewExternalDataRunner([&](TOverviewExternalDataForm& form) {
        form.RefreshExternalData();
        for (int i = 0; i < form.OverviewListView->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = form.OverviewListView->topLevelItem(i);
            shown.Rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(" | ");
        }
        shown.Lines = form.SummaryLinesLabel->text();
        shown.Changed = form.SummaryChangedLabel->text();
        shown.Message = form.WhiteTop->Msg();
        return int(QDialog::Accepted);
    });
    ShowExternalDataOverview(&tree, QString());
    SetOverviewExternalDataRunner(nullptr);

    const QString source = "Excel(\"" + book + "\", \"Data$AB7\")";
    EXPECT_EQ(shown.Rows, QStringList({"12.50 | 12.50 | A | Excel(\"" + book + "\", \"Price\")",
                                       "0.00 | 42.00 | Inner | " + source, "0.00 | 42.00 | Inner | " + source,
                                       "5.00 | File not found: /nowhere/gone.xlsx |  | Excel(\"/nowhere/gone.xlsx\", \"Data$A1\")",
                                       "0.00 | File not found: /nowhere/gone.xlsx |  | Excel(\"/nowhere/gone.xlsx\", \"Data$B1\")"}));
    EXPECT_EQ(shown.Lines, "5");
    EXPECT_EQ(shown.Changed, "2"); // a row that could not be read is no change
    EXPECT_EQ(shown.Message, "External data has been changed. After reviewing click OK to accept the new values.");

    // Every readable row written, rounded as shown; the failed one keeps its value.
    EXPECT_EQ(a->Payoff, 125000);
    EXPECT_EQ(inner->Payoff, 420000);
    EXPECT_EQ(clone->Children[0]->Payoff, 420000);
    EXPECT_EQ(failing->Payoff, 50000);
    ASSERT_EQ(int(tree.UndoManager().UndoStack().size()), undoBefore + 1);
    EXPECT_EQ(tree.UndoManager().UndoDescription(), "Refresh external data");
    tree.UndoManager().Undo();
    TDecTreeNode* restored = tree.Root()->Children[1]->Children[0];
    EXPECT_EQ(restored->Payoff, 0);
    EXPECT_EQ(tree.Root()->Children[0]->Payoff, 125012);

    // Nothing changed but the workbooks that are missing: said so, and OK records no step. The
    // dialog is wide enough for its longest message.
    tree.Root()->Children[0]->Payoff = 125000;
    tree.Root()->Children[1]->Children[0]->Payoff = 420000;
    tree.Root()->Children[2]->Children[0]->Payoff = 420000;
    tree.UndoManager().Clear();
    SetOverviewExternalDataRunner([&](TOverviewExternalDataForm& form) {
        form.show();
        form.RefreshExternalData();
        shown.Changed = form.SummaryChangedLabel->text();
        shown.Message = form.WhiteTop->Msg();
        EXPECT_GT(form.WhiteTop->width(), QFontMetrics(form.WhiteTop->font()).horizontalAdvance(S::HasChanged) + 30);
        return int(QDialog::Accepted);
    });
    ShowExternalDataOverview(&tree, QString());
    SetOverviewExternalDataRunner(nullptr);
    EXPECT_EQ(shown.Changed, "0");
    EXPECT_EQ(shown.Message, "No changes. Your project is up-to-date.");
    EXPECT_FALSE(tree.UndoManager().CanUndo());
    QLocale::setDefault(QLocale::c());
}
