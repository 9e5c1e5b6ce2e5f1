#include "Component/formula/FunctionParser.h"

#include "Component/formula/Workbook.h"
#include "shared/core/Exceptions.h"

#include <QFileInfo>

#include <cfenv>
#include <cmath>

namespace {

enum class TReferenceFault { None, Letters, Column, RowNotNumber, RowRange };

TReferenceFault SplitReference(const QString& text, int& column, int& row)
{
    // Only the letters a to z are folded: a full case mapping would turn "ß" into "SS".
    QString ref = text.trimmed();
    for (QChar& c : ref)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - u'a' + u'A');
    // The first digit is looked for from the second character on, so a leading digit counts
    // as a (wrong) letter.
    qsizetype digit = -1;
    for (qsizetype i = 1; i < ref.size(); ++i) {
        if (ref[i].isDigit() && ref[i].unicode() < 128) {
            digit = i;
            break;
        }
    }
    if (digit < 1 || digit > 3)
        return TReferenceFault::Letters;
    int col = 0;
    for (qsizetype i = 0; i < digit; ++i) {
        const char16_t c = ref[i].unicode();
        if (c < u'A' || c > u'Z')
            return TReferenceFault::Letters;
        col = col * 26 + (c - u'A' + 1);
    }
    if (col > MaxSheetColumns)
        return TReferenceFault::Column;
    const QString rowText = ref.mid(digit, 100);
    qint64 value = 0;
    for (QChar c : rowText) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return TReferenceFault::RowNotNumber;
        value = value * 10 + (c.unicode() - u'0');
        if (value > MaxSheetRows)
            return TReferenceFault::RowRange;
    }
    if (value < 1)
        return TReferenceFault::RowRange;
    column = col;
    row = int(value);
    return TReferenceFault::None;
}

QString FaultText(const QString& text, TReferenceFault fault)
{
    QString why;
    switch (fault) {
    case TReferenceFault::None:
        return QString();
    case TReferenceFault::Letters:
        why = QStringLiteral("it needs one to three column letters followed by the row number");
        break;
    case TReferenceFault::Column:
        why = QStringLiteral("the column lies beyond XFD");
        break;
    case TReferenceFault::RowNotNumber:
        why = QStringLiteral("the row is not a number");
        break;
    case TReferenceFault::RowRange:
        why = QStringLiteral("the row must lie between 1 and %1").arg(MaxSheetRows);
        break;
    }
    return QStringLiteral("Invalid cell reference \"%1\": %2").arg(text, why);
}

// Blanks and control characters, as stripped around every argument.
QString TrimControls(const QString& s)
{
    qsizetype first = 0, last = s.size();
    while (first < last && s[first].unicode() <= u' ')
        ++first;
    while (last > first && s[last - 1].unicode() <= u' ')
        --last;
    return s.mid(first, last - first);
}

QString FileNamePart(const QString& path)
{
    // Documents written on Windows carry paths with backslashes.
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

QString FindWorkbookFile(const QString& stored, const QString& documentPath)
{
    if (!stored.isEmpty() && QFileInfo(stored).isFile())
        return stored;
    const QString name = FileNamePart(stored);
    if (name.isEmpty() || documentPath.isEmpty())
        return QString();
    const QString besideDocument = QFileInfo(documentPath).absolutePath() + QLatin1Char('/') + name;
    return QFileInfo(besideDocument).isFile() ? besideDocument : QString();
}

} // namespace

double CellNumber(const TCellValue& value, const QString& where, QString& errorText)
{
    switch (value.Kind) {
    case TCellKind::Number:
        return value.Number;
    case TCellKind::Empty:
        errorText = value.HasFormula
                        ? QStringLiteral("Cell %1 holds a formula whose value has not been computed; open and save "
                                         "the workbook in a spreadsheet program")
                              .arg(where)
                        : QStringLiteral("Cell %1 is empty").arg(where);
        break;
    case TCellKind::Text:
        errorText = QStringLiteral("Cell %1 holds text, not a number").arg(where);
        break;
    case TCellKind::Boolean:
        errorText = QStringLiteral("Cell %1 holds a logical value, not a number").arg(where);
        break;
    case TCellKind::Error:
        errorText = QStringLiteral("Cell %1 holds the error %2").arg(where, value.Text);
        break;
    }
    return 0;
}

