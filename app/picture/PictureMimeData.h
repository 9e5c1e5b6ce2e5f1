#pragma once
// The picture on the clipboard: offered as a bitmap and as an enhanced metafile, but each made
// only when a reader asks for it. A copy of a large drawing therefore costs no time and holds no
// picture while the program owns the clipboard, and a paste makes only the format it takes,
// freeing it again once handed over.

#include "app/picture/PictureFile.h"

#include <QMimeData>

class TPictureMimeData final : public QMimeData {
public:
    // Paint draws the picture; it is called for every format a reader asks for, as long as the
    // clipboard holds this offer, so it must draw what was copied, not what is there later.
    TPictureMimeData(int width, int height, TPaintPicture paint);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    int FWidth;
    int FHeight;
    TPaintPicture FPaint;
};
