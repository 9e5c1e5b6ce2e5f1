#include "Component/formula/WorkbookFixtures.h"
#include "app/MessageDialogs.h"
#include "app/forms/ImportExternal.h"
#include "app/forms/WorkbookGridModel.h"
#include "Component/formula/FunctionParser.h"
#include "Component/formula/SpreadsheetConverter.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString Book()
{
    return fixtures::File(QStringLiteral("book.xlsx"));
}

// Chooses a control's entry as a user does: the handlers run on activation only.
void Activate(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

class ImportExternalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType, int) {
            Messages << text;
            return TModalResult::OK;
        });
    }
    void TearDown() override
    {
        SetMessageDlgHook(nullptr);
        SetImportExternalRunner(nullptr);
        QLocale::setDefault(QLocale::c());
    }

    // Opens the dialog on a stored reference; the runner sees the form as it opens and answers.
    TImportExternalResult Open(const QString& formula, const std::function<int(TImportExternalForm&)>& runner)
    {
        SetImportExternalRunner(runner);
        TImportExternalResult result;
        result.Text = QStringLiteral("untouched");
        result.Value = -1;
        ExecuteImportExternal(formula, 2, result);
        return result;
    }
    QStringList Messages;
};

} // namespace

TEST_F(ImportExternalTest, ChoosingAFileListsSheetsAndSingleCellNamesAndOkBuildsTheReference)
{
    TImportExternalForm form;
    form.Decimals = 2;
    form.SetStep(1);
    form.cboDatasource->setCurrentIndex(0);
    form.cboDatasourceClick();
    form.ChooseFile = [](const QString&) { return Book(); };
    form.btnExcelChooseFileClick();

    EXPECT_EQ(Items(form.cboExcelWorksheets),
              QStringList({"Data", "My Sheet", "Empty (empty)", "Styled"}));
    // Ranges, constants and deleted references are left out; the others stay usable.
    EXPECT_EQ(Items(form.cboExcelNamedCell),
              QStringList({"Price: Data!B2 (Value=12.50)", "'My Sheet'!Local: 'My Sheet'!A1 (Value=7.00)",
                           "Secret: Data!AB7 (Value=42.00)", "Words: Data!C3 (Value=hello)",
                           "Data!Twice: Data!A1 (Value=-3.00)", "'My Sheet'!Twice: 'My Sheet'!A1 (Value=7.00)"}));
    EXPECT_FALSE(form.btnOK->isEnabled());

    form.cboExcelNamedCell->setCurrentIndex(1);
    form.cboExcelNamedCellClick();
    EXPECT_TRUE(form.btnOK->isEnabled());
    form.btnOKClick();
    EXPECT_EQ(form.Reference, "Excel(\"" + Book() + "\", \"'My Sheet'!Local\")");
    EXPECT_EQ(form.Value, 70000);
    // What the dialog writes, the reader reads back to the same cell.
    QString error;
    EXPECT_EQ(ReadExcelData(form.Reference, QString(), error), 7.0) << error.toStdString();

    // By sheet, row and column: a file chosen again clears what followed it.
    form.radExcelRowAndCol->click();
    form.cboExcelWorksheets->setCurrentIndex(0);
    form.cboExcelWorksheetsClick();
    EXPECT_FALSE(form.btnOK->isEnabled());
    const QAbstractItemModel* grid = form.grdExcelUnnamedCells->model();
    form.grdExcelUnnamedCells->setCurrentIndex(grid->index(6, 27));
    EXPECT_TRUE(form.btnOK->isEnabled());
    form.btnOKClick();
    EXPECT_EQ(form.Reference, "Excel(\"" + Book() + "\", \"Data$AB7\")");
    EXPECT_EQ(form.Value, 420000);
}

