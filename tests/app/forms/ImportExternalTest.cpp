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

// Chooses a list's entry or a radio button as a user does: the handlers run on activation only.
void Activate(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

void Click(QWidget* radio)
{
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(4, radio->height() / 2));
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

// Every control's state after each step: the step; enabled (1) or not of the six step labels,
// file edit and button, both address types, both lists, grid and OK; the bold labels' numbers;
// the checked address type; the address page shown (x: none); a file name or none; the
// selections of data source, sheet and named cell.
static QString State(const TImportExternalForm& f)
{
    QString enabled, bold;
    for (const QWidget* w : std::initializer_list<const QWidget*>{
             f.lbl1Datasource, f.lbl2Workbook, f.lbl3ExcelAddressType, f.lbl4ExcelNamedCell, f.lbl4ExcelWorksheets,
             f.lbl5ExcelUnnamedCell, f.edtExcelFilename, f.btnExcelChooseFile, f.radExcelNamedCell, f.radExcelRowAndCol,
             f.cboExcelNamedCell, f.cboExcelWorksheets, f.grdExcelUnnamedCells, f.btnOK}) {
        enabled += w->isEnabled() ? '1' : '0';
        if (const auto* label = qobject_cast<const QLabel*>(w); label && label->font().bold())
            bold += label->objectName().at(3);
    }
    return QString("%1 %2 %3 %4 %5 %6 %7,%8,%9")
        .arg(f.Step()).arg(enabled, bold.isEmpty() ? "-" : bold,
             f.radExcelNamedCell->isChecked() ? "N" : f.radExcelRowAndCol->isChecked() ? "R" : "-",
             f.nbkExcelAddressType->isHidden() ? "x" : f.nbkExcelAddressType->currentIndex() ? "r" : "n",
             f.edtExcelFilename->text().isEmpty() ? "_" : "f")
        .arg(f.cboDatasource->currentIndex()).arg(f.cboExcelWorksheets->currentIndex()).arg(f.cboExcelNamedCell->currentIndex());
}

TEST_F(ImportExternalTest, EachStepSetsEveryControlAndOkBuildsTheReference)
{
    TImportExternalForm form;
    form.Decimals = 2;
    form.show();
    QString file = Book();
    form.ChooseFile = [&file](const QString&) { return file; };
    const QAbstractItemModel* grid = form.grdExcelUnnamedCells->model();
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { form.SetStep(1); }, "1 10000000000000 1 - x _ -1,-1,-1"},
        {[&] { Activate(form.cboDatasource, 0); }, "2 11000011000000 2 - x _ 0,-1,-1"},
        {[&] {
             form.btnExcelChooseFileClick();
             EXPECT_EQ(Items(form.cboExcelWorksheets), QStringList({"Data", "My Sheet", "Empty (empty)", "Styled"}));
             // Ranges, constants and deleted references are left out; the others stay usable.
             EXPECT_EQ(Items(form.cboExcelNamedCell),
                       QStringList({"Price: Data!B2 (Value=12.50)", "'My Sheet'!Local: 'My Sheet'!A1 (Value=7.00)",
                                    "Secret: Data!AB7 (Value=42.00)", "Words: Data!C3 (Value=hello)",
                                    "Data!Twice: Data!A1 (Value=-3.00)", "'My Sheet'!Twice: 'My Sheet'!A1 (Value=7.00)"}));
         },
         "4 11111011111100 44 N n f 0,-1,-1"},
        {[&] { Activate(form.cboExcelNamedCell, 3); }, "5 11111111111110 5 N n f 0,-1,3"}, // Words: text
        {[&] { Activate(form.cboExcelNamedCell, 1); }, "5 11111111111111 5 N n f 0,-1,1"},
        {[&] { Click(form.radExcelRowAndCol); }, "4 11111011111100 44 R r f 0,-1,-1"},
        {[&] { Activate(form.cboExcelWorksheets, 0); }, "5 11111111111110 5 R r f 0,0,-1"},
        {[&] { form.grdExcelUnnamedCells->setCurrentIndex(grid->index(6, 27)); }, "6 11111111111111 - R r f 0,0,-1"},
        // The checked address type, the same sheet or the data source chosen again keep the cell.
        {[&] { Click(form.radExcelRowAndCol); }, "6 11111111111111 - R r f 0,0,-1"},
        {[&] { Activate(form.cboExcelWorksheets, 0); Activate(form.cboDatasource, 0); }, "6 11111111111111 - R r f 0,0,-1"},
        {[&] { form.SetStep(4); }, "4 11111011111100 44 R r f 0,-1,-1"},
        {[&] { form.SetStep(3); }, "3 11100011110000 3 - x f 0,-1,-1"},
        {[&] { form.SetStep(2); }, "2 11000011000000 2 - x _ 0,-1,-1"},
        {[&] { form.SetStep(1); }, "1 10000000000000 1 - x _ -1,-1,-1"},
        // A workbook without names: only "Row and Col" can be chosen.
        {[&] { Activate(form.cboDatasource, 0); file = fixtures::File("dimension.xlsx"); form.btnExcelChooseFileClick(); },
         "4 11111011011100 44 R r f 0,-1,-1"},
        {[&] { file = Book(); form.btnExcelChooseFileClick(); }, "4 11111011111100 44 N n f 0,-1,-1"},
        // A file that cannot be read says why and leaves nothing of the one read before.
        {[&] { file = fixtures::File("garbage.xlsx"); form.btnExcelChooseFileClick(); }, "4 11111011011100 44 R r f 0,-1,-1"},
    };
    for (const auto& [act, expected] : steps) {
        act();
        EXPECT_EQ(State(form), expected);
    }

    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].startsWith("The workbook")) << Messages[0].toStdString();
    EXPECT_EQ(form.cboExcelWorksheets->count(), 0);
    if (TWorkbook::CanConvertOtherFormats())
        return; // read like any other workbook
    Messages.clear();
    file = fixtures::File("old.xls");
    form.btnExcelChooseFileClick();
    EXPECT_EQ(Messages, QStringList{"Microsoft Excel is not installed\r" + TSpreadsheetConverter::MissingMessage()});
}

