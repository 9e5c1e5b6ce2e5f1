// Thin lines written straight into an image are the painter's own pixels for a line drawn whole,
// whatever part of the line an image or a clip takes; a fan of lines leaves out only lines that
// would not change a pixel.

#include "Component/draw/PainterCanvas.h"
#include "Component/draw/ThinLine.h"
#include "shared/core/Colors.h"

#include <QPainter>
#include <QPen>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr QRgb White = 0xFFFFFFFFu;
constexpr TColor Ink = 0x00203040;

QImage Blank(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(White);
    return image;
}

// The painter's own one-pixel line, drawn whole into an image that holds all of it.
void EngineLine(QPainter& painter, const QPoint& a, const QPoint& b)
{
    QPen pen(QColor::fromRgb(ColorToArgb(Ink)));
    pen.setWidthF(1.0);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(a, b);
}

// A canvas drawing into an image that shows the area of the drawing, as the control's view does.
struct TView {
    QImage Image;
    QPainter Painter;
    TPainterCanvas Canvas;
    explicit TView(const QRect& area) : Image(Blank(area.width(), area.height())), Painter(&Image), Canvas(&Painter)
    {
        Painter.translate(-area.topLeft());
        Canvas.Pen = TCanvasPen{Ink, 1, TPenStyle::Solid};
    }
};

::testing::AssertionResult SameRegion(const QImage& whole, const QRect& area, const QImage& view, const QRect& inside)
{
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb w = whole.pixel(x, y), v = view.pixel(x - area.x(), y - area.y());
            if (w != v)
                return ::testing::AssertionFailure()
                       << "at " << x << "," << y << " of the area " << area.x() << "," << area.y() << " "
                       << area.width() << "x" << area.height() << ": " << std::hex << w << " against " << v;
        }
    return ::testing::AssertionSuccess();
}

} // namespace

// Lines of every slope up to the engine's longest, anywhere in its coordinates: drawn whole they
// are the engine's pixels, and an image that holds only part of them (the line runs off its
// edges) shows those pixels there, where the engine itself would move them.
TEST(ThinLineTest, AnyPartOfALineIsThePaintersWholeLine)
{
    std::mt19937 random(5);
    for (int round = 0; round < 16; ++round) {
        const bool vertical = round % 2 == 0;
        // Narrow across, the engine's whole range along.
        const int along = 32768, across = 256;
        const QSize size = vertical ? QSize(across, along) : QSize(along, across);
        QImage engine = Blank(size.width(), size.height());
        QImage direct = Blank(size.width(), size.height());
        std::vector<std::pair<QPoint, QPoint>> lines;
        for (int i = 0; i < 12; ++i) {
            const int reach = std::array{40, 3000, along - 1}[i % 3];
            int a = int(random() % along), b = std::clamp(a + int(random() % (2 * reach + 1)) - reach, 0, along - 1);
            if (i == 0)
                a = 0, b = along - 1;
            const int c = int(random() % across), d = int(random() % across);
            lines.push_back(vertical ? std::pair{QPoint(c, a), QPoint(d, b)} : std::pair{QPoint(a, c), QPoint(b, d)});
        }
        {
            QPainter painter(&engine);
            TPainterCanvas canvas(&direct);
            canvas.Pen = TCanvasPen{Ink, 1, TPenStyle::Solid};
            for (const auto& [a, b] : lines) {
                EngineLine(painter, a, b);
                canvas.MoveTo(a);
                canvas.LineTo(b);
            }
        }
        ASSERT_TRUE(SameRegion(engine, engine.rect(), direct, engine.rect())) << round;
        {
            // Far into negative coordinates, the same pixels.
            const QPoint shift(-70001, -40000 - along);
            QImage shifted = Blank(size.width(), size.height());
            QPainter painter(&shifted);
            painter.translate(-shift);
            TPainterCanvas canvas(&painter);
            canvas.Pen = TCanvasPen{Ink, 1, TPenStyle::Solid};
            for (const auto& [a, b] : lines) {
                canvas.MoveTo(a + shift);
                canvas.LineTo(b + shift);
            }
            painter.end();
            ASSERT_TRUE(SameRegion(engine, engine.rect(), shifted, engine.rect())) << round;
        }
        for (int k = 0; k < 6; ++k) {
            const int w = std::array{1, 5, 120, across}[k % 4], h = std::array{1, 7, 768, 5000, along}[k % 5];
            const QSize cut = vertical ? QSize(w, h) : QSize(h, w);
            const QRect area(int(random() % unsigned(size.width() - cut.width() + 1)),
                             int(random() % unsigned(size.height() - cut.height() + 1)), cut.width(), cut.height());
            TView view(area);
            for (const auto& [a, b] : lines) {
                view.Canvas.MoveTo(a);
                view.Canvas.LineTo(b);
            }
            ASSERT_TRUE(SameRegion(engine, area, view.Image, area)) << round;
        }
    }
}

