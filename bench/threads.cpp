// Walks shared out among threads: the pool that keeps its threads between walks, timed in turns
// with the same walk on threads started and joined for it alone (the reference). The walk marks
// the taken path below the root as an edit does, over documents at the sizes from which walks are
// shared out. Run it on all processors and under `taskset -c 0,1`.
#include "Component/model/SubtreeWork.h"
#include "bench/support/PairedTimes.h"
#include "bench/support/RandomTree.h"

#include <benchmark/benchmark.h>

#include <system_error>
#include <thread>

namespace {

// The walk as it was done before the pool: threads of its own, started and joined every time.
template <class Work>
void ForEachSubtreeOnNewThreads(const TSubtreePlan& plan, unsigned threads, Work work)
{
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t k; (k = next.fetch_add(1)) < plan.Subtrees.size();)
            work(plan.Subtrees[k].first, plan.Subtrees[k].second);
    };
    std::vector<std::thread> workers;
    const size_t wanted = std::min<size_t>(threads, plan.Subtrees.size());
    for (size_t t = 1; t < wanted; ++t) {
        try {
            workers.emplace_back(run);
        } catch (const std::system_error&) {
            break;
        }
    }
    run();
    for (std::thread& w : workers)
        w.join();
}

void BM_WalkOnPool(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings settings;
    settings.Seed = 7;
    settings.NodeCount = int(state.range(0));
    FillRandomDocument(doc, settings);
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& size = doc.SubtreeSizes();
    const std::vector<int32_t>& parent = doc.ParentPositions();
    const size_t n = nodes.size();
    const unsigned threads = SubtreeThreadCount(n, 0);
    auto range = [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i)
            if (i != 0)
                nodes[i]->InTakenPath = nodes[size_t(parent[i])]->InTakenPath && nodes[i]->Probability > 0;
    };
    // As the edit's walk does it: the nodes above the ranges first, on the calling thread.
    auto walk = [&](auto forEach) {
        const TSubtreePlan plan = PlanSubtrees(size, 0, SubtreeGrain(n, threads));
        for (size_t i : plan.Above)
            range(i, i + 1);
        forEach(plan, range);
    };
    TPairedTimes times;
    for (auto _ : state) {
        const TPairedTimes::TTime pool = TPairedTimes::Time(
            [&] { walk([&](const TSubtreePlan& plan, auto& r) { ForEachSubtree(plan, threads, r); }); });
        const TPairedTimes::TTime fresh = TPairedTimes::Time(
            [&] { walk([&](const TSubtreePlan& plan, auto& r) { ForEachSubtreeOnNewThreads(plan, threads, r); }); });
        times.Add(pool, fresh);
    }
    times.Report(state, "pool", "new_threads");
    state.counters["threads"] = threads;
}
BENCHMARK(BM_WalkOnPool)
    ->ArgNames({"nodes"})
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

} // namespace

BENCHMARK_MAIN();
