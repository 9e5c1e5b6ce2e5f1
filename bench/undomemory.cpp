// Resident memory after undo: a document of 100,000 nodes opened from its file into a shown tree
// control as the main window opens one, then ten user actions, then all of them undone. The
// process's resident memory after the undos is reported against the same figure right after the
// opening (ratio; aim: at most 1.5), with the heap in use at both times and what the undo history
// holds at the end (snapshots_MB).
//
// The heap one measurement leaves behind would hide what the next one needs: run one kind per
// process (--benchmark_filter=kind:0/ or kind:1/) and repeat the process for a median. Kind 0:
// payoffs typed on ten nodes; kind 1: a mix of typed payoffs, options taken, nodes inserted and
// subtrees deleted.
//
// The file is written on the first run into quandrel-bench in the temporary folder ($TMPDIR or
// /tmp) and taken from there on later runs.
#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "app/document/DocumentReader.h"
#include "bench/support/BenchView.h"
#include "bench/support/DocumentFile.h"
#include "bench/support/ProcessMemory.h"

#include <QApplication>
#include <QDir>

#include <malloc.h>

#include <benchmark/benchmark.h>

namespace {

constexpr int kNodeCount = 100000;

double HeapInUseMB()
{
    return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

// Inner nodes outside the clones, spread over the tree, each with more than one child.
std::vector<TDecTreeNode*> EditableForks(TDecTree& tree, size_t count)
{
    std::vector<TDecTreeNode*> forks;
    const std::vector<TDecTreeNode*>& nodes = tree.Document().PreOrder();
    const size_t step = nodes.size() / (count * 4) + 1;
    for (size_t i = 1; i < nodes.size() && forks.size() < count; i += step) {
        TDecTreeNode* n = nodes[i];
        if (n->Children.Count() >= 2 && !n->IsCloneOrInsideClone() && !n->IsOrContainsCloneMaster())
            forks.push_back(n);
    }
    return forks;
}

void TypePayoff(TDecTree& tree, TDecTreeNode* node)
{
    tree.SelectNode(node, htPayoff);
    tree.EditElement(false, 0);
    bool grow = true;
    Keystroke(tree.InlineEditor(), grow);
    tree.CloseInlineEditor();
}

void BM_MemoryAfterUndo(benchmark::State& state)
{
    BenchApplication<QApplication>("bench_undomemory");
    const QString path = BenchDocument::File(QDir(QDir::tempPath()).filePath(QStringLiteral("quandrel-bench")),
                                             kNodeCount);
    const bool mixed = state.range(0) == 1;
    double opened = 0, undone = 0, heapOpened = 0, heapUndone = 0, snapshots = 0;
    size_t steps = 0;
    for (auto _ : state) {
        TScrollableDecTree box;
        box.resize(1280, 900);
        TDecTree& tree = *box.Tree();
        box.show();
        const TLoadResult result = LoadDocument(path, tree.Document(), tree.StyleStates());
        if (!result.Loaded()) {
            state.SkipWithError(qPrintable(result.ErrorText));
            return;
        }
        tree.SetRoot(tree.Document().ReleaseRoot());
        tree.UndoManager().Clear();
        tree.SelectNode(tree.Root(), htOptionDescriptor);
        tree.Recalculate();
        QApplication::processEvents();
        opened = StatusMegabytes("VmRSS:");
        heapOpened = HeapInUseMB();

        const std::vector<TDecTreeNode*> forks = EditableForks(tree, 10);
        std::vector<TGuid> ids;
        for (TDecTreeNode* n : forks)
            ids.push_back(n->Id);
        for (size_t k = 0; k < ids.size(); ++k) {
            TDecTreeNode* node = tree.Root()->FindNodeById(ids[k]);
            if (!node)
                continue;
            switch (mixed ? k % 4 : 0) {
            case 0:
                TypePayoff(tree, node->Children[0]);
                break;
            case 1:
                if (node->NodeType == ntChance) {
                    TypePayoff(tree, node->Children[1]);
                } else {
                    tree.SelectNode(node->Children[1], htProbability);
                    tree.EditElement(false, 0);
                }
                break;
            case 2:
                tree.SelectNode(node, htOptionDescriptor);
                tree.AddSubnodes(false);
                tree.CloseInlineEditor();
                break;
            case 3:
                tree.SelectNode(node->Children[0], htOptionDescriptor);
                tree.DeleteSelectedNodes(false);
                break;
            }
        }
        steps = tree.UndoManager().UndoStack().size();
        while (tree.UndoManager().CanUndo())
            tree.UndoManager().Undo();
        QApplication::processEvents();
        undone = StatusMegabytes("VmRSS:");
        heapUndone = HeapInUseMB();
        snapshots = double(tree.UndoManager().SnapshotBytes()) / (1024.0 * 1024.0);
    }
    state.counters["opened_MB"] = opened;
    state.counters["undone_MB"] = undone;
    state.counters["ratio"] = opened > 0 ? undone / opened : 0;
    state.counters["heap_opened_MB"] = heapOpened;
    state.counters["heap_undone_MB"] = heapUndone;
    state.counters["undo_steps"] = double(steps);
    state.counters["snapshots_MB"] = snapshots;
}
BENCHMARK(BM_MemoryAfterUndo)->ArgNames({"kind"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
