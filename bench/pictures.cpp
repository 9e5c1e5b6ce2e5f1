// Pictures and the printed page of a 1,000-node tree: export in each format (BMP, JPEG, GIF,
// EMF, WMF), refusal of a picture over a format's limit, one A4 page at 600 dpi, and Copy
// Picture with what a paste of each format then costs.

#include "Component/control/DecTree.h"
#include "app/TreePictures.h"
#include "app/picture/PictureFile.h"
#include "bench/support/RandomTree.h"
#include "shared/core/Exceptions.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/ProcessMemory.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

QApplication& App() { return BenchApplication<QApplication>("bench_pictures"); }

TDecTree& Tree()
{
    App();
    static TDecTree tree;
    static bool filled = false;
    if (!filled) {
        TRandomTreeSettings settings;
        settings.Seed = 2024;
        settings.NodeCount = 1000;
        FillRandomDocument(tree.Document(), settings);
        tree.Options().ShowPayoff = true;
        tree.Recalculate();
        filled = true;
    }
    return tree;
}

void Export(benchmark::State& state, const char* extension)
{
    TDecTree& tree = Tree();
    const QSize size = TreePictureSize(tree);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("tree.") + QLatin1String(extension));
    const double before = PeakMegabytes();
    for (auto _ : state)
        WritePictureFile(name, size.width(), size.height(), [&](TCanvas& canvas) { tree.PaintToCanvas(canvas); });
    const double megapixels = double(size.width()) * size.height() / 1e6;
    state.counters["megapixels"] = megapixels;
    state.counters["file_KB"] = double(QFileInfo(name).size()) / 1024.0;
    state.counters["bytes_per_node"] = double(QFileInfo(name).size()) / 1000.0;
    // Run one format alone (--benchmark_filter) for this to tell its own extra memory: the
    // growth of the peak beyond the 4 bytes a pixel of the painted picture.
    state.counters["peak_growth_over_image"] = (PeakMegabytes() - before) / (megapixels * 4);
}

void BM_ExportBmp(benchmark::State& state) { Export(state, "bmp"); }
void BM_ExportJpeg(benchmark::State& state) { Export(state, "jpg"); }
void BM_ExportGif(benchmark::State& state) { Export(state, "gif"); }
void BM_ExportEmf(benchmark::State& state) { Export(state, "emf"); }
void BM_ExportWmf(benchmark::State& state) { Export(state, "wmf"); }
BENCHMARK(BM_ExportBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportEmf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportWmf)->Unit(benchmark::kMillisecond);

// Copy Picture alone: it records the drawing and offers the formats, drawing none. Run it alone
// (--benchmark_filter) for the peak memory it adds.
void BM_CopyPicture(benchmark::State& state)
{
    TDecTree& tree = Tree();
    const double before = PeakMegabytes();
    for (auto _ : state)
        CopyTreePicture(tree);
    const QSize size = TreePictureSize(tree);
    state.counters["bitmap_MB"] = double(size.width()) * size.height() * 4 / 1e6;
    state.counters["peak_growth_MB"] = PeakMegabytes() - before;
}
BENCHMARK(BM_CopyPicture)->Unit(benchmark::kMillisecond);

// A paste of the bitmap or of the metafile after one copy: each is drawn when asked.
void Paste(benchmark::State& state, bool bitmap)
{
    CopyTreePicture(Tree());
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = bitmap ? qvariant_cast<QImage>(data->imageData()).sizeInBytes() : data->data(QStringLiteral("image/emf")).size();
    state.counters["MB"] = double(bytes) / 1e6;
}
void BM_PasteBitmap(benchmark::State& state) { Paste(state, true); }
void BM_PasteEmf(benchmark::State& state) { Paste(state, false); }
BENCHMARK(BM_PasteBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteEmf)->Unit(benchmark::kMillisecond);

void BM_RefuseOverLimit(benchmark::State& state)
{
    App();
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("wide.jpg"));
    for (auto _ : state) {
        try {
            WritePictureFile(name, MaxJpegSide + 1, 1000, [](TCanvas&) {});
        } catch (const Exception& e) {
            benchmark::DoNotOptimize(e.Message().size());
        }
    }
}
BENCHMARK(BM_RefuseOverLimit)->Unit(benchmark::kMicrosecond);

void BM_RenderA4At600Dpi(benchmark::State& state)
{
    TDecTree& tree = Tree();
    const QSizeF paper(210 / 25.4 * 600, 297 / 25.4 * 600);
    QImage page(paper.toSize(), QImage::Format_RGB32);
    for (auto _ : state) {
        page.fill(Qt::white);
        QPainter painter(&page);
        RenderTreePage(painter, paper, QSizeF(600, 600), tree, TMarginsRect::Make(1000, 1000, 1000, 1000), true, false);
    }
}
BENCHMARK(BM_RenderA4At600Dpi)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
