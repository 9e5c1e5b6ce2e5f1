// Opening and saving a document of 100,000 nodes. Opening (parse, id repair, clone check, first
// recalculation without painting) is timed in turns with the XML layer's bare load of the same
// file, and must take at most 1.3 times as long; ratio is the median of the pairs. The memory
// counters are the process's resident set right after the load and its peak during the load, in
// MB. Saving must take at most 0.5 s.
#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/DocumentFile.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/StyleStates.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>


namespace {

constexpr int kNodeCount = 100000;

struct TFixture {
    QTemporaryDir Dir;
    QString Path = BenchDocument::File(Dir.path(), kNodeCount);
};

TFixture& Fixture()
{
    static TFixture fixture;
    return fixture;
}

void BM_OpenDocument(benchmark::State& state) { BenchDocument::TimeOpenAgainstParse(state, Fixture().Path); }
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);

void BM_SaveDocument(benchmark::State& state)
{
    TFixture& fixture = Fixture();
    TDecTreeDocument doc;
    TStyleStates styles;
    TLoadResult loaded = LoadDocument(fixture.Path, doc, styles);
    if (!loaded.Loaded()) {
        state.SkipWithError(qPrintable(loaded.ErrorText));
        return;
    }
    QString target = fixture.Dir.filePath(QStringLiteral("saved.qdn"));
    for (auto _ : state) {
        QString error;
        if (!SaveDocument(doc, styles, target, &error))
            state.SkipWithError(qPrintable(error));
    }
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->Iterations(3);


} // namespace

BENCHMARK_MAIN();
