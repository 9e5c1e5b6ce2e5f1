// The tree control under the user's hands on a large tree: one keystroke of an in-place payoff
// edit and one rubber-band mouse move, each from the input event to the end of the repaint.
// A keystroke on 10,000 nodes must take at most 8 ms (keystroke_ms, timed in turns with a whole
// recalculation of the same view, recalculate_ms) and grow less than linearly with the tree:
// growth is the ratio of a keystroke on 100,000 nodes to one on 10,000, timed in turns (below 10).

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/draw/TreeLayout.h"
#include "bench/support/RandomTree.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/BenchView.h"
#include "bench/support/PairedTimes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace {

QApplication& App() { return BenchApplication<QApplication>("bench_control"); }

// A shown control in a window of a usual size, holding a random tree of 10,000 nodes.
std::unique_ptr<TScrollableDecTree> MakeView(int nodeCount = 10000)
{
    return MakeRandomTreeView("bench_control", nodeCount);
}

// A node whose payoff lies in the visible area, outside clones: an option of the root, whose
// change reaches every path value below it, or an end node.
TDecTreeNode* VisiblePayoffNode(TDecTree& tree, const QRect& visible, bool endNode)
{
    for (TDecTreeNode* node : tree.Document().PreOrder()) {
        if (!node->Parent() || node->IsCloneOrInsideClone() || !node->PayoffSource.isEmpty())
            continue;
        if (endNode ? node->HasChildren() : node->Parent() != tree.Root())
            continue;
        const TRectangle& r = node->ElementRects[htPayoff];
        if (r.Width > 0 && visible.contains(QRect(r.Left, r.Top, r.Width, r.Height)))
            return node;
    }
    return nullptr;
}

// A payoff editor open on a visible node of the view: an option of the root, whose change
// reaches every path value below it (endNode false), or an end node.
QLineEdit* OpenPayoffEditor(TScrollableDecTree& box, bool endNode, benchmark::State& state)
{
    TDecTree& tree = *box.Tree();
    const QRect visible(QPoint(0, 0), box.viewport()->size());
    TDecTreeNode* node = VisiblePayoffNode(tree, visible, endNode);
    if (!node) {
        state.SkipWithError("no payoff in view");
        return nullptr;
    }
    return OpenEditor(tree, node, htPayoff, QStringLiteral("1"), state);
}