// Beyond the engine's longest a line is sampled exactly: every pixel lies within a pixel of the
// ideal line, so it still meets its ends.
TEST(ThinLineTest, ALineLongerThanTheEnginesMeetsItsEnds)
{
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i) {
        const int64_t x1 = int64_t(random() % 4000000) - 2000000, y1 = int64_t(random() % 40000000) - 20000000;
        const int64_t length = TThinLine::EngineSpan + 1 + int64_t(random() % 20000000);
        const int64_t x2 = x1 + int64_t(random() % 2000) - 1000, y2 = y1 + (i % 2 ? length : -length);
        const bool swap = i % 3 == 0; // mostly horizontal lines too
        const TThinLine line = swap ? TThinLine(y1, x1, y2, x2) : TThinLine(x1, y1, x2, y2);
        ASSERT_EQ(line.Vertical(), !swap);
        ASSERT_EQ(line.Last() - line.First(), length);
        const double top = double(std::min(y1, y2)), xTop = y1 < y2 ? double(x1) : double(x2);
        const double slope = double(y1 < y2 ? x2 - x1 : x1 - x2) / double(length);
        for (int64_t m : {line.First(), line.Last() - 1, line.First() + int64_t(random() % uint64_t(length))}) {
            const double ideal = xTop + (double(m) + 0.5 - top) * slope;
            ASSERT_LE(std::abs(double(line.Minor(m)) - ideal), 1.0) << i << " at " << m;
        }
    }
}

// A node's connectors to thousands of options, near and very far: handed over as one fan they
// set the same pixels, in any view, as the same lines drawn one by one.
TEST(ThinLineTest, AFanSetsThePixelsOfItsLines)
{
    std::mt19937 random(9);
    struct TCase {
        int Count;
        int Gap;    // between options, pixels
        int Across; // from the point to the options' column
        int Width;  // of the pen
    };
    for (const TCase& c : {TCase{20000, 47, 90, 1}, TCase{3000, 21, -40, 1}, TCase{30000, 3, 600, 1},
                           TCase{5000, 300, 0, 1}, TCase{800, 40, 2000, 1}, TCase{20000, 47, 90, 2},
                           TCase{3000, 21, -40, 3}, TCase{6000, 30, 120, 6}, TCase{1500, 9, 40000, 4}}) {
        const QPoint from(1000, 2000000);
        std::vector<int32_t> ys(size_t(c.Count));
        const int64_t half = int64_t(c.Count) * c.Gap / 2;
        for (int i = 0; i < c.Count; ++i)
            ys[size_t(i)] = int32_t(from.y() - half + int64_t(i) * c.Gap + (i % 5 == 2 ? 1 : 0));
        TLineFan fan;
        fan.From = from;
        fan.X = from.x() + c.Across;
        fan.Count = c.Count;
        fan.Y = [&ys](int i) { return ys[size_t(i)]; };
        std::vector<QRect> areas;
        for (int k = 0; k < 24; ++k) {
            // Screens and strips around the point, just above and below it, and far away.
            const int w = std::array{1366, 3, 400, 1}[k % 4], h = std::array{768, 1, 2000, 60, 5}[k % 5];
            const int64_t spread = std::array<int64_t, 4>{600, 5000, 40000, half}[k % 4];
            const int y = int(from.y() + int64_t(random() % uint64_t(2 * spread)) - spread);
            const int x = from.x() - w + int(random() % unsigned(std::abs(c.Across) + 2 * w));
            areas.push_back(QRect(x, y, w, h));
        }
        // The point's round end, and single columns beside the point's, above and below it, that
        // only the edges of the lines meeting there reach.
        areas.push_back(QRect(from.x() - 12, from.y() - 12, 25, 25));
        for (int dx = -c.Width / 2 - 2; dx <= c.Width / 2 + 2; ++dx)
            for (int dy : {-40000, -300, 200, 40000})
                areas.push_back(QRect(from.x() + dx, from.y() + dy, 1, 100));
        for (size_t k = 0; k < areas.size(); ++k) {
            const QRect area = areas[k];
            TView one(area), all(area);
            one.Canvas.Pen.Width = all.Canvas.Pen.Width = c.Width;
            for (int i = 0; i < c.Count; ++i) {
                one.Canvas.MoveTo(from);
                one.Canvas.LineTo(QPoint(fan.X, ys[size_t(i)]));
            }
            ASSERT_TRUE(all.Canvas.LineFan(fan, area));
            EXPECT_EQ(all.Canvas.PenPos(), QPoint(fan.X, ys.back()));
            ASSERT_TRUE(SameRegion(one.Image, QRect(QPoint(0, 0), area.size()), all.Image,
                                   QRect(QPoint(0, 0), area.size())))
                << c.Count << " options " << c.Gap << " apart, " << c.Across << " across, " << c.Width << " wide; view "
                << k;
        }
    }
}

