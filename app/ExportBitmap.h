#pragma once
// The drawing as a picture: copied to the clipboard (a bitmap and an enhanced metafile at
// once) or exported to a file chosen by the user, whose extension picks the format. Neither
// knows what it draws: both take the picture's size and a callback that paints it.

#include "app/picture/PictureFile.h"

#include <QString>

#include <functional>

class QWidget;

// Puts the picture on the clipboard as a bitmap and as EMF ("image/emf" and "image/x-emf") in
// one offer, each drawn only when a reader asks for it: paint is kept and called then, as often
// as readers ask, so it must draw what is copied now. Errors pass to the caller.
void CopyPictureToClipboard(int width, int height, const TPaintPicture& paint);

// Asks for a file name and writes the picture in the format of its extension. A name without
// extension becomes a GIF. Errors end the export with an error box and write nothing.
void ExportPicture(int width, int height, const TPaintPicture& paint, QWidget* parent = nullptr);

// The save dialog: gets the filter, the index of the filter shown first and the default
// extension, answers the chosen name or an empty one when the user cancels. Tests replace it;
// an empty hook brings the dialog back. Answers the hook installed before.
using TSavePictureDialogHook =
    std::function<QString(QWidget* parent, const QString& filter, int filterIndex, const QString& defaultExt)>;
TSavePictureDialogHook SetSavePictureDialogHook(TSavePictureDialogHook hook);

// The save dialog's filter, in the form "description (patterns);;...".
QString PictureFileFilter();
// The extension a name typed without one gets under a filter of that list: the filter's own, or
// "gif" under "All files".
QString PictureFilterSuffix(const QString& nameFilter);
