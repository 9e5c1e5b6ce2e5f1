#pragma once
// The cells of one worksheet as a table, read from the stored cells only when a view asks for
// them: a sheet whose one cell is far down and right costs no more than a sheet of one cell.
// The headers are the column letters and the row numbers.

#include <QAbstractTableModel>
#include <memory>

class TWorkbook;
class TWorksheet;

class TWorkbookGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TWorkbookGridModel(QObject* parent = nullptr);

    // Shows the sheet up to its last used cell; a null book or sheet index -1 empties the grid.
    void SetSheet(std::shared_ptr<const TWorkbook> book, int sheetIndex, int decimals);
    const TWorksheet* Sheet() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const TWorkbook> FBook;
    int FSheetIndex = -1;
    int FDecimals = 0;
};
