// Opening and saving a document of 100,000 nodes: the program must open one (parse, id repair,
// first recalculation without painting) within 1.5 s, save it within 0.5 s, and hold it in at
// most 300 MB. The memory counters are the process's resident set right after the load and its
// peak during the load, in MB.
#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/RandomTree.h"
#include "bench/support/ProcessMemory.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr int kNodeCount = 100000;

// A generated tree with the texts a real document carries: captions on every branch, comments
// with line breaks and decision captions and owners on some nodes.
void FillTexts(TDecTreeNode* root)
{
    std::vector<TDecTreeNode*> stack{root};
    int n = 0;
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        ++n;
        node->Caption = QStringLiteral("Option %1").arg(n);
        if (n % 7 == 0)
            node->Comment = QStringLiteral("Assumption %1\r\nsee the market study, page %2").arg(n).arg(n % 90);
        if (node->HasChildren() && n % 3 == 0) {
            node->DecisionCaption = QStringLiteral("Decide %1").arg(n);
            node->DecisionOwner = QStringLiteral("Owner %1").arg(n % 40);
            node->DecisionShowCaption = node->DecisionShowOwner = true;
        }
        for (TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
}

std::vector<TDecTreeNode*> Subtree(TDecTreeNode* root)
{
    std::vector<TDecTreeNode*> nodes, stack{root};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        nodes.push_back(node);
        for (TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    return nodes;
}

// Twenty leaves of the root's last subtree become clones of inner nodes of its first one.
void AddClones(TDecTreeNode* root)
{
    std::vector<TDecTreeNode*> masters, leaves;
    for (TDecTreeNode* node : Subtree(root->Children[0]))
        if (node->HasChildren() && node->Children.Count() < 4 && masters.size() < 20)
            masters.push_back(node);
    for (TDecTreeNode* node : Subtree(root->Children[root->Children.Count() - 1]))
        if (!node->HasChildren() && leaves.size() < masters.size())
            leaves.push_back(node);
    for (size_t i = 0; i < leaves.size(); ++i)
        leaves[i]->CloneMasterId = masters[i]->Id;
}

struct TFixture {
    QTemporaryDir Dir;
    QString Path;
    TStyleStates Styles;

    TFixture()
    {
        ResetDefaultStyles(Styles);
        Path = Dir.filePath(QStringLiteral("large.qdn"));
        TDecTreeDocument doc;
        TRandomTreeSettings settings;
        settings.Seed = 42;
        settings.NodeCount = kNodeCount;
        FillRandomDocument(doc, settings);
        FillTexts(doc.Root());
        AddClones(doc.Root());
        QString error;
        if (!SaveDocument(doc, Styles, Path, &error))
            qFatal("cannot write the benchmark document: %s", qPrintable(error));
    }
};

TFixture& Fixture()
{
    static TFixture fixture;
    return fixture;
}

void ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void BM_OpenDocument(benchmark::State& state)
{
    TFixture& fixture = Fixture();
    double rss = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
        ResetPeak();
        auto doc = std::make_unique<TDecTreeDocument>();
        auto styles = std::make_unique<TStyleStates>();
        state.ResumeTiming();
        TLoadResult result = LoadDocument(fixture.Path, *doc, *styles);
        if (!result.Loaded() || result.RemovedCloneReferences != 0)
            state.SkipWithError(result.Loaded() ? "clone links dropped" : qPrintable(result.ErrorText));
        doc->Root()->RefreshClones();
        doc->CalculateValues();
        benchmark::DoNotOptimize(doc->Root()->ExpectedValue);
        state.PauseTiming();
        rss = StatusMegabytes("VmRSS:");
        peak = StatusMegabytes("VmHWM:");
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["rss_loaded_MB"] = rss;
    state.counters["peak_MB"] = peak;
    state.counters["file_MB"] = double(QFile(fixture.Path).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveDocument(benchmark::State& state)
{
    TFixture& fixture = Fixture();
    TDecTreeDocument doc;
    TStyleStates styles;
    TLoadResult loaded = LoadDocument(fixture.Path, doc, styles);
    if (!loaded.Loaded()) {
        state.SkipWithError(qPrintable(loaded.ErrorText));
        return;
    }
    QString target = fixture.Dir.filePath(QStringLiteral("saved.qdn"));
    for (auto _ : state) {
        QString error;
        if (!SaveDocument(doc, styles, target, &error))
            state.SkipWithError(qPrintable(error));
    }
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->Iterations(3);


} // namespace

BENCHMARK_MAIN();