TEST_F(ImportExternalTest, AStoredReferenceReopensAtItsStepAndAStaleOneBeforeTheCellChoice)
{
    const QString path = Book();
    struct Case {
        QString Formula;
        int Step;
        bool Ok;
    } cases[] = {
        {"Excel(\"" + path + "\", \"Data$AB7\")", 6, true},
        {"Excel(\"" + path + "\", \"Price\")", 5, true},
        {"Excel(\"" + path + "\", \"Gone$A1\")", 4, false},   // sheet no longer there
        {"Excel(\"" + path + "\", \"Data$ZZ99\")", 5, false}, // outside what the sheet holds
        {"Excel(\"" + path + "\", \"Data$1A\")", 5, false},   // malformed cell
        {"Excel(\"" + path + "\", \"Block\")", 4, false},     // a range is not listed
        {"Excel(\"" + path + "\")", 4, false},
        {"Excel(\"/nowhere/book.xlsx\", \"Data$A1\")", 3, false},
        {"Sum(1, 2)", 1, false},
    };
    for (const Case& c : cases) {
        Messages.clear();
        int step = 0;
        bool ok = false;
        QString cell;
        const TImportExternalResult result = Open(c.Formula, [&](TImportExternalForm& form) {
            step = form.Step();
            ok = form.btnOK->isEnabled();
            const QModelIndex current = form.grdExcelUnnamedCells->currentIndex();
            cell = current.isValid() ? current.data().toString() : QString();
            return int(QDialog::Rejected);
        });
        EXPECT_EQ(step, c.Step) << c.Formula.toStdString();
        EXPECT_EQ(ok, c.Ok) << c.Formula.toStdString();
        // Cancel leaves the caller's text and value alone.
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(result.Text, "untouched");
        EXPECT_EQ(result.Value, -1);
        EXPECT_EQ(cell, c.Step == 6 ? "42.00" : "") << c.Formula.toStdString();
        EXPECT_EQ(Messages, c.Step == 3 ? QStringList{"File not found"} : QStringList()) << c.Formula.toStdString();
    }

    const TImportExternalResult accepted = Open("Excel(\"" + path + "\", \"Data$B2\")", [](TImportExternalForm& form) {
        form.btnOKClick();
        return form.result();
    });
    EXPECT_TRUE(accepted.Ok);
    EXPECT_EQ(accepted.Text, "Excel(\"" + path + "\", \"Data$B2\")");
    EXPECT_EQ(accepted.Value, 125000);
}

TEST_F(ImportExternalTest, PathsWithQuotesAndGermanNumbersReadBack)
{
    const QString text = ExcelReferenceText(QStringLiteral("/data/\"Q1\" plan.xlsx"), QStringLiteral("S$A1"));
    QString name;
    QStringList arguments;
    ParseFunctionCall(text, name, arguments);
    EXPECT_EQ(arguments, QStringList({"/data/\"Q1\" plan.xlsx", "S$A1"}));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const TImportExternalResult result = Open("Excel(\"" + Book() + "\", \"Price\")", [](TImportExternalForm& form) {
        EXPECT_TRUE(form.cboExcelNamedCell->currentText().endsWith("(Value=12,50)"));
        form.btnOKClick();
        return form.result();
    });
    EXPECT_EQ(result.Value, 125000);
    // A thousand separator in the shown value is not taken for a decimal point.
    TCellValue big;
    big.Kind = TCellKind::Number;
    big.Number = 1234.5;
    EXPECT_EQ(CellValueText(big, 2), "1.234,50");
}

TEST_F(ImportExternalTest, TheGridOfAFarCellHoldsOnlyWhatIsStored)
{
    QString error;
    const auto book = TWorkbook::Open(fixtures::File(QStringLiteral("cached.xlsx")), error);
    ASSERT_TRUE(book) << error.toStdString();
    TWorkbookGridModel model;
    model.SetSheet(book, 0, 0);
    EXPECT_EQ(model.index(1048575, 16383).data().toString(), "99");
    EXPECT_EQ(model.headerData(16383, Qt::Horizontal).toString(), "XFD");
    EXPECT_EQ(model.headerData(1048575, Qt::Vertical).toString(), "1048576");

    // Of its names only the one single cell is listed: not a range, even of one cell (A1:A1),
    // nor a cell of another workbook.
    TImportExternalForm form;
    form.Decimals = 2;
    form.SetStep(2);
    form.ChooseFile = [](const QString&) { return fixtures::File(QStringLiteral("cached.xlsx")); };
    form.btnExcelChooseFileClick();
    EXPECT_EQ(Items(form.cboExcelNamedCell), QStringList{"Total: Calc!A1 (Value=3.00)"});
}

TEST_F(ImportExternalTest, AWorkbookThatCannotBeReadSaysWhyAndLeavesTheListsEmpty)
{
    TImportExternalForm form;
    form.SetStep(1);
    form.cboDatasource->setCurrentIndex(0);
    form.cboDatasourceClick();
    form.ChooseFile = [](const QString&) { return Book(); };
    form.btnExcelChooseFileClick();
    ASSERT_GT(form.cboExcelNamedCell->count(), 0);

    const QString old = TWorkbook::CanConvertOtherFormats()
                            ? QString()
                            : "Microsoft Excel is not installed\r" + TSpreadsheetConverter::MissingMessage();
    for (const auto& [file, message] : {std::pair<QString, QString>{"garbage.xlsx", "The workbook"},
                                        std::pair<QString, QString>{"old.xls", old}}) {
        Messages.clear();
        form.ChooseFile = [&file](const QString&) { return fixtures::File(file); };
        form.btnExcelChooseFileClick();
        if (message.isEmpty())
            continue; // converted: read like any other workbook
        ASSERT_EQ(Messages.size(), 1) << file.toStdString();
        EXPECT_TRUE(Messages[0].startsWith(message)) << Messages[0].toStdString();
        // Nothing of the workbook read before is left to choose from.
        EXPECT_EQ(form.cboExcelNamedCell->count(), 0);
        EXPECT_EQ(form.cboExcelWorksheets->count(), 0);
        EXPECT_TRUE(form.radExcelRowAndCol->isChecked());
        EXPECT_EQ(form.Step(), 4);
    }
}

