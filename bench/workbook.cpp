// Reading payoffs from a large workbook: the first read of one cell (the whole workbook is
// read), and further reads of the same workbook, served from what was read.

#include "Component/formula/FunctionParser.h"
#include "Component/formula/WorkbookCache.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// About 10 MB: 85,000 rows of one shared string and eleven random numbers.
const char* Generator = R"PY(
import sys, zipfile, random
out = sys.argv[1]
random.seed(7)
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
ROWS, COLS = 90000, 12
letters = [chr(65 + i) for i in range(COLS)]
words = ["w%05d" % i for i in range(5000)]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/></Types>')
    z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sofficeDocument" Target="xl/workbook.xml"/></Relationships>' % REL)
    z.writestr("xl/workbook.xml", '<workbook %s><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets><definedNames><definedName name="Last">Data!$B$%d</definedName></definedNames></workbook>' % (NS, ROWS))
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sworksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="%ssharedStrings" Target="sharedStrings.xml"/></Relationships>' % (REL, REL))
    z.writestr("xl/sharedStrings.xml", '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">' + "".join("<si><t>%s</t></si>" % w for w in words) + "</sst>")
    with z.open("xl/worksheets/sheet1.xml", "w") as f:
        f.write(('<?xml version="1.0" encoding="UTF-8"?><worksheet %s><dimension ref="A1:%s%d"/><sheetData>' % (NS, letters[-1], ROWS)).encode())
        for r in range(1, ROWS + 1):
            cells = ['<c r="A%d" t="s"><v>%d</v></c>' % (r, random.randrange(5000))]
            for c in letters[1:]:
                cells.append('<c r="%s%d"><v>%r</v></c>' % (c, r, round(random.uniform(-1e6, 1e6), 4)))
            f.write(('<row r="%d">%s</row>' % (r, "".join(cells))).encode())
        f.write(b"</sheetData></worksheet>")
)PY";

const QString& Workbook()
{
    static const QString path = [] {
        const QString file = QStringLiteral("/tmp/quandrel-bench-10mb.xlsx");
        if (!QFileInfo::exists(file)) {
            const char* script = "/tmp/quandrel-bench-10mb.py";
            std::ofstream(script) << Generator;
            const std::string command = std::string("/usr/bin/python3 ") + script + " " + file.toStdString();
            if (std::system(command.c_str()) != 0)
                std::fprintf(stderr, "could not generate %s\n", file.toUtf8().constData());
            std::remove(script);
        }
        return file;
    }();
    return path;
}

QString Formula(int row, int column)
{
    return QStringLiteral("Excel(\"%1\", \"Data$%2%3\")").arg(Workbook(), QChar(u'A' + column)).arg(row);
}

void BM_FirstReadOfOneCell(benchmark::State& state)
{
    const QString formula = Formula(42000, 5);
    for (auto _ : state) {
        state.PauseTiming();
        TWorkbookCache::Instance().Clear();
        state.ResumeTiming();
        QString error;
        benchmark::DoNotOptimize(ReadExcelData(formula, QString(), error));
        if (!error.isEmpty())
            state.SkipWithError(error.toUtf8().constData());
    }
    state.counters["MB"] = double(QFileInfo(Workbook()).size()) / (1024 * 1024);
}
BENCHMARK(BM_FirstReadOfOneCell)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FurtherReads(benchmark::State& state)
{
    QString error;
    ReadExcelData(Formula(1, 1), QString(), error);  // the first read
    std::vector<QString> formulas;
    for (int i = 0; i < 64; ++i)
        formulas.push_back(Formula(1 + (i * 1327) % 85000, 1 + i % 11));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadExcelData(formulas[i++ % formulas.size()], QString(), error));
        if (!error.isEmpty())
            state.SkipWithError(error.toUtf8().constData());
    }
}
BENCHMARK(BM_FurtherReads)->Unit(benchmark::kMicrosecond);

void BM_FurtherReadsOfANamedCell(benchmark::State& state)
{
    QString error;
    const QString formula = QStringLiteral("Excel(\"%1\", \"Last\")").arg(Workbook());
    ReadExcelData(formula, QString(), error);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadExcelData(formula, QString(), error));
        if (!error.isEmpty())
            state.SkipWithError(error.toUtf8().constData());
    }
}
BENCHMARK(BM_FurtherReadsOfANamedCell)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
