#include "Component/draw/PainterCanvas.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Gradient triangles spread over a wide widget, as end nodes lie along a tree's right side.
class TTriangleRow : public QWidget {
public:
    TTriangleRow() { resize(600, 60); }
    static constexpr int Lefts[] = {10, 200, 400, 560};

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        TPainterCanvas canvas(&painter);
        canvas.Brush.Color = 0x00FFFFFF;
        canvas.FillRect(rect());
        for (const int x : Lefts)
            canvas.GradientFillTriangle({TTriVertex::FromColor(x + 30, 5, 0x000000FF),
                                         TTriVertex::FromColor(x, 30, 0x0000FF00),
                                         TTriVertex::FromColor(x + 30, 55, 0x00FF0000)});
    }
};

} // namespace

TEST(PainterCanvasScaleTest, ScaledRenderingShadesEveryTriangleAsUnscaled)
{
    TTriangleRow row;
    QImage plain(row.size(), QImage::Format_RGB32);
    row.render(&plain);
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        QImage scaled(row.size() * ratio, QImage::Format_RGB32);
        scaled.setDevicePixelRatio(ratio);
        scaled.fill(Qt::black);
        row.render(&scaled);
        for (const int x : TTriangleRow::Lefts) {
            const QPoint inside(x + 20, 30);
            const QColor want = plain.pixelColor(inside);
            const QColor got = scaled.pixelColor((QPointF(inside) * ratio).toPoint());
            EXPECT_NE(want, QColor(Qt::white));
            EXPECT_NEAR(got.red(), want.red(), 8) << ratio << " at " << x;
            EXPECT_NEAR(got.green(), want.green(), 8) << ratio << " at " << x;
            EXPECT_NEAR(got.blue(), want.blue(), 8) << ratio << " at " << x;
        }
    }
}
