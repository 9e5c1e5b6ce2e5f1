// The formula routines on arbitrary text: splitting a function call and the cell references
// in it. Refusals are exceptions of the system's own classes, never a crash.
#include "Component/formula/FunctionParser.h"
#include "shared/core/Exceptions.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString name;
    QStringList arguments;
    ParseFunctionCall(text, name, arguments);
    // Every argument, quoted again, reads back as it was: the stored reference round-trips.
    QString quoted = QStringLiteral("F(");
    for (const QString& argument : std::as_const(arguments))
        quoted += QuoteArgument(argument) + QStringLiteral(", ");
    QStringList again;
    ParseFunctionCall(quoted + QStringLiteral(")"), name, again);
    if (!arguments.isEmpty() && again.mid(0, arguments.size()) != arguments)
        std::abort();
    for (QString reference : std::as_const(arguments) + QStringList{text}) {
        QString sheet, cell;
        if (SplitSheetCell(reference, sheet, cell))
            reference = cell;
        int column = 0, row = 0;
        QString error;
        const bool ok = TryParseCellReference(reference, column, row, error);
        if (ok != error.isEmpty())
            std::abort();
        try {
            ParseCellReference(reference, column, row);
            if (!ok || column < 1 || column > MaxSheetColumns || row < 1 || row > MaxSheetRows)
                std::abort();
            (void)ColumnIndexToLetters(column - 1);
        } catch (const Exception&) {
            if (ok)
                std::abort();
        }
    }
    return 0;
}
