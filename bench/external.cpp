// External data: refreshing many imported payoffs from one workbook, with the rows shown as they
// are read; opening the import dialog on a large sheet, and on a sheet whose one cell is the last
// a spreadsheet can hold.

#include "app/forms/ImportExternal.h"
#include "app/forms/OverviewExternalData.h"
#include "Component/control/DecTree.h"
#include "Component/formula/FunctionParser.h"
#include "Component/formula/WorkbookCache.h"
#include "Component/model/DecTreeNode.h"
#include "shared/core/Guid.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QString>

#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// Two workbooks written package by package: "Grid" with 5,000 rows of 50 numbers, and "Far"
// whose only cell is XFD1048576.
const char* Generator = R"PY(
import sys, zipfile, random
out = sys.argv[1]
random.seed(11)
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
def letters(i):
    s = ""
    i += 1
    while i:
        i, r = divmod(i - 1, 26)
        s = chr(65 + r) + s
    return s
def book(name, sheet_body, names=""):
    with zipfile.ZipFile(out + name, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/></Types>')
        z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sofficeDocument" Target="xl/workbook.xml"/></Relationships>' % REL)
        z.writestr("xl/workbook.xml", '<workbook %s><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets>%s</workbook>' % (NS, names))
        z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sworksheet" Target="worksheets/sheet1.xml"/></Relationships>' % REL)
        z.writestr("xl/worksheets/sheet1.xml", '<?xml version="1.0" encoding="UTF-8"?><worksheet %s><sheetData>%s</sheetData></worksheet>' % (NS, sheet_body))
rows = []
for r in range(1, 5001):
    rows.append('<row r="%d">%s</row>' % (r, "".join('<c r="%s%d"><v>%r</v></c>' % (letters(c), r, round(random.uniform(-1e6, 1e6), 2)) for c in range(50))))
book("-grid.xlsx", "".join(rows), '<definedNames><definedName name="Corner">Data!$A$1</definedName></definedNames>')
book("-far.xlsx", '<row r="1048576"><c r="XFD1048576"><v>1</v></c></row>')
)PY";

QString Workbook(const char* suffix)
{
    const QString prefix = QStringLiteral("/tmp/quandrel-bench-external");
    const QString file = prefix + QString::fromLatin1(suffix);
    if (!QFileInfo::exists(file)) {
        const char* script = "/tmp/quandrel-bench-external.py";
        std::ofstream(script) << Generator;
        const std::string command = std::string("/usr/bin/python3 ") + script + " " + prefix.toStdString();
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not generate %s\n", file.toUtf8().constData());
        std::remove(script);
    }
    return file;
}

std::unique_ptr<TDecTreeNode> Node(TDecTreeDocument* doc, TDecTreeNode* parent, const QString& source)
{
    return std::make_unique<TDecTreeNode>(doc, parent, Guid::NewGuid(), QStringLiteral("Node"), QString(), ntChance,
                                          ctPercent, 0, 0, Guid::Empty(), true, false, false, false, false, false,
                                          false, false, QString(), QString(), -1, 0.0, source);
}

void BM_RefreshImportedPayoffs(benchmark::State& state)
{
    const QString path = Workbook("-grid.xlsx");
    TDecTree tree;
    tree.Options().CurrencyDecimals = 2;
    TDecTreeDocument& doc = tree.Document();
    doc.SetRoot(Node(&doc, nullptr, QString()));
    for (int i = 0; i < state.range(0); ++i)
        doc.Root()->Children.Add(Node(&doc, doc.Root(),
                                      QStringLiteral("Import: Excel(\"%1\", \"Data$%2%3\")")
                                          .arg(path, ColumnIndexToLetters(i % 50))
                                          .arg(i / 50 + 1)));
    TOverviewExternalDataForm form;
    form.Tree = &tree;
    form.resize(450, 300);
    form.show();
    form.RefreshExternalData(); // the workbook read once, as a first refresh does
    for (auto _ : state)
        form.RefreshExternalData();
    state.SetComplexityN(state.range(0));
    state.counters["changed_rows"] = form.SummaryChangedLabel->text().toInt();
}
BENCHMARK(BM_RefreshImportedPayoffs)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();

// Resident memory now, in MB.
double ResidentMB()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The dialog as the payoff dialog opens it on a stored reference: lists, sheet and grid read.
// Memory is what the process holds more while the dialog is open than before the first one was
// opened (run one benchmark per process to see its own figure).
void OpenDialog(benchmark::State& state, const char* suffix, const QString& cell, bool cold)
{
    const QString path = Workbook(suffix);
    // Taken once, before the first dialog of the run: later runs reuse what earlier ones freed.
    static const double before = ResidentMB();
    static double open = 0;
    SetImportExternalRunner([](TImportExternalForm&) {
        open = std::max(open, ResidentMB());
        return int(QDialog::Rejected);
    });
    const QString formula = QStringLiteral("Excel(\"%1\", \"%2\")").arg(path, cell);
    for (auto _ : state) {
        if (cold)
            TWorkbookCache::Instance().Clear();
        TImportExternalResult result;
        ExecuteImportExternal(formula, 2, result);
    }
    state.counters["open_extra_MB"] = open - before;
    SetImportExternalRunner(nullptr);
}

void BM_OpenImportDialogLargeSheet(benchmark::State& state)
{
    OpenDialog(state, "-grid.xlsx", QStringLiteral("Data$AX5000"), state.range(0) != 0);
}
BENCHMARK(BM_OpenImportDialogLargeSheet)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_OpenImportDialogFarCell(benchmark::State& state)
{
    OpenDialog(state, "-far.xlsx", QStringLiteral("Data$XFD1048576"), state.range(0) != 0);
}
BENCHMARK(BM_OpenImportDialogFarCell)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
