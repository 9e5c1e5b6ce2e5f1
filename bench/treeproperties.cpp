// The properties dialog over a large tree: one style change and one currency change, each from
// the control's change through its undo step and recalculation to the end of the repaint.

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "app/forms/TreePropertiesFormUnit.h"
#include "bench/support/RandomTree.h"
#include "bench/support/BenchApplication.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>

#include <benchmark/benchmark.h>

namespace {

QApplication& App() { return BenchApplication<QApplication>("bench_treeproperties"); }

struct TView {
    std::unique_ptr<TScrollableDecTree> Box;
    std::unique_ptr<TTreePropertiesForm> Form;
};

// A shown control of a usual size with a random tree of 10,000 nodes, and its dialog, loaded.
TView MakeView()
{
    App();
    TView view;
    view.Box = std::make_unique<TScrollableDecTree>();
    view.Box->resize(1280, 900);
    TDecTree* tree = view.Box->Tree();
    tree->Options().SetCurrencySymbol(QStringLiteral("$"));
    tree->Options().SetCurrencyDecimals(2);
    tree->Options().SetShowPayoff(true);
    TRandomTreeSettings settings;
    settings.Seed = 7;
    settings.NodeCount = 10000;
    FillRandomDocument(tree->Document(), settings);
    view.Box->show();
    tree->Recalculate();
    QApplication::processEvents();
    view.Form = std::make_unique<TTreePropertiesForm>(tree, nullptr);
    view.Form->LoadFromTree();
    return view;
}

// The root style's Bold box: every text of the drawing changes with it.
void BM_StyleChange(benchmark::State& state)
{
    TView view = MakeView();
    for (auto _ : state)
        view.Form->StylesFontBoldCheckBox->toggle();
    state.counters["undo steps"] = double(view.Box->Tree()->UndoManager().UndoStack().size());
}
BENCHMARK(BM_StyleChange)->Unit(benchmark::kMillisecond);

// Switching between two currency symbols: both format lists are rebuilt and every payoff redrawn.
void BM_CurrencyChange(benchmark::State& state)
{
    TView view = MakeView();
    QComboBox* symbol = view.Form->CurrencySymbolComboBox;
    int i = 0;
    for (auto _ : state)
        symbol->setCurrentIndex(++i % 2);
    state.counters["undo steps"] = double(view.Box->Tree()->UndoManager().UndoStack().size());
}
BENCHMARK(BM_CurrencyChange)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
