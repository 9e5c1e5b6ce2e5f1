#include "app/ExportBitmap.h"
#include "app/MessageDialogs.h"
#include "app/picture/PictureFile.h"
#include "shared/core/Exceptions.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int Width = 120, Height = 90;
const QRect Red(20, 20, 40, 40);

// A red square, a gradient triangle and a text on the white picture.
void Paint(TCanvas& canvas)
{
    canvas.Brush.Color = 0x000000FF;
    canvas.FillRect(Red);
    canvas.GradientFillTriangle({TTriVertex::FromColor(110, 20, 0x00FF0000), TTriVertex::FromColor(70, 40, 0x00FF0000),
                                 TTriVertex::FromColor(110, 60, 0x00400000)});
    canvas.Brush.Style = TBrushStyle::Clear;
    canvas.Rectangle(Red.adjusted(-3, -3, 3, 3)); // an outline only: the square shows through
    canvas.TextOut(20, 65, QStringLiteral("Payoff"));
}

bool Near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Answers the save dialog with a name and collects the error boxes.
struct TExportSeams {
    QStringList Errors;
    TExportSeams(const QString& answer)
    {
        SetSavePictureDialogHook([answer](QWidget*, const QString&, int, const QString&) { return answer; });
        SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType, int) {
            Errors << text;
            return TModalResult::OK;
        });
    }
    ~TExportSeams()
    {
        SetSavePictureDialogHook({});
        SetMessageDlgHook({});
    }
};

} // namespace

TEST(PictureFileTest, RasterPicturesReadBack)
{
    QTemporaryDir dir;
    const QImage bitmap = PaintPictureImage(Width, Height, Paint);
    struct Case {
        const char* Name;   // as typed; the written file adds ".gif" when it has no extension
        const char* Format; // what a reader finds in it
        int Tolerance;
    };
    const Case cases[] = {{"a.bmp", "bmp", 0}, {"b.JpEg", "jpeg", 12}, {"c.JPG", "jpeg", 12}, {"d.gif", "gif", 24},
                          {"e", "gif", 24}};
    for (const Case& c : cases) {
        const QString typed = dir.filePath(QLatin1String(c.Name));
        TExportSeams seams(typed);
        ExportPicture(Width, Height, Paint);
        EXPECT_TRUE(seams.Errors.isEmpty()) << c.Name << ": " << seams.Errors.join(' ').toStdString();
        const QString written = QFileInfo(typed).suffix().isEmpty() ? typed + QStringLiteral(".gif") : typed;
        QImageReader reader(written);
        EXPECT_EQ(reader.format(), QByteArray(c.Format)) << c.Name;
        const QImage image = reader.read();
        ASSERT_EQ(image.size(), QSize(Width, Height)) << c.Name;
        EXPECT_TRUE(Near(image.pixelColor(0, 0), Qt::white, c.Tolerance)) << c.Name;
        EXPECT_TRUE(Near(image.pixelColor(Width - 1, Height - 1), Qt::white, c.Tolerance)) << c.Name;
        EXPECT_TRUE(Near(image.pixelColor(Red.center()), Qt::red, c.Tolerance)) << c.Name;
        EXPECT_TRUE(Near(image.pixelColor(100, 40), bitmap.pixelColor(100, 40), c.Tolerance)) << c.Name;
    }
    // Nothing but the pictures: no temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 5);
}

