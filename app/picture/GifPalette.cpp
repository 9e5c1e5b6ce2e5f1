#include "app/picture/GifPalette.h"

#include "shared/core/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Beyond this many colours the picture is quantised pixel by pixel.
constexpr int MaxCountedColours = 1 << 16;
// The quantiser is handed at most about this many samples; a picture of no more pixels gives
// it its exact colour counts.
constexpr uint64_t MaxSamples = uint64_t(1) << 20;

Exception QuantiserError()
{
    return Exception(QStringLiteral("The GIF picture could not be made: its colours could not be reduced."));
}

template <typename T>
std::unique_ptr<T[]> Allocate(size_t count)
{
    std::unique_ptr<T[]> memory(new (std::nothrow) T[count]);
    if (!memory)
        throw Exception(QStringLiteral("There is not enough memory to reduce the colours of the GIF picture."));
    return memory;
}

// The length of the run of pixels equal to row[x], from x on; four pixels are compared at once.
inline int RunLength(const QRgb* row, int x, int width)
{
    const QRgb colour = row[x];
    const uint64_t two = uint64_t(colour) * 0x100000001u;
    int end = x + 1;
    while (width - end >= 4) {
        uint64_t a, b;
        std::memcpy(&a, row + end, 8);
        std::memcpy(&b, row + end + 2, 8);
        if ((a ^ two) | (b ^ two))
            break;
        end += 4;
    }
    while (end < width && row[end] == colour)
        ++end;
    return end - x;
}

} // namespace

// The distinct colours of a picture, numbered in the order of first appearance, with the number
// of pixels of each; an open-addressing table, as a picture has millions of runs to look up.
class TGifPalette::TColourIds {
public:
    // -1 when the colour would be one too many.
    int Add(QRgb colour, uint64_t pixels, int limit)
    {
        size_t slot = Find(colour);
        if (FSlots[slot].Id < 0) {
            if (int(FColours.size()) == limit)
                return -1;
            if ((FColours.size() + 1) * 2 > FSlots.size()) {
                Grow();
                slot = Find(colour);
            }
            FSlots[slot] = {colour, int(FColours.size())};
            FColours.push_back(colour);
            FPixels.push_back(0);
        }
        FPixels[size_t(FSlots[slot].Id)] += pixels;
        return FSlots[slot].Id;
    }
    // The id of a colour that was added.
    int IdOf(QRgb colour) const { return FSlots[Find(colour)].Id; }
    int Count() const { return int(FColours.size()); }
    QRgb Colour(int id) const { return FColours[size_t(id)]; }
    uint64_t Pixels(int id) const { return FPixels[size_t(id)]; }

private:
    struct TSlot {
        QRgb Colour = 0;
        int Id = -1;
    };
    size_t Find(QRgb colour) const
    {
        const size_t mask = FSlots.size() - 1;
        size_t slot = size_t((colour * 0x9E3779B1u) >> 8) & mask;
        while (FSlots[slot].Id >= 0 && FSlots[slot].Colour != colour)
            slot = (slot + 1) & mask;
        return slot;
    }
    void Grow()
    {
        std::vector<TSlot> old(FSlots.size() * 2);
        old.swap(FSlots);
        for (const TSlot& s : old)
            if (s.Id >= 0)
                FSlots[Find(s.Colour)] = s;
    }

    std::vector<TSlot> FSlots = std::vector<TSlot>(1024);
    std::vector<QRgb> FColours;
    std::vector<uint64_t> FPixels;
};

TGifPalette::TGifPalette(const QImage& picture) : FPicture(picture), FIds(std::make_unique<TColourIds>())
{
    const int width = picture.width();
    bool counted = true;
    // Runs of the colour seen last (the background, mostly) are counted without a look-up.
    QRgb last = 0;
    uint64_t lastPixels = 0;
    for (int y = 0; y < picture.height() && counted; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < width && counted;) {
            const int run = RunLength(row, x, width);
            if (row[x] != last || lastPixels == 0) {
                counted = lastPixels == 0 || FIds->Add(last, lastPixels, MaxCountedColours) >= 0;
                last = row[x];
                lastPixels = 0;
            }
            lastPixels += uint64_t(run);
            x += run;
        }
    }
    counted = counted && FIds->Add(last, lastPixels, MaxCountedColours) >= 0;
    if (!counted) {
        FIds.reset();
        QuantizePixels(picture);
    } else if (FIds->Count() <= 256) {
        FMode = TMode::Exact;
        for (int id = 0; id < FIds->Count(); ++id) {
            const QRgb c = FIds->Colour(id);
            FColours[id] = {GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
        }
    } else {
        QuantizeCounts(picture);
    }
}

TGifPalette::~TGifPalette() = default;

void TGifPalette::TakeMeans(const uint64_t (&sums)[256][4])
{
    for (int i = 0; i < 256; ++i) {
        const uint64_t n = sums[i][3];
        if (n == 0)
            continue;
        FColours[i].Red = GifByteType((sums[i][0] + n / 2) / n);
        FColours[i].Green = GifByteType((sums[i][1] + n / 2) / n);
        FColours[i].Blue = GifByteType((sums[i][2] + n / 2) / n);
    }
}

