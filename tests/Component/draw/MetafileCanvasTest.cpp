#include "Component/draw/MetafileCanvas.h"

#include "support/WmfRecords.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

uint32_t U32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<uint32_t>(b.constData() + at); }
uint16_t U16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<uint16_t>(b.constData() + at); }
int16_t I16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<int16_t>(b.constData() + at); }

void DrawSome(TCanvas& canvas, int width, int height)
{
    canvas.Brush.Color = 0x000000FF;
    canvas.FillRect(QRect(0, 0, width / 2, height / 2));
    canvas.PushClipRect(QRect(0, 0, width, height / 3));
    canvas.Rectangle(QRect(10, 10, 30, 20));
    canvas.TextOut(5, 5, QStringLiteral("Payoff"));
    canvas.PopClipRect();
    canvas.MoveTo(QPoint(0, 0));
    canvas.LineTo(QPoint(width - 1, height - 1));
    canvas.GradientFillTriangle({TTriVertex::FromColor(60, 10, 0x00FFFFFF), TTriVertex::FromColor(20, 30, 0x00808080),
                                 TTriVertex::FromColor(60, 50, 0x00000000)});
    QImage glyph(9, 9, QImage::Format_RGB32);
    glyph.fill(Qt::green);
    canvas.Draw(width - 20, height - 20, glyph);
}

// Walks the enhanced records: their count and the type of the last, or -1 when a size is broken.
std::pair<int, int> WalkRecords(const QByteArray& file)
{
    int count = 0, last = -1;
    for (qsizetype at = 0; at < file.size(); ++count, at += U32(file, at + 4)) {
        last = int(U32(file, at));
        if (U32(file, at + 4) < 8 || at + U32(file, at + 4) > file.size())
            return {count, -1};
    }
    return {count, last};
}

} // namespace

TEST(MetafileCanvasTest, EnhancedFileIsWholeAtFullSize)
{
    for (const QSize size : {QSize(200, 100), QSize(300, 70000)}) {
        TMetafileCanvas canvas(size.width(), size.height(), TMetafileKind::Enhanced);
        DrawSome(canvas, size.width(), size.height());
        const QByteArray emf = canvas.Finish();
        ASSERT_GE(emf.size(), 108);
        EXPECT_EQ(U32(emf, 0), 1u);                 // header record
        EXPECT_EQ(U32(emf, 40), 0x464D4520u);       // " EMF"
        EXPECT_EQ(U32(emf, 48), uint32_t(emf.size()));
        EXPECT_EQ(int(U32(emf, 16)), size.width() - 1); // bounds
        EXPECT_EQ(int(U32(emf, 20)), size.height() - 1);
        // The frame: hundredths of a millimetre at 96 dpi.
        EXPECT_NEAR(int(U32(emf, 32)), size.width() * 2540 / 96, 1);
        EXPECT_NEAR(int(U32(emf, 36)), size.height() * 2540 / 96, 1);
        const auto [count, last] = WalkRecords(emf);
        EXPECT_EQ(count, int(U32(emf, 52))) << size.height();
        EXPECT_EQ(last, 14); // end of file
        EXPECT_GE(count, 12);
    }
}

TEST(MetafileCanvasTest, WindowsFileScalesUniformlyToSixteenBits)
{
    struct Case {
        QSize Size;
        QSize Box;
    };
    const Case cases[] = {{{200, 100}, {200, 100}}, {{1000, 65534}, {500, 32767}}};
    for (const Case& c : cases) {
        TMetafileCanvas canvas(c.Size.width(), c.Size.height(), TMetafileKind::Windows);
        DrawSome(canvas, c.Size.width(), c.Size.height());
        const QByteArray wmf = canvas.Finish();
        ASSERT_GE(wmf.size(), 40);
        EXPECT_EQ(U32(wmf, 0), 0x9AC6CDD7u);
        uint16_t checksum = 0;
        for (int i = 0; i < 20; i += 2)
            checksum ^= U16(wmf, i);
        EXPECT_EQ(U16(wmf, 20), checksum);
        EXPECT_EQ(QSize(I16(wmf, 10), I16(wmf, 12)), c.Box);
        // The units per inch shrink with the picture, so its size on paper stays.
        EXPECT_NEAR(U16(wmf, 14) * double(c.Size.width()) / c.Box.width(), 96.0, 1.0);
        EXPECT_EQ(U32(wmf, 22 + 6) * 2, uint32_t(wmf.size() - 22));
        const std::vector<wmf::TRecord> records = wmf::Records(wmf);
        ASSERT_GE(records.size(), 12u);
        EXPECT_EQ(records.back().Function, 0) << c.Size.height();
        // No coordinate of the line's end (the picture's far corner) wraps past 16 bits.
        EXPECT_LE(canvas.Scale() * c.Size.height(), 32767.5);
        // What a reader finds: the window is the picture's box, the first fill (the top-left
        // quarter) covers its last row and column, and the diagonal ends in the far corner.
        auto first = [&](uint16_t function) {
            return *std::find_if(records.begin(), records.end(), [&](const auto& r) { return r.Function == function; });
        };
        EXPECT_EQ(QSize(first(wmf::SetWindowExt).I16(2), first(wmf::SetWindowExt).I16(0)), c.Box);
        const wmf::TRecord fill = first(wmf::Rectangle);
        if (c.Size == c.Box) {
            EXPECT_EQ(QRect(QPoint(fill.I16(6), fill.I16(4)), QPoint(fill.I16(2), fill.I16(0))),
                      QRect(0, 0, c.Box.width() / 2 + 2, c.Box.height() / 2 + 2));
        }
        const wmf::TRecord line = first(wmf::LineTo);
        EXPECT_NEAR(line.I16(2), c.Box.width(), 1);
        EXPECT_NEAR(line.I16(0), c.Box.height(), 1);
    }
}

// Scaled to fit, a pen takes the nearest whole number of the file's units, so lines keep their
// proportions; one thinner than half a unit is written 0 wide, which readers draw one device
// pixel wide. Dotted pens stay dotted.
TEST(MetafileCanvasTest, WindowsPensKeepTheirProportionsWhenScaled)
{
    struct Case {
        int Height; // 200 at full size, 65534 at a half, 163835 at a fifth
        TPenStyle Style;
        int Width;
        int16_t Written;
    };
    using enum TPenStyle;
    const Case cases[] = {{200, Solid, 1, 1},    {200, Solid, 3, 3},    {200, Dot, 1, 1},      {65534, Solid, 1, 0},
                          {65534, Solid, 2, 1},  {65534, Solid, 3, 2},  {65534, Dot, 1, 0},    {163835, Solid, 1, 0},
                          {163835, Solid, 2, 0}, {163835, Solid, 3, 1}, {163835, Solid, 10, 2}};
    for (const Case& c : cases) {
        TMetafileCanvas canvas(100, c.Height, TMetafileKind::Windows);
        canvas.Pen = TCanvasPen{0x00FF0000, c.Width, c.Style};
        canvas.MoveTo(QPoint(10, 10));
        canvas.LineTo(QPoint(90, c.Height - 10));
        const std::vector<wmf::TRecord> records = wmf::Records(canvas.Finish());
        const auto line = std::find_if(records.rbegin(), records.rend(), [](const auto& r) { return r.Function == wmf::LineTo; });
        ASSERT_NE(line, records.rend());
        EXPECT_EQ(line->PenWidth(), c.Written) << c.Height << " " << c.Width;
        EXPECT_EQ(line->PenStyle(), c.Style == TPenStyle::Dot ? 2 : 0) << c.Height << " " << c.Width;
    }
}
