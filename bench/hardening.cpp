// Hostile documents. Opening a document of 100,000 nodes whose ids differ only in their last
// digits must take at most 1.5 times as long as one with random ids; a document whose clones
// multiply (each level two clones of the level below: 22 levels in 40 KB, 16.8 million nodes
// once expanded) must be refused within 100 ms and 100 MB. The memory counter is the process's peak resident set in MB; run the
// refusal alone (--benchmark_filter=Refuse) for a peak that is its own.
#include "app/document/DocumentReader.h"
#include "app/document/DocumentText.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/RandomTree.h"
#include "bench/support/ProcessMemory.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kNodeCount = 100000;

std::string G(uint64_t n)
{
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012llu", static_cast<unsigned long long>(n));
    return text;
}

// The same random tree, written once with the ids the generator gave and once with ids that
// count up in their last digits, as a generating script would make them.
std::string DocumentBytes(bool sequentialIds)
{
    TDecTreeDocument doc;
    TRandomTreeSettings settings;
    settings.Seed = 7;
    settings.NodeCount = kNodeCount;
    FillRandomDocument(doc, settings);
    if (sequentialIds) {
        std::vector<TDecTreeNode*> stack{doc.Root()};
        uint64_t n = 0;
        while (!stack.empty()) {
            TDecTreeNode* node = stack.back();
            stack.pop_back();
            node->Id = DocumentText::TextToGuid(G(++n));
            for (TDecTreeNode* child : node->Children)
                stack.push_back(child);
        }
    }
    TStyleStates styles;
    ResetDefaultStyles(styles);
    return WriteDocumentToString(doc, styles);
}

void BM_OpenDocumentIds(benchmark::State& state)
{
    const std::string bytes = DocumentBytes(state.range(0) != 0);
    for (auto _ : state) {
        TDecTreeDocument doc;
        TStyleStates styles;
        TLoadResult result = LoadDocumentFromBytes(bytes, doc, styles);
        if (!result.Loaded() || result.RepairedIds != 0)
            state.SkipWithError("the document did not load whole");
    }
}
BENCHMARK(BM_OpenDocumentIds)->ArgName("sequential")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

std::string Branch(const std::string& id, const std::string& inner = "", const std::string& ref = "")
{
    std::string s = "<Branch id=\"" + id + "\"" + (ref.empty() ? "" : " ref=\"" + ref + "\"") + ">";
    s += "<Type>Decision</Type><Probability>100</Probability><Payoff>0</Payoff><ChildrenVisible>1</ChildrenVisible>"
         "<DecisionFixed>0</DecisionFixed><DecisionShowCaption>0</DecisionShowCaption><DecisionShowOwner>0"
         "</DecisionShowOwner><DecisionShowDueDate>0</DecisionShowDueDate><DecisionMultiShowBudget>0"
         "</DecisionMultiShowBudget><DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>"
         "<DecisionShowFixed>0</DecisionShowFixed><DecisionMultiBudget>-1</DecisionMultiBudget>";
    return s + inner + "</Branch>";
}

void BM_RefuseCloneExpansion(benchmark::State& state)
{
    std::string levels = Branch(G(1), "<Branches>" + Branch(G(1000)) + Branch(G(1001)) + "</Branches>");
    for (int k = 2; k <= 22; ++k)
        levels += Branch(G(k), "<Branches>" + Branch(G(2000 + 2 * k), "", G(k - 1)) +
                                   Branch(G(2001 + 2 * k), "", G(k - 1)) + "</Branches>");
    const std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Tree><OutlineCodes>0</OutlineCodes>"
                              "<ShowPayoff>1</ShowPayoff><CurrencyDecimals>2</CurrencyDecimals><CurrencyPosFormat>0"
                              "</CurrencyPosFormat><CurrencyNegFormat>1</CurrencyNegFormat>" +
                              Branch(G(0), "<Branches>" + levels + "</Branches>") + "</Tree>";
    for (auto _ : state) {
        TDecTreeDocument doc;
        TStyleStates styles;
        TLoadResult result = LoadDocumentFromBytes(bytes, doc, styles);
        if (result.Loaded())
            state.SkipWithError("the document was opened");
    }
    state.counters["file_KB"] = double(bytes.size()) / 1024.0;
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_RefuseCloneExpansion)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
