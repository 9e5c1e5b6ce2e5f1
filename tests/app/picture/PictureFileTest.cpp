#include "Component/control/DecTree.h"
#include "app/ExportBitmap.h"
#include "app/TreePictures.h"
#include "bench/support/RandomTree.h"
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
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A width whose rows of three bytes a pixel need padding to four.
constexpr int Width = 121, Height = 90;
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

// The mean over all pixels of the largest channel difference.
double MeanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return sum / (a.width() * a.height());
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
        double Difference;  // from the drawing, on average: none for BMP, a little for the lossy ones
        const char* End;    // the format's last bytes: nothing may follow them
    };
    const Case cases[] = {{"a.bmp", "bmp", 0, ""}, {"b.JpEg", "jpeg", 5, "\xFF\xD9"}, {"c.JPG", "jpeg", 5, "\xFF\xD9"},
                          {"d.gif", "gif", 1, ";"}, {"e", "gif", 1, ";"}};
    for (const Case& c : cases) {
        const QString typed = dir.filePath(QLatin1String(c.Name));
        TExportSeams seams(typed);
        ExportPicture(Width, Height, Paint);
        EXPECT_TRUE(seams.Errors.isEmpty()) << c.Name << ": " << seams.Errors.join(' ').toStdString();
        const QString written = QFileInfo(typed).suffix().isEmpty() ? typed + QStringLiteral(".gif") : typed;
        QFile file(written);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().endsWith(c.End)) << c.Name;
        QImageReader reader(written);
        EXPECT_EQ(reader.format(), QByteArray(c.Format)) << c.Name;
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), QSize(Width, Height)) << c.Name;
        EXPECT_LE(MeanDifference(image, bitmap), c.Difference) << c.Name;
    }
    // Nothing but the pictures: no temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
}

// A GIF of at most 256 colours keeps each of them exactly, however close they lie; with more,
// each reads back as the mean of the colours that share its entry (within half a box of the
// quantiser's five bits), also from a picture larger than the quantiser is handed samples of.
TEST(PictureFileTest, GifColoursAreExactUpTo256)
{
    struct Case {
        int Colours;
        QSize Size;
        int Tolerance;
    };
    for (const Case& c : {Case{256, {64, 48}, 0}, Case{257, {64, 48}, 4}, Case{300, {1030, 1020}, 4}}) {
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
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), hadOld ? 1 : 0) << c.Name.toStdString();
        QFile::remove(name);
    }
}

// Every format's limit holds on both axes, to the pixel: JPEG sides up to 65,500, GIF sides up
// to 65,535, BMP files whose 32-bit size field holds the header and the rows, each padded to
// four bytes. A picture at a raster format's limit is really written.
TEST(PictureFileTest, EachLimitHoldsOnBothAxes)
{
    struct Case {
        TPictureFormat Format;
        int Width, Height;
        bool Fits;
    };
    using enum TPictureFormat;
    const Case cases[] = {
        {Jpeg, 65500, 1, true}, {Jpeg, 65501, 1, false}, {Jpeg, 1, 65500, true}, {Jpeg, 1, 65501, false},
        {Gif, 65535, 1, true},  {Gif, 65536, 1, false},  {Gif, 1, 65535, true},  {Gif, 1, 65536, false},
        // 54 + 4,294,967,240 bytes (1,431,655,746 x 3, padded) fit; a pixel more needs 4 bytes more.
        {Bmp, 1431655746, 1, true}, {Bmp, 1431655747, 1, false},
        // 54 + 4 x 1,073,741,810 fit; a row more does not.
        {Bmp, 1, 1073741810, true}, {Bmp, 1, 1073741811, false},
        {Wmf, 0, 10, false}, {Emf, 10, 0, false}, {Emf, 1000000, 1000000, true},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const std::string name = std::to_string(int(c.Format)) + " " + std::to_string(c.Width) + "x" + std::to_string(c.Height);
        if (!c.Fits) {
            EXPECT_THROW(CheckPictureSize(c.Format, c.Width, c.Height), Exception) << name;
            continue;
        }
        EXPECT_NO_THROW(CheckPictureSize(c.Format, c.Width, c.Height)) << name;
        if (c.Format == Jpeg || c.Format == Gif) {
            const QString file = dir.filePath(c.Format == Jpeg ? QStringLiteral("l.jpg") : QStringLiteral("l.gif"));
            WritePictureFile(file, c.Width, c.Height, [](TCanvas&) {});
            EXPECT_EQ(QImageReader(file).size(), QSize(c.Width, c.Height)) << name;
        }
    }
}

// A copy offers the bitmap and the metafile but draws neither until a reader asks; each is then
// drawn for that reader alone.
TEST(PictureFileTest, ClipboardDrawsEachFormatOnlyWhenAsked)
{
    int painted = 0;
    CopyPictureToClipboard(Width, Height, [&](TCanvas& canvas) {
        ++painted;
        Paint(canvas);
    });
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasImage());
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/emf")) && data->hasFormat(QStringLiteral("image/x-emf")));
    EXPECT_EQ(painted, 0);
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()), PaintPictureImage(Width, Height, Paint));
    EXPECT_EQ(painted, 1);
    const QByteArray emf = PaintMetafile(Width, Height, TMetafileKind::Enhanced, Paint);
    EXPECT_EQ(data->data(QStringLiteral("image/emf")), emf);
    EXPECT_EQ(data->data(QStringLiteral("image/x-emf")), emf);
    EXPECT_EQ(painted, 3);
}

// The tree copied is the tree pasted, however it changes in between.
TEST(PictureFileTest, ACopiedTreePastesAsItWasCopied)
{
    TDecTree tree;
    TRandomTreeSettings settings;
    settings.NodeCount = 40;
    FillRandomDocument(tree.Document(), settings);
    tree.Options().ShowPayoff = true;
    tree.Recalculate();
    const QSize size = TreePictureSize(tree);
    const QImage image = PaintPictureImage(size.width(), size.height(), [&](TCanvas& c) { tree.PaintToCanvas(c); });
    CopyTreePicture(tree);
    tree.Document().SetRoot(MakeChain(tree.Document(), 2, ntChance));
    tree.Recalculate();
    EXPECT_EQ(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData()), image);
}
