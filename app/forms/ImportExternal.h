#pragma once
// The import dialog: the user picks one cell of a workbook, by defined name or by sheet, row and
// column, in numbered steps on one form. It gives back the reference text a payoff stores,
// Excel("path", "Sheet$AB7") or Excel("path", "Name"), and the cell's current value.

#include "Component/formula/Workbook.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class TBottomLine;
class TWhiteTop;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableView;
class QWidget;
class TWorkbookGridModel;

struct TImportExternalResult {
    bool Ok = false;
    QString Text;     // the reference text
    qint64 Value = 0; // the cell's value as money (× 10000)
};

// The value as the lists and the grid show it: a number grouped with `decimals` decimals in the
// user's locale, anything else as its text.
QString CellValueText(const TCellValue& value, int decimals);
// Excel("path", "cellPart"); a double quote in either is doubled so that it reads back.
QString ExcelReferenceText(const QString& path, const QString& cellPart);
// The sheet's name, with " (empty)" when it holds nothing but an empty first cell.
QString WorksheetEntryText(const TWorksheet& sheet);
// "Name: Sheet1!B5 (Value=12.50)"; false for a name that is not one single cell (a range, a
// constant, a formula, a deleted reference): such names get no entry. problem, when given,
// says why the cell cannot be taken as a number (empty when it can).
bool NamedCellEntryText(const TWorkbook& book, const TDefinedName& name, int decimals, QString& entry,
                        QString* problem = nullptr);

class TImportExternalForm : public QDialog {
    Q_OBJECT
public:
    explicit TImportExternalForm(QWidget* owner = nullptr);
    ~TImportExternalForm() override;

    QString Reference;
    qint64 Value = 0;
    int Decimals = 0;

    // The open dialog, starting at the current path: the chosen file, empty when cancelled.
    std::function<QString(const QString& current)> ChooseFile;

    int Step() const { return FStep; }
    void SetStep(int step);
    void ReadWorkbook(bool fillNames, bool fillSheets, bool fillGrid);
    void AutoSizeGridColumns();

    // Handlers.
    void cboDatasourceClick();
    void btnExcelChooseFileClick();
    void radExcelAddressTypeClick();
    void cboExcelWorksheetsClick();
    void cboExcelNamedCellClick();
    void grdExcelUnnamedCellsClick();
    void btnOKClick();

    // Fills the dialog from a stored reference (anything else leaves it at step 1).
    void LoadReference(const QString& formula);
    // Makes the grid's current cell the 1-based column and row (false when outside the grid).
    bool SetGridCell(int column, int row);

    TWhiteTop* WhiteTop = nullptr;
    QLabel* lbl1Datasource = nullptr;
    QComboBox* cboDatasource = nullptr;
    QStackedWidget* nbkDatasourceType = nullptr;
    QLabel* lbl2Workbook = nullptr;
    QLineEdit* edtExcelFilename = nullptr;
    QPushButton* btnExcelChooseFile = nullptr;
    QLabel* lbl3ExcelAddressType = nullptr;
    QRadioButton* radExcelNamedCell = nullptr;
    QRadioButton* radExcelRowAndCol = nullptr;
    QStackedWidget* nbkExcelAddressType = nullptr;
    QLabel* lbl4ExcelNamedCell = nullptr;
    QComboBox* cboExcelNamedCell = nullptr;
    QLabel* lbl4ExcelWorksheets = nullptr;
    QComboBox* cboExcelWorksheets = nullptr;
    QLabel* lbl5ExcelUnnamedCell = nullptr;
    QTableView* grdExcelUnnamedCells = nullptr;
    // Why the chosen cell cannot be taken (it holds no number); hidden while there is none.
    QLabel* lblCellProblem = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    TBottomLine* BottomLine = nullptr;

private:
    QLabel* AddStepLabel(const QString& text, const QString& name);
    // Why the chosen cell cannot be imported; empty when it holds a number.
    QString ChosenCellProblem() const;
    std::shared_ptr<const TWorkbook> OpenWorkbook();

    TWorkbookGridModel* FGridModel = nullptr;
    int FStep = 1;
    int FGridSheet = -1; // the sheet the grid shows
    bool FUpdating = false;
    // The stored reference the dialog was opened on, for messages about it.
    QString FReference;
};

// Runs the dialog on the reference currently entered (may be empty or anything else). Result
// is set only when the user accepts; otherwise only Ok becomes false.
void ExecuteImportExternal(const QString& formula, int decimals, TImportExternalResult& result,
                           QWidget* owner = nullptr);

// How ExecuteImportExternal shows the form: QDialog::exec unless a test drives it. Answers the
// runner installed before; an empty runner brings exec back.
using TImportExternalRunner = std::function<int(TImportExternalForm& form)>;
TImportExternalRunner SetImportExternalRunner(TImportExternalRunner runner);