// Sheet names a spreadsheet program allows, in a workbook it wrote (LibreOffice converted
// tests/data/sheetnames.fods with "soffice --headless --convert-to xlsx"): each sheet holds its
// own name as text in A1 and its index + 1.25 in B2.
TEST_F(ImportExternalTest, EverySheetNameRoundTripsThroughTheStoredReferenceAndATextCellIsRefused)
{
    const QString book = testsupport::TestDataPath(QStringLiteral("sheetnames.xlsx"));
    const QStringList names{"Cost$2024", "Say \"hi\"", " Lead",    "Trail ", "a, b",  "x)y(", "Wow!", "O'Brien",
                            "$A1",       "A$1$",       "\"\"", "Σ Ελλάδα", "Empty", "100% & <tag>", "Data"};
    TImportExternalForm form;
    form.Decimals = 2;
    form.SetStep(1);
    form.show();
    Activate(form.cboDatasource, 0);
    form.ChooseFile = [&book](const QString&) { return book; };
    form.btnExcelChooseFileClick();
    QTest::mouseClick(form.radExcelRowAndCol, Qt::LeftButton, {}, QPoint(4, form.radExcelRowAndCol->height() / 2));
    ASSERT_EQ(form.cboExcelWorksheets->count(), names.size());
    const QAbstractItemModel* grid = form.grdExcelUnnamedCells->model();
    for (int i = 0; i < names.size(); ++i) {
        const bool empty = names[i] == "Empty";
        EXPECT_EQ(form.cboExcelWorksheets->itemText(i), empty ? "Empty (empty)" : names[i]);
        Activate(form.cboExcelWorksheets, i);
        // A1 holds text (or nothing): the reason shows and OK stays off, never a value of 0.
        form.grdExcelUnnamedCells->setCurrentIndex(grid->index(0, 0));
        EXPECT_EQ(form.Step(), 6);
        EXPECT_FALSE(form.btnOK->isEnabled()) << i;
        EXPECT_EQ(form.lblCellProblem->text(),
                  "Cell " + names[i] + (empty ? "!A1 is empty" : "!A1 holds text, not a number"));
        if (empty)
            continue;
        form.grdExcelUnnamedCells->setCurrentIndex(grid->index(1, 1));
        ASSERT_TRUE(form.btnOK->isEnabled()) << i;
        EXPECT_TRUE(form.lblCellProblem->isHidden());
        // Choosing the checked address type or the same sheet again keeps the chosen cell.
        QTest::mouseClick(form.radExcelRowAndCol, Qt::LeftButton, {}, QPoint(4, form.radExcelRowAndCol->height() / 2));
        Activate(form.cboExcelWorksheets, i);
        Activate(form.cboDatasource, 0);
        ASSERT_TRUE(form.btnOK->isEnabled()) << i;
        form.btnOKClick();
        QString error;
        EXPECT_EQ(ReadExcelData(form.Reference, QString(), error), i + 1.25) << form.Reference.toStdString();
        EXPECT_EQ(error, "");
        Open(form.Reference, [&](TImportExternalForm& reopened) {
            EXPECT_EQ(reopened.Step(), 6) << i;
            EXPECT_EQ(reopened.cboExcelWorksheets->currentIndex(), i);
            EXPECT_EQ(reopened.grdExcelUnnamedCells->currentIndex(), reopened.grdExcelUnnamedCells->model()->index(1, 1));
            return int(QDialog::Rejected);
        });
    }
    // A stored reference names the empty sheet as the workbook does, not as it is listed.
    Open("Excel(\"" + book + "\", \"Empty$A1\")", [](TImportExternalForm& reopened) {
        EXPECT_EQ(reopened.Step(), 6);
        EXPECT_EQ(reopened.cboExcelWorksheets->currentText(), "Empty (empty)");
        return int(QDialog::Rejected);
    });
    // Names on such a sheet, and one of its own: the name is the reference.
    QTest::mouseClick(form.radExcelNamedCell, Qt::LeftButton, {}, QPoint(4, form.radExcelNamedCell->height() / 2));
    EXPECT_EQ(Items(form.cboExcelNamedCell),
              QStringList({"CostTotal: 'Cost$2024'!B2 (Value=1.25)", "'Cost$2024'!Local: 'Cost$2024'!B2 (Value=1.25)"}));
    for (int i = 0; i < 2; ++i) {
        Activate(form.cboExcelNamedCell, i);
        form.btnOKClick();
        QString error;
        EXPECT_EQ(ReadExcelData(form.Reference, QString(), error), 1.25) << form.Reference.toStdString();
        EXPECT_EQ(form.Value, 12500);
    }
}
