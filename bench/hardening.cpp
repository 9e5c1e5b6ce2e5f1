// Hostile documents and other small hostile files. Opening a document of 100,000 nodes whose
// ids differ only in their last digits must take at most 1.5 times as long as one with random
// ids; a document whose clones multiply (each level two clones of the level below: 22 levels in
// 40 KB, 16.8 million nodes once expanded) must be refused within 100 ms and 100 MB. Any input
// of at most 1 MB opens or is refused within 1 s and 500 MB; three that once went far beyond: a
// document whose clones expand to just under the node limit (opened as the main window opens
// it, and once more after a save), a workbook of long inline strings (and one of as many cells
// as fit), and a saved-style file nested 20,000 deep imported from the Styles menu. The memory
// counter is the process's peak resident set in MB during the run (the kernel's peak is reset
// before it, after the heap is trimmed), which includes the program's own baseline.
#include "app/document/DocumentReader.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/StyleCommands.h"
#include "bench/support/BenchApplication.h"
#include "Component/control/DecTree.h"
#include "Component/formula/Workbook.h"
#include "Component/model/Clones.h"
#include "shared/core/Exceptions.h"
#include "shared/core/MemorySettingsStore.h"
#include "app/document/DocumentText.h"
#include "app/document/DocumentWriter.h"
#include "bench/support/RandomTree.h"
#include "bench/support/ProcessMemory.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// Level 1 holds width end nodes; every further level two clones of the level below it.
std::string CloneDocument(int levels, int width)
{
    std::string first;
    for (int i = 0; i < width; ++i)
        first += Branch(G(100000 + i));
    std::string all = Branch(G(1), "<Branches>" + first + "</Branches>");
    for (int k = 2; k <= levels; ++k)
        all += Branch(G(k), "<Branches>" + Branch(G(2000 + 2 * k), "", G(k - 1)) +
                                Branch(G(2001 + 2 * k), "", G(k - 1)) + "</Branches>");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Tree><OutlineCodes>0</OutlineCodes><ShowPayoff>1</ShowPayoff>"
           "<CurrencyDecimals>2</CurrencyDecimals><CurrencyPosFormat>0</CurrencyPosFormat><CurrencyNegFormat>1"
           "</CurrencyNegFormat>" +
           Branch(G(0), "<Branches>" + all + "</Branches>") + "</Tree>";
}

