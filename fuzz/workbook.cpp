// The workbook reader on arbitrary files: a package, its parts and their XML. Each input is
// written to a file of its own process (the reader opens workbooks by name), read, and every
// value of every sheet is asked for.
#include "Component/formula/Workbook.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
QString g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // No spreadsheet program is started for the formats that need converting.
    setenv("PATH", "", 1);
    const QString folder = QFileInfo::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath();
    g_path = QStringLiteral("%1/quandrel-fuzz-workbook-%2.xlsx").arg(folder).arg(getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile file(g_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QString error;
    std::shared_ptr<const TWorkbook> book = TWorkbook::Load(g_path, error);
    if (!book) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    for (int s = 0; s < book->SheetCount(); ++s) {
        const TWorksheet& sheet = book->Sheet(s);
        for (int row = 1; row <= std::min(sheet.LastRow(), 64); ++row)
            for (int column = 1; column <= std::min(sheet.LastColumn(), 64); ++column)
                (void)sheet.Cell(row, column).ToText();
    }
    for (const TDefinedName& name : book->Names()) {
        TCellAddress address;
        if (book->ResolveName(name, address, error))
            (void)book->Cell(address);
    }
    return 0;
}