TEST_F(ImportExternalTest, AStoredReferenceReopensAtItsStepAndAStaleOneBeforeTheCellChoice)
{
    const QString path = Book();
    struct Case {
        QString Formula;
        int Step;
        bool Ok;
        QString Message = QString();
    } cases[] = {
        {"Excel(\"" + path + "\", \"Data$AB7\")", 6, true},
        {"Excel(\"" + path + "\", \"Price\")", 5, true},
        {"Excel(\"" + path + "\", \"Gone$A1\")", 4, false},   // sheet no longer there
        {"Excel(\"" + path + "\", \"Data$ZZ99\")", 5, false}, // outside what the sheet holds
        {"Excel(\"" + path + "\", \"Data$1A\")", 5, false},   // malformed cell
        {"Excel(\"" + path + "\", \"Block\")", 4, false},     // a range is not listed
        {"Excel(\"" + path + "\")", 4, false},
        {"Excel(\"/nowhere/book.xlsx\", \"Data$A1\")", 3, false, "File not found: /nowhere/book.xlsx"},
        {"Excel(\"\", \"Data$A1\")", 3, false, "File not found: no workbook is named in Excel(\"\", \"Data$A1\")"},
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
        EXPECT_EQ(Messages, c.Message.isEmpty() ? QStringList() : QStringList{c.Message})
            << c.Formula.toStdString();
    }
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
    form.show();
    form.ChooseFile = [&book](const QString&) { return book; };
    Activate(form.cboDatasource, 0);
    form.btnExcelChooseFileClick();
    Click(form.radExcelRowAndCol);
    ASSERT_EQ(form.cboExcelWorksheets->count(), names.size());
    const QAbstractItemModel* grid = form.grdExcelUnnamedCells->model();
    for (int i = 0; i < names.size(); ++i) {
        // The empty sheet is listed as such, but named as the workbook names it.
        const bool empty = names[i] == "Empty";
        EXPECT_EQ(form.cboExcelWorksheets->itemText(i), empty ? "Empty (empty)" : names[i]);
        Activate(form.cboExcelWorksheets, i);
        // A1 holds text (or nothing): the reason shows and OK stays off, never a value of 0.
        form.grdExcelUnnamedCells->setCurrentIndex(grid->index(0, 0));
        EXPECT_FALSE(form.btnOK->isEnabled()) << i;
        EXPECT_EQ(form.lblCellProblem->text(), "Cell " + names[i] + (empty ? "!A1 is empty" : "!A1 holds text, not a number"));
        QString reference = "Excel(\"" + book + "\", \"Empty$A1\")", error;
        if (!empty) {
            form.grdExcelUnnamedCells->setCurrentIndex(grid->index(1, 1));
            EXPECT_TRUE(form.lblCellProblem->isHidden());
            form.btnOKClick();
            reference = form.Reference;
            EXPECT_EQ(ReadExcelData(reference, QString(), error), i + 1.25) << reference.toStdString();
            EXPECT_EQ(error.toStdString(), "");
        }
        // Reopened on its cell; OK there gives the same reference and value.
        const TImportExternalResult again = Open(reference, [&](TImportExternalForm& reopened) {
            EXPECT_EQ(reopened.Step(), 6) << i;
            EXPECT_EQ(reopened.cboExcelWorksheets->currentIndex(), i);
            const QModelIndex at = reopened.grdExcelUnnamedCells->currentIndex();
            EXPECT_EQ(QPoint(at.column(), at.row()), empty ? QPoint(0, 0) : QPoint(1, 1));
            if (!empty)
                reopened.btnOKClick();
            return reopened.result();
        });
        EXPECT_EQ(again.Text, empty ? "untouched" : reference);
        EXPECT_EQ(again.Value, empty ? -1 : qint64((i + 1.25) * 10000));
    }
    // Names on such a sheet, and one of its own: the name is the reference.
    Click(form.radExcelNamedCell);
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
