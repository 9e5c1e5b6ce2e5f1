#pragma once
// Fills a TWorkbook from an Office Open XML spreadsheet package (.xlsx, .xlsm).

#include <QString>

class TWorkbook;
class TZipPackage;

class TXlsxReader {
public:
    // The outcome when the package is a spreadsheet of another kind that must be converted.
    enum class TResult { Ok, Failed, BinaryWorkbook };

    // Limits on what a workbook may hold in memory.
    static constexpr qint64 MaxCells = 16 * 1024 * 1024;
    // What the texts of the workbook may take in memory together (shared strings, inline
    // strings, formula results and error codes), each counted as its UTF-16 text plus
    // StringOverhead bytes for its string object and its place in the table.
    static constexpr qint64 MaxTextMemory = 256ll * 1024 * 1024;
    static constexpr qint64 StringOverhead = 40;

    static TResult Read(TZipPackage& package, TWorkbook& book, QString& errorText, qint64 maxTextMemory = MaxTextMemory);
};
