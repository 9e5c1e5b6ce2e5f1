#include "app/picture/PictureMimeData.h"

#include "shared/core/Exceptions.h"

#include <new>

namespace {

// Readers take the bitmap through the toolkit's image type, which the platform turns into PNG,
// BMP and the other image types they ask for.
const QString ImageType = QStringLiteral("application/x-qt-image");
const QStringList MetafileTypes = {QStringLiteral("image/emf"), QStringLiteral("image/x-emf")};

} // namespace

TPictureMimeData::TPictureMimeData(int width, int height, TPaintPicture paint)
    : FWidth(width), FHeight(height), FPaint(std::move(paint))
{
}

QStringList TPictureMimeData::formats() const { return QStringList{ImageType} + MetafileTypes; }

bool TPictureMimeData::hasFormat(const QString& mimeType) const { return formats().contains(mimeType); }

QVariant TPictureMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    try {
        // Asked for the image's bytes, the platform encodes the image it gets next; making it
        // here as well would draw it twice.
        if (mimeType == ImageType && type.id() != QMetaType::QByteArray)
            return PaintPictureImage(FWidth, FHeight, FPaint);
        if (MetafileTypes.contains(mimeType))
            return PaintMetafile(FWidth, FHeight, TMetafileKind::Enhanced, FPaint);
    } catch (const Exception&) {
        // A picture too large for the memory left: the reader, another program, finds that
        // format empty. Nothing here can tell the user, and the program goes on.
    } catch (const std::bad_alloc&) {
    }
    return QVariant();
}
