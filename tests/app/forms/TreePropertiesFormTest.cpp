#include "Component/control/DecTree.h"
#include "Component/control/EditDueDateForm.h"
#include "app/forms/TreePropertiesFormUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class TreePropertiesFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Tree = std::make_unique<TDecTree>();
        Tree->Document().NewRoot();
        TTreeOptions& o = Tree->Options();
        o.SetCurrencySymbol(QStringLiteral("CHF"));
        o.SetCurrencyDecimals(2);
        o.SetCurrencyPosFormat(3);
        o.SetCurrencyNegFormat(15);
        Form = std::make_unique<TTreePropertiesForm>(Tree.get(), nullptr);
        Form->Now = [] { return QDateTime(QDate(2031, 5, 6), QTime(7, 8, 9)); };
        Form->LoadFromTree();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    TDecTreeUndoManager& Undo() { return Tree->UndoManager(); }

    std::unique_ptr<TDecTree> Tree;
    std::unique_ptr<TTreePropertiesForm> Form;
};

TEST_F(TreePropertiesFormTest, LoadingShowsValuesOutsideTheControlsRangesAndKeepsThem)
{
    TTreeOptions& o = Tree->Options();
    o.SetCurrencyDecimals(14);
    o.SetStatusDate(DueDateFromDateTime(QDateTime(QDate(1995, 3, 4), QTime(12, 0))));
    const TTreeOptions before = o;
    Form->LoadFromTree();
    EXPECT_EQ(o, before);
    EXPECT_FALSE(Undo().CanUndo());
    EXPECT_EQ(Form->DigitsAfterDecimalUpDown->value(), 14);
    EXPECT_EQ(Form->StatusDateTimePicker->date(), QDate(1995, 3, 4));
    EXPECT_EQ(Form->PositiveCurrencyFormatComboBox->currentText(), "1.10000000000000 CHF");
    // A change of another control stores the shown decimals and date as they were.
    Form->NegativeCurrencyFormatComboBox->setCurrentIndex(1);
    EXPECT_EQ(o.CurrencyDecimals, 14);
    EXPECT_EQ(o.StatusDate, before.StatusDate);
    EXPECT_EQ(o.CurrencyNegFormat, 1);
}

TEST_F(TreePropertiesFormTest, EachChangeIsOneUndoStepThatUndoTakesBack)
{
    Form->ReadSystemCurrency = [](TTreeOptions& o) {
        o.CurrencySymbol = QStringLiteral("CHF");
        o.CurrencyDecimals = 2;
        o.CurrencyPosFormat = 3;
        o.CurrencyNegFormat = 15;
    };
    struct Case {
        const char* name;
        std::function<void()> change;
        const char* action;
        std::function<bool(const TTreeOptions&)> applied;
    };
    TTreePropertiesForm& f = *Form;
    const Case cases[] = {
        {"outline codes", [&] { f.OutlineCodesCheckBox->toggle(); }, "Decision Tree Properties",
         [](const TTreeOptions& o) { return o.OutlineCodes; }},
        {"show payoff", [&] { f.ShowPayoffCheckBox->toggle(); }, "Show payoff",
         [](const TTreeOptions& o) { return o.ShowPayoff; }},
        {"status date on", [&] { f.StatusDateCheckBox->setChecked(true); }, "Decision Tree Properties",
         [](const TTreeOptions& o) {
             return o.StatusDate == DueDateFromDateTime(QDateTime(QDate(2031, 5, 6), QTime(7, 8, 9)));
         }},
        {"symbol typed", [&] { f.CurrencySymbolComboBox->setEditText(QStringLiteral("EU")); },
         "Decision Tree Properties", [](const TTreeOptions& o) { return o.CurrencySymbol == "EU"; }},
        {"decimals", [&] { f.DigitsAfterDecimalUpDown->setValue(0); }, "Decision Tree Properties",
         [](const TTreeOptions& o) { return o.CurrencyDecimals == 0 && o.CurrencyPosFormat == 3; }},
        {"positive format", [&] { f.PositiveCurrencyFormatComboBox->setCurrentIndex(0); },
         "Decision Tree Properties", [](const TTreeOptions& o) { return o.CurrencyPosFormat == 0; }},
        {"read from system, same values", [&] { f.ReadWindowsButtonClick(); }, "Decision Tree Properties",
         [](const TTreeOptions& o) { return o.CurrencySymbol == "CHF" && o.CurrencyNegFormat == 15; }},
    };
    for (const Case& c : cases) {
        Undo().Clear();
        const TTreeOptions before = Tree->Options();
        Form->LoadFromTree();
        c.change();
        ASSERT_EQ(Undo().UndoStack().size(), 1u) << c.name;
        EXPECT_EQ(Undo().UndoDescription(), c.action) << c.name;
        EXPECT_TRUE(c.applied(Tree->Options())) << c.name;
        Undo().Undo();
        EXPECT_EQ(Tree->Options(), before) << c.name;
    }
    // Unchecking the date stores 0 again.
    Form->StatusDateCheckBox->setChecked(true);
    Form->StatusDateCheckBox->setChecked(false);
    EXPECT_EQ(Tree->Options().StatusDate, 0);
}

