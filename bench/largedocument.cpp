// Opening a document of 1,000,000 nodes (about 2 GB), timed in turns with the XML layer's bare
// load of the same file: at most 1.3 times as long (ratio, the median of the pairs), with the
// process's peak resident memory during the open at most the file's size (peak_over_file).
//
// The file is written on the first run into quandrel-bench in the temporary folder ($TMPDIR or
// /tmp) and taken from there on later runs; delete it when done. Not part of the test suite.
#include "app/document/DocumentReader.h"
#include "bench/support/DocumentFile.h"
#include "bench/support/PairedTimes.h"
#include "bench/support/ProcessMemory.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/StyleStates.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <memory>


namespace {

constexpr int kNodeCount = 1000000;

void BM_OpenMillionNodes(benchmark::State& state)
{
    const QString path = BenchDocument::File(QDir(QDir::tempPath()).filePath(QStringLiteral("quandrel-bench")), kNodeCount);
    const double fileMB = double(QFile(path).size()) / (1024.0 * 1024.0);
    TPairedTimes times;
    double peak = 0, before = 0;
    for (auto _ : state) {
        const TPairedTimes::TTime parse = TPairedTimes::Time([&] {
            pugi::xml_document xml;
            if (!xml.load_file(path.toLocal8Bit().constData()))
                state.SkipWithError("the XML layer refused the file");
        });
        ResetPeak();
        before = StatusMegabytes("VmRSS:");
        auto doc = std::make_unique<TDecTreeDocument>();
        auto styles = std::make_unique<TStyleStates>();
        const TPairedTimes::TTime open = TPairedTimes::Time([&] {
            TLoadResult result = LoadDocument(path, *doc, *styles);
            if (!result.Loaded())
                state.SkipWithError(qPrintable(result.ErrorText));
            doc->Root()->RefreshClones();
            doc->CalculateValues();
            benchmark::DoNotOptimize(doc->Root()->ExpectedValue);
        });
        peak = StatusMegabytes("VmHWM:");
        doc.reset();
        state.SetIterationTime(open.Wall);
        times.Add(open, parse);
    }
    times.Report(state, "open", "parse");
    state.counters["file_MB"] = fileMB;
    state.counters["peak_MB"] = peak;
    state.counters["rss_before_MB"] = before;
    state.counters["peak_over_file"] = peak / fileMB;
}
BENCHMARK(BM_OpenMillionNodes)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