// A GIF of at most 256 colours keeps each of them exactly, however close they lie; with more,
// each reads back close to what was painted, also from a picture larger than the quantiser is
// handed samples of.
TEST(PictureFileTest, GifColoursAreExactUpTo256)
{
    struct Case {
        int Colours;
        QSize Size;
        int Tolerance;
    };
    for (const Case& c : {Case{256, {64, 48}, 0}, Case{257, {64, 48}, 8}, Case{300, {1030, 1020}, 8}}) {
        QImage picture(c.Size, QImage::Format_RGB32);
        for (int y = 0; y < c.Size.height(); ++y)
            for (int x = 0; x < c.Size.width(); ++x) {
                const int i = (y * c.Size.width() + x) / 7 % c.Colours; // runs of seven pixels
                picture.setPixel(x, y, qRgb(i & 255, (i >> 8) * 50, 128));
            }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        WriteGif(buffer, picture);
        const QImage read = QImage::fromData(bytes, "GIF").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(read.size(), c.Size) << c.Colours;
        int worst = 0;
        for (int y = 0; y < c.Size.height(); ++y)
            for (int x = 0; x < c.Size.width(); ++x) {
                const QRgb a = read.pixel(x, y), b = picture.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        EXPECT_LE(worst, c.Tolerance) << c.Colours << " colours";
    }
}

TEST(PictureFileTest, RefusalsWriteNothingAndKeepTheOldFile)
{
    QTemporaryDir dir;
    struct Case {
        QString Name;
        QSize Size;
        QString Message;
    };
    const Case cases[] = {
        {QStringLiteral("x.png"), {Width, Height}, QStringLiteral("Unknown image file extension: .PNG")},
        {QStringLiteral("x.jpg"), {MaxJpegSide + 1, 10}, QStringLiteral("too large for a JPEG file")},
        {QStringLiteral("x.gif"), {10, MaxGifSide + 1}, QStringLiteral("too large for a GIF file")},
        {QStringLiteral("x.bmp"), {40000, 40000}, QStringLiteral("too large for a BMP file")},
        {QStringLiteral("missing/x.emf"), {Width, Height}, QStringLiteral("No such file or directory")},
    };
    for (const Case& c : cases) {
        const QString name = dir.filePath(c.Name);
        QFile old(name);
        const bool hadOld = old.open(QIODevice::WriteOnly) && old.write("previous") == 8;
        old.close();
        TExportSeams seams(name);
        bool painted = false;
        ExportPicture(c.Size.width(), c.Size.height(), [&](TCanvas&) { painted = true; });
        ASSERT_EQ(seams.Errors.size(), 1) << c.Name.toStdString();
        EXPECT_TRUE(seams.Errors[0].contains(c.Message)) << seams.Errors[0].toStdString();
        EXPECT_EQ(painted, c.Name.startsWith(QLatin1String("missing"))) << c.Name.toStdString();
        if (hadOld) {
            QFile kept(name);
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), QByteArray("previous")) << c.Name.toStdString();
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), hadOld ? 1 : 0) << c.Name.toStdString();
        QFile::remove(name);
    }
}

TEST(PictureFileTest, EncoderFailuresRaise)
{
    const QImage image = PaintPictureImage(Width, Height, Paint);
    using TWriter = void (*)(QIODevice&, const QImage&);
    const TWriter writers[] = {WriteBmp, [](QIODevice& d, const QImage& i) { WriteJpeg(d, i); }, WriteGif};
    for (const TWriter write : writers) {
        QByteArray bytes;
        QBuffer readOnly(&bytes);
        readOnly.open(QIODevice::ReadOnly);
        EXPECT_THROW(write(readOnly, image), Exception);
    }
}

TEST(PictureFileTest, ClipboardOffersBitmapAndMetafile)
{
    CopyPictureToClipboard(Width, Height, Paint);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QImage image = qvariant_cast<QImage>(data->imageData());
    ASSERT_EQ(image.size(), QSize(Width, Height));
    EXPECT_EQ(image.pixelColor(Red.center()), QColor(Qt::red));
    for (const char* type : {"image/emf", "image/x-emf"}) {
        const QByteArray emf = data->data(QLatin1String(type));
        ASSERT_GT(emf.size(), 108) << type;
        EXPECT_EQ(emf.mid(40, 4), QByteArray(" EMF")) << type;
    }
}

// A real reader draws the metafiles as the bitmap shows the drawing.
TEST(PictureFileTest, MetafilesLookLikeTheBitmap)
{
    const QString inkscape = QStandardPaths::findExecutable(QStringLiteral("inkscape"));
    if (inkscape.isEmpty())
        GTEST_SKIP() << "inkscape is not installed";
    QTemporaryDir dir;
    const QImage bitmap = PaintPictureImage(Width, Height, Paint);
    for (const char* extension : {"emf", "wmf"}) {
        const QString name = dir.filePath(QStringLiteral("t.") + QLatin1String(extension));
        const QString png = name + QStringLiteral(".png");
        WritePictureFile(name, Width, Height, Paint);
        QProcess process;
        process.start(inkscape, {QStringLiteral("--export-type=png"), QStringLiteral("--export-filename=") + png,
                                 QStringLiteral("--export-background=white"), name});
        ASSERT_TRUE(process.waitForFinished(120000)) << extension;
        QImage rendered(png);
        ASSERT_FALSE(rendered.isNull()) << extension;
        rendered = rendered.convertToFormat(QImage::Format_RGB32);
        EXPECT_NEAR(rendered.width(), Width, 2) << extension;
        EXPECT_NEAR(rendered.height(), Height, 2) << extension;
        for (const QPoint at : {QPoint(2, 2), Red.center(), QPoint(100, 40), QPoint(80, 15), QPoint(Width - 3, Height - 3)})
            EXPECT_TRUE(Near(rendered.pixelColor(at), bitmap.pixelColor(at), 24))
                << extension << " at " << at.x() << "," << at.y() << ": " << rendered.pixelColor(at).name().toStdString()
                << " for " << bitmap.pixelColor(at).name().toStdString();
    }
}
