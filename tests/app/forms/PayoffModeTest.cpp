#include "Component/model/TreeBuilder.h"
#include "app/forms/PayoffMode.h"
#include "Component/control/DecTree.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PayoffModeTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override
    {
        SetEditPayoffRunner(nullptr);
        QLocale::setDefault(QLocale::c());
    }
    // Runs the dialog on source and payoff; drive changes the form and answers.
    TEditPayoffResult Run(const QString& source, qint64 payoff, const std::function<int(TEditPayoffForm&)>& drive)
    {
        SetEditPayoffRunner(drive);
        TEditPayoffResult result;
        result.Payoff = -1;
        EditPayoffAdvanced(source, 2, result, payoff);
        return result;
    }
};

int Accept(TEditPayoffForm& form)
{
    return form.OKButton->isEnabled() ? int(QDialog::Accepted) : int(QDialog::Rejected);
}

// The checked mode; enabled (1) or not of the value, benefit, cost and import edits and the
// import button; the texts of the value, benefit and cost edits; the one result panel shown; OK.
QString Shown(const TEditPayoffForm& f)
{
    QString mode = f.ValueRadioButton->isChecked() ? "V" : f.BenefitCostRadioButton->isChecked() ? "B"
                   : f.ImportRadioButton->isChecked()                                    ? "I"
                   : f.AdvancedRadioButton->isHidden()                                   ? "a" // checked but not shown
                                                                                         : "A";
    mode += ' ';
    for (const QWidget* w : std::initializer_list<const QWidget*>{f.DirectEdit, f.PayoffEdit, f.CostEdit, f.ImportEdit,
                                                                   f.ImportChooseButton})
        mode += w->isEnabled() ? '1' : '0';
    QString panel;
    for (const QLabel* p : {f.DirectPanel, f.DiffResultPanel, f.ImportResultPanel, f.AdvancedResultPanel})
        panel += p->isHidden() ? QString() : p->text();
    return mode + QString(" %1|%2|%3 %4 %5").arg(f.DirectEdit->text(), f.PayoffEdit->text(), f.CostEdit->text(), panel,
                                                 f.OKButton->isEnabled() ? "1" : "0");
}

} // namespace

TEST_F(PayoffModeTest, EachFieldChangedAloneShowsAndWritesBackItsValue)
{
    using F = TEditPayoffForm;
    const QString import = "Import: Excel(\"x\", \"S$A1\")";
    const struct {
        QString Source;
        qint64 Payoff;
        QRadioButton* F::*Mode;
        QLineEdit* F::*Edit;
        const char *Typed, *Shown;
        qint64 Written; // -1 when OK is off: the caller's value stays
        QString Stored;
    } cases[] = {
        {"", -2500000, nullptr, nullptr, "", "V 10000 -250.00|0|250.00 = -250.00 1", -2500000, ""},
        {"", -2500000, nullptr, &F::DirectEdit, "12.5", "V 10000 12.5|12.50|0.00 = 12.50 1", 125000, ""},
        {"", -2500000, nullptr, &F::DirectEdit, "-3", "V 10000 -3|0.00|3.00 = -3.00 1", -30000, ""},
        {"", 0, nullptr, &F::DirectEdit, "abc", "V 10000 abc|0|0.00 Invalid number 0", -1, ""},
        {"", 0, nullptr, &F::DirectEdit, "1e30", "V 10000 1e30|1000.00|0.00 Invalid number 0", -1, ""},
        // Every unit kept, as the file reader keeps it (a double would give ...476.9664).
        {"", 0, nullptr, &F::DirectEdit, "922337203685477",
         "V 10000 922337203685477|922337203685477.00|0.00 = 922,337,203,685,477.00 1", 9223372036854770000, ""},
        {"", 0, nullptr, nullptr, "", "V 10000 0.00|0|0.00 = 0.00 1", 0, ""},
        {"", -2500000, &F::BenefitCostRadioButton, &F::PayoffEdit, "1000", "B 01100 750.00|1000|250.00 = 750.00 1",
         7500000, "Income-Cost: 1000:250"},
        {"", -2500000, &F::BenefitCostRadioButton, &F::CostEdit, "100", "B 01100 -100.00|0|100 = -100.00 1", -1000000,
         "Income-Cost: 0:100"},
        {"", -2500000, &F::BenefitCostRadioButton, &F::CostEdit, "x", "B 01100 -250.00|0|x Invalid number 0", -1, ""},
        {"Income-Cost: 1000:300", 7000000, nullptr, nullptr, "", "B 01100 700.00|1000.00|300.00 = 700.00 1", 7000000,
         "Income-Cost: 1000:300"},
        {import, 123456, nullptr, nullptr, "", "I 00011 12.35|12.35|0 = 12.35 1", 123456, import},
        {import, 123456, &F::ValueRadioButton, nullptr, "", "V 10000 12.35|12.35|0 = 12.35 1", 123500, ""},
        // Shown in its own mode with its value; nothing edited, nothing changes.
        {"Advanced: NPV(B1:B9)", 123456, nullptr, nullptr, "", "A 00000 12.35|12.35|0 = 12.35 1", 123456,
         "Advanced: NPV(B1:B9)"},
        {"Formula: 1+2", 123456, nullptr, nullptr, "", "V 10000 12.35|12.35|0 = 12.35 1", 123456, "Formula: 1+2"},
        // A stored benefit and cost that no longer read open as the plain value, kept as they were.
        {"Income-Cost: abc:300", 7000000, nullptr, nullptr, "", "V 10000 700.00|700.00|0 = 700.00 1", 7000000,
         "Income-Cost: abc:300"},
        {"Income-Cost: 1e300:1", 7000000, nullptr, nullptr, "", "V 10000 700.00|700.00|0 = 700.00 1", 7000000,
         "Income-Cost: 1e300:1"},
    };
    for (const auto& c : cases) {
        const TEditPayoffResult result = Run(c.Source, c.Payoff, [&](TEditPayoffForm& form) {
            if (c.Mode)
                QTest::mouseClick(form.*c.Mode, Qt::LeftButton, {}, QPoint(4, (form.*c.Mode)->height() / 2));
            if (c.Edit) {
                (form.*c.Edit)->selectAll();
                QTest::keyClicks(form.*c.Edit, c.Typed);
            }
            EXPECT_EQ(Shown(form).toStdString(), c.Shown) << c.Source.toStdString();
            return Accept(form);
        });
        EXPECT_EQ(result.Accepted, QString(c.Shown).endsWith('1')) << c.Shown;
        EXPECT_EQ(result.Payoff, c.Written) << c.Shown;
        EXPECT_EQ(result.Source, c.Stored) << c.Shown;
    }
}

