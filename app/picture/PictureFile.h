#pragma once
// Pictures of a drawing: painted into an image or a metafile and written to a file whose
// extension chooses the format (BMP, JPEG, GIF, EMF, WMF). A file is written to a temporary
// file beside the target and moved over it only when complete, so a failed write never leaves
// a truncated picture nor destroys the one that was there. Every failure raises an Exception
// with a message for the user; sizes a format cannot hold are refused before anything is drawn.

#include "Component/draw/MetafileCanvas.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

class QIODevice;
class TCanvas;

// Draws the picture onto a canvas of the size it was given.
using TPaintPicture = std::function<void(TCanvas& canvas)>;

enum class TPictureFormat { Bmp, Jpeg, Gif, Emf, Wmf };

// The largest side each raster format can hold.
constexpr int MaxJpegSide = 65500;
constexpr int MaxGifSide = 65535;
constexpr int JpegQuality = 90;

// The format of a file name's extension, compared upper-cased; raises for any other extension
// with "Unknown image file extension: " and the upper-cased extension.
TPictureFormat PictureFormatOf(const QString& fileName);
// Raises when a picture of that size cannot be written in the format.
void CheckPictureSize(TPictureFormat format, int width, int height);

// The drawing on a white picture of width x height pixels; raises when its memory cannot be had.
QImage PaintPictureImage(int width, int height, const TPaintPicture& paint);
// The drawing as a whole metafile file.
QByteArray PaintMetafile(int width, int height, TMetafileKind kind, const TPaintPicture& paint);

// Encoders onto an open device; each raises when the device fails or the encoder refuses.
void WriteBmp(QIODevice& device, const QImage& image);
void WriteJpeg(QIODevice& device, const QImage& image, int quality = JpegQuality);
void WriteGif(QIODevice& device, const QImage& image);

// Draws and writes the picture in the format of the file name's extension.
void WritePictureFile(const QString& fileName, int width, int height, const TPaintPicture& paint);
