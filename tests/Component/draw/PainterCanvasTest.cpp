#include "Component/draw/PainterCanvas.h"

#include "Component/draw/CanvasFonts.h"
#include "Component/draw/TriangleGradient.h"
#include "shared/core/Exceptions.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr QRgb Red = 0xFFFF0000u;
constexpr QRgb White = 0xFFFFFFFFu;

QImage Blank(int w = 40, int h = 40, QRgb fill = Red)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// The bounding box of the pixels that differ from the background.
QRect Painted(const QImage& image, QRgb background = Red)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

} // namespace

TEST(PainterCanvasTest, ShapesKeepTheirEdgesOnEveryDevice)
{
    // Images of other formats (and printers) are drawn through the painter instead of pixel
    // by pixel: fills and rectangles give the same pixels, ellipses the same bounds.
    QImage direct = Blank();
    QImage painted(40, 40, QImage::Format_RGB888);
    painted.fill(Qt::red);
    for (QImage* image : {&direct, &painted}) {
        TPainterCanvas canvas(image);
        canvas.Pen.Color = 0x000000;
        canvas.Brush.Color = 0xFFFFFF;
        canvas.FillRect(QRect(1, 1, 3, 3));
        canvas.Rectangle(QRect(5, 1, 8, 6));
        canvas.Pen.Width = 2;
        canvas.Rectangle(QRect(15, 2, 8, 6));
        canvas.Pen.Style = TPenStyle::Clear;
        canvas.Rectangle(QRect(25, 1, 8, 6));
    }
    const QImage converted = painted.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(converted.pixel(x, y), direct.pixel(x, y)) << x << "," << y;
    for (int width : {1, 2}) {
        for (bool pen : {true, false}) {
            QImage a = Blank(), b(40, 40, QImage::Format_RGB888);
            b.fill(Qt::red);
            for (QImage* image : {&a, &b}) {
                TPainterCanvas canvas(image);
                canvas.Pen.Width = width;
                canvas.Pen.Style = pen ? TPenStyle::Solid : TPenStyle::Clear;
                canvas.Ellipse(QRect(5, 6, 17, 17));
            }
            const QRect expected = pen ? QRect(5, 6, 17, 17) : QRect(5, 6, 16, 16);
            EXPECT_EQ(Painted(a), expected) << width << pen;
            EXPECT_EQ(Painted(b.convertToFormat(QImage::Format_RGB32)), expected) << width << pen;
        }
    }
}

TEST(PainterCanvasTest, ThinLinesAreTheSameOnEveryRoute)
{
    // Written straight into an RGB32 image, drawn by the painter on other formats, shifted by a
    // translated painter, and partly clipped: the same pixels for lines of every direction and
    // slope, short and long, from edge to edge.
    constexpr int W = 160, H = 1200;
    std::mt19937 random(7);
    auto draw = [](TPainterCanvas& canvas, const QPoint& a, const QPoint& b) {
        canvas.MoveTo(a);
        canvas.LineTo(b);
    };
    for (int round = 0; round < 40; ++round) {
        QImage direct = Blank(W, H, White);
        QImage painted(W, H, QImage::Format_RGB888);
        painted.fill(Qt::white);
        QImage shifted = Blank(W + 10, H + 10, White);
        QImage clippedDirect = Blank(W, H, White);
        QImage clippedPainted(W, H, QImage::Format_RGB888);
        clippedPainted.fill(Qt::white);
        const int reach = round % 3 == 0 ? 12 : round % 3 == 1 ? 150 : H;
        std::vector<std::pair<QPoint, QPoint>> lines;
        for (int i = 0; i < 40; ++i) {
            const QPoint a(int(random() % W), int(random() % H));
            QPoint b(int(random() % W), std::clamp(a.y() + int(random() % (2 * reach + 1)) - reach, 0, H - 1));
            if (i % 5 == 0)
                b.setX(std::clamp(a.x() + int(random() % 7) - 3, 0, W - 1));
            if (i % 7 == 0)
                b.setY(std::clamp(a.y() + int(random() % 7) - 3, 0, H - 1));
            if (i % 11 == 0)
                b = QPoint(i % 2 ? 0 : W - 1, i % 3 ? 0 : H - 1);
            lines.push_back({a, b});
        }
        {
            TPainterCanvas a(&direct), b(&painted), d(&clippedDirect), e(&clippedPainted);
            QPainter painter(&shifted);
            painter.translate(3, 7);
            TPainterCanvas c(&painter);
            d.PushClipRect(QRect(20, 100, 90, 700));
            e.PushClipRect(QRect(20, 100, 90, 700));
            for (const auto& [from, to] : lines)
                for (TPainterCanvas* canvas : {&a, &b, &c, &d, &e})
                    draw(*canvas, from, to);
        }
        const QImage converted = painted.convertToFormat(QImage::Format_RGB32);
        const QImage clippedConverted = clippedPainted.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                ASSERT_EQ(direct.pixel(x, y), converted.pixel(x, y)) << round << ": " << x << "," << y;
                ASSERT_EQ(direct.pixel(x, y), shifted.pixel(x + 3, y + 7)) << round << ": " << x << "," << y;
                ASSERT_EQ(clippedDirect.pixel(x, y), clippedConverted.pixel(x, y)) << round << ": " << x << "," << y;
            }
    }
}

