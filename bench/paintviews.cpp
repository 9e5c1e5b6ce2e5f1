// One repaint of the tree control's 1366 × 768 view at the top, in the middle and at the bottom
// of a drawing, each timed in turns with a repaint of the top view of the same drawing
// (top_ms), which is the reference: a view anywhere should cost about what the top view costs.
// Drawings: a root with 100,000 or 400,000 options (a wide fan-out, whose connectors cross
// every view between the root's row and the options far away), and a random tree of 100,000
// nodes (deep and balanced). The fan-outs are drawn with the document's own connectors (thin,
// the taken one two pixels wide) and with every connector 3 or 6 pixels wide (width: 0 is the
// document's own). Run with --benchmark_repetitions and read the medians.

#include "Component/control/DecTree.h"
#include "Component/styles/StyleStates.h"
#include "Component/control/ScrollableDecTree.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/PairedTimes.h"
#include "bench/support/RandomTree.h"

#include <QApplication>

#include <map>
#include <tuple>
#include <memory>

#include <benchmark/benchmark.h>

namespace {

enum TDrawing { dkFanOut, dkRandom };
enum TViewPlace { vpTop, vpMiddle, vpBottom, vpBelowRoot };

// One control per drawing, kept for the whole run.
TScrollableDecTree& View(TDrawing kind, int count, int width)
{
    static auto* views = new std::map<std::tuple<int, int, int>, std::unique_ptr<TScrollableDecTree>>;
    auto& box = (*views)[{int(kind), count, width}];
    if (box)
        return *box;
    BenchApplication<QApplication>("bench_paintviews");
    box = std::make_unique<TScrollableDecTree>();
    TDecTree* tree = box->Tree();
    tree->Options().SetCurrencySymbol(QStringLiteral("$"));
    tree->Options().SetCurrencyDecimals(2);
    tree->Options().SetShowPayoff(true);
    TDecTreeDocument& doc = tree->Document();
    if (kind == dkFanOut) {
        TDecTreeNode* root = doc.Root();
        for (int i = 0; i < count; ++i) {
            auto node = MakeNode(&doc, root, ntDecision, i == 0 ? 100 : 0, TCurrency(i % 97) * 10000);
            node->Caption = QStringLiteral("Option %1").arg(i + 1);
            root->Children.Add(std::move(node));
        }
    } else {
        TRandomTreeSettings settings;
        settings.Seed = 7;
        settings.NodeCount = count;
        FillRandomDocument(doc, settings);
    }
    if (width > 0) {
        for (int s = 0; s < TStyleStates::StateCount; ++s) {
            auto* lineWidth = doc.StyleStates.State(s)->ConnectorLines()->LineWidth();
            lineWidth->Value = width;
            lineWidth->Inherit = false;
        }
    }
    box->show();
    box->resize(1366 + box->width() - tree->width(), 768 + box->height() - tree->height());
    tree->Recalculate();
    QApplication::processEvents();
    return *box;
}

QPoint PlaceOrigin(const TDecTree& tree, TViewPlace place)
{
    const int bottom = std::max(0, tree.Extent().height() - tree.height());
    switch (place) {
    case vpTop: return QPoint(0, 0);
    case vpMiddle: return QPoint(0, bottom / 2 - tree.height() / 3);
    case vpBottom: return QPoint(0, bottom);
    case vpBelowRoot: break;
    }
    // Just below the root's row, where every connector to the lower half fans out.
    const TRectangle& s = tree.Root()->ElementRects[htSymbol];
    return QPoint(0, std::max(0, s.Top - tree.height() / 4));
}

void BM_PaintView(benchmark::State& state)
{
    const auto kind = TDrawing(state.range(0));
    const int count = int(state.range(1));
    const auto place = TViewPlace(state.range(2));
    TDecTree& tree = *View(kind, count, int(state.range(3))).Tree();
    const QPoint origin = PlaceOrigin(tree, place);
    TPairedTimes times;
    for (auto _ : state) {
        tree.ScrollTo(QPoint(0, 0));
        const TPairedTimes::TTime top = TPairedTimes::Time([&] { tree.repaint(); });
        tree.ScrollTo(origin);
        const TPairedTimes::TTime view = TPairedTimes::Time([&] { tree.repaint(); });
        times.Add(view, top);
    }
    times.Report(state, "view", "top");
    state.counters["origin_y"] = tree.Origin().y();
    state.counters["extent_h"] = tree.Extent().height();
}
BENCHMARK(BM_PaintView)
    ->ArgNames({"random", "nodes", "place", "width"})
    ->ArgsProduct({{dkFanOut}, {100000, 400000}, {vpTop, vpMiddle, vpBottom, vpBelowRoot}, {0, 3, 6}})
    ->ArgsProduct({{dkRandom}, {100000}, {vpTop, vpMiddle, vpBottom}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace

BENCHMARK_MAIN();
