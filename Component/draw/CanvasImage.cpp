#include "Component/draw/CanvasImage.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace {
constexpr size_t HugePage = size_t(2) << 20;
// Below this a picture fits in few enough pages that the ordinary allocation serves as well.
constexpr size_t HugePagesFrom = size_t(16) << 20;

void FreeImageMemory(void* memory)
{
    std::free(memory);
}
}

QImage CreateCanvasImage(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (depth != 32)
        return QImage(width, height, format);
    const size_t bytesPerLine = size_t(width) * 4;
    const size_t bytes = bytesPerLine * size_t(height);
    // QImage addresses its rows with an int byte count per line and a qsizetype total.
    if (bytesPerLine > size_t(INT32_MAX) || bytes / size_t(height) != bytesPerLine)
        return QImage();
    if (bytes < HugePagesFrom)
        return QImage(width, height, format);
    const size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
    void* memory = std::aligned_alloc(HugePage, rounded);
    if (!memory)
        return QImage();
    madvise(memory, rounded, MADV_HUGEPAGE); // only advice: without huge pages it still works
    return QImage(static_cast<uchar*>(memory), width, height, qsizetype(bytesPerLine), format, FreeImageMemory,
                  memory);
}