void BM_PayoffEditKeystroke(benchmark::State& state)
{
    auto box = MakeView();
    QLineEdit* editor = OpenPayoffEditor(*box, state.range(0) == 1, state);
    if (!editor)
        return;
    TDecTree& tree = *box->Tree();
    TPairedTimes times;
    bool grow = true;
    for (auto _ : state) {
        const TPairedTimes::TTime keystroke = TPairedTimes::Time([&] { Keystroke(editor, grow); });
        state.PauseTiming();
        // The reference, then a keystroke that takes the text back, so every timed one types.
        const TPairedTimes::TTime whole = TPairedTimes::Time([&] { tree.Recalculate(); });
        Keystroke(editor, grow);
        state.ResumeTiming();
        times.Add(keystroke, whole);
    }
    times.Report(state, "keystroke", "recalculate");
    state.counters["nodes"] = 10000;
}
BENCHMARK(BM_PayoffEditKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keystrokes on 10,000 and on 100,000 nodes, in turns.
void BM_PayoffEditKeystrokeGrowth(benchmark::State& state)
{
    auto small = MakeView(10000);
    auto large = MakeView(100000);
    const bool endNode = state.range(0) == 1;
    QLineEdit* smallEditor = OpenPayoffEditor(*small, endNode, state);
    QLineEdit* largeEditor = OpenPayoffEditor(*large, endNode, state);
    if (!smallEditor || !largeEditor)
        return;
    TPairedTimes times;
    bool growSmall = true, growLarge = true;
    for (auto _ : state) {
        const TPairedTimes::TTime onSmall = TPairedTimes::Time([&] { Keystroke(smallEditor, growSmall); });
        const TPairedTimes::TTime onLarge = TPairedTimes::Time([&] { Keystroke(largeEditor, growLarge); });
        times.Add(onLarge, onSmall);
    }
    times.Report(state, "keystroke_100k", "keystroke_10k");
    state.counters["growth"] = state.counters["ratio"];
}
BENCHMARK(BM_PayoffEditKeystrokeGrowth)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Presses the mouse in empty space near the top-left corner of the view, which starts a band.
bool StartBand(TDecTree& tree, benchmark::State& state, QPoint& start)
{
    start = QPoint(-1, -1);
    for (int y = 2; y < 200 && start.x() < 0; y += 3)
        for (int x = 2; x < 60 && start.x() < 0; x += 3)
            if (tree.HitTestAt(QPoint(x, y)).IsNull)
                start = QPoint(x, y);
    if (start.x() < 0) {
        state.SkipWithError("no empty space");
        return false;
    }
    SendMouse(&tree, QEvent::MouseButtonPress, start, Qt::LeftButton);
    if (!tree.BandActive()) {
        state.SkipWithError("band did not start");
        return false;
    }
    return true;
}

void BM_RubberBandMove(benchmark::State& state)
{
    auto box = MakeView();
    TDecTree& tree = *box->Tree();
    QPoint start;
    if (!StartBand(tree, state, start))
        return;
    // Alternately over a third and over nearly all of the view: the selection changes with
    // every move, so each one repaints the whole visible area.
    const QPoint small(400, 300), large(1200, 850);
    bool toLarge = true;
    for (auto _ : state) {
        SendMouse(&tree, QEvent::MouseMove, toLarge ? large : small, Qt::LeftButton);
        toLarge = !toLarge;
    }
    state.counters["selected"] = double(tree.Selection().Count());
    SendMouse(&tree, QEvent::MouseButtonRelease, small, Qt::NoButton);
}
BENCHMARK(BM_RubberBandMove)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A band move that changes nothing: only the band's area is painted again.
void BM_RubberBandMoveSameSelection(benchmark::State& state)
{
    auto box = MakeView();
    TDecTree& tree = *box->Tree();
    QPoint start;
    if (!StartBand(tree, state, start))
        return;
    const QPoint a = start + QPoint(1, 1), b = start + QPoint(2, 2);
    bool toA = true;
    for (auto _ : state) {
        SendMouse(&tree, QEvent::MouseMove, toA ? a : b, Qt::LeftButton);
        toA = !toA;
    }
    SendMouse(&tree, QEvent::MouseButtonRelease, a, Qt::NoButton);
}
BENCHMARK(BM_RubberBandMoveSameSelection)->Unit(benchmark::kMillisecond);

// The shares of one recalculation of the 10,000-node tree: values, layout, and the repaint.
void BM_RecalculateParts(benchmark::State& state)
{
    auto box = MakeView();
    TDecTree& tree = *box->Tree();
    TDecTreeNode* root = tree.Root();
    TRecordingCanvas canvas;
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0:
            root->InTakenPath = true;
            root->RefreshClones();
            root->RollBack();
            root->CalculatePathValues(1.0, double(root->Payoff) / CurrencyScale);
            break;
        case 1:
            LayoutDocumentTree(*root, canvas, tree.BorderSize);
            break;
        case 2:
            tree.repaint();
            break;
        }
    }
}
BENCHMARK(BM_RecalculateParts)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A single-child chain as deep as a document may be (and ten times that): every edit recalculates
// the values, lays the tree out and repaints the view, so each step must stay linear in the depth.
// Not with outline codes at 100,000 levels: those codes alone are ten billion characters.
std::unique_ptr<TScrollableDecTree> MakeChainView(int depth, bool outlineCodes)
{
    App();
    auto box = std::make_unique<TScrollableDecTree>();
    box->resize(1280, 900);
    TDecTree* tree = box->Tree();
    tree->Options().SetShowPayoff(true);
    tree->Options().SetOutlineCodes(outlineCodes);
    tree->Document().SetRoot(MakeChain(tree->Document(), depth, ntChance));
    box->show();
    tree->Recalculate();
    QApplication::processEvents();
    return box;
}

void BM_RecalculateChain(benchmark::State& state)
{
    auto box = MakeChainView(int(state.range(0)), state.range(1) != 0);
    TDecTree& tree = *box->Tree();
    for (auto _ : state)
        tree.Recalculate();
    state.counters["levels"] = double(state.range(0));
}
BENCHMARK(BM_RecalculateChain)
    ->ArgNames({"levels", "codes"})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
