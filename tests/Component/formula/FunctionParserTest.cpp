#include "Component/formula/FunctionParser.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

TEST(ColumnIndexToLetters, OneTwoAndThreeLetters)
{
    const struct {
        int Index;
        const char* Letters;
    } table[] = {{0, "A"},     {25, "Z"},    {26, "AA"},   {27, "AB"},   {51, "AZ"},
                 {52, "BA"},   {701, "ZZ"},  {702, "AAA"}, {703, "AAB"}, {1377, "AZZ"}};
    for (const auto& row : table) {
        EXPECT_EQ(ColumnIndexToLetters(row.Index), QLatin1String(row.Letters)) << row.Index;
    }
    EXPECT_EQ(ColumnIndexToLetters(16383), QStringLiteral("XFD"));
}

TEST(ColumnIndexToLetters, RoundTripsThroughParseCellReference)
{
    for (int index = 0; index < MaxSheetColumns; ++index) {
        int column = 0, row = 0;
        ParseCellReference(ColumnIndexToLetters(index) + QStringLiteral("1"), column, row);
        ASSERT_EQ(column, index + 1) << index;
    }
}

TEST(ParseCellReference, SplitsColumnAndRow)
{
    const struct {
        const char* Text;
        int Column;
        int Row;
    } table[] = {{"A1", 1, 1},        {"B12", 2, 12},          {"AB7", 28, 7},
                 {"ab7", 28, 7},      {"Zz3", 702, 3},         {"AAA10", 703, 10},
                 {"XFD1048576", 16384, 1048576},               {"A007", 1, 7}};
    for (const auto& row : table) {
        int column = 0, r = 0;
        ParseCellReference(QString::fromLatin1(row.Text), column, r);
        EXPECT_EQ(column, row.Column) << row.Text;
        EXPECT_EQ(r, row.Row) << row.Text;
    }
}

namespace {

QStringList Arguments(const QString& text, QString* name = nullptr)
{
    QString n;
    QStringList args{QStringLiteral("stale")};
    ParseFunctionCall(text, n, args);
    if (name)
        *name = n;
    return args;
}

} // namespace

TEST(ParseFunctionCall, CommaInsideAQuotedPathStaysInTheArgument)
{
    QString name;
    const QStringList args = Arguments(QStringLiteral("Excel(\"C:\\Data, 2024\\Plan.xlsx\", \"Costs$B12\")"), &name);
    EXPECT_EQ(name, QStringLiteral("Excel"));
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], QStringLiteral("C:\\Data, 2024\\Plan.xlsx"));
    EXPECT_EQ(args[1], QStringLiteral("Costs$B12"));
}

TEST(ParseFunctionCall, QuotesAreDroppedAndDoubledOnesKeptOnce)
{
    // Quotes in the middle of an argument group text too; blanks outside them go.
    EXPECT_EQ(Arguments(QStringLiteral("F( ab\"c,d\"e ,\tf )")), (QStringList{QStringLiteral("abc,de"), QStringLiteral("f")}));
    // Whatever an argument holds reads back as it was quoted, blanks and quotes included.
    for (const QString sheet : {"Say \"hi\"", " Lead", "Trail ", "\"\"", "\"", "a, b", "x)y(", "", " \" "}) {
        const QString text = "Excel(" + QuoteArgument("/a \"b\".xlsx") + ",  " + QuoteArgument(sheet) + " )";
        EXPECT_EQ(Arguments(text), (QStringList{"/a \"b\".xlsx", sheet})) << text.toStdString();
    }
}

TEST(ParseFunctionCall, EmptyAndMissingArguments)
{
    EXPECT_EQ(Arguments(QStringLiteral("F()")), QStringList{QString()});
    EXPECT_EQ(Arguments(QStringLiteral("F(a,,b)")), (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    // The last character is taken as the closing bracket whatever it is.
    EXPECT_EQ(Arguments(QStringLiteral("F(a,bc")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QString name;
    EXPECT_EQ(Arguments(QStringLiteral("Import: Excel(x)"), &name), QStringList{QStringLiteral("x")});
    EXPECT_EQ(name, QStringLiteral("Import: Excel"));
}

TEST(ValueToMoney, ScalesRoundsAndRefusesOverflow)
{
    qint64 money = -1;
    QString error;
    EXPECT_TRUE(ValueToMoney(12.5, money, error));
    EXPECT_EQ(money, 125000);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(ValueToMoney(-0.00004, money, error));
    EXPECT_EQ(money, 0);
    EXPECT_TRUE(ValueToMoney(1.23456789, money, error));
    EXPECT_EQ(money, 12346);
    EXPECT_TRUE(ValueToMoney(900000000000000.0, money, error));
    EXPECT_EQ(money, 9000000000000000000LL);
    EXPECT_TRUE(ValueToMoney(-922337203685477.5808, money, error));
    EXPECT_EQ(money, std::numeric_limits<qint64>::min());

    for (double tooLarge : {922337203685477.6, 1e300, -1e16, std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()}) {
        money = 7;
        EXPECT_FALSE(ValueToMoney(tooLarge, money, error)) << tooLarge;
        EXPECT_EQ(money, 0);
        EXPECT_TRUE(error.contains(QStringLiteral("too large for a payoff"))) << error.toStdString();
    }
}
