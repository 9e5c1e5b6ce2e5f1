// The Styles menu built from 200 saved styles in the user's folder: listing and sorting the
// folder, then reading every style's name and description for its menu item. At most 10 ms the
// first time, when each file is read once; it is timed in turns with reading and parsing each
// file once with the XML layer (ratio). Rebuilding it after a change reads no file again.

#include "Component/control/DecTree.h"
#include "app/StyleCommands.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/PairedTimes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdlib>

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

TFixture* TheFixture = nullptr;

TFixture& Fixture()
{
    // Left to the end of the program, after Qt's own objects; only its files are removed.
    if (!TheFixture) {
        TheFixture = new TFixture;
        std::atexit([] { TheFixture->Folder.remove(); });
    }
    return *TheFixture;
}

// Each file of the folder read and parsed once, as the menu needs at least.
void ParseEveryFile(const QString& folder)
{
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.qdns")}, QDir::Files)) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        pugi::xml_document document;
        document.load_buffer(bytes.constData(), size_t(bytes.size()));
        benchmark::DoNotOptimize(document.document_element().attribute("Name").value());
    }
}

// What the main window does once when it is created.
void BM_StylesMenuFromUserFolder(benchmark::State& state)
{
    TFixture& f = Fixture();
    TPairedTimes times;
    for (auto _ : state) {
        const TPairedTimes::TTime reference = TPairedTimes::Time([&] { ParseEveryFile(f.Folder.path()); });
        const TPairedTimes::TTime time = TPairedTimes::Time([&] {
            TStyleCommands commands(nullptr, &f.StylesMenu, f.DeleteItem, [&f] { return &f.Tree; },
                                    std::make_unique<TStyleManager>(QString(), f.Folder.path()));
            benchmark::DoNotOptimize(commands.MenuItemList().Count());
        });
        state.SetIterationTime(time.Wall);
        times.Add(time, reference);
    }
    times.Report(state, "menu", "parse_files");
}
BENCHMARK(BM_StylesMenuFromUserFolder)->Unit(benchmark::kMillisecond)->UseManualTime();

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
