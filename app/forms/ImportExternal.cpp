#include "app/forms/ImportExternal.h"

#include "app/MessageDialogs.h"
#include "app/forms/GridNumbers.h"
#include "app/forms/ExternalDataStrings.h"
#include "app/forms/WorkbookGridModel.h"
#include "Component/formula/FunctionParser.h"
#include "Component/formula/SpreadsheetConverter.h"
#include "shared/core/LocaleNumbers.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/ScreenFit.h"
#include "shared/widgets/WhiteTop.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <vector>

namespace S = ExternalDataStrings;

namespace {
TImportExternalRunner Runner;
}

QString CellValueText(const TCellValue& value, int decimals)
{
    if (value.IsNumber())
        return FormatGridNumber(value.Number, decimals);
    return value.ToText();
}

QString ExcelReferenceText(const QString& path, const QString& cellPart)
{
    return S::ExcelFunction + QLatin1Char('(') + QuoteArgument(path) + QStringLiteral(", ") + QuoteArgument(cellPart) +
           QLatin1Char(')');
}

QString WorksheetEntryText(const TWorksheet& sheet)
{
    if (sheet.LastRow() == 1 && sheet.LastColumn() == 1 && sheet.Cell(1, 1).ToText().isEmpty())
        return sheet.Name() + QStringLiteral(" (") + S::EmptyWord + QLatin1Char(')');
    return sheet.Name();
}

bool NamedCellEntryText(const TWorkbook& book, const TDefinedName& name, int decimals, QString& entry,
                        QString* problem)
{
    TCellAddress address;
    QString why;
    if (!book.ResolveName(name, address, why))
        return false;
    QString refersTo = name.RefersTo;
    if (refersTo.startsWith(QLatin1Char('=')))
        refersTo.remove(0, 1);
    // The absolute marks go, not a "$" of the sheet's name ('Cost$2024'!$B$2).
    const qsizetype bang = refersTo.lastIndexOf(QLatin1Char('!')) + 1;
    refersTo = refersTo.left(bang) + refersTo.mid(bang).remove(QLatin1Char('$'));
    if (refersTo.contains(QLatin1Char(':')))
        return false;
    const TCellValue value = book.Cell(address);
    entry = name.FullName(book) + QStringLiteral(": ") + refersTo + QStringLiteral(" (") + S::ValueWord +
            QLatin1Char('=') + CellValueText(value, decimals) + QLatin1Char(')');
    if (problem) {
        problem->clear();
        CellNumber(value, name.FullName(book), *problem);
    }
    return true;
}

TImportExternalRunner SetImportExternalRunner(TImportExternalRunner runner)
{
    std::swap(Runner, runner);
    return runner;
}

