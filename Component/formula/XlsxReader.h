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
    // What the shared-string table may take in memory, each entry counted as its UTF-16 text
    // plus SharedStringOverhead bytes for its string object and its place in the table.
    static constexpr qint64 MaxSharedStringMemory = 512ll * 1024 * 1024;
    static constexpr qint64 SharedStringOverhead = 40;

    static TResult Read(TZipPackage& package, TWorkbook& book, QString& errorText);
};
