#include "Component/draw/CanvasImage.h"
#include "Component/draw/PainterCanvas.h"

#include <gtest/gtest.h>

TEST(CanvasImage, SmallAndLargePicturesDrawTheSame)
{
    for (const QSize size : {QSize(40, 30), QSize(1500, 3000)}) {
        QImage image = CreateCanvasImage(size.width(), size.height());
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), size);
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_EQ(image.bytesPerLine(), size.width() * 4);
        image.fill(Qt::white);
        {
            TPainterCanvas canvas(&image);
            canvas.Brush = TCanvasBrush{0x000000FF, TBrushStyle::Solid};
            canvas.FillRect(QRect(5, size.height() - 10, 10, 10));
        }
        EXPECT_EQ(image.pixel(5, size.height() - 10), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(14, size.height() - 1), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(15, size.height() - 1), qRgb(255, 255, 255));
        // A copy outlives the original's memory handling.
        const QImage copy = image.copy();
        image = QImage();
        EXPECT_EQ(copy.pixel(5, size.height() - 10), qRgb(255, 0, 0));
    }
}

TEST(CanvasImage, ImpossibleSizesGiveANullPicture)
{
    EXPECT_TRUE(CreateCanvasImage(0, 10).isNull());
    EXPECT_TRUE(CreateCanvasImage(10, -1).isNull());
    EXPECT_TRUE(CreateCanvasImage(INT32_MAX, 2).isNull());
}
