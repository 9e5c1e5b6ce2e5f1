// Edits on trees of 100,000 and 1,000,000 nodes, each from the input event to the end of the
// repaint and timed in turns with a whole recalculation of the same view (recalculate_ms):
// - a payoff keystroke on the option of the root with the largest subtree, and on an end node;
// - a probability keystroke that takes a branch high in the tree off the taken path and back;
// - taking the other option of the decision nearest the root (the undo step, the marks and the
//   recalculation);
// - the clone refresh of a recalculation, on a document without clones.
// Aims: a value keystroke 16 ms at 100,000 nodes and 100 ms at 1,000,000; a change of the taken
// path 50 ms and 400 ms. Run with --benchmark_repetitions and read the medians.

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "bench/support/BenchView.h"
#include "bench/support/PairedTimes.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <map>
#include <memory>

#include <benchmark/benchmark.h>

namespace {

// One view per size, kept for the whole run: making a tree of a million nodes takes seconds.
TScrollableDecTree& View(int nodeCount)
{
    // Never destroyed: the application object outlives every benchmark.
    static auto* views = new std::map<int, std::unique_ptr<TScrollableDecTree>>;
    auto& box = (*views)[nodeCount];
    if (!box)
        box = MakeRandomTreeView("bench_hugetrees", nodeCount);
    return *box;
}

// The node whose subtree is the largest of those of the root's options, or the first end node.
TDecTreeNode* EditedNode(TDecTree& tree, bool endNode)
{
    TDecTreeDocument& doc = tree.Document();
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& size = doc.SubtreeSizes();
    TDecTreeNode* best = nullptr;
    int32_t bestSize = 0;
    for (size_t c = 1; c < nodes.size(); c += endNode ? 1 : size_t(size[c])) {
        if (endNode) {
            if (!nodes[c]->HasChildren() && !nodes[c]->IsCloneOrInsideClone())
                return nodes[c];
        } else if (size[c] > bestSize) {
            best = nodes[c];
            bestSize = size[c];
        }
    }
    return best;
}

// step() timed in turns with a whole recalculation of the same view, reported as <name>_ms and
// recalculate_ms.
template <class Step>
void TimeAgainstWhole(benchmark::State& state, TDecTree& tree, const std::string& name, Step step)
{
    TPairedTimes times;
    for (auto _ : state) {
        const TPairedTimes::TTime timed = TPairedTimes::Time(step);
        const TPairedTimes::TTime whole = TPairedTimes::Time([&] { tree.Recalculate(); });
        times.Add(timed, whole);
    }
    times.Report(state, name, "recalculate");
    state.counters["nodes"] = double(tree.Document().PreOrder().size());
}

// Keystrokes (a digit, then a backspace) in turns with whole recalculations.
void TimeKeystrokes(benchmark::State& state, TDecTree& tree, QLineEdit* editor)
{
    bool grow = true;
    TimeAgainstWhole(state, tree, "keystroke", [&] { Keystroke(editor, grow); });
    tree.CloseInlineEditor();
}

// Arg 0: the root's option with the largest subtree; 1: an end node.
void BM_PayoffKeystroke(benchmark::State& state)
{
    TDecTree& tree = *View(int(state.range(0))).Tree();
    TDecTreeNode* node = EditedNode(tree, state.range(1) == 1);
    QLineEdit* editor = OpenEditor(tree, node, htPayoff, QStringLiteral("1"), state);
    if (!editor)
        return;
    state.counters["below"] = double(tree.Document().SubtreeSizes()[size_t(
        std::find(tree.Document().PreOrder().begin(), tree.Document().PreOrder().end(), node) -
        tree.Document().PreOrder().begin())]);
    TimeKeystrokes(state, tree, editor);
}
BENCHMARK(BM_PayoffKeystroke)
    ->ArgNames({"nodes", "end"})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The first branch of a chance node on the taken path, as near the root as there is one, with a
// probability above 0: typed to 0 and back, it leaves the taken path and comes back to it.
TDecTreeNode* TakenChanceBranch(TDecTree& tree)
{
    for (TDecTreeNode* node : tree.Document().PreOrder()) {
        TDecTreeNode* parent = node->Parent();
        if (parent && parent->NodeType == ntChance && node->InTakenPath && node->HasChildren() &&
            !node->IsCloneOrInsideClone())
            return node;
    }
    return nullptr;
}

void BM_ProbabilityKeystrokeMovesPath(benchmark::State& state)
{
    TDecTree& tree = *View(int(state.range(0))).Tree();
    TDecTreeNode* node = TakenChanceBranch(tree);
    const double probability = node ? node->Probability : 0;
    // "0" and "05" in turns.
    QLineEdit* editor = OpenEditor(tree, node, htProbability, QStringLiteral("0"), state);
    if (!editor)
        return;
    TimeKeystrokes(state, tree, editor);
    // The branch back on the taken path for the next run.
    node->Probability = probability;
    tree.Recalculate();
}
BENCHMARK(BM_ProbabilityKeystrokeMovesPath)
    ->ArgNames({"nodes"})
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The undecided decision with the largest subtree, as near the root as there is one.
TDecTreeNode* TopDecision(TDecTree& tree)
{
    for (TDecTreeNode* node : tree.Document().PreOrder())
        if (node->NodeType == ntDecision && !node->DecisionFixed && node->Children.Count() >= 2 &&
            !node->IsCloneOrInsideClone())
            return node;
    return nullptr;
}

// A click on the mark of an option that is not taken, of the decision nearest the root: the undo
// step, the marks and the recalculation. Its first two options are taken in turns.
void BM_TakeOption(benchmark::State& state)
{
    TDecTree& tree = *View(int(state.range(0))).Tree();
    TDecTreeNode* decision = TopDecision(tree);
    if (!decision) {
        state.SkipWithError("no decision with two options");
        return;
    }
    TDecTreeNode* a = decision->Children[0];
    TDecTreeNode* b = decision->Children[1];
    bool toA = a->Probability == 0;
    TimeAgainstWhole(state, tree, "take", [&] {
        tree.SelectNode(toA ? a : b, htProbability);
        tree.EditElement(false, 0);
        toA = !toA;
    });
    tree.UndoManager().Clear();
    state.counters["depth"] = decision->GetDepth();
}
BENCHMARK(BM_TakeOption)->ArgNames({"nodes"})->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(20);

// The clone refresh that starts every recalculation, on a document without clones.
void BM_RefreshWithoutClones(benchmark::State& state)
{
    TDecTree& tree = *View(int(state.range(0))).Tree();
    TimeAgainstWhole(state, tree, "refresh", [&] { tree.Root()->RefreshClones(); });
}
BENCHMARK(BM_RefreshWithoutClones)->ArgNames({"nodes"})->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
