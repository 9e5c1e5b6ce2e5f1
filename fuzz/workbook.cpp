// The workbook reader on arbitrary files: a package, its parts and their XML. Each input is
// written to a file of its own process (the reader opens workbooks by name), read, and every
// value of every sheet is asked for.
#include "Component/formula/Workbook.h"
#include "fuzz/support/FuzzInputFile.h"

#include <cstdint>
#include <cstdlib>

namespace {
QString g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // No spreadsheet program is started for the formats that need converting.
    setenv("PATH", "", 1);
    g_path = FuzzInputPath("workbook", "xlsx");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WriteFuzzInput(g_path, data, size);
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
