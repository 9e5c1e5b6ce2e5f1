// Opening a document of 1,000,000 nodes (about 2 GB), timed in turns with the XML layer's bare
// load of the same file: at most 1.3 times as long (ratio, the median of the pairs), with the
// process's peak resident memory during the open at most the file's size (peak_over_file).
//
// The file is written on the first run into quandrel-bench in the temporary folder ($TMPDIR or
// /tmp) and taken from there on later runs; delete it when done. Not part of the test suite.
#include "bench/support/DocumentFile.h"

#include <QDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kNodeCount = 1000000;

void BM_OpenMillionNodes(benchmark::State& state)
{
    BenchDocument::TimeOpenAgainstParse(
        state, BenchDocument::File(QDir(QDir::tempPath()).filePath(QStringLiteral("quandrel-bench")), kNodeCount));
}
BENCHMARK(BM_OpenMillionNodes)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
