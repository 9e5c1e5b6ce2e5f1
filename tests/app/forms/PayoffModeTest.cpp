#include "Component/model/TreeBuilder.h"
#include "app/forms/PayoffMode.h"
#include "Component/control/DecTree.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
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

} // namespace

TEST_F(PayoffModeTest, ValueAndBenefitMinusCost)
{
    TEditPayoffResult result = Run(QString(), -2500000, [](TEditPayoffForm& form) {
        EXPECT_TRUE(form.ValueRadioButton->isChecked());
        EXPECT_EQ(form.DirectEdit->text(), "-250.00");
        EXPECT_EQ(form.CostEdit->text(), "250.00");
        form.BenefitCostRadioButton->click();
        EXPECT_TRUE(form.PayoffEdit->isEnabled());
        EXPECT_FALSE(form.DirectEdit->isEnabled());
        form.PayoffEdit->setText("1000");
        form.CostEdit->setText("300");
        EXPECT_EQ(form.DiffResultPanel->text(), "= 700.00");
        EXPECT_EQ(form.DirectEdit->text(), "700.00");
        return Accept(form);
    });
    EXPECT_TRUE(result.Accepted);
    EXPECT_EQ(result.Payoff, 7000000);
    EXPECT_EQ(result.Source, "Income-Cost: 1000:300");

    // Reopened from what it stored; a source that no longer reads opens as a plain value.
    struct Case {
        QString Source;
        bool BenefitCost;
        QString Benefit, Cost;
    } cases[] = {
        {"Income-Cost: 1000:300", true, "1,000.00", "300.00"},
        {"Income-Cost: abc:300", false, "700.00", "0"},
        {"Income-Cost: 1000", false, "700.00", "0"},
        {"Income-Cost: 1e300:1", false, "700.00", "0"},
    };
    for (const Case& c : cases) {
        result = Run(c.Source, 7000000, [&](TEditPayoffForm& form) {
            EXPECT_EQ(form.BenefitCostRadioButton->isChecked(), c.BenefitCost) << c.Source.toStdString();
            EXPECT_EQ(form.PayoffEdit->text().remove(','), QString(c.Benefit).remove(',')) << c.Source.toStdString();
            EXPECT_EQ(form.CostEdit->text(), c.Cost) << c.Source.toStdString();
            return int(QDialog::Rejected);
        });
        EXPECT_FALSE(result.Accepted);
        EXPECT_EQ(result.Payoff, -1);
    }
}

TEST_F(PayoffModeTest, UnreadableOrOutOfRangeNumbersDisableOk)
{
    for (const QString text : {"abc", "1e30", "12,,3x", ""}) {
        Run(QString(), 0, [&](TEditPayoffForm& form) {
            form.DirectEdit->setText(text);
            EXPECT_EQ(form.DirectPanel->text(), "Invalid number") << text.toStdString();
            EXPECT_FALSE(form.OKButton->isEnabled());
            form.DirectEdit->setText("-12.5");
            EXPECT_EQ(form.DirectPanel->text(), "= -12.50");
            EXPECT_EQ(form.CostEdit->text(), "12.50");
            EXPECT_TRUE(form.OKButton->isEnabled());
            return int(QDialog::Rejected);
        });
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
        QString asked;
        form.ChooseImport = [&asked](const QString& formula, int digits) {
            asked = formula + "/" + QString::number(digits);
            return TImportExternalResult{true, "Excel(\"/d/b.xlsx\", \"S$A1\")", 0};
        };
        form.ImportChooseButton->click();
        EXPECT_EQ(asked, "/2");
        EXPECT_TRUE(form.OKButton->isEnabled());
        form.ChooseImport = [](const QString&, int) { return TImportExternalResult{true, "Excel(\"x\", \"S$B2\")", 12345678}; };
        form.ImportChooseButton->click();
        EXPECT_EQ(form.ImportResultPanel->text(), "= 1,234.57");
        return Accept(form);
    });
    EXPECT_EQ(result.Source, "Import: Excel(\"x\", \"S$B2\")");
    EXPECT_EQ(result.Payoff, 12345700); // as shown, with the document's decimals

    // The node command: one undo step with payoff and source together.
    TDecTree tree;
    TDecTreeNode* node = testtree::AddEnd(testtree::SetRoot(tree.Document(), ntDecision), 100, 5);
    SetEditPayoffRunner([](TEditPayoffForm& form) {
        form.BenefitCostRadioButton->click();
        form.CostEdit->setText("2");
        return Accept(form);
    });
    EditNodePayoffAdvanced(&tree, node, nullptr);
    EXPECT_EQ(node->Payoff, 30000);
    EXPECT_EQ(node->PayoffSource, "Income-Cost: 5:2");
    EXPECT_EQ(tree.UndoManager().UndoDescription(), "Edit Payoff (advanced)");
    tree.UndoManager().Undo();
    EXPECT_EQ(tree.Root()->Children[0]->Payoff, 50000);
    EXPECT_TRUE(tree.Root()->Children[0]->PayoffSource.isEmpty());
}