TEST_F(PayoffModeTest, GermanNumbersAreTypedInTheLocaleAndStoredWithAPoint)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const TEditPayoffResult result = Run("Income-Cost: 2000.5:0.25", 20002500, [](TEditPayoffForm& form) {
        EXPECT_EQ(form.PayoffEdit->text(), "2000,50");
        // Not a thousand times more: no group of thousands begins with a lone 0.
        form.PayoffEdit->setText("0.125");
        EXPECT_EQ(form.DiffResultPanel->text(), "= -0,13");
        form.PayoffEdit->setText("1.2.5");
        EXPECT_EQ(form.DiffResultPanel->text(), "Invalid number");
        form.PayoffEdit->setText("1.000,5");
        EXPECT_EQ(form.DiffResultPanel->text(), "= 1.000,25");
        return Accept(form);
    });
    EXPECT_EQ(result.Payoff, 10002500);
    EXPECT_EQ(result.Source, "Income-Cost: 1000.5:0.25");
}

TEST_F(PayoffModeTest, ImportModeNeedsAChosenReference)
{
    TEditPayoffResult result = Run("Import: ", 0, [](TEditPayoffForm& form) {
        EXPECT_TRUE(form.ImportRadioButton->isChecked());
        EXPECT_FALSE(form.OKButton->isEnabled());
        QStringList asked;
        form.ChooseImport = [&asked](const QString& formula, int digits) {
            asked << formula + "/" + QString::number(digits);
            return asked.size() == 1 ? TImportExternalResult{true, "Excel(\"/d/b.xlsx\", \"S$A1\")", 0}
                                     : TImportExternalResult{true, "Excel(\"x\", \"S$B2\")", 12345678};
        };
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::mouseClick(form.ImportChooseButton, Qt::LeftButton);
        QTest::keyClick(form.ImportChooseButton, Qt::Key_Space);
        EXPECT_EQ(asked, QStringList({"/2", "Excel(\"/d/b.xlsx\", \"S$A1\")/2"}));
        EXPECT_EQ(form.ImportResultPanel->text(), "= 1,234.57");
        // Back from the import steps the focus is still on "...", but Enter is OK's.
        EXPECT_EQ(QApplication::focusWidget(), form.ImportChooseButton);
        QTest::keyClick(form.ImportChooseButton, Qt::Key_Return);
        EXPECT_EQ(asked.size(), 2);
        return form.result();
    });
    EXPECT_EQ(result.Source, "Import: Excel(\"x\", \"S$B2\")");
    EXPECT_EQ(result.Payoff, 12345700); // as shown, with the document's decimals

    // The node command: one undo step with payoff and source together, also when only the way
    // the payoff is made changes.
    TDecTree tree;
    TDecTreeNode* node = testtree::AddEnd(testtree::SetRoot(tree.Document(), ntDecision), 100, 5);
    SetEditPayoffRunner([](TEditPayoffForm& form) {
        form.BenefitCostRadioButton->click();
        return Accept(form);
    });
    EditNodePayoffAdvanced(&tree, node, nullptr);
    EXPECT_EQ(tree.UndoManager().UndoStack().size(), 1u);
    EXPECT_EQ(node->Payoff, 50000);
    EXPECT_EQ(node->PayoffSource, "Income-Cost: 5:0");
    EXPECT_EQ(tree.UndoManager().UndoDescription(), "Edit Payoff (advanced)");
    tree.UndoManager().Undo();
    EXPECT_EQ(tree.Root()->Children[0]->Payoff, 50000);
    EXPECT_TRUE(tree.Root()->Children[0]->PayoffSource.isEmpty());
    // An OK that changes nothing records no step.
    SetEditPayoffRunner(Accept);
    EditNodePayoffAdvanced(&tree, tree.Root()->Children[0], nullptr);
    EXPECT_FALSE(tree.UndoManager().CanUndo());
}