TImportExternalForm::TImportExternalForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(S::ImportCaption);
    resize(502, 385);
    setMinimumSize(420, 328);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    WhiteTop = new TWhiteTop(this);
    WhiteTop->SetTitle(S::HeaderTitle);
    WhiteTop->SetMsg(S::ImportMessage);
    lbl1Datasource = AddStepLabel(S::Datasource, QStringLiteral("lbl1Datasource"));
    cboDatasource = new QComboBox(this);
    cboDatasource->addItem(S::ExcelWorkbookItem);
    nbkDatasourceType = new QStackedWidget(this);
    auto* panExcel = new QWidget;
    nbkDatasourceType->addWidget(panExcel);
    nbkDatasourceType->setVisible(false);

    lbl2Workbook = AddStepLabel(S::Workbook, QStringLiteral("lbl2Workbook"));
    edtExcelFilename = new QLineEdit(panExcel);
    edtExcelFilename->setReadOnly(true);
    edtExcelFilename->setBackgroundRole(QPalette::Button);
    btnExcelChooseFile = new QPushButton(QStringLiteral("..."), panExcel);
    btnExcelChooseFile->setFixedWidth(28);
    lbl3ExcelAddressType = AddStepLabel(S::AddressType, QStringLiteral("lbl3ExcelAddressType"));
    radExcelNamedCell = new QRadioButton(S::NamedCell, panExcel);
    radExcelRowAndCol = new QRadioButton(S::RowAndCol, panExcel);
    // Both may be unchecked (a step that clears them); the handler keeps them exclusive.
    radExcelNamedCell->setAutoExclusive(false);
    radExcelRowAndCol->setAutoExclusive(false);

    nbkExcelAddressType = new QStackedWidget(panExcel);
    auto* panExcelNamedCell = new QWidget;
    auto* panExcelRowCol = new QWidget;
    nbkExcelAddressType->addWidget(panExcelNamedCell);
    nbkExcelAddressType->addWidget(panExcelRowCol);
    lbl4ExcelNamedCell = AddStepLabel(S::NamedCellStep, QStringLiteral("lbl4ExcelNamedCell"));
    cboExcelNamedCell = new QComboBox(panExcelNamedCell);
    lbl4ExcelWorksheets = AddStepLabel(S::WorksheetStep, QStringLiteral("lbl4ExcelWorksheets"));
    cboExcelWorksheets = new QComboBox(panExcelRowCol);
    lbl5ExcelUnnamedCell = AddStepLabel(S::UnnamedCellStep, QStringLiteral("lbl5ExcelUnnamedCell"));
    FGridModel = new TWorkbookGridModel(this);
    grdExcelUnnamedCells = new QTableView(panExcelRowCol);
    grdExcelUnnamedCells->setModel(FGridModel);
    grdExcelUnnamedCells->setSelectionMode(QAbstractItemView::SingleSelection);
    grdExcelUnnamedCells->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdExcelUnnamedCells->verticalHeader()->setDefaultSectionSize(16);
    grdExcelUnnamedCells->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdExcelUnnamedCells->horizontalHeader()->setDefaultSectionSize(32);

    lblCellProblem = new QLabel(this);
    lblCellProblem->setWordWrap(true);
    lblCellProblem->setVisible(false);
    QPalette warning = lblCellProblem->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    lblCellProblem->setPalette(warning);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setDefault(true);
    btnOK->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(S::WebAddress);

    auto* namedLayout = new QVBoxLayout(panExcelNamedCell);
    namedLayout->setContentsMargins(0, 0, 0, 0);
    namedLayout->addWidget(lbl4ExcelNamedCell);
    namedLayout->addWidget(cboExcelNamedCell);
    namedLayout->addStretch();
    auto* rowColLayout = new QGridLayout(panExcelRowCol);
    rowColLayout->setContentsMargins(0, 0, 0, 0);
    rowColLayout->addWidget(lbl4ExcelWorksheets, 0, 0);
    rowColLayout->addWidget(cboExcelWorksheets, 0, 1);
    rowColLayout->addWidget(lbl5ExcelUnnamedCell, 1, 0, 1, 2);
    rowColLayout->addWidget(grdExcelUnnamedCells, 2, 0, 1, 2);
    rowColLayout->setColumnStretch(1, 1);
    rowColLayout->setRowStretch(2, 1);

    auto* excelLayout = new QGridLayout(panExcel);
    excelLayout->setContentsMargins(0, 0, 0, 0);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(edtExcelFilename);
    fileRow->addWidget(btnExcelChooseFile);
    auto* radios = new QHBoxLayout;
    radios->addWidget(radExcelNamedCell);
    radios->addWidget(radExcelRowAndCol);
    radios->addStretch();
    excelLayout->addWidget(lbl2Workbook, 0, 0);
    excelLayout->addLayout(fileRow, 0, 1);
    excelLayout->addWidget(lbl3ExcelAddressType, 1, 0);
    excelLayout->addLayout(radios, 1, 1);
    excelLayout->addWidget(nbkExcelAddressType, 2, 0, 1, 2);
    excelLayout->setRowStretch(2, 1);
    excelLayout->setColumnStretch(1, 1);

    auto* body = new QGridLayout;
    body->setContentsMargins(12, 8, 12, 0);
    body->addWidget(lbl1Datasource, 0, 0);
    body->addWidget(cboDatasource, 0, 1);
    body->addWidget(nbkDatasourceType, 1, 0, 1, 2);
    body->addWidget(lblCellProblem, 2, 0, 1, 2);
    body->setColumnStretch(1, 1);
    body->setRowStretch(1, 1);
    // The buttons stand on the footer, below its rule.
    auto* buttons = new QHBoxLayout(BottomLine);
    buttons->setContentsMargins(12, 18, 12, 8);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WhiteTop);
    layout->addLayout(body, 1);
    layout->addWidget(BottomLine);
    // Never so narrow that the header's text is cut off.
    setMinimumSize(minimumSize().expandedTo(minimumSizeHint()));
    resize(size().expandedTo(minimumSize()));
    FitToScreen(this);

    ChooseFile = [this](const QString& current) -> QString {
        QFileDialog dialog(this, S::ChooseFileTitle);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(S::ChooseFileFilter);
        dialog.setDefaultSuffix(QStringLiteral("xls"));
        if (!current.isEmpty())
            dialog.selectFile(current);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };

    // A control chosen again as it stood is no change: what was chosen after it stays.
    connect(cboDatasource, &QComboBox::activated, this, [this](int index) {
        if (FStep < 2 || index != nbkDatasourceType->currentIndex())
            cboDatasourceClick();
    });
    connect(btnExcelChooseFile, &QPushButton::clicked, this, [this] { btnExcelChooseFileClick(); });
    const auto chooseAddressType = [this](bool named) {
        const bool same = FStep >= 4 && (nbkExcelAddressType->currentIndex() == 0) == named;
        radExcelNamedCell->setChecked(named);
        radExcelRowAndCol->setChecked(!named);
        if (!same)
            radExcelAddressTypeClick();
    };
    connect(radExcelNamedCell, &QRadioButton::clicked, this, [chooseAddressType] { chooseAddressType(true); });
    connect(radExcelRowAndCol, &QRadioButton::clicked, this, [chooseAddressType] { chooseAddressType(false); });
    connect(cboExcelWorksheets, &QComboBox::activated, this, [this](int index) {
        if (FStep < 5 || index != FGridSheet)
            cboExcelWorksheetsClick();
    });
    connect(cboExcelNamedCell, &QComboBox::activated, this, [this] { cboExcelNamedCellClick(); });
    connect(grdExcelUnnamedCells->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!FUpdating && current.isValid())
                    grdExcelUnnamedCellsClick();
            });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    cboDatasource->setCurrentIndex(-1);
}

