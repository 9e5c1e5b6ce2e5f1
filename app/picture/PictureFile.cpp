#include "app/picture/PictureFile.h"

#include "app/picture/GifPalette.h"

#include "Component/draw/CanvasImage.h"
#include "Component/draw/PainterCanvas.h"
#include "shared/core/CheckedSaveFile.h"
#include "shared/core/Exceptions.h"

#include <QFileInfo>
#include <QIODevice>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

namespace {

QString SizeText(int width, int height)
{
    return QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
}

Exception OutOfMemoryError(int width, int height)
{
    return Exception(QStringLiteral("There is not enough memory for a picture of %1.").arg(SizeText(width, height)));
}

void Write(QIODevice& device, const char* data, qint64 size)
{
    if (device.write(data, size) != size)
        throw IOException(QStringLiteral("The picture could not be written: %1").arg(device.errorString()));
}

// ---- JPEG ----
// The library's own error handler ends the process; this one jumps back to the caller, which
// raises. Nothing between the jump and its target owns resources but the library's state.
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info)
{
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    info->err->format_message(info, error->Message);
    std::longjmp(error->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {} // warnings are not worth a message on stderr

struct TJpegDestination {
    jpeg_destination_mgr Manager;
    QIODevice* Device = nullptr;
    bool Failed = false;
    std::vector<JOCTET> Buffer = std::vector<JOCTET>(size_t(1) << 16);
};

void JpegInitDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<TJpegDestination*>(info->dest);
    dest->Manager.next_output_byte = dest->Buffer.data();
    dest->Manager.free_in_buffer = dest->Buffer.size();
}

bool JpegFlush(TJpegDestination* dest, size_t bytes)
{
    if (dest->Device->write(reinterpret_cast<const char*>(dest->Buffer.data()), qint64(bytes)) == qint64(bytes))
        return true;
    dest->Failed = true;
    return false;
}

boolean JpegEmptyBuffer(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<TJpegDestination*>(info->dest);
    if (!JpegFlush(dest, dest->Buffer.size()))
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    JpegInitDestination(info);
    return TRUE;
}

void JpegTermDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<TJpegDestination*>(info->dest);
    if (!JpegFlush(dest, dest->Buffer.size() - dest->Manager.free_in_buffer))
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
}

// Compresses; returns false after an error, with the library's message.
bool CompressJpeg(jpeg_compress_struct& info, TJpegError& error, const QImage& image, int quality)
{
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.dest = reinterpret_cast<jpeg_destination_mgr*>(static_cast<TJpegDestination*>(info.client_data));
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    // A 32-bit pixel of the picture is B, G, R, unused in memory.
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// ---- GIF ----
// The library reports a failed write of its header as one code and of its image data as another.
bool IsGifWriteError(int code)
{
    return code == E_GIF_ERR_WRITE_FAILED || code == E_GIF_ERR_DISK_IS_FULL;
}

int GifOutput(GifFileType* gif, const GifByteType* data, int length)
{
    auto* device = static_cast<QIODevice*>(gif->UserData);
    return device->write(reinterpret_cast<const char*>(data), length) == length ? length : 0;
}

} // namespace

TPictureFormat PictureFormatOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix.toUpper();
    if (extension == QLatin1String(".BMP"))
        return TPictureFormat::Bmp;
    if (extension == QLatin1String(".JPG") || extension == QLatin1String(".JPEG"))
        return TPictureFormat::Jpeg;
    if (extension == QLatin1String(".GIF"))
        return TPictureFormat::Gif;
    if (extension == QLatin1String(".EMF"))
        return TPictureFormat::Emf;
    if (extension == QLatin1String(".WMF"))
        return TPictureFormat::Wmf;
    throw Exception(QStringLiteral("Unknown image file extension: ") + extension);
}

void CheckPictureSize(TPictureFormat format, int width, int height)
{
    if (width <= 0 || height <= 0)
        throw ArgumentException(QStringLiteral("A picture of %1 cannot be made.").arg(SizeText(width, height)));
    auto refuse = [&](const QString& kind, int limit) {
        throw Exception(QStringLiteral("The picture of %1 is too large for a %2 file, which holds at most %3 "
                                       "pixels a side. Try another format.")
                            .arg(SizeText(width, height), kind, QString::number(limit)));
    };
    switch (format) {
    case TPictureFormat::Jpeg:
        if (width > MaxJpegSide || height > MaxJpegSide)
            refuse(QStringLiteral("JPEG"), MaxJpegSide);
        break;
    case TPictureFormat::Gif:
        if (width > MaxGifSide || height > MaxGifSide)
            refuse(QStringLiteral("GIF"), MaxGifSide);
        break;
    case TPictureFormat::Bmp: {
        // The file's size is a 32-bit field.
        const uint64_t bytes = 54 + (uint64_t(width) * 3 + 3) / 4 * 4 * uint64_t(height);
        if (bytes > UINT32_MAX)
            throw Exception(QStringLiteral("The picture of %1 is too large for a BMP file. Try another format.")
                                .arg(SizeText(width, height)));
        break;
    }
    case TPictureFormat::Emf:
    case TPictureFormat::Wmf:
        break;
    }
}

QImage PaintPictureImage(int width, int height, const TPaintPicture& paint)
{
    QImage image = CreateCanvasImage(width, height);
    if (image.isNull())
        throw OutOfMemoryError(width, height);
    image.fill(Qt::white);
    TPainterCanvas canvas(&image);
    paint(canvas);
    return image;
}

