#pragma once
// A spreadsheet workbook read into memory: its worksheets in workbook order with every cell's
// value as the spreadsheet holds it, and its defined names. .xlsx and .xlsm files are read
// directly; .xls, .ods and .xlsb are first converted with LibreOffice when it is installed.
//
// Open a workbook through TWorkbook::Open, which keeps what it has read (see WorkbookCache.h):
//
//   QString error;
//   std::shared_ptr<const TWorkbook> book = TWorkbook::Open(path, error);
//   if (!book) { show(error); return; }
//   for (int i = 0; i < book->SheetCount(); ++i) { const TWorksheet& s = book->Sheet(i); ... }

#include <QString>
#include <memory>
#include <vector>

enum class TCellKind : quint8 { Empty, Number, Text, Boolean, Error };

// One cell's value. Numbers include dates and currency amounts as the plain numbers the
// spreadsheet stores; a formula cell holds the value last computed by the spreadsheet.
struct TCellValue {
    TCellKind Kind = TCellKind::Empty;
    double Number = 0;    // the number; 1 or 0 for a Boolean
    QString Text;         // the string, or the error code such as "#DIV/0!"
    bool HasFormula = false;

    bool IsNumber() const { return Kind == TCellKind::Number; }
    bool IsEmpty() const { return Kind == TCellKind::Empty; }
    // The value as text: numbers in their shortest round-trip form, "TRUE"/"FALSE", the
    // string or error code, "" when empty.
    QString ToText() const;
};

// A cell's place in a workbook: sheet index (0-based), 1-based row and column.
struct TCellAddress {
    int SheetIndex = -1;
    int Row = 0;
    int Column = 0;
};

struct TDefinedName {
    QString Name;          // as defined, without a sheet qualifier
    QString RefersTo;      // with its leading "=", as in "=Sheet1!$B$5"
    int SheetIndex = -1;   // index of the worksheet it is local to; -1 for workbook scope
    bool Hidden = false;

    // The name as the spreadsheet lists it: "Sheet1!Local" for sheet scope, else the name.
    QString FullName(const class TWorkbook& book) const;
};

class TWorksheet {
public:
    const QString& Name() const { return FName; }
    // The last used cell: the highest row and the highest column that hold a cell. An empty
    // sheet reports row 1, column 1.
    int LastRow() const { return FLastRow; }
    int LastColumn() const { return FLastColumn; }
    bool IsEmpty() const { return FCells.empty(); }
    int CellCount() const { return int(FCells.size()); }
    // 1-based row and column; an empty value for any cell not stored (or out of range).
    TCellValue Cell(int row, int column) const;
    // The stored cells one by one (index 0..CellCount()-1), by row and then column: a walk over
    // what the sheet holds, never over its whole extent.
    void StoredCell(int index, int& row, int& column, TCellValue& value) const;

private:
    friend class TXlsxReader;
    friend class TSheetParser;
    friend class TWorkbook;
    struct Record {
        quint64 Key;       // row << 14 | (column - 1)
        double Number;
        qint32 TextIndex;  // into the workbook's string pool, -1 for none
        TCellKind Kind;
        bool HasFormula;
    };
    QString FName;
    std::vector<Record> FCells;  // sorted by Key: only the cells present, never the dimension
    int FLastRow = 1;
    int FLastColumn = 1;
    const std::vector<QString>* FStrings = nullptr;
};

class TWorkbook {
public:
    TWorkbook() = default;
    // The sheets point into the workbook's string pool: a workbook stays where it was made.
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // Through the cache: the same object again while the file is unchanged.
    static std::shared_ptr<const TWorkbook> Open(const QString& fileName, QString& errorText);
    // Reads the file now, bypassing the cache. Null and a message in errorText on failure.
    static std::shared_ptr<const TWorkbook> Load(const QString& fileName, QString& errorText);

    // True when LibreOffice is installed for converting .xls, .ods and .xlsb files.
    static bool CanConvertOtherFormats();

    const QString& FileName() const { return FFileName; }

    int SheetCount() const { return int(FSheets.size()); }
    const TWorksheet& Sheet(int index) const { return *FSheets.at(size_t(index)); }
    // Case-insensitive; -1 when there is no such worksheet.
    int IndexOfSheet(const QString& name) const;

    // In workbook order, hidden ones included.
    const std::vector<TDefinedName>& Names() const { return FNames; }
    // Case-insensitive. "Sheet1!Local" (or "'My sheet'!Local") finds a sheet-scoped name; a bare
    // name finds the workbook-scoped one, else the one sheet-scoped name of that name. Null and
    // a message when there is none or it is ambiguous.
    const TDefinedName* FindName(const QString& name, QString& errorText) const;
    // The single cell a name refers to; false with a message for ranges, constants, formulas,
    // broken (#REF!) or external references.
    bool ResolveName(const TDefinedName& name, TCellAddress& address, QString& errorText) const;

    TCellValue Cell(const TCellAddress& address) const;

private:
    friend class TXlsxReader;
    QString FFileName;
    std::vector<std::unique_ptr<TWorksheet>> FSheets;
    std::vector<TDefinedName> FNames;
    std::vector<QString> FStrings;  // shared strings first, then inline strings and error codes
};