QString ColumnIndexToLetters(int index)
{
    if (index < 0 || index >= MaxSheetColumns)
        throw ArgumentOutOfRangeException(
            QStringLiteral("Column index %1 is out of range (0 to %2)").arg(index).arg(MaxSheetColumns - 1));
    // Bijective base 26: A..Z, AA..ZZ, AAA..XFD.
    QString letters;
    int n = index + 1;
    while (n > 0) {
        --n;
        letters.prepend(QChar(u'A' + n % 26));
        n /= 26;
    }
    return letters;
}

bool TryParseCellReference(const QString& text, int& column, int& row, QString& errorText)
{
    const TReferenceFault fault = SplitReference(text, column, row);
    errorText = FaultText(text, fault);
    return fault == TReferenceFault::None;
}

void ParseCellReference(const QString& text, int& column, int& row)
{
    const TReferenceFault fault = SplitReference(text, column, row);
    switch (fault) {
    case TReferenceFault::None:
        return;
    case TReferenceFault::Letters:
    case TReferenceFault::Column:
        throw EAssertionFailed(FaultText(text, fault));
    case TReferenceFault::RowNotNumber:
    case TReferenceFault::RowRange:
        throw FormatException(FaultText(text, fault));
    }
}

void ParseFunctionCall(const QString& text, QString& name, QStringList& arguments)
{
    arguments.clear();
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open < 0) {
        name = text;
        return;
    }
    name = text.left(open);
    QString rest = text.mid(open + 1);
    rest.chop(1);  // the closing bracket
    rest += QLatin1Char(',');
    bool quoted = false;
    QString current;
    // What stood inside quotes is kept as it is: blanks are trimmed only outside them, so that a
    // sheet named " Lead" keeps its blank. [keepFrom, keepTo) is that part of the argument.
    qsizetype keepFrom = -1, keepTo = -1;
    const auto keep = [&] {
        if (keepFrom < 0)
            keepFrom = current.size();
        keepTo = current.size();
    };
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < rest.size() && rest[i + 1] == QLatin1Char('"')) {
                current += c;  // a doubled quote inside quotes stands for one
                ++i;
            } else {
                quoted = !quoted;
            }
            keep();
        } else if (c == QLatin1Char(',') && !quoted) {
            const QString trimmed = TrimControls(current);
            if (keepFrom < 0) {
                arguments << trimmed;
            } else {
                qsizetype first = 0, last = current.size();
                while (first < keepFrom && current[first].unicode() <= u' ')
                    ++first;
                while (last > keepTo && current[last - 1].unicode() <= u' ')
                    --last;
                arguments << current.mid(first, last - first);
            }
            current.clear();
            keepFrom = keepTo = -1;
        } else {
            current += c;
            if (quoted)
                keep();
        }
    }
}

