#pragma once
// The text form of an external payoff: a spreadsheet function call such as
//   Excel("C:\Data\Plan.xlsx", "Costs$B12")   or   Excel("/home/x/Plan.xlsx", "UnitPrice")
// with the workbook path first and either "sheet$cell" or a defined name second, and the
// routines that build it, split it and evaluate it against the workbook.

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Spreadsheets have at most 16,384 columns (A..XFD) and 1,048,576 rows.
constexpr int MaxSheetColumns = 16384;
constexpr int MaxSheetRows = 1048576;

// 0-based column index to its letters: 0 -> A, 25 -> Z, 26 -> AA, 701 -> ZZ, 702 -> AAA,
// 16383 -> XFD. Raises ArgumentOutOfRangeException outside 0..16383.
QString ColumnIndexToLetters(int index);

// Splits a cell reference such as "B12" or "ab7" (letters are folded to upper case) into the
// 1-based column and the row. One to three letters up to XFD, then the row 1..1048576 in
// decimal digits only. Raises EAssertionFailed when the letters are wrong and FormatException
// when the row is not a number in range; the messages name the reference.
void ParseCellReference(const QString& text, int& column, int& row);
// The same without exceptions: false with a message in errorText.
bool TryParseCellReference(const QString& text, int& column, int& row, QString& errorText);

// Splits "Name(arg1, arg2)" into the name (the text before the first "(") and its arguments.
// Quotes group text (commas inside them are kept) and are dropped; inside quotes a doubled
// quote gives one quote; blanks and control characters around each argument are removed, but
// never those inside quotes. A text without "(" is a name without arguments.
void ParseFunctionCall(const QString& text, QString& name, QStringList& arguments);
// The text in double quotes with each quote in it doubled: ParseFunctionCall reads it back.
QString QuoteArgument(const QString& text);
// Splits a "sheet$cell" reference at its last "$" (sheet names may hold one, cells never do);
// false for a defined name, which has none outside a sheet qualifier ('Cost$2024'!Total).
bool SplitSheetCell(const QString& reference, QString& sheet, QString& cell);

struct TCellValue;
// The number a cell holds; 0 and a message naming the cell (where, such as "Data!B2") for text,
// an empty cell, a logical value or an error: such a cell is never read as 0.
double CellNumber(const TCellValue& value, const QString& where, QString& errorText);

// The message for a workbook that is not found: "File not found: " and the workbook as formula
// names it. For a formula that names none (or only blanks), the formula itself, so that the user sees which
// reference has no workbook.
QString WorkbookNotFoundText(const QString& workbook, const QString& formula);

// Evaluates an external-data formula (with or without the stored "Import: " prefix) and
// returns the cell's number. A workbook not found at its stored path is looked for in the
// folder of documentPath under its file name. Every failure leaves 0 and a message in
// errorText (WorkbookNotFoundText for a missing workbook);
// errorText is empty on success.
double ReadExcelData(const QString& formula, const QString& documentPath, QString& errorText);

// ReadExcelData as money: the value times 10000, rounded to the nearest unit (a half to even).
// A value outside the 64-bit money range gives 0 and an error text.
qint64 ReadExcelPayoff(const QString& formula, const QString& documentPath, QString& errorText);

// value × 10000 rounded half to even as a 64-bit money amount; false with a message when it
// does not fit (or is not a finite number).
bool ValueToMoney(double value, qint64& money, QString& errorText);
