// Painting primitives: the share of a full tree painting that the styled painter and the
// canvas take, measured on the default style sheet into a QImage.

#include "Component/draw/PainterCanvas.h"
#include "Component/draw/StyledPainter.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleState.h"
#include "Component/styles/StyleStates.h"
#include "bench/support/BenchApplication.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

namespace {

QGuiApplication& App() { return BenchApplication<QGuiApplication>("bench_draw"); }

constexpr int Columns = 25;
constexpr int CellWidth = 200;
constexpr int CellHeight = 60;

TRectangle Cell(int i) { return TRectangle::Create((i % Columns) * CellWidth + 10, (i / Columns) * CellHeight + 10, 100, 25); }

// 1,000 option-descriptor boxes: gradient fill, outline and soft shadow, both passes.
void BM_GradientRectanglesWithSoftShadow(benchmark::State& state)
{
    App();
    TStyleStates styles;
    ResetDefaultStyles(styles);
    const TStyle& style = *styles.InTakenPath()->OptionDescriptors();
    QImage image(Columns * CellWidth, 1000 / Columns * CellHeight + 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (auto _ : state) {
        TPainterCanvas canvas(&image);
        TStyledPainter painter(canvas);
        for (bool shadowPass : {true, false}) {
            painter.ShadowPass = shadowPass;
            for (int i = 0; i < 1000; ++i)
                painter.DrawRectangle(style, Cell(i));
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_GradientRectanglesWithSoftShadow)->Unit(benchmark::kMillisecond);

// What the tree painter draws for 1,000 nodes, both passes: descriptor box and its text, the
// incoming line, the symbol (a third each rectangle, ellipse, triangle), the branch texts and
// the expected value.
void BM_NodePrimitives(benchmark::State& state)
{
    App();
    TStyleStates styles;
    ResetDefaultStyles(styles);
    const TStyleState& s = *styles.InTakenPath();
    QImage image(Columns * CellWidth, 1000 / Columns * CellHeight + 20, QImage::Format_RGB32);
    const QString caption = QStringLiteral("Option 12"), probability = QStringLiteral("35%"),
                  payoff = QStringLiteral("$1,250.00"), expected = QStringLiteral("$812.50");
    image.fill(Qt::white);
    for (auto _ : state) {
        TPainterCanvas canvas(&image);
        TStyledPainter painter(canvas);
        for (bool shadowPass : {true, false}) {
            painter.ShadowPass = shadowPass;
            for (int i = 0; i < 1000; ++i) {
                const TRectangle d = Cell(i);
                const TRectangle sym = TRectangle::Create(d.Right() + 40, d.CenterY() - 8, 17, 17);
                painter.DrawRectangle(*s.OptionDescriptors(), d);
                painter.DrawText(*s.OptionDescriptors(), d.Center(), caption, taCenter, taCenter);
                painter.DrawLine(*s.ConnectorLines(), d.RightCenter(), sym.LeftCenter());
                switch (i % 3) {
                case 0: painter.DrawRectangle(*s.SymbolsDecision(), sym); break;
                case 1: painter.DrawEllipse(*s.SymbolsChance(), sym); break;
                default: painter.DrawTriangle(*s.SymbolsTerminator(), sym); break;
                }
                painter.DrawText(*s.ChanceOptionProbabilities(), QPoint(d.Right() + 4, d.Top - 12), probability,
                                 taLeftJustify, taLeftJustify);
                painter.DrawText(*s.OptionPayoffPositive(), QPoint(d.Right() + 4, d.Bottom() + 2), payoff,
                                 taLeftJustify, taLeftJustify);
                painter.DrawText(*s.SymbolsDecision(), QPoint(sym.Right() + 12, sym.CenterY()), expected,
                                 taLeftJustify, taCenter);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_NodePrimitives)->Unit(benchmark::kMillisecond);

// 1,000 end-node triangles with soft shadows: five gradient triangle fills each.
void BM_TrianglesWithSoftShadow(benchmark::State& state)
{
    App();
    TStyleStates styles;
    ResetDefaultStyles(styles);
    const TStyle& style = *styles.InTakenPath()->SymbolsTerminator();
    QImage image(Columns * CellWidth, 1000 / Columns * CellHeight + 20, QImage::Format_RGB32);
    for (auto _ : state) {
        TPainterCanvas canvas(&image);
        TStyledPainter painter(canvas);
        for (bool shadowPass : {true, false}) {
            painter.ShadowPass = shadowPass;
            for (int i = 0; i < 1000; ++i)
                painter.DrawTriangle(style, TRectangle::Create(Cell(i).Left, Cell(i).Top, 17, 17));
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_TrianglesWithSoftShadow)->Unit(benchmark::kMillisecond);

// Measuring texts as layout does: 10,000 widths in a style's font.
void BM_MeasureTexts(benchmark::State& state)
{
    App();
    TStyleStates styles;
    ResetDefaultStyles(styles);
    QImage image(10, 10, QImage::Format_RGB32);
    TPainterCanvas canvas(&image);
    TStyledPainter painter(canvas);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < 10000; ++i) {
            painter.ApplyFont(i % 2 ? *styles.InTakenPath()->OptionDescriptors() : *styles.CloneInTakenPath()->OptionPayoff());
            sum += canvas.TextWidth(QStringLiteral("Option %1").arg(i));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_MeasureTexts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
