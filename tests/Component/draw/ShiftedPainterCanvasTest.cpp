// The tree view paints a window onto a drawing that may lie hundreds of millions of pixels down:
// through a painter shifted that far, every figure and text lands on the same pixels as at the top.

#include "Component/draw/PainterCanvas.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// One of every kind of drawing call, placed relative to (x, y).
void DrawScene(TCanvas& canvas, int32_t x, int32_t y)
{
    canvas.Pen.Color = 0x00000000;
    canvas.Brush.Color = 0x00C0E0FF;
    canvas.Rectangle(QRect(x + 2, y + 2, 60, 24));
    canvas.Brush.Style = TBrushStyle::Clear;
    canvas.Font.Color = 0x00200000;
    canvas.TextOut(x + 6, y + 6, QStringLiteral("Option Ag"));
    canvas.Brush.Style = TBrushStyle::Solid;
    canvas.TextRect(QRect(x + 70, y + 4, 50, 14), x + 70, y + 4, QStringLiteral("$1,234.50"));
    canvas.Ellipse(QRect(x + 130, y + 4, 17, 17));
    canvas.MoveTo(QPoint(x + 150, y + 12));
    canvas.LineTo(QPoint(x + 190, y + 30));
    canvas.Pen.Style = TPenStyle::Dot;
    canvas.MoveTo(QPoint(x + 10, y + 35));
    canvas.LineTo(QPoint(x + 120, y + 35));
    canvas.Pen.Style = TPenStyle::Solid;
    canvas.Pen.Width = 3;
    canvas.Polygon(QPolygon({QPoint(x + 160, y + 2), QPoint(x + 176, y + 10), QPoint(x + 160, y + 18)}));
    canvas.GradientFillTriangle({TTriVertex::FromColor(x + 196, y + 2, 0x000000FF),
                                 TTriVertex::FromColor(x + 216, y + 20, 0x0000FF00),
                                 TTriVertex::FromColor(x + 196, y + 38, 0x00FF0000)});
}

} // namespace

TEST(ShiftedPainterCanvasTest, TheDrawingLandsOnTheSamePixelsHoweverFarTheViewIsShifted)
{
    // Both routes: images written pixel by pixel, and devices drawn through the painter.
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        QImage top(240, 44, format);
        top.fill(Qt::white);
        {
            TPainterCanvas canvas(&top);
            DrawScene(canvas, 0, 0);
        }
        for (int32_t shift : {1 << 24, 40000000, 250000000, 2000000000}) {
            SCOPED_TRACE(shift);
            QImage far(top.size(), format);
            far.fill(Qt::white);
            {
                QPainter painter(&far);
                painter.translate(-shift, -shift);
                TPainterCanvas canvas(&painter);
                DrawScene(canvas, shift, shift);
            }
            QRect differ;
            for (int y = 0; y < top.height(); ++y)
                for (int x = 0; x < top.width(); ++x)
                    if (far.pixel(x, y) != top.pixel(x, y))
                        differ = differ.united(QRect(x, y, 1, 1));
            EXPECT_TRUE(differ.isNull()) << "format " << int(format) << " pixels differ in " << differ.x() << "," << differ.y()
                                         << " " << differ.width() << "x" << differ.height();
        }
    }
}