void TGifPalette::QuantizeCounts(const QImage& picture)
{
    FMode = TMode::Counted;
    const int count = FIds->Count();
    const uint64_t total = uint64_t(picture.width()) * uint64_t(picture.height());
    // Each colour as many times as it has pixels, scaled down for a large picture (every colour
    // at least once), in a row of samples in the order of the colours.
    std::vector<uint64_t> first(size_t(count) + 1, 0);
    for (int id = 0; id < count; ++id) {
        const uint64_t pixels = FIds->Pixels(id);
        const uint64_t samples = total <= MaxSamples ? pixels : std::max<uint64_t>(1, pixels * MaxSamples / total);
        first[size_t(id) + 1] = first[size_t(id)] + samples;
    }
    const size_t samples = size_t(first[size_t(count)]);
    auto red = Allocate<GifByteType>(samples);
    auto green = Allocate<GifByteType>(samples);
    auto blue = Allocate<GifByteType>(samples);
    auto indexes = Allocate<GifByteType>(samples);
    for (int id = 0; id < count; ++id) {
        const QRgb c = FIds->Colour(id);
        const size_t at = size_t(first[size_t(id)]), n = size_t(first[size_t(id) + 1]) - at;
        std::memset(red.get() + at, qRed(c), n);
        std::memset(green.get() + at, qGreen(c), n);
        std::memset(blue.get() + at, qBlue(c), n);
    }
    int colours = 256;
    if (GifQuantizeBuffer(unsigned(samples), 1, &colours, red.get(), green.get(), blue.get(), indexes.get(),
                          FColours) == GIF_ERROR)
        throw QuantiserError();
    // The quantiser gives each entry the low corner of its colour box, so white would come out as
    // (248, 248, 248); each entry becomes the mean of the pixels that use it.
    uint64_t sums[256][4] = {};
    FIndexOfId.resize(size_t(count));
    for (int id = 0; id < count; ++id) {
        const GifByteType index = indexes[size_t(first[size_t(id)])];
        FIndexOfId[size_t(id)] = index;
        const QRgb c = FIds->Colour(id);
        const uint64_t n = FIds->Pixels(id);
        uint64_t* sum = sums[index];
        sum[0] += n * uint64_t(qRed(c)), sum[1] += n * uint64_t(qGreen(c)), sum[2] += n * uint64_t(qBlue(c));
        sum[3] += n;
    }
    TakeMeans(sums);
}

void TGifPalette::QuantizePixels(const QImage& picture)
{
    FMode = TMode::Pixels;
    const int width = picture.width(), height = picture.height();
    const size_t pixels = size_t(width) * size_t(height);
    // The quantiser takes the three channels apart: as much memory again as the picture.
    auto red = Allocate<GifByteType>(pixels);
    auto green = Allocate<GifByteType>(pixels);
    auto blue = Allocate<GifByteType>(pixels);
    for (int y = 0; y < height; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        const size_t at = size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            red[at + size_t(x)] = GifByteType(qRed(in[x]));
            green[at + size_t(x)] = GifByteType(qGreen(in[x]));
            blue[at + size_t(x)] = GifByteType(qBlue(in[x]));
        }
    }
    FPixelIndexes = Allocate<GifByteType>(pixels);
    int colours = 256;
    if (GifQuantizeBuffer(unsigned(width), unsigned(height), &colours, red.get(), green.get(), blue.get(),
                          FPixelIndexes.get(), FColours) == GIF_ERROR)
        throw QuantiserError();
    red.reset(), green.reset(), blue.reset();
    uint64_t sums[256][4] = {};
    for (int y = 0; y < height; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        const GifByteType* index = FPixelIndexes.get() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            uint64_t* sum = sums[index[x]];
            sum[0] += uint64_t(qRed(in[x])), sum[1] += uint64_t(qGreen(in[x])), sum[2] += uint64_t(qBlue(in[x]));
            ++sum[3];
        }
    }
    TakeMeans(sums);
}

int TGifPalette::IndexOf(QRgb colour) const
{
    const int id = FIds->IdOf(colour);
    return FMode == TMode::Exact ? id : FIndexOfId[size_t(id)];
}

void TGifPalette::Row(int y, GifByteType* out) const
{
    const int width = FPicture.width();
    if (FMode == TMode::Pixels) {
        std::memcpy(out, FPixelIndexes.get() + size_t(y) * size_t(width), size_t(width));
        return;
    }
    const QRgb* row = reinterpret_cast<const QRgb*>(FPicture.constScanLine(y));
    QRgb last = row[0];
    int index = IndexOf(last);
    for (int x = 0; x < width;) {
        const int run = RunLength(row, x, width);
        if (row[x] != last) {
            last = row[x];
            index = IndexOf(last);
        }
        std::memset(out + x, index, size_t(run));
        x += run;
    }
}