QString QuoteArgument(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool SplitSheetCell(const QString& reference, QString& sheet, QString& cell)
{
    // A sheet name may hold "$" but a cell never does; a defined name holds none either, except
    // in the qualifier of a sheet's own name ('Cost$2024'!Total), which ends in "!".
    const qsizetype dollar = reference.lastIndexOf(QLatin1Char('$'));
    if (dollar < 0 || reference.indexOf(QLatin1Char('!'), dollar) >= 0)
        return false;
    sheet = reference.left(dollar);
    cell = reference.mid(dollar + 1);
    return true;
}

QString WorkbookNotFoundText(const QString& workbook, const QString& formula)
{
    static const QString Failure = QStringLiteral("File not found: ");
    // A name of blanks alone would show as nothing too.
    if (!workbook.trimmed().isEmpty())
        return Failure + workbook;
    return Failure + QStringLiteral("no workbook is named in ") + formula;
}

double ReadExcelData(const QString& formula, const QString& documentPath, QString& errorText)
{
    errorText.clear();
    static const QString ImportPrefix = QStringLiteral("Import: ");
    const QString call = formula.startsWith(ImportPrefix) ? formula.mid(ImportPrefix.size()) : formula;

    QString name;
    QStringList args;
    ParseFunctionCall(call, name, args);
    // The checks follow the order of evaluation: the workbook is found and opened first, then
    // the function and its reference are looked at, so a missing workbook is always reported as
    // such.
    const auto wrongCount = [&] {
        errorText = QStringLiteral("Excel needs 2 arguments (the workbook and the cell), not %1").arg(args.size());
        return 0.0;
    };
    if (args.isEmpty())
        return wrongCount();
    const QString file = FindWorkbookFile(args[0], documentPath);
    if (file.isEmpty()) {
        errorText = WorkbookNotFoundText(args[0], call);
        return 0;
    }
    const std::shared_ptr<const TWorkbook> book = TWorkbook::Open(file, errorText);
    if (!book)
        return 0;
    if (name != QLatin1String("Excel")) {
        errorText = QStringLiteral("Unknown function \"%1\" (only Excel can be read)").arg(name);
        return 0;
    }
    if (args.size() != 2)
        return wrongCount();

    const QString& reference = args[1];
    QString sheetName, cell;
    const bool bySheet = SplitSheetCell(reference, sheetName, cell);
    int column = 0, row = 0;
    if (bySheet && !TryParseCellReference(cell, column, row, errorText))
        return 0;

    if (bySheet) {
        const int sheet = book->IndexOfSheet(sheetName);
        if (sheet < 0) {
            errorText = QStringLiteral("Sheet \"%1\" not found").arg(sheetName);
            return 0;
        }
        const QString where =
            book->Sheet(sheet).Name() + QLatin1Char('!') + ColumnIndexToLetters(column - 1) + QString::number(row);
        return CellNumber(book->Sheet(sheet).Cell(row, column), where, errorText);
    }
    const TDefinedName* definedName = book->FindName(reference, errorText);
    if (!definedName)
        return 0;
    TCellAddress address;
    if (!book->ResolveName(*definedName, address, errorText))
        return 0;
    const QString where = definedName->FullName(*book) + QStringLiteral(" (") +
                          book->Sheet(address.SheetIndex).Name() + QLatin1Char('!') +
                          ColumnIndexToLetters(address.Column - 1) + QString::number(address.Row) + QLatin1Char(')');
    return CellNumber(book->Cell(address), where, errorText);
}

bool ValueToMoney(double value, qint64& money, QString& errorText)
{
    errorText.clear();
    money = 0;
    // 2^63: the first amount past the money type's range, exactly representable as a double.
    constexpr double Limit = 9223372036854775808.0;
    const double scaled = value * 10000.0;
    if (!std::isfinite(scaled)) {
        errorText = QStringLiteral("The value %1 is too large for a payoff").arg(value);
        return false;
    }
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);  // a half goes to the even neighbour
    const double rounded = std::nearbyint(scaled);
    std::fesetround(mode);
    if (rounded >= Limit || rounded < -Limit) {
        errorText = QStringLiteral("The value %1 is too large for a payoff").arg(value);
        return false;
    }
    money = qint64(rounded);
    return true;
}

qint64 ReadExcelPayoff(const QString& formula, const QString& documentPath, QString& errorText)
{
    const double value = ReadExcelData(formula, documentPath, errorText);
    if (!errorText.isEmpty())
        return 0;
    qint64 money = 0;
    ValueToMoney(value, money, errorText);
    return money;
}