TImportExternalForm::~TImportExternalForm() = default;

QLabel* TImportExternalForm::AddStepLabel(const QString& text, const QString& name)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

void TImportExternalForm::SetStep(int step)
{
    FStep = step;
    for (QLabel* label : {lbl1Datasource, lbl2Workbook, lbl3ExcelAddressType, lbl4ExcelNamedCell,
                          lbl4ExcelWorksheets, lbl5ExcelUnnamedCell}) {
        // The fourth character of the name is the label's step.
        const int number = label->objectName().at(3).digitValue();
        QFont font = label->font();
        font.setBold(number == step);
        label->setFont(font);
        label->setEnabled(number <= step);
    }
    nbkDatasourceType->setVisible(true);
    edtExcelFilename->setEnabled(step >= 2);
    btnExcelChooseFile->setEnabled(step >= 2);
    radExcelNamedCell->setEnabled(step >= 3 && cboExcelNamedCell->count() > 0);
    radExcelRowAndCol->setEnabled(step >= 3);
    nbkExcelAddressType->setVisible(step >= 4);
    cboExcelNamedCell->setEnabled(step >= 4);
    cboExcelWorksheets->setEnabled(step >= 4);
    grdExcelUnnamedCells->setEnabled(step >= 5);

    if (step <= 1)
        cboDatasource->setCurrentIndex(-1);
    if (step <= 2)
        edtExcelFilename->clear();
    if (step <= 3) {
        radExcelNamedCell->setChecked(false);
        radExcelRowAndCol->setChecked(false);
    }
    if (step <= 4) {
        cboExcelWorksheets->setCurrentIndex(-1);
        cboExcelNamedCell->setCurrentIndex(-1);
    }
    const bool excel = nbkDatasourceType->currentIndex() == 0;
    const bool named = nbkExcelAddressType->currentIndex() == 0;
    const bool chosen = excel && ((named && step == 5) || (!named && step == 6));
    // A cell that holds no number is never taken as 0: the reason shows instead.
    const QString problem = chosen ? ChosenCellProblem() : QString();
    lblCellProblem->setText(problem);
    lblCellProblem->setVisible(!problem.isEmpty());
    btnOK->setEnabled(chosen && problem.isEmpty());
}

