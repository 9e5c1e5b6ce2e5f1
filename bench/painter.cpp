// Layout and painting speed of the tree: a whole 1,000-node tree into a picture, layouts of a
// deep single-child chain and of 10,000 nodes, and one screen-sized exposed area of a laid-out
// 100,000-node tree.

#include "Component/draw/PainterCanvas.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/draw/TreeLayout.h"
#include "Component/draw/TreePainter.h"
#include "bench/support/RandomTree.h"

#include <QGuiApplication>
#include "Component/draw/CanvasImage.h"
#include "bench/support/BenchApplication.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Fonts need a GUI application; the offscreen platform needs no display.
QGuiApplication& App() { return BenchApplication<QGuiApplication>("bench_painter"); }

std::unique_ptr<TDecTreeDocument> RandomDocument(int nodes)
{
    App();
    auto doc = std::make_unique<TDecTreeDocument>();
    TRandomTreeSettings settings;
    settings.Seed = 2024;
    settings.NodeCount = nodes;
    FillRandomDocument(*doc, settings);
    doc->Options.ShowPayoff = true;
    doc->Options.CurrencySymbol = QStringLiteral("$");
    doc->Options.CurrencyDecimals = 2;
    doc->CalculateValues();
    return doc;
}

void BM_LayoutAndPaint1000(benchmark::State& state)
{
    auto doc = RandomDocument(1000);
    TRecordingCanvas measure;
    const TRectangle bounds = LayoutDocumentTree(*doc->Root(), measure, 10);
    QImage image = CreateCanvasImage(bounds.Right() + 10, bounds.Bottom() + 12);
    // Clearing a picture of this size is memory traffic of its own, not layout or painting;
    // painting over the last picture costs the same as painting on a clear one.
    image.fill(Qt::white);
    for (auto _ : state) {
        TPainterCanvas canvas(&image);
        LayoutDocumentTree(*doc->Root(), canvas, 10);
        TTreePainter painter(canvas, doc->StyleStates, true);
        benchmark::DoNotOptimize(painter.Paint(doc->Root()));
    }
    state.counters["pixels"] = double(image.width()) * image.height();
}
BENCHMARK(BM_LayoutAndPaint1000)->Unit(benchmark::kMillisecond);

void BM_LayoutChain40(benchmark::State& state)
{
    App();
    TDecTreeDocument doc;
    doc.SetRoot(MakeChain(doc, 40, ntDecision));
    doc.Options.ShowPayoff = true;
    doc.CalculateValues();
    TRecordingCanvas canvas;
    for (auto _ : state)
        benchmark::DoNotOptimize(LayoutDocumentTree(*doc.Root(), canvas, 10));
}
BENCHMARK(BM_LayoutChain40)->Unit(benchmark::kMicrosecond);

void BM_Layout10000(benchmark::State& state)
{
    auto doc = RandomDocument(10000);
    TRecordingCanvas canvas;
    for (auto _ : state)
        benchmark::DoNotOptimize(LayoutDocumentTree(*doc->Root(), canvas, 10));
}
BENCHMARK(BM_Layout10000)->Unit(benchmark::kMillisecond);

void BM_PaintExposedArea100000(benchmark::State& state)
{
    auto doc = RandomDocument(100000);
    TRecordingCanvas measure;
    const TRectangle bounds = LayoutDocumentTree(*doc->Root(), measure, 10);
    // A screenful around a node halfway through the tree, its branches and subtrees around it.
    const TRectangle& middle = doc->PreOrder()[doc->PreOrder().size() / 2]->ElementRects[htOptionDescriptor];
    const QRect exposed(std::max(0, middle.Left - 600), std::max(0, middle.Top - 540), 1920, 1080);
    (void)bounds;
    QImage image(exposed.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.translate(-exposed.topLeft());
        TPainterCanvas canvas(&p);
        TTreePainter painter(canvas, doc->StyleStates, true);
        benchmark::DoNotOptimize(painter.Paint(doc->Root(), exposed));
    }
    state.counters["treeHeight"] = bounds.Height;
    // What the area shows, so a painting that skipped everything would not pass unnoticed.
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += image.pixel(x, y) != qRgb(255, 255, 255);
    state.counters["inkedPixels"] = inked;
}
BENCHMARK(BM_PaintExposedArea100000)->Unit(benchmark::kMillisecond);

// A screenful halfway down a deep single-child chain: every ancestor's subtree holds the area,
// so the painter enters all of them, but paints only the rows that show.
void BM_PaintExposedAreaOfChain(benchmark::State& state)
{
    App();
    TDecTreeDocument doc;
    doc.SetRoot(MakeChain(doc, int(state.range(0)), ntChance));
    doc.Options.ShowPayoff = true;
    doc.Options.OutlineCodes = state.range(1) != 0;
    doc.CalculateValues();
    TRecordingCanvas measure;
    LayoutDocumentTree(*doc.Root(), measure, 10);
    const TRectangle& middle = doc.PreOrder()[doc.PreOrder().size() / 2]->ElementRects[htSymbol];
    const QRect exposed(std::max(0, middle.Left - 960), std::max(0, middle.Top - 540), 1920, 1080);
    QImage image(exposed.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.translate(-exposed.topLeft());
        TPainterCanvas canvas(&p);
        TTreePainter painter(canvas, doc.StyleStates, true);
        benchmark::DoNotOptimize(painter.Paint(doc.Root(), exposed));
    }
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += image.pixel(x, y) != qRgb(255, 255, 255);
    state.counters["inkedPixels"] = inked;
}
BENCHMARK(BM_PaintExposedAreaOfChain)
    ->ArgNames({"levels", "codes"})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
