#include "app/ExportBitmap.h"

#include "app/DocumentFileDialog.h"
#include "app/MessageDialogs.h"
#include "app/picture/PictureMimeData.h"
#include "shared/core/Exceptions.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

TSavePictureDialogHook& DialogHook()
{
    static TSavePictureDialogHook hook;
    return hook;
}

// The hourglass while a picture is made, put back however the work ends.
struct TWaitCursor {
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// The extensions of the types the dialog offers, as its filter lists them.
QStringList PictureExtensions()
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    QStringList extensions;
    for (const QRegularExpressionMatch& m : pattern.globalMatch(PictureFileFilter()))
        extensions << m.captured(1);
    return extensions;
}

QString AskFileName(QWidget* parent)
{
    const QString filter = PictureFileFilter();
    constexpr int GifFilter = 3;
    const QString defaultExt = QStringLiteral("gif");
    if (DialogHook())
        return DialogHook()(parent, filter, GifFilter, defaultExt);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    dialog.selectNameFilter(dialog.nameFilters().value(GifFilter));
    dialog.setDefaultSuffix(defaultExt);
    // As the system's save dialogs do, a name typed without extension takes the chosen type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& nameFilter) { dialog.setDefaultSuffix(PictureFilterSuffix(nameFilter)); });
    // A name with another ending ("chart v2.5") takes the chosen type's; under "All files" it
    // stays as typed, and an ending that is no picture type is refused by the writer.
    return ExecuteSaveFileDialog(dialog, PictureExtensions(), [](const QString& nameFilter) {
        return IsAllFilesFilter(nameFilter) ? QString() : PictureFilterSuffix(nameFilter);
    });
}

} // namespace

QString PictureFileFilter()
{
    return QStringLiteral("Windows Bitmap (*.bmp);;JPEG Image File (*.jpg);;JPEG Image File (*.jpeg);;"
                          "GIF File (*.gif);;Enhanced Metafile (*.emf);;Metafile (*.wmf);;All files (*)");
}

QString PictureFilterSuffix(const QString& nameFilter)
{
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.(\\w+)\\)$"));
    const QRegularExpressionMatch match = single.match(nameFilter);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("gif");
}

TSavePictureDialogHook SetSavePictureDialogHook(TSavePictureDialogHook hook)
{
    std::swap(DialogHook(), hook);
    return hook;
}

void CopyPictureToClipboard(int width, int height, const TPaintPicture& paint)
{
    TWaitCursor wait;
    CheckPictureSize(TPictureFormat::Emf, width, height);
    QGuiApplication::clipboard()->setMimeData(new TPictureMimeData(width, height, paint));
}

void ExportPicture(int width, int height, const TPaintPicture& paint, QWidget* parent)
{
    QString fileName = AskFileName(parent);
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".gif");
    QString failure;
    {
        TWaitCursor wait;
        try {
            WritePictureFile(fileName, width, height, paint);
        } catch (const Exception& e) {
            failure = e.Message();
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("There is not enough memory for a picture of %1 x %2 pixels.").arg(width).arg(height);
        }
    }
    if (!failure.isEmpty())
        ShowFileError(parent, QStringLiteral("Error exporting picture: "), fileName, failure);
}