QString TImportExternalForm::ChosenCellProblem() const
{
    if (nbkExcelAddressType->currentIndex() == 0)
        return cboExcelNamedCell->currentData().toString();
    const TWorksheet* sheet = FGridModel->Sheet();
    const QModelIndex current = grdExcelUnnamedCells->currentIndex();
    if (!sheet || !current.isValid())
        return QString();
    QString problem;
    CellNumber(sheet->Cell(current.row() + 1, current.column() + 1),
               sheet->Name() + QLatin1Char('!') + ColumnIndexToLetters(current.column()) +
                   QString::number(current.row() + 1),
               problem);
    return problem;
}

std::shared_ptr<const TWorkbook> TImportExternalForm::OpenWorkbook()
{
    const QString path = edtExcelFilename->text();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        MessageDlg(this, WorkbookNotFoundText(path, FReference), TMsgDlgType::Error, mbOK);
        return nullptr;
    }
    QString errorText;
    std::shared_ptr<const TWorkbook> book = TWorkbook::Open(path, errorText);
    if (book)
        return book;
    // The converter for the older formats stands where the spreadsheet program did.
    if (errorText == TSpreadsheetConverter::MissingMessage())
        MessageDlg(this, S::ExcelNotInstalled + QLatin1Char('\r') + errorText, TMsgDlgType::Error, mbOK);
    else
        MessageDlg(this, errorText, TMsgDlgType::Error, mbOK);
    return nullptr;
}

void TImportExternalForm::ReadWorkbook(bool fillNames, bool fillSheets, bool fillGrid)
{
    const int sheetIndex = cboExcelWorksheets->currentIndex();
    // What is to be filled is emptied first: a failed read never leaves the lists of another file.
    FUpdating = true;
    if (fillSheets)
        cboExcelWorksheets->clear();
    if (fillNames)
        cboExcelNamedCell->clear();
    if (fillGrid) {
        FGridModel->SetSheet(nullptr, -1, Decimals);
        FGridSheet = -1;
    }
    FUpdating = false;
    const std::shared_ptr<const TWorkbook> book = OpenWorkbook();
    if (!book)
        return;
    FUpdating = true;
    if (fillSheets) {
        // The entry may say "(empty)"; the reference names the sheet as the workbook does.
        for (int i = 0; i < book->SheetCount(); ++i)
            cboExcelWorksheets->addItem(WorksheetEntryText(book->Sheet(i)), book->Sheet(i).Name());
        cboExcelWorksheets->setCurrentIndex(-1);
    }
    if (fillNames) {
        QString entry, problem;
        for (const TDefinedName& name : book->Names())
            if (NamedCellEntryText(*book, name, Decimals, entry, &problem))
                cboExcelNamedCell->addItem(entry, problem);
        cboExcelNamedCell->setCurrentIndex(-1);
    }
    if (fillGrid) {
        FGridModel->SetSheet(book, sheetIndex, Decimals);
        FGridSheet = sheetIndex;
        AutoSizeGridColumns();
    }
    FUpdating = false;
}