TEST_F(TreePropertiesFormTest, FormatListsFollowSymbolAndDigits)
{
    Form->CurrencySymbolComboBox->setEditText(QString());
    Form->DigitsAfterDecimalUpDown->setValue(0);
    QStringList negative;
    for (int i = 0; i < Form->NegativeCurrencyFormatComboBox->count(); ++i)
        negative << Form->NegativeCurrencyFormatComboBox->itemText(i);
    EXPECT_EQ(negative, QStringList({"(1)", "-1", "-1", "1-", "(1)", "-1", "1-", "1-", "-1 ", "- 1", "1 -", " 1-",
                                     " -1", "1- ", "( 1)", "(1 )"}));
    Form->CurrencySymbolComboBox->setEditText(QStringLiteral("$"));
    Form->DigitsAfterDecimalUpDown->setValue(2);
    EXPECT_EQ(Form->PositiveCurrencyFormatComboBox->itemText(0), "$1.10");
    EXPECT_EQ(Form->NegativeCurrencyFormatComboBox->itemText(12), "$ -1.10");
    // The stored codes kept their places through the rebuilds.
    EXPECT_EQ(Form->PositiveCurrencyFormatComboBox->currentIndex(), 3);
    EXPECT_EQ(Tree->Options().CurrencyNegFormat, 15);
}

} // namespace

// What each format list offers is how the tree shows an amount in that format: the system's
// currency format codes, with the list's index as the code.
TEST_F(TreePropertiesFormTest, EachFormatEntryIsHowTheTreeShowsAnAmountInThatFormat)
{
    const QStringList entries[2] = {
        {"CHF1.10", "1.10CHF", "CHF 1.10", "1.10 CHF"},
        {"(CHF1.10)", "-CHF1.10", "CHF-1.10", "CHF1.10-", "(1.10CHF)", "-1.10CHF", "1.10-CHF", "1.10CHF-", "-1.10 CHF",
         "-CHF 1.10", "1.10 CHF-", "CHF 1.10-", "CHF -1.10", "1.10- CHF", "(CHF 1.10)", "(1.10 CHF)"},
    };
    const QStringList shown[2] = {
        {"CHF1,234.50", "1,234.50CHF", "CHF 1,234.50", "1,234.50 CHF"},
        {"(CHF1,234.50)", "-CHF1,234.50", "CHF-1,234.50", "CHF1,234.50-", "(1,234.50CHF)", "-1,234.50CHF",
         "1,234.50-CHF", "1,234.50CHF-", "-1,234.50 CHF", "-CHF 1,234.50", "1,234.50 CHF-", "CHF 1,234.50-",
         "CHF -1,234.50", "1,234.50- CHF", "(CHF 1,234.50)", "(1,234.50 CHF)"},
    };
    QComboBox* const lists[2] = {Form->PositiveCurrencyFormatComboBox, Form->NegativeCurrencyFormatComboBox};
    TTreeOptions options = Tree->Options();
    for (const bool negative : {false, true}) {
        QStringList offered;
        for (int code = 0; code < lists[negative]->count(); ++code)
            offered << lists[negative]->itemText(code);
        EXPECT_EQ(offered, entries[negative]);
        QStringList formatted;
        for (int code = 0; code < entries[negative].size(); ++code) {
            (negative ? options.CurrencyNegFormat : options.CurrencyPosFormat) = code;
            formatted << FormatCurrency(TCurrency(negative ? -12345000 : 12345000), options);
        }
        EXPECT_EQ(formatted, shown[negative]);
    }
}
