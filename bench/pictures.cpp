// Pictures and the printed page of a 1,000-node tree (83 megapixels): export in each format
// (BMP, JPEG, GIF, EMF, WMF), refusal of a picture over a format's limit, one A4 page at 600 dpi,
// and Copy Picture with what a paste of each format then costs. The GIF export is also timed in
// turns with painting the same picture and writing it with the GIF library used plainly.

#include "Component/control/DecTree.h"
#include "app/TreePictures.h"
#include "app/picture/GifPalette.h"
#include "app/picture/PictureFile.h"
#include "bench/support/RandomTree.h"
#include "shared/core/Exceptions.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/PairedTimes.h"
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
#include <unordered_set>
#include <vector>

#include <gif_lib.h>

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

// The GIF library used plainly: pixels already indexed, written with its encoder alone.
bool WritePlainGif(const QString& name, int width, int height, const GifColorType* colours, const GifByteType* indexes)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(name.toLocal8Bit().constData(), false, &error);
    if (!gif)
        return false;
    ColorMapObject* map = GifMakeMapObject(256, colours);
    bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
    GifFreeMapObject(map);
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, const_cast<GifByteType*>(indexes) + size_t(y) * size_t(width), width) != GIF_ERROR;
    return EGifCloseFile(gif, &error) != GIF_ERROR && ok;
}

// The GIF library used plainly on a picture: its quantiser, then its encoder.
bool WritePlainGif(const QString& name, const QImage& image)
{
    const int width = image.width(), height = image.height();
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels), indexes(pixels);
    for (int y = 0; y < height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const size_t at = size_t(y) * size_t(width) + size_t(x);
            red[at] = GifByteType(qRed(row[x])), green[at] = GifByteType(qGreen(row[x])), blue[at] = GifByteType(qBlue(row[x]));
        }
    }
    int colours = 256;
    GifColorType palette[256] = {};
    return GifQuantizeBuffer(unsigned(width), unsigned(height), &colours, red.data(), green.data(), blue.data(),
                             indexes.data(), palette) != GIF_ERROR &&
           WritePlainGif(name, width, height, palette, indexes.data());
}

// The GIF export of the 83-megapixel picture timed in turns with painting the same picture and
// writing it with the GIF library used plainly (its quantiser and encoder): ratio, at most 1.1.
// The picture has over a thousand colours (text edges, gradients), so the export quantises too.
// ratio_to_encoder_alone compares with painting and only encoding the export's own indexes: the
// part of the export that is neither painting nor the library's encoder.
void BM_ExportGifAgainstPlainLibrary(benchmark::State& state)
{
    TDecTree& tree = Tree();
    const QSize size = TreePictureSize(tree);
    const int width = size.width(), height = size.height();
    const TPaintPicture paint = [&](TCanvas& canvas) { tree.PaintToCanvas(canvas); };
    QTemporaryDir dir;
    const QString exported = dir.filePath(QStringLiteral("tree.gif")), plain = dir.filePath(QStringLiteral("plain.gif"));
    // The export's own palette and indexes, made once and not timed.
    GifColorType colours[256];
    std::vector<GifByteType> indexes(size_t(width) * size_t(height));
    int pictureColours = 0;
    {
        const QImage image = PaintPictureImage(width, height, paint);
        const TGifPalette palette(image);
        std::copy(palette.Colours(), palette.Colours() + 256, colours);
        for (int y = 0; y < height; ++y)
            palette.Row(y, indexes.data() + size_t(y) * size_t(width));
        std::unordered_set<QRgb> distinct;
        for (int y = 0; y < height; ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            distinct.insert(row, row + width);
        }
        pictureColours = int(distinct.size());
    }
    TPairedTimes times, encoderAlone;
    for (auto _ : state) {
        const TPairedTimes::TTime library = TPairedTimes::Time([&] {
            if (!WritePlainGif(plain, PaintPictureImage(width, height, paint)))
                state.SkipWithError("the plain library failed");
        });
        const TPairedTimes::TTime encoder = TPairedTimes::Time([&] {
            const QImage image = PaintPictureImage(width, height, paint);
            benchmark::DoNotOptimize(image.constBits());
            if (!WritePlainGif(plain, width, height, colours, indexes.data()))
                state.SkipWithError("the plain encoder failed");
        });
        const TPairedTimes::TTime time = TPairedTimes::Time([&] { WritePictureFile(exported, width, height, paint); });
        state.SetIterationTime(time.Wall);
        times.Add(time, library);
        encoderAlone.Add(time, encoder);
    }
    times.Report(state, "export", "paint_and_library");
    state.counters["paint_and_encoder_ms"] = TPairedTimes::Median(encoderAlone.References()) * 1000;
    state.counters["ratio_to_encoder_alone"] = TPairedTimes::Median(encoderAlone.Ratios());
    state.counters["megapixels"] = double(width) * height / 1e6;
    state.counters["colours"] = pictureColours;
}
BENCHMARK(BM_ExportGifAgainstPlainLibrary)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

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