void TImportExternalForm::AutoSizeGridColumns()
{
    const TWorksheet* sheet = FGridModel->Sheet();
    QHeaderView* header = grdExcelUnnamedCells->horizontalHeader();
    if (!sheet)
        return;
    // Widest text per column: the column letters, and the stored cells only (never the extent).
    const QFontMetrics metrics(grdExcelUnnamedCells->font());
    // Texts are measured character by character from a table of advances: shaping every one of
    // a large sheet's texts would take longer than reading the workbook.
    std::array<int, 128> advances{};
    for (int c = 32; c < 127; ++c)
        advances[size_t(c)] = metrics.horizontalAdvance(QChar(c));
    const auto width = [&](const QString& text) {
        int total = 0;
        for (const QChar c : text)
            total += c.unicode() < advances.size() && advances[c.unicode()] ? advances[c.unicode()]
                                                                            : metrics.horizontalAdvance(c);
        return total;
    };
    std::vector<int> widths(size_t(sheet->LastColumn()), 0);
    for (size_t c = 0; c < widths.size(); ++c)
        widths[c] = width(ColumnIndexToLetters(int(c)));
    int row = 0, column = 0;
    TCellValue value;
    for (int i = 0; i < sheet->CellCount(); ++i) {
        sheet->StoredCell(i, row, column, value);
        if (column <= int(widths.size()))
            widths[size_t(column - 1)] = std::max(widths[size_t(column - 1)], width(CellValueText(value, Decimals)));
    }
    // Resized quietly and laid out once: a header repaints and the view re-lays out after every
    // single resize, which over thousands of columns costs time in the square of their number.
    // Three pixels as the form asks, and the margins the view keeps around every cell's text.
    const int margins = 2 * (grdExcelUnnamedCells->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    header->setUpdatesEnabled(false);
    {
        const QSignalBlocker quiet(header);
        for (size_t c = 0; c < widths.size(); ++c)
            header->resizeSection(int(c), widths[c] + 3 + margins);
    }
    header->setUpdatesEnabled(true);
    grdExcelUnnamedCells->doItemsLayout();
}

void TImportExternalForm::cboDatasourceClick()
{
    nbkDatasourceType->setCurrentIndex(std::max(cboDatasource->currentIndex(), 0));
    SetStep(2);
}

void TImportExternalForm::btnExcelChooseFileClick()
{
    const QString chosen = ChooseFile ? ChooseFile(edtExcelFilename->text()) : QString();
    if (chosen.isEmpty())
        return;
    edtExcelFilename->setText(chosen);
    ReadWorkbook(true, true, false);
    const bool named = cboExcelNamedCell->count() > 0;
    radExcelNamedCell->setChecked(named);
    radExcelRowAndCol->setChecked(!named);
    radExcelAddressTypeClick();
}

void TImportExternalForm::radExcelAddressTypeClick()
{
    nbkExcelAddressType->setCurrentIndex(radExcelNamedCell->isChecked() ? 0 : 1);
    FUpdating = true;
    FGridModel->SetSheet(nullptr, -1, Decimals);
    FGridSheet = -1;
    FUpdating = false;
    SetStep(4);
}

void TImportExternalForm::cboExcelWorksheetsClick()
{
    ReadWorkbook(false, false, true);
    SetStep(5);
}

void TImportExternalForm::cboExcelNamedCellClick()
{
    SetStep(5);
}

void TImportExternalForm::grdExcelUnnamedCellsClick()
{
    SetStep(6);
}

bool TImportExternalForm::SetGridCell(int column, int row)
{
    const QModelIndex index = FGridModel->index(row - 1, column - 1);
    if (!index.isValid())
        return false;
    FUpdating = true;
    grdExcelUnnamedCells->setCurrentIndex(index);
    FUpdating = false;
    grdExcelUnnamedCells->scrollTo(index);
    return true;
}

void TImportExternalForm::btnOKClick()
{
    if (cboDatasource->currentIndex() != 0)
        return;
    const QString path = edtExcelFilename->text();
    QString cellPart, valueText;
    if (nbkExcelAddressType->currentIndex() == 0) {
        const QString entry = cboExcelNamedCell->currentText();
        const int colon = entry.indexOf(QStringLiteral(": "));
        cellPart = entry.left(colon);
        const QString rest = entry.mid(colon + 2).chopped(1);
        valueText = rest.mid(rest.lastIndexOf(QLatin1Char('=')) + 1);
    } else {
        const QModelIndex current = grdExcelUnnamedCells->currentIndex();
        cellPart = cboExcelWorksheets->currentData().toString() + QLatin1Char('$') + ColumnIndexToLetters(current.column()) +
                   QString::number(current.row() + 1);
        valueText = FGridModel->data(current).toString();
    }
    Reference = ExcelReferenceText(path, cellPart);
    valueText.remove(QLocale().groupSeparator());
    const std::optional<double> number = ParseLocaleNumber(valueText);
    QString why;
    if (!number || !ValueToMoney(*number, Value, why))
        Value = 0;
    accept();
}

void TImportExternalForm::LoadReference(const QString& formula)
{
    QString name;
    QStringList arguments;
    ParseFunctionCall(formula, name, arguments);
    if (name != S::ExcelFunction)
        return;
    FReference = formula;
    const QString cell = arguments.value(1);
    cboDatasource->setCurrentIndex(0);
    nbkDatasourceType->setCurrentIndex(0);
    edtExcelFilename->setText(arguments.value(0));
    ReadWorkbook(true, true, false);
    if (cboExcelWorksheets->count() == 0) {
        SetStep(3);
        return;
    }
    QString sheetName, cellName;
    if (SplitSheetCell(cell, sheetName, cellName)) {
        radExcelRowAndCol->setChecked(true);
        radExcelNamedCell->setChecked(false);
        radExcelAddressTypeClick();
        // A sheet that is gone, or a cell outside what the sheet holds, leaves the choice open.
        // Sheets are found as the reading finds them, whatever the letter case.
        int sheet = cboExcelWorksheets->count() - 1;
        while (sheet >= 0 && cboExcelWorksheets->itemData(sheet).toString().compare(sheetName, Qt::CaseInsensitive))
            --sheet;
        if (sheet < 0)
            return;
        cboExcelWorksheets->setCurrentIndex(sheet);
        ReadWorkbook(false, false, true);
        int column = 0, row = 0;
        QString why;
        if (TryParseCellReference(cellName, column, row, why) && SetGridCell(column, row))
            SetStep(6);
        else
            SetStep(5);
        return;
    }
    radExcelNamedCell->setChecked(true);
    radExcelRowAndCol->setChecked(false);
    const QString prefix = cell + QStringLiteral(": ");
    for (int i = 0; i < cboExcelNamedCell->count(); ++i) {
        if (!cell.isEmpty() && cboExcelNamedCell->itemText(i).startsWith(prefix)) {
            nbkExcelAddressType->setCurrentIndex(0);
            cboExcelNamedCell->setCurrentIndex(i);
            SetStep(5);
            return;
        }
    }
    radExcelAddressTypeClick();
}

void ExecuteImportExternal(const QString& formula, int decimals, TImportExternalResult& result, QWidget* owner)
{
    TImportExternalForm form(owner);
    form.Decimals = decimals;
    form.SetStep(1);
    form.LoadReference(formula);
    const int answer = Runner ? Runner(form) : form.exec();
    if (answer == QDialog::Accepted) {
        result.Ok = true;
        result.Text = form.Reference;
        result.Value = form.Value;
    } else {
        result.Ok = false;
    }
}