QByteArray PaintMetafile(int width, int height, TMetafileKind kind, const TPaintPicture& paint)
{
    TMetafileCanvas canvas(width, height, kind);
    canvas.Brush = TCanvasBrush{0x00FFFFFF, TBrushStyle::Solid};
    canvas.FillRect(QRect(0, 0, width, height));
    paint(canvas);
    return canvas.Finish();
}

void WriteBmp(QIODevice& device, const QImage& image)
{
    const int width = image.width(), height = image.height();
    CheckPictureSize(TPictureFormat::Bmp, width, height);
    const uint32_t stride = (uint32_t(width) * 3 + 3) / 4 * 4;
    const uint32_t bits = stride * uint32_t(height);
    std::vector<char> header;
    auto u16 = [&](uint32_t v) { header.push_back(char(v)), header.push_back(char(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    header.push_back('B'), header.push_back('M');
    u32(54 + bits), u32(0), u32(54);
    u32(40), u32(uint32_t(width)), u32(uint32_t(height)), u16(1), u16(24), u32(0), u32(bits);
    u32(3780), u32(3780), u32(0), u32(0);
    Write(device, header.data(), qint64(header.size()));
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    // Rows go bottom-up as B, G, R; a few rows at a time keep the writes large.
    constexpr int RowsPerWrite = 16;
    std::vector<char> buffer(size_t(stride) * RowsPerWrite, 0);
    for (int row = height - 1; row >= 0;) {
        int n = 0;
        for (; n < RowsPerWrite && row >= 0; ++n, --row) {
            const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(row));
            char* out = buffer.data() + size_t(n) * stride;
            for (int x = 0; x < width; ++x) {
                out[x * 3] = char(qBlue(in[x]));
                out[x * 3 + 1] = char(qGreen(in[x]));
                out[x * 3 + 2] = char(qRed(in[x]));
            }
        }
        Write(device, buffer.data(), qint64(n) * stride);
    }
}

void WriteJpeg(QIODevice& device, const QImage& image, int quality)
{
    CheckPictureSize(TPictureFormat::Jpeg, image.width(), image.height());
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    jpeg_compress_struct info{};
    TJpegError error{};
    TJpegDestination dest;
    dest.Device = &device;
    dest.Manager.init_destination = JpegInitDestination;
    dest.Manager.empty_output_buffer = JpegEmptyBuffer;
    dest.Manager.term_destination = JpegTermDestination;
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegErrorExit;
    error.Manager.output_message = JpegOutputMessage;
    info.client_data = &dest;
    if (!CompressJpeg(info, error, rgb, quality)) {
        if (dest.Failed)
            throw IOException(QStringLiteral("The picture could not be written: %1").arg(device.errorString()));
        throw Exception(QStringLiteral("The JPEG picture could not be made: %1").arg(QString::fromLocal8Bit(error.Message)));
    }
}

void WriteGif(QIODevice& device, const QImage& image)
{
    const int width = image.width(), height = image.height();
    CheckPictureSize(TPictureFormat::Gif, width, height);
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    const TGifPalette palette(rgb);

    int code = 0;
    GifFileType* gif = EGifOpen(&device, GifOutput, &code);
    if (!gif)
        throw Exception(QStringLiteral("The GIF picture could not be made: %1").arg(QString::fromLatin1(GifErrorString(code))));
    auto fail = [&]() {
        const int error = gif->Error;
        EGifCloseFile(gif, &code);
        if (IsGifWriteError(error))
            throw IOException(QStringLiteral("The picture could not be written: %1").arg(device.errorString()));
        throw Exception(QStringLiteral("The GIF picture could not be made: %1").arg(QString::fromLatin1(GifErrorString(error))));
    };
    ColorMapObject* map = GifMakeMapObject(256, palette.Colours());
    const bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR &&
                    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
    GifFreeMapObject(map);
    if (!ok)
        fail();
    std::vector<GifByteType> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        palette.Row(y, row.data());
        if (EGifPutLine(gif, row.data(), width) == GIF_ERROR)
            fail();
    }
    if (EGifCloseFile(gif, &code) == GIF_ERROR) {
        if (IsGifWriteError(code))
            throw IOException(QStringLiteral("The picture could not be written: %1").arg(device.errorString()));
        throw Exception(QStringLiteral("The GIF picture could not be made: %1").arg(QString::fromLatin1(GifErrorString(code))));
    }
}

void WritePictureFile(const QString& fileName, int width, int height, const TPaintPicture& paint)
{
    const TPictureFormat format = PictureFormatOf(fileName);
    CheckPictureSize(format, width, height);
    QImage image;
    QByteArray metafile;
    if (format == TPictureFormat::Emf || format == TPictureFormat::Wmf)
        metafile = PaintMetafile(width, height, format == TPictureFormat::Emf ? TMetafileKind::Enhanced : TMetafileKind::Windows, paint);
    else
        image = PaintPictureImage(width, height, paint);

    TCheckedSaveFile file(fileName);
    if (!file.Open())
        throw IOException(QStringLiteral("The picture could not be written: %1").arg(file.Reason()));
    try {
        switch (format) {
        case TPictureFormat::Bmp: WriteBmp(file, image); break;
        case TPictureFormat::Jpeg: WriteJpeg(file, image); break;
        case TPictureFormat::Gif: WriteGif(file, image); break;
        case TPictureFormat::Emf:
        case TPictureFormat::Wmf: Write(file, metafile.constData(), metafile.size()); break;
        }
    } catch (...) {
        file.Discard();
        throw;
    }
    if (!file.Commit())
        throw IOException(QStringLiteral("The picture could not be written: %1").arg(file.Reason()));
}
