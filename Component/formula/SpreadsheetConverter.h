#pragma once
// Converts workbooks in formats read only through LibreOffice (.xls, .ods, .xlsb) to .xlsx.
// Each conversion runs a headless LibreOffice with a profile and output folder of its own, so
// it neither touches the user's profile nor collides with a LibreOffice already running.

#include <QString>
#include <QTemporaryDir>

class TSpreadsheetConverter {
public:
    // Long enough for a large workbook, short enough that a stuck converter cannot hang us.
    static constexpr int TimeoutMs = 120000;

    // The LibreOffice program, or empty when it is not installed.
    static QString Program();
    // The message for a workbook that needs conversion when LibreOffice is missing.
    static QString MissingMessage();

    // Writes the .xlsx into workDir (which the caller keeps until it has read the file) and
    // returns its path; empty and a message in errorText on failure.
    static QString ConvertToXlsx(const QString& fileName, const QTemporaryDir& workDir, QString& errorText);
};
