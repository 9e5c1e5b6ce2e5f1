#include "Component/draw/MetafileCanvas.h"

#include "support/WmfRecords.h"

#include <gtest/gtest.h>

// WMF text is one byte a character in the code page of its font's character set: each run goes
// out in a character set that holds it, starting where the canvas measured its first character;
// blanks no code page holds become no-break spaces, and what no code page holds (the rouble and
// lira signs, Georgian) is drawn as glyph outlines in the text colour, never as '?'.
TEST(MetafileTextTest, EachRunInACharsetThatHoldsIt)
{
    constexpr int Outline = -1, X = 7, Y = 5;
    constexpr TColor Colour = 0x00123456;
    struct TRun {
        int Charset;
        QByteArray Bytes;
        int OutlinedUnits = 0;
    };
    const struct {
        QString Text;
        std::vector<TRun> Runs;
    } cases[] = {
        {QStringLiteral("Ελλάδα 5 €"), {{161, "\xC5\xEB\xEB\xDC\xE4\xE1 5 \x80"}}},
        {QStringLiteral("Заявка 5 €"), {{204, "\xC7\xE0\xFF\xE2\xEA\xE0 5 \x88"}}},
        {QStringLiteral("Zażółć"), {{238, "Za\xBF\xF3\xB3\xE6"}}},
        {QStringLiteral("Ūdens €"), {{186, "\xDB" "dens \x80"}}},
        {QStringLiteral("Işık 5 ₺"), {{162, "I\xFE\xFDk 5 "}, {Outline, {}, 1}}},
        {QStringLiteral("1\u202F234,50\u00A0₽"), {{0, "1\xA0" "234,50\xA0"}, {Outline, {}, 1}}},
        {QStringLiteral("Ω Ж"), {{161, "\xD9 "}, {204, "\xC6"}}},
        {QStringLiteral("\u201CGo\u201D \u2013 caf\u00E9"), {{0, "\x93Go\x94 \x96 caf\xE9"}}},
        {QStringLiteral("A\u10DA\u10D0B"), {{0, "A"}, {Outline, {}, 2}, {0, "B"}}},
    };
    for (const auto& c : cases) {
        TMetafileCanvas canvas(300, 50, TMetafileKind::Windows);
        canvas.Font.Color = Colour;
        canvas.TextOut(X, Y, c.Text);
        const QRect cell(QPoint(X, Y), canvas.TextExtent(c.Text));
        qsizetype from = 0;
        size_t run = 0;
        for (const wmf::TRecord& r : wmf::Records(canvas.Finish())) {
            if (r.Function != wmf::ExtTextOut && r.Function != wmf::PolyPolygon)
                continue;
            const std::string at = c.Text.toStdString() + " run " + std::to_string(run);
            ASSERT_LT(run, c.Runs.size()) << at;
            const TRun& want = c.Runs[run++];
            const int measuredX = X + canvas.TextWidth(c.Text.left(from));
            if (r.Function == wmf::PolyPolygon) {
                EXPECT_EQ(want.Charset, Outline) << at;
                EXPECT_EQ(r.BrushColor(), Colour) << at;
                QRect ink;
                for (qsizetype p = 2 + 2 * r.I16(0); p + 4 <= r.Params.size(); p += 4)
                    ink |= QRect(r.I16(p), r.I16(p + 2), 1, 1);
                EXPECT_TRUE(cell.adjusted(-1, -1, 1, 1).contains(ink)) << at; // glyphs may overhang a pixel
                EXPECT_NEAR(ink.left(), measuredX, 3) << at;
                from += want.OutlinedUnits;
                continue;
            }
            const int16_t count = r.I16(4);
            EXPECT_EQ(r.Charset(), want.Charset) << at;
            EXPECT_EQ(r.Params.mid(8, count), want.Bytes) << at;
            EXPECT_NEAR(r.I16(2), measuredX, 1) << at;
            int end = r.I16(2); // where the advances take the last character
            for (int i = 0; i < count; ++i)
                end += r.I16(8 + (count + 1) / 2 * 2 + 2 * i);
            from += count;
            EXPECT_NEAR(end, X + canvas.TextWidth(c.Text.left(from)), 1) << at;
        }
        EXPECT_EQ(run, c.Runs.size()) << c.Text.toStdString();
    }
}
