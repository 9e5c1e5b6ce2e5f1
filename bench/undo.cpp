// Every command records an undo snapshot of the whole document first, so recording must be fast
// on large trees, and 501 snapshots of a large tree must fit in memory.
#include "Component/model/DecTreeDocument.h"
#include "bench/support/RandomTree.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr int TreeSize = 10000;

TRandomTreeSettings Settings(uint64_t seed)
{
    TRandomTreeSettings s;
    s.Seed = seed;
    s.NodeCount = TreeSize;
    return s;
}

// Resident memory of this process in MB, from /proc/self/status.
double ResidentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// One user edit: a caption, a probability or a payoff changes, and now and then a node is added
// or a subtree removed, so the structure shifts too.
void Edit(TDecTreeDocument& doc, std::mt19937_64& rng, int step)
{
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    TDecTreeNode* node = nodes[rng() % nodes.size()];
    switch (step % 10) {
    case 0:
        node->Children.Add(MakeNode(&doc, node, ntChance, 50, 100));
        break;
    case 5:
        if (node->Children.Count() > 0 && node->Children[0]->Children.Count() < 20)
            node->Children.Delete(0);
        break;
    case 1: case 3: case 7:
        node->Probability = double(rng() % 101);
        break;
    case 2: case 6:
        node->Payoff = TCurrency(rng() % 1000000);
        break;
    default:
        node->Caption = QStringLiteral("Edited option %1").arg(step);
    }
}

void BM_SaveState10k(benchmark::State& state)
{
    TDecTreeDocument doc;
    FillRandomDocument(doc, Settings(1));
    std::mt19937_64 rng(5);
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Edit(doc, rng, ++step);
        state.ResumeTiming();
        doc.UndoManager.SaveState(QStringLiteral("Edit"));
    }
}
BENCHMARK(BM_SaveState10k)->Unit(benchmark::kMillisecond);

// The first snapshot of a tree, with nothing to share with.
void BM_SaveStateFirst10k(benchmark::State& state)
{
    std::unique_ptr<TDecTreeDocument> doc;
    for (auto _ : state) {
        state.PauseTiming();
        doc.reset();
        doc = std::make_unique<TDecTreeDocument>();
        FillRandomDocument(*doc, Settings(2));
        state.ResumeTiming();
        doc->UndoManager.SaveState(QStringLiteral("Edit"));
    }
}
BENCHMARK(BM_SaveStateFirst10k)->Unit(benchmark::kMillisecond);

// Undo without the recalculation a window would add: the present state is captured for redo and
// the snapshot's tree, options and styles put in place.
void BM_Undo10k(benchmark::State& state)
{
    TDecTreeDocument doc;
    FillRandomDocument(doc, Settings(3));
    std::mt19937_64 rng(7);
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.UndoManager.SaveState(QStringLiteral("Edit"));
        Edit(doc, rng, ++step);
        state.ResumeTiming();
        doc.UndoManager.Undo();
    }
}
BENCHMARK(BM_Undo10k)->Unit(benchmark::kMillisecond);

// A user with a 10,000-node tree who makes 501 edits: the resident memory of the whole process
// with the full undo stack.
void BM_Snapshots501Of10k(benchmark::State& state)
{
    double total = 0;
    double growth = 0;
    double records = 0;
    double recordMB = 0;
    for (auto _ : state) {
        TDecTreeDocument doc;
        FillRandomDocument(doc, Settings(4));
        const double withTree = ResidentMB();
        std::mt19937_64 rng(9);
        for (int i = 0; i < 501; ++i) {
            doc.UndoManager.SaveState(QStringLiteral("Edit"));
            Edit(doc, rng, i);
        }
        total = ResidentMB();
        growth = total - withTree;
        records = double(doc.UndoManager.SharedRecordCount());
        recordMB = double(doc.UndoManager.SharedRecordBytes()) / (1024.0 * 1024.0);
        if (doc.UndoManager.UndoStack().size() != 501)
            state.SkipWithError("stack size");
    }
    state.counters["rss_total_MB"] = total;
    state.counters["rss_snapshots_MB"] = growth;
    state.counters["node_records"] = records;
    state.counters["node_record_MB"] = recordMB;
}
BENCHMARK(BM_Snapshots501Of10k)->Unit(benchmark::kMillisecond)->Iterations(1);

// What one more snapshot adds after a payoff typed on one node of a 100,000-node tree, in bytes a
// node (aim: at most 1), against what the first snapshot of the same tree holds (whole_per_node).
void BM_SnapshotBytesOfATypedPayoff(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings settings = Settings(6);
    settings.NodeCount = int(state.range(0));
    FillRandomDocument(doc, settings);
    TDecTreeUndoManager& undo = doc.UndoManager;
    undo.SaveState(QStringLiteral("First"));
    const double nodes = double(doc.PreOrder().size());
    const double whole = double(undo.SnapshotBytes()) / nodes;
    std::mt19937_64 rng(13);
    std::vector<double> added;
    for (auto _ : state) {
        TDecTreeNode* node = doc.PreOrder()[rng() % doc.PreOrder().size()];
        node->Payoff += CurrencyScale;
        const size_t before = undo.SnapshotBytes();
        undo.SaveState(QStringLiteral("Edit payoff"));
        added.push_back(double(undo.SnapshotBytes() - before) / nodes);
    }
    std::sort(added.begin(), added.end());
    state.counters["per_node"] = added.empty() ? 0 : added[added.size() / 2];
    state.counters["whole_per_node"] = whole;
    state.counters["ratio"] = added.empty() ? 0 : added[added.size() / 2] / whole;
}
BENCHMARK(BM_SnapshotBytesOfATypedPayoff)->ArgNames({"nodes"})->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

BENCHMARK_MAIN();
