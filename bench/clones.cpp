// Clone refresh runs first in every recalculation, so it must cost little next to the
// roll-back; the duplicate-id repair runs on every load. The whole recalculations of the tree
// control are timed in turns with their references in the same run:
// - with outline codes on, against the same view with codes off (aim: at most 1.3 times);
// - with a few small clones, against the same document whose copies are plain nodes (aim: at most
//   1.2 times), as it stands and after an edit inside a master.
#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/RepairDuplicateIds.h"
#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/BenchView.h"
#include "bench/support/PairedTimes.h"
#include "bench/support/RandomTree.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
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

std::unique_ptr<TScrollableDecTree> MakeView(const std::function<void(TDecTreeDocument&)>& fill)
{
    return MakeTreeView("bench_clones", fill);
}

// A random tree of own nodes with clones linked to masters of minMaster .. maxMaster nodes.
void FillCloneDocument(TDecTreeDocument& doc, int own, int clones, int minMaster, int maxMaster)
{
    TRandomTreeSettings s;
    s.Seed = 7;
    s.NodeCount = own;
    FillRandomDocument(doc, s);
    TRandomCloneSettings c;
    c.Seed = 5;
    c.Clones = clones;
    c.Masters = std::max(1, clones / 30);
    c.MinMasterSize = minMaster;
    c.MaxMasterSize = maxMaster;
    AddRandomClones(doc, c);
}

// Args: own nodes, clones, smallest and largest master. A whole recalculation with outline codes
// on, in turns with the same with codes off: every child of a clone is numbered on from its master.
// The row without clones tells what the codes cost by themselves (longer texts to make, measure
// and draw).
void BM_RecalculateWithOutlineCodes(benchmark::State& state)
{
    auto box = MakeView([&](TDecTreeDocument& doc) {
        FillCloneDocument(doc, int(state.range(0)), int(state.range(1)), int(state.range(2)), int(state.range(3)));
    });
    TDecTree& tree = *box->Tree();
    TPairedTimes times;
    for (auto _ : state) {
        tree.Options().SetOutlineCodes(true);
        const TPairedTimes::TTime on = TPairedTimes::Time([&] { tree.Recalculate(); });
        tree.Options().SetOutlineCodes(false);
        const TPairedTimes::TTime off = TPairedTimes::Time([&] { tree.Recalculate(); });
        times.Add(on, off);
    }
    times.Report(state, "codes", "nocodes");
    state.counters["nodes"] = double(tree.Document().PreOrder().size());
}
BENCHMARK(BM_RecalculateWithOutlineCodes)
    ->ArgNames({"own", "clones", "min", "max"})
    ->Args({33000, 0, 6, 14})
    ->Args({20500, 1500, 6, 14})
    ->Args({37000, 1500, 15, 25})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The document of `own` random nodes with three clones of masters of about 200 nodes, and the
// same document with the clones' copies kept as plain nodes: the reference. Both are opened from
// their saved files, so their nodes lie in memory as an opened document's do.
struct TFewClones {
    std::unique_ptr<TScrollableDecTree> WithClones, Without;
    int Clones = 0;
};

TFewClones& FewClones(int own)
{
    static auto* views = new std::map<int, TFewClones>;
    TFewClones& v = (*views)[own];
    if (v.WithClones)
        return v;
    std::string files[2];
    {
        TDecTreeDocument doc;
        TRandomTreeSettings s;
        s.Seed = 7;
        s.NodeCount = own;
        FillRandomDocument(doc, s);
        TRandomCloneSettings c;
        c.Seed = 9;
        c.Clones = 3;
        c.Masters = 3;
        c.MinMasterSize = 180;
        c.MaxMasterSize = 220;
        const std::vector<TDecTreeNode*> clones = AddRandomClones(doc, c);
        v.Clones = int(clones.size());
        doc.Root()->RefreshClones();
        files[0] = WriteDocumentToString(doc, doc.StyleStates);
        for (TDecTreeNode* clone : clones)
            clone->CloneMasterId = Guid::Empty();
        files[1] = WriteDocumentToString(doc, doc.StyleStates);
    }
    auto open = [](const std::string& bytes) {
        return MakeView([&bytes](TDecTreeDocument& doc) { LoadDocumentFromBytes(bytes, doc, doc.StyleStates); });
    };
    v.WithClones = open(files[0]);
    v.Without = open(files[1]);
    return v;
}

// A whole recalculation of the document with three clones, in turns with the same without them.
void BM_RecalculateFewClones(benchmark::State& state)
{
    TFewClones& v = FewClones(int(state.range(0)));
    TDecTree& with = *v.WithClones->Tree();
    TDecTree& without = *v.Without->Tree();
    TPairedTimes times;
    for (auto _ : state) {
        const TPairedTimes::TTime a = TPairedTimes::Time([&] { with.Recalculate(); });
        const TPairedTimes::TTime b = TPairedTimes::Time([&] { without.Recalculate(); });
        times.Add(a, b);
    }
    times.Report(state, "clones", "without");
    state.counters["nodes"] = double(with.Document().PreOrder().size());
    state.counters["clones"] = double(v.Clones);
}
BENCHMARK(BM_RecalculateFewClones)->ArgNames({"own"})->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(20);

// A payoff inside the first clone's master changed, then the whole recalculation, which copies
// the master into its clone again; in turns with the same change in the document without clones.
void BM_RecalculateAfterMasterEdit(benchmark::State& state)
{
    TFewClones& v = FewClones(int(state.range(0)));
    TDecTree& with = *v.WithClones->Tree();
    TDecTree& without = *v.Without->Tree();
    const auto clone = std::find_if(with.Document().PreOrder().begin(), with.Document().PreOrder().end(),
                                    [](const TDecTreeNode* n) { return n->IsClone(); });
    if (clone == with.Document().PreOrder().end()) {
        state.SkipWithError("no clones");
        return;
    }
    TDecTreeNode* master = with.Root()->FindNodeById((*clone)->CloneMasterId);
    TDecTreeNode* edited = master->Children[0];
    TDecTreeNode* twin = without.Root()->FindNodeById(edited->Id);
    TPairedTimes times;
    TCurrency step = CurrencyScale;
    for (auto _ : state) {
        const TPairedTimes::TTime a = TPairedTimes::Time([&] {
            edited->Payoff += step;
            with.Recalculate();
        });
        const TPairedTimes::TTime b = TPairedTimes::Time([&] {
            twin->Payoff += step;
            without.Recalculate();
        });
        step = -step;
        times.Add(a, b);
    }
    times.Report(state, "clones", "without");
    state.counters["nodes"] = double(with.Document().PreOrder().size());
}
BENCHMARK(BM_RecalculateAfterMasterEdit)->ArgNames({"own"})->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