// Up to the engine's length, lines that end above the point stray from the ideal by a rounding
// that does not follow their order: there a line between two with the same pixels may differ
// from both, and still is drawn.
TEST(ThinLineTest, AFanDrawsLinesWhoseRoundingDoesNotFollowTheirOrder)
{
    const QPoint from(1000, 100000);
    std::vector<int32_t> ys;
    for (int i = 0; i < 1350; ++i)
        ys.push_back(from.y() - (1350 - i) * 18);
    TLineFan fan;
    fan.From = from;
    fan.X = from.x() - 68;
    fan.Count = int(ys.size());
    fan.Y = [&ys](int i) { return ys[size_t(i)]; };
    const QRect area(996, 99654, 22, 10);
    TView one(area), all(area);
    for (int32_t y : ys) {
        one.Canvas.MoveTo(from);
        one.Canvas.LineTo(QPoint(fan.X, y));
    }
    ASSERT_TRUE(all.Canvas.LineFan(fan, area));
    EXPECT_TRUE(SameRegion(one.Image, QRect(QPoint(0, 0), area.size()), all.Image, QRect(QPoint(0, 0), area.size())));
}

// Wide lines written straight into an image are the bands and round ends the painter fills for
// them on any other device, and an image that holds only part of them shows those pixels there.
TEST(ThinLineTest, AnyPartOfAWideLineIsThePaintersWholeLine)
{
    std::mt19937 random(17);
    for (int round = 0; round < 36; ++round) {
        const bool tall = round % 3 == 2;
        const QSize size = tall ? QSize(256, 32768) : QSize(500, 500);
        QImage direct = Blank(size.width(), size.height());
        QImage painted(size, QImage::Format_RGB888);
        painted.fill(Qt::white);
        std::vector<std::tuple<QPoint, QPoint, int>> lines;
        for (int i = 0; i < 30; ++i) {
            const int width = 2 + int(random() % 19);
            const QPoint a(30 + int(random() % unsigned(size.width() - 60)), 30 + int(random() % unsigned(size.height() - 60)));
            QPoint b(30 + int(random() % unsigned(size.width() - 60)), 30 + int(random() % unsigned(size.height() - 60)));
            if (i % 4 == 0)
                b.setX(a.x() + int(random() % 5) - 2);
            if (i % 7 == 0)
                b.setY(a.y() + int(random() % 5) - 2);
            lines.push_back({a, b, width});
        }
        const auto drawAll = [&](TPainterCanvas& canvas) {
            for (const auto& [a, b, width] : lines) {
                canvas.Pen = TCanvasPen{Ink + TColor(width), width, TPenStyle::Solid};
                canvas.MoveTo(a);
                canvas.LineTo(b);
            }
        };
        {
            TPainterCanvas a(&direct), b(&painted);
            drawAll(a);
            drawAll(b);
        }
        ASSERT_TRUE(SameRegion(direct, direct.rect(), painted.convertToFormat(QImage::Format_RGB32), direct.rect()))
            << round;
        for (int k = 0; k < 5; ++k) {
            const QSize cut(std::array{1, 9, 130, 500}[k % 4], std::array{1, 11, 400, 3000}[(k + round) % 4]);
            const QRect area(int(random() % unsigned(size.width())) - cut.width() / 2,
                             int(random() % unsigned(size.height())) - cut.height() / 2, cut.width(), cut.height());
            TView view(area);
            drawAll(view.Canvas);
            const QRect inside = area.intersected(direct.rect());
            ASSERT_TRUE(SameRegion(direct, area, view.Image, inside)) << round;
        }
    }
}

// The fan stays with the painter where it cannot own the pixels: dotted pens, and devices it
// does not write to directly.
TEST(ThinLineTest, AFanIsRefusedWhereThePainterDraws)
{
    TLineFan fan;
    fan.From = QPoint(5, 5);
    fan.X = 30;
    fan.Count = 3;
    fan.Y = [](int i) { return i * 10; };
    QImage image = Blank(40, 40);
    TPainterCanvas canvas(&image);
    canvas.Pen = TCanvasPen{Ink, 1, TPenStyle::Dot};
    EXPECT_FALSE(canvas.LineFan(fan, std::nullopt));
    QImage other(40, 40, QImage::Format_RGB888);
    other.fill(Qt::white);
    TPainterCanvas elsewhere(&other);
    for (int width : {1, 4}) {
        elsewhere.Pen = TCanvasPen{Ink, width, TPenStyle::Solid};
        EXPECT_FALSE(elsewhere.LineFan(fan, std::nullopt));
    }
    EXPECT_EQ(other.pixel(5, 5), White);
}
