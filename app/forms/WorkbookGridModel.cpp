#include "app/forms/WorkbookGridModel.h"

#include "app/forms/ImportExternal.h"
#include "Component/formula/FunctionParser.h"
#include "Component/formula/Workbook.h"

TWorkbookGridModel::TWorkbookGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TWorkbookGridModel::SetSheet(std::shared_ptr<const TWorkbook> book, int sheetIndex, int decimals)
{
    beginResetModel();
    FBook = book && sheetIndex >= 0 && sheetIndex < book->SheetCount() ? std::move(book) : nullptr;
    FSheetIndex = FBook ? sheetIndex : -1;
    FDecimals = decimals;
    endResetModel();
}

const TWorksheet* TWorkbookGridModel::Sheet() const
{
    return FBook ? &FBook->Sheet(FSheetIndex) : nullptr;
}

int TWorkbookGridModel::rowCount(const QModelIndex& parent) const
{
    const TWorksheet* sheet = Sheet();
    return parent.isValid() || !sheet ? 0 : sheet->LastRow();
}

int TWorkbookGridModel::columnCount(const QModelIndex& parent) const
{
    const TWorksheet* sheet = Sheet();
    return parent.isValid() || !sheet ? 0 : sheet->LastColumn();
}

QVariant TWorkbookGridModel::data(const QModelIndex& index, int role) const
{
    const TWorksheet* sheet = Sheet();
    if (!sheet || !index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return CellValueText(sheet->Cell(index.row() + 1, index.column() + 1), FDecimals);
}

QVariant TWorkbookGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return section < MaxSheetColumns ? ColumnIndexToLetters(section) : QString();
    return QString::number(section + 1);
}
