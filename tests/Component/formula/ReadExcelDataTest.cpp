#include "Component/formula/FunctionParser.h"

#include "WorkbookFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QString Formula(const QString& file, const QString& reference)
{
    return QStringLiteral("Excel(\"%1\", \"%2\")").arg(file, reference);
}

QString Book()
{
    return fixtures::File(QStringLiteral("book.xlsx"));
}

struct TRead {
    double Value;
    QString Error;
};

TRead Read(const QString& formula, const QString& document = QString())
{
    TRead r;
    r.Error = QStringLiteral("not cleared");
    r.Value = ReadExcelData(formula, document, r.Error);
    return r;
}

} // namespace

TEST(ReadExcelData, SheetCellReferences)
{
    TRead r = Read(Formula(Book(), QStringLiteral("Data$B2")));
    EXPECT_TRUE(r.Error.isEmpty()) << r.Error.toStdString();
    EXPECT_EQ(r.Value, 12.5);
    // Sheet names ignore case; cell letters are folded to upper case.
    EXPECT_EQ(Read(Formula(Book(), QStringLiteral("data$ab7"))).Value, 42);
    EXPECT_EQ(Read(Formula(Book(), QStringLiteral("My Sheet$A1"))).Value, 7);
    // The stored "Import: " prefix may be passed along.
    EXPECT_EQ(Read(QStringLiteral("Import: ") + Formula(Book(), QStringLiteral("Data$A1"))).Value, -3);
    // Values and formulas computed by the spreadsheet.
    EXPECT_EQ(Read(Formula(fixtures::File(QStringLiteral("cached.xlsx")), QStringLiteral("Calc$XFD1048576"))).Value, 99);
}

TEST(ReadExcelData, EveryFailureHasAText)
{
    const struct {
        QString Formula;
        QString Error;
    } table[] = {
        {Formula(QStringLiteral("/nowhere/none.xlsx"), QStringLiteral("Data$B2")), QStringLiteral("File not found: /nowhere/none.xlsx")},
        {QStringLiteral("Exel(\"%1\", \"Data$B2\")").arg(Book()), QStringLiteral("Unknown function \"Exel\" (only Excel can be read)")},
        // The workbook is looked for before the function name is checked.
        {QStringLiteral("Exel(\"/nowhere/none.xlsx\", \"Data$B2\")"), QStringLiteral("File not found: /nowhere/none.xlsx")},
        // A formula that names no workbook is shown, as there is no name to show.
        {QStringLiteral("Excel(\"\", \"Data$B2\")"), QStringLiteral("File not found: no workbook is named in Excel(\"\", \"Data$B2\")")},
        {QStringLiteral("Import: Excel(\"  \", \"Data$B2\")"), QStringLiteral("File not found: no workbook is named in Excel(\"  \", \"Data$B2\")")},
        {QStringLiteral("Excel()"), QStringLiteral("File not found: no workbook is named in Excel()")},
        {QStringLiteral("Excel"), QStringLiteral("Excel needs 2 arguments (the workbook and the cell), not 0")},
        {QStringLiteral("Excel(\"%1\", \"Data$B2\", \"x\")").arg(Book()), QStringLiteral("Excel needs 2 arguments (the workbook and the cell), not 3")},
        {Formula(Book(), QStringLiteral("Nope$B2")), QStringLiteral("Sheet \"Nope\" not found")},
        {Formula(Book(), QStringLiteral("Chart$A1")), QStringLiteral("Sheet \"Chart\" not found")},
        {Formula(Book(), QStringLiteral("Nothing")), QStringLiteral("Name \"Nothing\" not found")},
        {Formula(Book(), QStringLiteral("Data$B3")), QStringLiteral("Cell Data!B3 is empty")},
        {Formula(Book(), QStringLiteral("Data$C3")), QStringLiteral("Cell Data!C3 holds text, not a number")},
        {Formula(Book(), QStringLiteral("Data$D4")), QStringLiteral("Cell Data!D4 holds a logical value, not a number")},
        {Formula(Book(), QStringLiteral("Words")), QStringLiteral("Cell Words (Data!C3) holds text, not a number")},
        {Formula(Book(), QStringLiteral("Data$XFE1")), QStringLiteral("Invalid cell reference \"XFE1\": the column lies beyond XFD")},
        {Formula(Book(), QStringLiteral("Data$B")), QStringLiteral("Invalid cell reference \"B\": it needs one to three column letters followed by the row number")},
        {Formula(Book(), QStringLiteral("Data$B1x")), QStringLiteral("Invalid cell reference \"B1x\": the row is not a number")},
        {Formula(Book(), QStringLiteral("Data$B1048577")), QStringLiteral("Invalid cell reference \"B1048577\": the row must lie between 1 and 1048576")},
        {Formula(fixtures::File(QStringLiteral("cached.xlsx")), QStringLiteral("Calc$A3")), QStringLiteral("Cell Calc!A3 holds the error #DIV/0!")},
    };
    for (const auto& row : table) {
        const TRead r = Read(row.Formula);
        EXPECT_EQ(r.Value, 0) << row.Formula.toStdString();
        EXPECT_EQ(r.Error, row.Error) << row.Formula.toStdString();
    }
    const TRead uncomputed = Read(Formula(Book(), QStringLiteral("Data$G8")));
    EXPECT_TRUE(uncomputed.Error.startsWith(QStringLiteral("Cell Data!G8 holds a formula whose value has not been computed")));
    const TRead damaged = Read(Formula(fixtures::File(QStringLiteral("truncated.xlsx")), QStringLiteral("Data$B2")));
    EXPECT_TRUE(damaged.Error.startsWith(QStringLiteral("The workbook truncated.xlsx cannot be read: "))) << damaged.Error.toStdString();
}

TEST(ReadExcelData, WorkbookMovedBesideTheDocumentIsFoundThere)
{
    const QString folder = fixtures::File(QStringLiteral("project"));
    QDir().mkpath(folder);
    const QString moved = folder + QStringLiteral("/Plan, final.xlsx");
    QFile::remove(moved);
    ASSERT_TRUE(QFile::copy(Book(), moved));
    const QString document = folder + QStringLiteral("/tree.qdn");  // need not exist

    // A path from another machine, with Windows separators and a comma in the file name.
    TRead r = Read(Formula(QStringLiteral("C:\\Users\\ann\\Plan, final.xlsx"), QStringLiteral("Price")), document);
    EXPECT_TRUE(r.Error.isEmpty()) << r.Error.toStdString();
    EXPECT_EQ(r.Value, 12.5);
    // Without a document path nothing else is searched.
    r = Read(Formula(QStringLiteral("/home/old/Plan, final.xlsx"), QStringLiteral("Price")));
    EXPECT_EQ(r.Error, QStringLiteral("File not found: /home/old/Plan, final.xlsx"));
}

TEST(ReadExcelPayoff, MoneyOrAnErrorText)
{
    QString error;
    EXPECT_EQ(ReadExcelPayoff(Formula(Book(), QStringLiteral("Price")), QString(), error), 125000);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(ReadExcelPayoff(Formula(Book(), QStringLiteral("Data$F6")), QString(), error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("too large for a payoff"))) << error.toStdString();
}
