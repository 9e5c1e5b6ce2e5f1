#pragma once
// The palette of a picture for a GIF file, and each pixel's place in it. A drawing has flat
// colours in long runs: a picture of at most 256 colours (a drawing without gradients and with
// little text) keeps them exactly and needs no quantiser. One of more colours, as text edges and
// gradients give, goes through the GIF library's quantiser, which is handed the picture's colour
// counts rather than its pixels; each palette entry then becomes the mean of the pixels it
// stands for, exact for every colour that keeps an entry of its own. Only a picture of very many
// colours (a photograph) has its pixels quantised one by one.

#include <QImage>

#include <gif_lib.h>

#include <cstdint>
#include <memory>
#include <vector>

class TGifPalette {
public:
    // The picture must be Format_RGB32 and outlive the palette, whose rows are read from it.
    // Raises Exception when the quantiser fails or its memory cannot be had.
    explicit TGifPalette(const QImage& picture);
    ~TGifPalette();

    // 256 entries; those no pixel uses are black.
    const GifColorType* Colours() const { return FColours; }
    // Whether every colour of the picture is in the palette as it is.
    bool Exact() const { return FMode == TMode::Exact; }
    // The palette indexes of row y of the picture, width of them.
    void Row(int y, GifByteType* out) const;

private:
    enum class TMode { Exact, Counted, Pixels };
    class TColourIds;

    void QuantizeCounts(const QImage& picture);
    void QuantizePixels(const QImage& picture);
    int IndexOf(QRgb colour) const;
    // Each entry used becomes the mean of the colours it stands for, from their sums of red, green
    // and blue and their pixel count.
    void TakeMeans(const uint64_t (&sums)[256][4]);

    const QImage& FPicture;
    TMode FMode = TMode::Exact;
    GifColorType FColours[256] = {};
    std::unique_ptr<TColourIds> FIds;
    std::vector<GifByteType> FIndexOfId;           // Counted: the palette index of each colour
    std::unique_ptr<GifByteType[]> FPixelIndexes;  // Pixels: one index a pixel
};