void BM_RefuseCloneExpansion(benchmark::State& state)
{
    const std::string bytes = CloneDocument(22, 2);
    ResetPeak();
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

QApplication& App() { return BenchApplication<QApplication>("bench_hardening"); }

QTemporaryDir& Folder()
{
    static QTemporaryDir folder;
    return folder;
}

void WriteBytes(const QString& path, const std::string& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

// ---- A document whose clones expand to just under the limit ----

int64_t ExpandedNodes(const std::string& bytes)
{
    TDecTreeDocument doc;
    TStyleStates styles;
    return LoadDocumentFromBytes(bytes, doc, styles).Loaded() ? CountNodesAfterRefresh(doc.Root(), INT64_MAX / 2) : -1;
}

// The widest first level whose document still opens, at a depth that keeps the file small.
const QString& CloneDocumentFile()
{
    static const QString path = [] {
        constexpr int levels = 16;
        int low = 1, high = 4096;
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            const int64_t n = ExpandedNodes(CloneDocument(levels, mid));
            if (n >= 0) // the reader refuses past the limit
                low = mid;
            else
                high = mid - 1;
        }
        const QString file = Folder().filePath(QStringLiteral("clones.qdn"));
        WriteBytes(file, CloneDocument(levels, low));
        return file;
    }();
    return path;
}

struct TWindow {
    TWindow()
    {
        App();
        TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([](QWidget*, const QString&, TMsgDlgType, int buttons) {
            return buttons == mbOK ? TModalResult::OK : TModalResult::No;
        });
        Form = std::make_unique<TMainForm>();
    }
    ~TWindow() { SetMessageDlgHook(nullptr); }
    std::unique_ptr<TMainForm> Form;
};

void Report(benchmark::State& state, const QString& file)
{
    state.counters["file_KB"] = double(QFileInfo(file).size()) / 1024.0;
    state.counters["peak_MB"] = PeakMegabytes();
}

void BM_OpenCloneDocument(benchmark::State& state)
{
    const QString file = CloneDocumentFile();
    const bool saveAndReopen = state.range(0) != 0;
    const QString copy = Folder().filePath(QStringLiteral("saved.qdn"));
    for (auto _ : state) {
        state.PauseTiming();
        {
            TWindow window;
            state.ResumeTiming();
            ResetPeak();
            window.Form->LoadDocument(file);
            if (saveAndReopen) {
                window.Form->ExecuteSaveDialog = [&copy](const QString&) { return copy; };
                window.Form->SaveDocument(true);
                window.Form->LoadDocument(copy);
            }
            state.PauseTiming();
            const int64_t nodes = int64_t(window.Form->GetTree()->Document().PreOrder().size());
            if (nodes < 2)
                state.SkipWithError("the document did not open");
            state.counters["nodes"] = double(nodes);
        }
        state.ResumeTiming();
    }
    Report(state, file);
}
BENCHMARK(BM_OpenCloneDocument)->ArgName("save_and_reopen")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- The workbook of long inline strings ----

// Sixteen sheets of 31 MB each, every cell one long inline string (or, with "cells", as many
// one-digit numbers as fit): each part stays below the size from which the compression ratio is
// checked, and the whole file below 1 MB.
const char* WorkbookGenerator = R"PY(
import sys, zipfile
out, kind = sys.argv[1], sys.argv[2]
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
SHEETS, CELLS, LENGTH = 16, 31, 1000000
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sofficeDocument" Target="xl/workbook.xml"/></Relationships>' % REL)
    z.writestr("xl/workbook.xml", '<workbook %s><sheets>%s</sheets></workbook>' % (NS, "".join('<sheet name="S%d" sheetId="%d" r:id="rId%d"/>' % (i, i, i) for i in range(1, SHEETS + 1))))
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>' % "".join('<Relationship Id="rId%d" Type="%sworksheet" Target="worksheets/sheet%d.xml"/>' % (i, REL, i) for i in range(1, SHEETS + 1)))
    if kind == "cells":
        row = "".join("<c><v>1</v></c>" for c in range(16000))
        rows = "".join("<row>%s</row>" % row for r in range(CELLS * LENGTH // len(row)))
    else:
        text = "x" * LENGTH
        rows = "".join('<row r="%d"><c r="A%d" t="inlineStr"><is><t>%s</t></is></c></row>' % (r, r, text) for r in range(1, CELLS + 1))
    sheet = '<worksheet %s><sheetData>%s</sheetData></worksheet>' % (NS, rows)
    for i in range(1, SHEETS + 1):
        z.writestr("xl/worksheets/sheet%d.xml" % i, sheet)
)PY";

QString HostileWorkbook(const char* kind)
{
    const QString file = Folder().filePath(QStringLiteral("%1.xlsx").arg(QLatin1String(kind)));
    if (!QFileInfo::exists(file)) {
        const std::string script = Folder().filePath(QStringLiteral("generate.py")).toStdString();
        std::ofstream(script) << WorkbookGenerator;
        const std::string command = "/usr/bin/python3 " + script + " " + file.toStdString() + " " + kind;
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not generate %s\n", qPrintable(file));
    }
    return file;
}

void BM_ReadHostileWorkbook(benchmark::State& state)
{
    const QString file = HostileWorkbook(state.range(0) ? "cells" : "strings");
    for (auto _ : state) {
        ResetPeak();
        QString error;
        std::shared_ptr<const TWorkbook> book = TWorkbook::Load(file, error);
        benchmark::DoNotOptimize(book);
        state.SetLabel(book ? "read" : "refused: " + error.toStdString());
    }
    Report(state, file);
}
BENCHMARK(BM_ReadHostileWorkbook)->ArgName("cells")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- The saved-style file nested 20,000 deep ----

const QString& DeepStyleFile()
{
    static const QString path = [] {
        std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<StyleStates Name=\"Deep\">";
        for (int i = 0; i < 20000; ++i)
            bytes += "<a>";
        for (int i = 0; i < 20000; ++i)
            bytes += "</a>";
        bytes += "</StyleStates>\n";
        const QString file = Folder().filePath(QStringLiteral("deep.qdns"));
        WriteBytes(file, bytes);
        return file;
    }();
    return path;
}

void BM_ImportDeepStyleFile(benchmark::State& state)
{
    const QString file = DeepStyleFile();
    const QString user = Folder().filePath(QStringLiteral("user-styles"));
    for (auto _ : state) {
        state.PauseTiming();
        QDir(user).removeRecursively();
        TWindow window;
        TStyleCommands& commands = *window.Form->StyleCommands;
        commands.SetManager(std::make_unique<TStyleManager>(Folder().filePath(QStringLiteral("none")), user));
        commands.ExecuteStyleOpenDialog = [&file] { return QStringList{file}; };
        state.ResumeTiming();
        ResetPeak();
        std::string outcome = "imported";
        try {
            commands.FileImportStyleMenuItemClick();
        } catch (const Exception& e) {
            outcome = "refused: " + e.Message().toStdString();
        }
        state.PauseTiming();
        const qint64 written = QFileInfo(user + QStringLiteral("/deep.qdns")).size();
        state.SetLabel(outcome + ", " + std::to_string(written / 1024) + " KB written");
        state.ResumeTiming();
    }
    Report(state, file);
}
BENCHMARK(BM_ImportDeepStyleFile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