TEST(PainterCanvasTest, TextRectIsTheSameOnEveryRoute)
{
    // Texts that fit their rectangle are drawn without a clip on RGB32 images; the pixels are
    // those of the clipped drawing, also for rectangles
    // that cut through capitals, descenders or the last letter, and over a solid brush.
    const QStringList texts{QStringLiteral("Budget: $1,234.50"), QStringLiteral("Hg jy"), QStringLiteral("W"),
                            QStringLiteral(" "), QString(), QStringLiteral("Äq|")};
    for (bool italic : {false, true}) {
        TCanvasFont font;
        font.Style.Italic = italic;
        const int height = CanvasFontEntry(font).Height();
        for (const QString& text : texts) {
            const int width = CanvasFontEntry(font).TextWidth(text);
            const QRect cell(10, 10, width, height);
            const QRect clips[] = {cell.adjusted(-4, 0, 4, 0), cell.adjusted(-2, -3, 2, 3), cell.adjusted(0, 1, 0, 0),
                                   cell.adjusted(0, 0, 0, -2), cell.adjusted(1, 0, -1, 0), QRect(5, 5, 3, 3)};
            for (const QRect& clip : clips) {
                for (bool brush : {false, true}) {
                    QImage direct = Blank(width + 30, height + 30, 0xFF336699u);
                    QImage clipped = direct.copy();
                    {
                        TPainterCanvas a(&direct);
                        // A clip of the painter's own keeps the canvas on the painter's route.
                        QPainter painter(&clipped);
                        painter.setClipRect(clipped.rect());
                        TPainterCanvas b(&painter);
                        for (TPainterCanvas* canvas : {&a, &b}) {
                            canvas->Font = font;
                            canvas->Font.Color = 0x00E0F0FF;
                            canvas->Brush.Style = brush ? TBrushStyle::Solid : TBrushStyle::Clear;
                            canvas->Brush.Color = 0x00102030;
                            canvas->TextRect(clip, 10, 10, text);
                        }
                    }
                    ASSERT_EQ(direct, clipped)
                        << text.toStdString() << " " << italic << " " << clip.x() << "," << clip.y() << " "
                        << clip.width() << "x" << clip.height() << " " << brush;
                }
            }
        }
    }
}

TEST(PainterCanvasTest, GradientTriangleIsTheSameOnEveryRoute)
{
    // Written straight into an RGB32 image, shaded through a patch on other formats, and
    // shifted by a translated painter: the same pixels each time.
    const TTriangleVertices v = {TTriVertex::FromColor(27, 10, 0x0000FF), TTriVertex::FromColor(10, 18, 0x00FF00),
                                 TTriVertex::FromColor(27, 27, 0xFF0000)};
    QImage direct = Blank(40, 40, White);
    QImage patched(40, 40, QImage::Format_RGB888);
    patched.fill(Qt::white);
    QImage shifted = Blank(50, 50, White);
    {
        TPainterCanvas a(&direct);
        a.GradientFillTriangle(v);
        TPainterCanvas b(&patched);
        b.GradientFillTriangle(v);
        QPainter painter(&shifted);
        painter.translate(5, 7);
        TPainterCanvas c(&painter);
        c.GradientFillTriangle(v);
    }
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(patched.pixel(x, y), direct.pixel(x, y)) << x << "," << y;
            ASSERT_EQ(shifted.pixel(x + 5, y + 7), direct.pixel(x, y)) << x << "," << y;
        }
}

// Texts of printable ASCII are measured by the sum of their characters' advances; whatever the
// font, the width is the platform's measure of the whole text, and other texts are measured so.
TEST(PainterCanvasTest, TextWidthIsThePlatformsMeasure)
{
    std::mt19937 random(11);
    for (const char* name : {"Verdana", "Courier New", "Times New Roman"}) {
        for (int size : {7, 8, 11, 20}) {
            TCanvasFont font;
            font.Name = QString::fromLatin1(name);
            font.Size = size;
            font.Style.Bold = size == 11;
            font.Style.Italic = size == 20;
            TCanvasFontEntry& entry = CanvasFontEntry(font);
            for (int k = 0; k < 200; ++k) {
                QString text;
                for (int n = 1 + int(random() % 40); n > 0; --n)
                    text += QChar(char16_t(k % 10 == 0 ? 0xE0 + random() % 32 : 0x20 + random() % 96));
                ASSERT_EQ(entry.TextWidth(text), entry.Metrics().horizontalAdvance(text)) << name << size << " "
                                                                                          << text.toStdString();
            }
        }
    }
}
