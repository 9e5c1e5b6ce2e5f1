#pragma once
// The texts of the external-data dialogs and the advanced payoff dialog, exactly as users know
// them.

#include <QString>

namespace ExternalDataStrings {
inline const QString WebAddress = QStringLiteral("www.orvanta.com");

// ---- Import dialog ----
inline const QString ImportCaption = QStringLiteral("Import external data");
inline const QString HeaderTitle = QStringLiteral("External data");
inline const QString ImportMessage =
    QStringLiteral("Please specify the source of the information you want to link into your project.");
inline const QString Datasource = QStringLiteral("1. Datasource:");
inline const QString ExcelWorkbookItem = QStringLiteral("Microsoft Excel Workbook");
inline const QString Workbook = QStringLiteral("2. Workbook:");
inline const QString AddressType = QStringLiteral("3. Address type:");
inline const QString NamedCell = QStringLiteral("Named cell");
inline const QString RowAndCol = QStringLiteral("Row and Col");
inline const QString NamedCellStep = QStringLiteral("4. Cell:");
inline const QString WorksheetStep = QStringLiteral("4. Worksheet:");
inline const QString UnnamedCellStep = QStringLiteral("5. Cell:");
inline const QString ChooseFileTitle = QStringLiteral("Choose Microsoft Excel file");
inline const QString ChooseFileFilter =
    QStringLiteral("Microsoft Excel files (*.xls *.xlsx);;All files (*)");
inline const QString ValueWord = QStringLiteral("Value");
inline const QString EmptyWord = QStringLiteral("empty");
inline const QString ExcelNotInstalled = QStringLiteral("Microsoft Excel is not installed");
inline const QString ExcelFunction = QStringLiteral("Excel");

// ---- Overview ----
inline const QString OverviewCaption = QStringLiteral("External data overview");
inline const QString OldValue = QStringLiteral("Old Value");
inline const QString NewValue = QStringLiteral("New Value");
inline const QString NodeColumn = QStringLiteral("Node");
inline const QString SourceColumn = QStringLiteral("Source");
inline const QString Summary = QStringLiteral("Summary");
inline const QString NumberOfLines = QStringLiteral("Number of lines:");
inline const QString Changed = QStringLiteral("Changed:");
inline const QString Refresh = QStringLiteral("Refresh");
inline const QString Reading = QStringLiteral("Reading external data...");
inline const QString HasChanged =
    QStringLiteral("External data has been changed. After reviewing click OK to accept the new values.");
inline const QString UpToDate = QStringLiteral("No changes. Your project is up-to-date.");
inline const QString UndoRefresh = QStringLiteral("Refresh external data");

// ---- Advanced payoff dialog ----
inline const QString PayoffCaption = QStringLiteral("Edit Payoff (Advanced)");
inline const QString PayoffMode = QStringLiteral("Payoff mode");
inline const QString ValueMode = QStringLiteral("Payoff &value:");
inline const QString BenefitCostMode = QStringLiteral("&Benefit - Cost:");
inline const QString ImportMode = QStringLiteral("&Import:");
inline const QString AdvancedMode = QStringLiteral("&Advanced");
inline const QString InvalidNumber = QStringLiteral("Invalid number");
inline const QString IncomeCostPrefix = QStringLiteral("Income-Cost: ");
inline const QString ImportPrefix = QStringLiteral("Import: ");
inline const QString AdvancedPrefix = QStringLiteral("Advanced: ");
inline const QString AllRadioButtonsDisabled = QStringLiteral("All radio buttons disabled");
inline const QString ToDo = QStringLiteral("To Do");
} // namespace ExternalDataStrings
