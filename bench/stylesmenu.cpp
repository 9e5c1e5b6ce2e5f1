// The Styles menu built from 200 saved styles in the user's folder: listing and sorting the
// folder, then reading every style's name and description for its menu item.

#include "Component/control/DecTree.h"
#include "app/StyleCommands.h"
#include "bench/support/BenchApplication.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QApplication& App() { return BenchApplication<QApplication>("bench_stylesmenu"); }

struct TFixture {
    TFixture()
    {
        StylesMenu.addSeparator();
        StylesMenu.addAction(QStringLiteral("Save current style..."));
        DeleteItem = StylesMenu.addAction(QStringLiteral("Delete styles..."));
        // Full style files of the default styles, each under its own name.
        TStyleCommands writer(nullptr, &StylesMenu, DeleteItem, [this] { return &Tree; },
                              std::make_unique<TStyleManager>(QString(), QString()));
        for (int i = 0; i < 200; ++i) {
            auto document = writer.WriteStyleFile(QStringLiteral("Style %1").arg(199 - i),
                                                  QStringLiteral("A saved style"), QStringLiteral("Bench"));
            WriteStyleDocument(*document, Folder.filePath(QStringLiteral("style%1.qdns").arg(i)));
        }
    }
    QApplication& Application = App(); // before any widget
    QTemporaryDir Folder;
    TDecTree Tree;
    QMenu StylesMenu;
    QAction* DeleteItem = nullptr;
};

TFixture& Fixture()
{
    static TFixture* fixture = new TFixture;
    return *fixture;
}

// What the main window does once when it is created.
void BM_StylesMenuFromUserFolder(benchmark::State& state)
{
    TFixture& f = Fixture();
    for (auto _ : state) {
        TStyleCommands commands(nullptr, &f.StylesMenu, f.DeleteItem, [&f] { return &f.Tree; },
                                std::make_unique<TStyleManager>(QString(), f.Folder.path()));
        benchmark::DoNotOptimize(commands.MenuItemList().Count());
    }
}
BENCHMARK(BM_StylesMenuFromUserFolder)->Unit(benchmark::kMillisecond);

// What every save, import and deletion does afterwards.
void BM_StylesMenuRebuild(benchmark::State& state)
{
    TFixture& f = Fixture();
    TStyleCommands commands(nullptr, &f.StylesMenu, f.DeleteItem, [&f] { return &f.Tree; },
                            std::make_unique<TStyleManager>(QString(), f.Folder.path()));
    for (auto _ : state) {
        commands.BuildStylesMenu();
        benchmark::DoNotOptimize(commands.MenuItemList().Count());
    }
}
BENCHMARK(BM_StylesMenuRebuild)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
