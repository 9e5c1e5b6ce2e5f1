// Clone refresh runs first in every recalculation, so it must cost little next to the
// roll-back; the duplicate-id repair runs on every load.
#include "Component/model/DecTreeDocument.h"
#include "Component/model/RepairDuplicateIds.h"
#include "bench/support/RandomTree.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// A generated tree of about 10,000 nodes once refreshed: 8,000 of its own, ten masters of 100
// nodes hung into it, and ten clones of them, each copying 99 nodes.
void BuildCloneTree(TDecTreeDocument& doc)
{
    TRandomTreeSettings s;
    s.Seed = 7;
    s.NodeCount = 8000;
    FillRandomDocument(doc, s);
    std::mt19937_64 rng(11);
    std::vector<TDecTreeNode*> hosts = SubtreeNodes(doc.Root());
    std::vector<TDecTreeNode*> masters;
    for (int i = 0; i < 10; ++i) {
        TRandomTreeSettings ms;
        ms.Seed = 100 + uint64_t(i);
        ms.NodeCount = 100;
        std::unique_ptr<TDecTreeNode> master = GenerateRandomTree(doc, ms);
        TDecTreeNode* host = hosts[rng() % hosts.size()];
        master->SetParent(host);
        master->Probability = host->NodeType == ntChance ? 10 : 0;
        masters.push_back(master.get());
        host->Children.Add(std::move(master));
    }
    for (int i = 0; i < 10;) {
        TDecTreeNode* host = hosts[rng() % hosts.size()];
        auto clone = MakeNode(&doc, host, ntDecision, host->NodeType == ntChance ? 10 : 0, 5000);
        TDecTreeNode* raw = clone.get();
        host->Children.Add(std::move(clone));
        QString error;
        raw->SetCloneMaster(masters[size_t(i)]->Id, error);
        if (error.isEmpty())
            ++i;
        else
            host->Children.Remove(raw);
    }
}

void BM_RefreshClonesAndRollBack(benchmark::State& state)
{
    TDecTreeDocument doc;
    BuildCloneTree(doc);
    doc.Root()->RefreshClones();
    doc.CalculateValues();
    state.counters["nodes"] = double(SubtreeNodes(doc.Root()).size());
    for (auto _ : state) {
        doc.Root()->RefreshClones();
        doc.CalculateValues();
        benchmark::DoNotOptimize(doc.Root()->ExpectedValue);
    }
}
BENCHMARK(BM_RefreshClonesAndRollBack)->Unit(benchmark::kMillisecond);

// The same tree's value passes alone, to tell the refresh's share.
void BM_RollBackOnly(benchmark::State& state)
{
    TDecTreeDocument doc;
    BuildCloneTree(doc);
    doc.Root()->RefreshClones();
    doc.CalculateValues();
    for (auto _ : state) {
        doc.CalculateValues();
        benchmark::DoNotOptimize(doc.Root()->ExpectedValue);
    }
}
BENCHMARK(BM_RollBackOnly)->Unit(benchmark::kMillisecond);

void BM_RepairDuplicateIds(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings s;
    s.Seed = 3;
    s.NodeCount = 100000;
    FillRandomDocument(doc, s);
    std::vector<TDecTreeNode*> nodes = SubtreeNodes(doc.Root());
    std::mt19937_64 rng(5);
    for (auto _ : state) {
        // One node in a hundred takes the id of another, as a merged document might have.
        state.PauseTiming();
        for (int i = 0; i < 1000; ++i)
            nodes[rng() % nodes.size()]->Id = nodes[rng() % nodes.size()]->Id;
        state.ResumeTiming();
        benchmark::DoNotOptimize(RepairDuplicateIds(doc.Root()));
    }
    state.counters["nodes"] = double(nodes.size());
}
BENCHMARK(BM_RepairDuplicateIds)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
