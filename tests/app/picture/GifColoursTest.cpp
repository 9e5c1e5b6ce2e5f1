#include "app/picture/PictureFile.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

// A drawing of few flat colours keeps them exactly in a GIF: the white background stays white
// and the colours are not darkened by the quantiser's five bits a channel.
TEST(GifColoursTest, FlatColoursSurviveExactly)
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0x12, 0x34, 0x56), qRgb(0xC9, 0x65, 0x0B), qRgb(0, 0, 0)};
    for (int i = 0; i < 4; ++i)
        for (int y = 8; y < 24; ++y)
            for (int x = 0; x < 8; ++x)
                image.setPixel(8 + 12 * i + x, y, colours[i]);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteGif(buffer, image);
    const QImage read = QImage::fromData(buffer.data(), "GIF").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(read.size(), image.size());
    EXPECT_EQ(read.pixel(0, 0), qRgb(255, 255, 255));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(read.pixel(12 + 12 * i, 16), colours[i]) << i;
}
