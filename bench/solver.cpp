// Speed of the budgeted multi-option solver on decisions with many options: 60 options with
// random costs and highest and lowest values, a budget that affords about a third of them.

#include "Component/model/MultiOptionSolver.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct TInstance {
    std::vector<int64_t> Cost, Max, Min;
    int64_t Budget = 0;
};

// Money in whole cents (units of 1/10000): costs 1 .. 1000, highest values -200 .. 2000 after the
// payoff, lowest values -2000 .. 200; correlated makes each highest value follow its cost, which
// leaves the search fewer branches to drop.
TInstance MakeInstance(uint64_t seed, int count, bool correlated)
{
    std::mt19937_64 rng(seed);
    auto cents = [&rng](int from, int to) { return int64_t(std::uniform_int_distribution<int>(from, to)(rng)) * 100; };
    TInstance in;
    int64_t total = 0;
    for (int i = 0; i < count; ++i) {
        const int64_t cost = cents(100, 100000);
        in.Cost.push_back(cost);
        in.Max.push_back(correlated ? cost + cents(-10000, 10000) : cents(-20000, 200000));
        in.Min.push_back(cents(-200000, 20000));
        total += cost;
    }
    in.Budget = total / 3 / 10000 * 10000; // whole currency units
    return in;
}

void Solve(benchmark::State& state, bool correlated)
{
    const TInstance in = MakeInstance(uint64_t(state.range(0)), 60, correlated);
    std::vector<uint8_t> maxSet, minSet;
    bool solved = true;
    for (auto _ : state) {
        solved = TMultiOptionFullSolverQuick::SolveBounded(in.Cost.data(), in.Max.data(), in.Min.data(),
                                                           int(in.Cost.size()), in.Budget, maxSet, minSet);
        benchmark::DoNotOptimize(maxSet.data());
    }
    state.counters["solved"] = solved;
}

void BM_SolveSixtyRandomOptions(benchmark::State& state)
{
    Solve(state, false);
}
BENCHMARK(BM_SolveSixtyRandomOptions)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

void BM_SolveSixtyCorrelatedOptions(benchmark::State& state)
{
    Solve(state, true);
}
BENCHMARK(BM_SolveSixtyCorrelatedOptions)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
