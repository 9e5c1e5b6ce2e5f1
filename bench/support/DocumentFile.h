#pragma once
// Document files for the benchmarks that open one: a generated tree with the texts a real
// document carries, written once into a folder and found there again on later runs (a file of a
// million nodes takes longer to write than to open). Header-only: it needs the document writer,
// which the generator's own library does not link.

#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/PairedTimes.h"
#include "bench/support/ProcessMemory.h"
#include "bench/support/RandomTree.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <memory>
#include <vector>

namespace BenchDocument {

// Captions on every branch, comments with line breaks, decision captions and owners on some
// nodes.
inline void FillTexts(TDecTreeNode* root)
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

// Twenty leaves of the root's last subtree become clones of inner nodes of its first one.
inline void AddClones(TDecTreeNode* root)
{
    std::vector<TDecTreeNode*> masters, leaves;
    for (TDecTreeNode* node : SubtreeNodes(root->Children[0]))
        if (node->HasChildren() && node->Children.Count() < 4 && masters.size() < 20)
            masters.push_back(node);
    for (TDecTreeNode* node : SubtreeNodes(root->Children[root->Children.Count() - 1]))
        if (!node->HasChildren() && leaves.size() < masters.size())
            leaves.push_back(node);
    for (size_t i = 0; i < leaves.size(); ++i)
        leaves[i]->CloneMasterId = masters[i]->Id;
}

// The file of a generated document of nodeCount nodes in folder, written when it is not there
// yet; qFatal when it cannot be written.
inline QString File(const QString& folder, int nodeCount)
{
    // The name changes with the generator's settings, so a stale file is never taken.
    const QString path = QDir(folder).filePath(QStringLiteral("quandrel-bench-%1-seed42-v1.qdn").arg(nodeCount));
    if (QFileInfo(path).size() > 0)
        return path;
    QDir().mkpath(folder);
    TStyleStates styles;
    ResetDefaultStyles(styles);
    TDecTreeDocument doc;
    TRandomTreeSettings settings;
    settings.Seed = 42;
    settings.NodeCount = nodeCount;
    FillRandomDocument(doc, settings);
    FillTexts(doc.Root());
    AddClones(doc.Root());
    QString error;
    if (!SaveDocument(doc, styles, path, &error))
        qFatal("cannot write the benchmark document %s: %s", qPrintable(path), qPrintable(error));
    return path;
}

// Opens the document at path (parse, id repair, clone check, first recalculation without
// painting) in turns with the XML layer's bare load of the same file, and reports the ratio of
// the pairs with the process's resident memory after the open and its peak during it.
inline void TimeOpenAgainstParse(benchmark::State& state, const QString& path)
{
    TPairedTimes times;
    double rss = 0, peak = 0, before = 0;
    for (auto _ : state) {
        const TPairedTimes::TTime parse = TPairedTimes::Time([&] {
            pugi::xml_document xml;
            if (!xml.load_file(path.toLocal8Bit().constData()))
                state.SkipWithError("the XML layer refused the file");
        });
        ResetPeak();
        before = StatusMegabytes("VmRSS:");
        auto doc = std::make_unique<TDecTreeDocument>();
        auto styles = std::make_unique<TStyleStates>();
        const TPairedTimes::TTime open = TPairedTimes::Time([&] {
            TLoadResult result = LoadDocument(path, *doc, *styles);
            if (!result.Loaded() || result.RemovedCloneReferences != 0)
                state.SkipWithError(result.Loaded() ? "clone links dropped" : qPrintable(result.ErrorText));
            doc->Root()->RefreshClones();
            doc->CalculateValues();
            benchmark::DoNotOptimize(doc->Root()->ExpectedValue);
        });
        rss = StatusMegabytes("VmRSS:");
        peak = StatusMegabytes("VmHWM:");
        doc.reset();
        state.SetIterationTime(open.Wall);
        times.Add(open, parse);
    }
    times.Report(state, "open", "parse");
    const double fileMB = double(QFile(path).size()) / (1024.0 * 1024.0);
    state.counters["file_MB"] = fileMB;
    state.counters["rss_before_MB"] = before;
    state.counters["rss_loaded_MB"] = rss;
    state.counters["peak_MB"] = peak;
    state.counters["peak_over_file"] = peak / fileMB;
}

} // namespace BenchDocument
