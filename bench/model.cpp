// Speed of the tree arithmetic: the recalculation's value passes over a large document, the
// multi-option solver, and optimisation of a mixed tree.

#include "Component/model/DecTreeDocument.h"
#include "Component/model/MultiOptionSolver.h"
#include "bench/support/RandomTree.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_RollBackAndPathValues(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings s;
    s.Seed = 2024;
    s.NodeCount = int(state.range(0));
    FillRandomDocument(doc, s);
    doc.CalculateValues(); // the node order is cached after the first pass, as in the program
    for (auto _ : state) {
        doc.CalculateValues();
        benchmark::DoNotOptimize(doc.Root()->ExpectedValue);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
// Large documents are walked by several threads: wall-clock time is what counts.
BENCHMARK(BM_RollBackAndPathValues)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// As above, but every round changes the root's payoff, so the path payoff of every end node is
// written anew.
void BM_RollBackAndPathValuesAfterEdit(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings s;
    s.Seed = 2024;
    s.NodeCount = int(state.range(0));
    FillRandomDocument(doc, s);
    doc.CalculateValues();
    for (auto _ : state) {
        doc.Root()->Payoff = doc.Root()->Payoff == 0 ? CurrencyScale : 0;
        doc.CalculateValues();
        benchmark::DoNotOptimize(doc.Root()->ExpectedValue);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RollBackAndPathValuesAfterEdit)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same passes called one after the other on the root, as a caller that runs them separately.
void BM_RollBackThenPathValues(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings s;
    s.Seed = 2024;
    s.NodeCount = int(state.range(0));
    FillRandomDocument(doc, s);
    TDecTreeNode* root = doc.Root();
    root->InTakenPath = true;
    root->RollBack();
    for (auto _ : state) {
        root->RollBack();
        root->CalculatePathValues(1.0, double(root->Payoff) / CurrencyScale);
        benchmark::DoNotOptimize(root->ExpectedValue);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RollBackThenPathValues)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A multi-option decision with the given number of options, each an investment with a range of
// outcomes, and a budget that affords about half of them.
TDecTreeNode* BudgetedDecision(TDecTreeDocument& doc, int options)
{
    doc.SetRoot(MakeNode(&doc, nullptr, ntMultiDecision, 100, 0));
    TDecTreeNode* root = doc.Root();
    TCurrency spending = 0;
    for (int i = 0; i < options; ++i) {
        auto option = MakeNode(&doc, root, ntChance, i % 3 ? 100 : 0, -(100 + 37 * i) * CurrencyScale);
        spending += (100 + 37 * i);
        TDecTreeNode* o = option.get();
        root->Children.Add(std::move(option));
        o->Children.Add(MakeNode(&doc, o, ntChance, 40, (50 + 91 * (i % 7)) * CurrencyScale));
        o->Children.Add(MakeNode(&doc, o, ntChance, 60, (-20 + 53 * (i % 5)) * CurrencyScale + 2500));
    }
    root->DecisionMultiBudget = int32_t(spending / 2);
    doc.CalculateValues();
    return root;
}

void BM_SolverBudgetedOptions(benchmark::State& state)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = BudgetedDecision(doc, int(state.range(0)));
    double min = 0, max = 0;
    for (auto _ : state) {
        root->SolveMemo.reset(); // solve every time
        root->EvaluateMultiOptionDecision(true, min, max);
        benchmark::DoNotOptimize(max);
    }
}
BENCHMARK(BM_SolverBudgetedOptions)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_SolverUnchangedNode(benchmark::State& state)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = BudgetedDecision(doc, int(state.range(0)));
    double min = 0, max = 0;
    root->EvaluateMultiOptionDecision(true, min, max);
    for (auto _ : state) {
        root->EvaluateMultiOptionDecision(true, min, max);
        benchmark::DoNotOptimize(max);
    }
}
BENCHMARK(BM_SolverUnchangedNode)->Arg(20)->Unit(benchmark::kNanosecond);

void BM_OptimizeDecisions(benchmark::State& state)
{
    TDecTreeDocument doc;
    TRandomTreeSettings s;
    s.Seed = 77;
    s.NodeCount = int(state.range(0));
    s.MaxChildren = 5;
    s.ChainShare = 0.2;
    FillRandomDocument(doc, s);
    doc.CalculateValues();
    const std::vector<TDecTreeNode*> nodes = SubtreeNodes(doc.Root());
    std::vector<double> marks;
    for (TDecTreeNode* n : nodes)
        marks.push_back(n->Probability);
    for (auto _ : state) {
        state.PauseTiming();
        // The same starting marks, and no solve remembered from the last round.
        for (size_t i = 0; i < nodes.size(); ++i) {
            nodes[i]->Probability = marks[i];
            nodes[i]->SolveMemo.reset();
        }
        doc.CalculateValues();
        state.ResumeTiming();
        doc.Root()->OptimizeDecisions();
        benchmark::DoNotOptimize(doc.Root()->ExpectedValue);
    }
}
BENCHMARK(BM_OptimizeDecisions)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
