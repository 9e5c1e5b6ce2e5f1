#include "Component/draw/StyledPainter.h"

#include "Component/draw/ColorBlender.h"
#include "Component/draw/GradientDefinition.h"
#include "Component/draw/PainterCanvas.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/styles/Style.h"
#include "shared/core/Colors.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor Grey(int v) { return TColor(v | (v << 8) | (v << 16)); }

// A stand-alone style whose settings all carry own values.
struct TTestStyle {
    TStyle Style{QString(), QStringLiteral("All"), {}};
    TTestStyle(TBackgroundFillMode fill, TShadowStyle shadow, int lineWidth = 2,
               TColor background = 0x00804020, TColor line = 0x00010203)
    {
        Style.BackgroundColor()->Value = background;
        Style.LineWidth()->Value = lineWidth;
        Style.LineColor()->Value = line;
        Style.FontName()->Value = QStringLiteral("Verdana");
        Style.FontSize()->Value = 8;
        Style.FontColor()->Value = 0x00112233;
        Style.FillMode()->Value = fill;
        Style.Shadow()->Value = shadow;
    }
};

struct TPainterFixture : ::testing::Test {
    TRecordingCanvas Canvas;
    TStyledPainter Painter{Canvas};
    const std::vector<TCanvasCall>& Calls() const { return Canvas.Calls(); }
};

const TRectangle ShadowCase = TRectangle::Create(10, 10, 20, 10);

} // namespace

// --- shadow pass --------------------------------------------------------------------------

using StyledPainterShadowTest = TPainterFixture;

TEST_F(StyledPainterShadowTest, SoftRectangleShadowIsFourSteppedFills)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::Soft);
    Painter.ShadowPass = true;
    Painter.DrawRectangle(s.Style, ShadowCase);
    ASSERT_EQ(Calls().size(), 4u);
    const QRect expected[4] = {QRect(QPoint(11, 11), QPoint(32, 22)), QRect(QPoint(12, 12), QPoint(31, 21)),
                               QRect(QPoint(13, 13), QPoint(30, 20)), QRect(QPoint(14, 14), QPoint(29, 19))};
    const TColor colours[4] = {Grey(215), Grey(176), Grey(136), Grey(96)};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Calls()[i].Op, TCanvasOp::FillRect);
        EXPECT_EQ(Calls()[i].Rect, expected[i]);
        EXPECT_EQ(Calls()[i].Brush.Color, colours[i]);
        EXPECT_EQ(Calls()[i].Brush.Style, TBrushStyle::Solid);
    }
}

TEST_F(StyledPainterShadowTest, HardRectangleShadowIsOneOffsetFill)
{
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::Hard);
    Painter.ShadowPass = true;
    Painter.DrawRectangle(s.Style, ShadowCase);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Op, TCanvasOp::FillRect);
    EXPECT_EQ(Calls()[0].Rect, QRect(14, 14, 20, 10));
    EXPECT_EQ(Calls()[0].Brush.Color, TStyledPainter::ShadowColor);
}

TEST_F(StyledPainterShadowTest, NoShadowAndNormalPassPrimitivesDrawNothing)
{
    TTestStyle none(TBackgroundFillMode::Gradient, TShadowStyle::None);
    TTestStyle soft(TBackgroundFillMode::Gradient, TShadowStyle::Soft);
    Painter.ShadowPass = true;
    Painter.DrawRectangle(none.Style, ShadowCase);
    Painter.DrawEllipse(none.Style, ShadowCase);
    Painter.DrawTriangle(none.Style, TRectangle::Create(0, 0, 17, 17));
    Painter.DrawLine(soft.Style, QPoint(0, 0), QPoint(10, 10));
    Painter.DrawDottedLine(soft.Style, QPoint(0, 0), QPoint(10, 10));
    Painter.DrawText(soft.Style, QPoint(0, 0), QStringLiteral("x"), taCenter, taCenter);
    Painter.DrawTextRect(soft.Style, ShadowCase, QPoint(0, 0), QStringLiteral("x"));
    Painter.DrawGraphic(QPoint(0, 0), QImage(9, 9, QImage::Format_RGB32));
    Painter.DrawCornerMarker(ShadowCase, 2);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(StyledPainterShadowTest, SoftEllipseShadowOutlinesInTheFillColour)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::Soft);
    Painter.ShadowPass = true;
    Painter.DrawEllipse(s.Style, TRectangle::Create(0, 0, 17, 17));
    ASSERT_EQ(Calls().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const int step = int(i) + 1;
        EXPECT_EQ(Calls()[i].Op, TCanvasOp::Ellipse);
        EXPECT_EQ(Calls()[i].Rect, TRectangle::Inflate(TRectangle::Create(0, 0, 17, 17), -step, -step, 4 - step, 4 - step).ToRect());
        EXPECT_EQ(Calls()[i].Pen.Color, Calls()[i].Brush.Color);
        EXPECT_EQ(Calls()[i].Pen.Width, 1);
        EXPECT_EQ(Calls()[i].Pen.Style, TPenStyle::Solid);
    }
    EXPECT_EQ(Calls()[0].Brush.Color, Grey(215));
    EXPECT_EQ(Calls()[3].Brush.Color, Grey(96));
}

TEST_F(StyledPainterShadowTest, HardEllipseShadow)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::Hard);
    Painter.ShadowPass = true;
    Painter.DrawEllipse(s.Style, TRectangle::Create(0, 0, 17, 17));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Rect, QRect(4, 4, 17, 17));
    EXPECT_EQ(Calls()[0].Brush.Color, TStyledPainter::ShadowColor);
    EXPECT_EQ(Calls()[0].Pen.Color, TStyledPainter::ShadowColor);
}

TEST_F(StyledPainterShadowTest, TriangleShadows)
{
    const TRectangle r = TRectangle::Create(10, 20, 17, 17);
    TTestStyle hard(TBackgroundFillMode::Gradient, TShadowStyle::Hard);
    Painter.ShadowPass = true;
    Painter.DrawTriangle(hard.Style, r);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Op, TCanvasOp::GradientFillTriangle);
    EXPECT_EQ(Calls()[0].Vertices[0], TTriVertex::FromColor(31, 24, TStyledPainter::ShadowColor));
    EXPECT_EQ(Calls()[0].Vertices[1], TTriVertex::FromColor(14, 32, TStyledPainter::ShadowColor));
    EXPECT_EQ(Calls()[0].Vertices[2], TTriVertex::FromColor(31, 41, TStyledPainter::ShadowColor));

    Canvas.Clear();
    TTestStyle soft(TBackgroundFillMode::Gradient, TShadowStyle::Soft);
    Painter.DrawTriangle(soft.Style, r);
    ASSERT_EQ(Calls().size(), 4u);
    // Step 1: the rectangle (11, 21) with width 19 and height 19.
    EXPECT_EQ(Calls()[0].Vertices[0], TTriVertex::FromColor(30, 21, Grey(215)));
    EXPECT_EQ(Calls()[0].Vertices[1], TTriVertex::FromColor(11, 30, Grey(215)));
    EXPECT_EQ(Calls()[0].Vertices[2], TTriVertex::FromColor(30, 40, Grey(215)));
    EXPECT_EQ(Calls()[3].Vertices[1], TTriVertex::FromColor(14, 30, Grey(96)));
}

TEST_F(StyledPainterShadowTest, SelectionFrameIsDrawnInBothPasses)
{
    Painter.ShadowPass = true;
    Painter.DrawSelectionRect(ShadowCase);
    Painter.ShadowPass = false;
    Painter.DrawSelectionRect(ShadowCase);
    ASSERT_EQ(Calls().size(), 2u);
    for (const TCanvasCall& c : Calls()) {
        EXPECT_EQ(c.Op, TCanvasOp::Rectangle);
        EXPECT_EQ(c.Rect, ShadowCase.ToRect());
        EXPECT_EQ(c.Pen.Style, TPenStyle::Dot);
        EXPECT_EQ(c.Pen.Width, 1);
        EXPECT_EQ(c.Pen.Color, clBlue);
        EXPECT_EQ(c.Brush.Style, TBrushStyle::Clear);
    }
}

// --- normal pass: shapes ------------------------------------------------------------------

using StyledPainterShapeTest = TPainterFixture;

TEST_F(StyledPainterShapeTest, GradientRectangleIsFilledRowByRowThenOutlined)
{
    const TColor bg = 0x00804020;
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::Soft, 2, bg);
    const TRectangle r = TRectangle::Create(5, 6, 30, 21);
    Painter.DrawRectangle(s.Style, r);
    ASSERT_EQ(Calls().size(), 22u);
    TGradientDefinition g;
    g.AddStop(Blend(bg, 0xFFFFFF, 0.7f), 0.0f);
    g.AddStop(Blend(bg, 0xFFFFFF, 0.3f), 0.65f);
    g.AddStop(bg, 1.0f);
    for (int i = 0; i < 21; ++i) {
        const TCanvasCall& c = Calls()[size_t(i)];
        EXPECT_EQ(c.Op, TCanvasOp::FillRect);
        EXPECT_EQ(c.Rect, QRect(5, 6 + i, 30, 1));
        EXPECT_EQ(c.Brush.Color, g.GetColorAt(float(i) / 20));
    }
    EXPECT_EQ(Calls()[0].Brush.Color, Blend(bg, 0xFFFFFF, 0.7f));   // top light
    EXPECT_EQ(Calls()[13].Brush.Color, Blend(bg, 0xFFFFFF, 0.3f));  // 13 / 20 = 0.65
    EXPECT_EQ(Calls()[20].Brush.Color, bg);                         // bottom the full colour
    const TCanvasCall& outline = Calls().back();
    EXPECT_EQ(outline.Op, TCanvasOp::Rectangle);
    EXPECT_EQ(outline.Rect, r.ToRect());
    EXPECT_EQ(outline.Brush.Style, TBrushStyle::Clear);
    EXPECT_EQ(outline.Pen.Style, TPenStyle::Solid);
    EXPECT_EQ(outline.Pen.Width, 2);
    EXPECT_EQ(outline.Pen.Color, 0x00010203);
}

TEST_F(StyledPainterShapeTest, SolidRectangleAndOverride)
{
    TTestStyle solid(TBackgroundFillMode::Solid, TShadowStyle::None);
    Painter.DrawRectangle(solid.Style, ShadowCase);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Brush, (TCanvasBrush{0x00804020, TBrushStyle::Solid}));

    // A gradient rectangle with an override colour is filled solid in that colour.
    Canvas.Clear();
    TTestStyle gradient(TBackgroundFillMode::Gradient, TShadowStyle::None);
    Painter.DrawRectangle(gradient.Style, ShadowCase, TNullableColor(clFuchsia));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Op, TCanvasOp::Rectangle);
    EXPECT_EQ(Calls()[0].Brush, (TCanvasBrush{clFuchsia, TBrushStyle::Solid}));
}

TEST_F(StyledPainterShapeTest, LineWidthZeroMeansNoOutline)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None, 0);
    Painter.DrawRectangle(s.Style, ShadowCase);
    Painter.DrawEllipse(s.Style, ShadowCase);
    Painter.DrawTriangle(s.Style, TRectangle::Create(0, 0, 17, 17));
    Painter.DrawLine(s.Style, QPoint(0, 0), QPoint(5, 5));
    ASSERT_EQ(Calls().size(), 3u);   // no polygon outline, no line
    EXPECT_EQ(Calls()[0].Pen.Style, TPenStyle::Clear);
    EXPECT_EQ(Calls()[1].Pen.Style, TPenStyle::Clear);
    EXPECT_EQ(Calls()[2].Op, TCanvasOp::GradientFillTriangle);
    // The dotted line is drawn whatever the line width.
    Painter.DrawDottedLine(s.Style, QPoint(0, 0), QPoint(5, 5));
    ASSERT_EQ(Calls().size(), 5u);
    EXPECT_EQ(Calls()[4].Op, TCanvasOp::LineTo);
    EXPECT_EQ(Calls()[4].Pen, (TCanvasPen{0x00010203, 1, TPenStyle::Dot}));
    EXPECT_EQ(Calls()[4].Brush.Style, TBrushStyle::Clear);
}

TEST_F(StyledPainterShapeTest, GradientEllipseOfWidthTenDrawsFiveDisks)
{
    const TColor bg = 0x00102030;
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::None, 1, bg);
    const TRectangle r = TRectangle::Create(100, 50, 10, 10);
    Painter.DrawEllipse(s.Style, r);
    ASSERT_EQ(Calls().size(), 6u);
    TGradientDefinition g;
    g.AddStop(bg, 0.0f);
    g.AddStop(Blend(bg, 0xFFFFFF, 0.8f), 1.0f);
    const int b[5] = {0, 0, 1, 2, 2}, a[5] = {0, 2, 3, 4, 6};
    const float t[5] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    for (size_t i = 0; i < 5; ++i) {
        const TCanvasCall& c = Calls()[i];
        EXPECT_EQ(c.Op, TCanvasOp::Ellipse);
        EXPECT_EQ(c.Rect, TRectangle::Deflate(r, b[i], b[i], a[i], a[i]).ToRect()) << i;
        EXPECT_EQ(c.Brush.Color, g.GetColorAt(t[i])) << i;
        EXPECT_EQ(c.Pen.Style, TPenStyle::Clear);
    }
    EXPECT_EQ(Calls()[0].Brush.Color, bg);
    const TCanvasCall& outline = Calls()[5];
    EXPECT_EQ(outline.Rect, r.ToRect());
    EXPECT_EQ(outline.Brush.Style, TBrushStyle::Clear);
    EXPECT_EQ(outline.Pen, (TCanvasPen{0x00010203, 1, TPenStyle::Solid}));
}

TEST_F(StyledPainterShapeTest, NarrowGradientEllipses)
{
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::None, 1, 0x00102030);
    Painter.DrawEllipse(s.Style, TRectangle::Create(0, 0, 3, 3));
    ASSERT_EQ(Calls().size(), 2u);   // one disk in the background colour, then the outline
    EXPECT_EQ(Calls()[0].Brush.Color, 0x00102030);
    EXPECT_EQ(Calls()[0].Rect, QRect(0, 0, 3, 3));
    Canvas.Clear();
    Painter.DrawEllipse(s.Style, TRectangle::Create(0, 0, 2, 2));
    ASSERT_EQ(Calls().size(), 1u);   // only the outline
    EXPECT_EQ(Calls()[0].Brush.Style, TBrushStyle::Clear);
}

TEST_F(StyledPainterShapeTest, SolidEllipseAndOverride)
{
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::None, 2, 0x00102030);
    Painter.DrawEllipse(s.Style, ShadowCase, TNullableColor(clRed));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Brush, (TCanvasBrush{clRed, TBrushStyle::Solid}));
    EXPECT_EQ(Calls()[0].Pen.Width, 2);
}

TEST_F(StyledPainterShapeTest, TriangleChecksItsHeightFirst)
{
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::Soft);
    for (bool pass : {true, false}) {
        Painter.ShadowPass = pass;
        try {
            Painter.DrawTriangle(s.Style, TRectangle::Create(0, 0, 17, 10));
            ADD_FAILURE() << "even height accepted";
        } catch (const InvalidOperationException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Requires odd Height"));
        }
        try {
            Painter.DrawTriangle(s.Style, TRectangle::Create(0, 0, 17, 1));
            ADD_FAILURE() << "height 1 accepted";
        } catch (const InvalidOperationException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Requires Height greater than 1"));
        }
        EXPECT_THROW(Painter.DrawTriangle(s.Style, TRectangle::Create(0, 0, 17, -3)), InvalidOperationException);
    }
    EXPECT_TRUE(Calls().empty());
}

TEST_F(StyledPainterShapeTest, GradientTriangleVerticesAndOutline)
{
    const TColor bg = 0x00808000;
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::Soft, 2, bg);
    const TRectangle r = TRectangle::Create(10, 20, 17, 11);
    Painter.DrawTriangle(s.Style, r);
    ASSERT_EQ(Calls().size(), 2u);
    const TTriangleVertices& v = Calls()[0].Vertices;
    EXPECT_EQ(v[0], TTriVertex::FromColor(27, 20, Blend(bg, 0xFFFFFF, 0.5f)));
    EXPECT_EQ(v[1], TTriVertex::FromColor(10, 25, bg));   // the apex at Top + 5
    EXPECT_EQ(v[2], TTriVertex::FromColor(27, 31, Blend(bg, 0xFFFFFF, -0.5f)));
    EXPECT_EQ(Blend(bg, 0xFFFFFF, -0.5f), 0x00404000);   // darker, channels clamped at 0
    const TCanvasCall& outline = Calls()[1];
    EXPECT_EQ(outline.Op, TCanvasOp::Polygon);
    EXPECT_EQ(outline.Points, QPolygon({QPoint(27, 20), QPoint(10, 25), QPoint(27, 31)}));
    EXPECT_EQ(outline.Brush.Style, TBrushStyle::Clear);
    EXPECT_EQ(outline.Pen, (TCanvasPen{0x00010203, 2, TPenStyle::Solid}));
}

TEST_F(StyledPainterShapeTest, SolidTriangleIsOneColour)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None, 1, 0x00123456);
    Painter.DrawTriangle(s.Style, TRectangle::Create(0, 0, 17, 17));
    for (const TTriVertex& v : Calls()[0].Vertices)
        EXPECT_EQ(TTriVertex::FromColor(v.X, v.Y, 0x00123456), v);
}

TEST_F(StyledPainterShapeTest, SystemColourBackgroundsAreResolvedBeforeBlending)
{
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::None, 1, clBtnFace);
    EXPECT_NO_THROW(Painter.DrawRectangle(s.Style, ShadowCase));
    EXPECT_NO_THROW(Painter.DrawEllipse(s.Style, ShadowCase));
    EXPECT_NO_THROW(Painter.DrawTriangle(s.Style, TRectangle::Create(0, 0, 17, 17)));
    EXPECT_EQ(Calls()[9].Brush.Color, ColorToRGB(clBtnFace));   // the last gradient row
}

TEST_F(StyledPainterShapeTest, EachOperationResetsPenAndBrushStyles)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None);
    Painter.DrawSelectionRect(ShadowCase);   // leaves a dotted pen and a clear brush
    Painter.DrawLine(s.Style, QPoint(0, 0), QPoint(3, 3));
    Painter.DrawCornerMarker(ShadowCase, 0);   // leaves a clear pen
    Painter.DrawRectangle(s.Style, ShadowCase);
    ASSERT_EQ(Calls().size(), 5u);
    EXPECT_EQ(Calls()[2].Pen.Style, TPenStyle::Solid);
    EXPECT_EQ(Calls()[4].Pen.Style, TPenStyle::Solid);
    EXPECT_EQ(Calls()[4].Brush.Style, TBrushStyle::Solid);
}

// --- normal pass: lines, texts, marks -----------------------------------------------------

using StyledPainterTextTest = TPainterFixture;

TEST_F(StyledPainterTextTest, LineInTheStylesPen)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None, 3);
    Painter.DrawLine(s.Style, QPoint(1, 2), QPoint(30, 2));
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[0].Op, TCanvasOp::MoveTo);
    EXPECT_EQ(Calls()[0].Points[0], QPoint(1, 2));
    EXPECT_EQ(Calls()[1].Op, TCanvasOp::LineTo);
    EXPECT_EQ(Calls()[1].Points, QPolygon({QPoint(1, 2), QPoint(30, 2)}));
    EXPECT_EQ(Calls()[1].Pen, (TCanvasPen{0x00010203, 3, TPenStyle::Solid}));
}

TEST_F(StyledPainterTextTest, TextAlignmentAgainstThePoint)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None);
    const QString text = QStringLiteral("Expected 12.5");
    Painter.DrawText(s.Style, QPoint(100, 50), text, taLeftJustify, taLeftJustify);
    Painter.DrawText(s.Style, QPoint(100, 50), text, taCenter, taCenter);
    Painter.DrawText(s.Style, QPoint(100, 50), text, taLeftJustify, taRightJustify);
    Painter.DrawText(s.Style, QPoint(100, 50), text, taRightJustify, taCenter);
    ASSERT_EQ(Calls().size(), 4u);
    const QSize size = Canvas.TextExtent(text);
    ASSERT_GT(size.width(), 0);
    EXPECT_EQ(Calls()[0].Points[0], QPoint(100, 50));
    EXPECT_EQ(Calls()[1].Points[0], QPoint(100 - size.width() / 2, 50 - size.height() / 2));
    EXPECT_EQ(Calls()[2].Points[0], QPoint(100, 50 - size.height()));   // bottom-left on the point
    EXPECT_EQ(Calls()[3].Points[0], QPoint(100 - size.width(), 50 - size.height() / 2));
    for (const TCanvasCall& c : Calls()) {
        EXPECT_EQ(c.Op, TCanvasOp::TextOut);
        EXPECT_EQ(c.Text, text);
        EXPECT_EQ(c.Brush.Style, TBrushStyle::Clear);
        EXPECT_EQ(c.Font.Name, QStringLiteral("Verdana"));
        EXPECT_EQ(c.Font.Size, 8);
        EXPECT_EQ(c.Font.Color, 0x00112233);
    }
}

TEST_F(StyledPainterTextTest, InvalidAlignmentsRaiseBeforeWriting)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None);
    try {
        Painter.DrawText(s.Style, QPoint(0, 0), QStringLiteral("x"), TAlignment(3), TAlignment(7));
        ADD_FAILURE();
    } catch (const ArgumentOutOfRangeException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("HorAlign is not a valid TAlignment value"));
    }
    try {
        Painter.DrawText(s.Style, QPoint(0, 0), QStringLiteral("x"), taCenter, TAlignment(3));
        ADD_FAILURE();
    } catch (const ArgumentOutOfRangeException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("VerAlign is not a valid TAlignment value"));
    }
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(Canvas.Font.Color, 0x00112233);   // the font was applied first
}

TEST_F(StyledPainterTextTest, TextRectIsClippedToTheRectangle)
{
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::None);
    s.Style.FontBold()->Value = true;
    const TRectangle r = TRectangle::Create(20, 30, 40, 12);
    Painter.DrawTextRect(s.Style, TRectangle::Inflate(r, 4, 0, 4, 0), r.TopLeft(), QStringLiteral("Owner: Ann"));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Op, TCanvasOp::TextRect);
    EXPECT_EQ(Calls()[0].Rect, QRect(16, 30, 48, 12));
    EXPECT_EQ(Calls()[0].Points[0], QPoint(20, 30));
    EXPECT_EQ(Calls()[0].Text, QStringLiteral("Owner: Ann"));
    EXPECT_TRUE(Calls()[0].Font.Style.Bold);
    EXPECT_EQ(Calls()[0].Brush.Style, TBrushStyle::Clear);
}

TEST_F(StyledPainterTextTest, GraphicAtItsTopLeftCorner)
{
    Painter.DrawGraphic(QPoint(7, 8), QImage(9, 9, QImage::Format_RGB32));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Op, TCanvasOp::Draw);
    EXPECT_EQ(Calls()[0].Points[0], QPoint(7, 8));
    EXPECT_EQ(Calls()[0].ImageSize, QSize(9, 9));
}

TEST_F(StyledPainterTextTest, CornerMarkerSitsInsideTheOutline)
{
    const TRectangle r = TRectangle::Create(10, 20, 50, 30);   // right edge 60
    Painter.DrawCornerMarker(r, 2);    // D = 2, E = 1
    Painter.DrawCornerMarker(r, 0);    // D = 0, E = 0
    Painter.DrawCornerMarker(r, 3);    // D = 2, E = 2
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[0].Points, QPolygon({QPoint(52, 21), QPoint(58, 21), QPoint(58, 27)}));
    EXPECT_EQ(Calls()[1].Points, QPolygon({QPoint(54, 20), QPoint(60, 20), QPoint(60, 26)}));
    EXPECT_EQ(Calls()[2].Points, QPolygon({QPoint(52, 22), QPoint(58, 22), QPoint(58, 28)}));
    EXPECT_EQ(Calls()[0].Brush, (TCanvasBrush{clRed, TBrushStyle::Solid}));
    EXPECT_EQ(Calls()[0].Pen.Style, TPenStyle::Clear);
    EXPECT_EQ(Calls()[0].Pen.Width, 0);
}

// --- pixels ------------------------------------------------------------------------------

TEST(StyledPainterPixelTest, SoftShadowSteps)
{
    QImage image(50, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    TTestStyle s(TBackgroundFillMode::Solid, TShadowStyle::Soft);
    {
        TPainterCanvas canvas(&image);
        TStyledPainter painter(canvas);
        painter.ShadowPass = true;
        painter.DrawRectangle(s.Style, ShadowCase);
    }
    EXPECT_EQ(image.pixel(32, 22), qRgb(215, 215, 215));   // only the largest, lightest fill
    EXPECT_EQ(image.pixel(31, 21), qRgb(176, 176, 176));
    EXPECT_EQ(image.pixel(30, 20), qRgb(136, 136, 136));
    EXPECT_EQ(image.pixel(29, 19), qRgb(96, 96, 96));      // the plain shadow colour
    EXPECT_EQ(image.pixel(33, 23), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(11, 11), qRgb(215, 215, 215));
}

TEST(StyledPainterPixelTest, GradientRectangleRowsAndOutline)
{
    QImage image(50, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    const TColor bg = 0x00000080;   // dark red
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::None, 1, bg, 0x00000000);
    {
        TPainterCanvas canvas(&image);
        TStyledPainter painter(canvas);
        painter.DrawRectangle(s.Style, TRectangle::Create(5, 5, 20, 21));
    }
    EXPECT_EQ(image.pixel(5, 5), qRgb(0, 0, 0));      // the outline
    EXPECT_EQ(image.pixel(24, 25), qRgb(0, 0, 0));    // last pixel inside: outline
    EXPECT_EQ(image.pixel(25, 26), qRgb(255, 255, 255));
    const QRgb top = image.pixel(10, 6), bottom = image.pixel(10, 24);
    const TColor row1 = Blend(bg, 0xFFFFFF, 0.7f);   // row 1 of 20 is at position 0.05
    EXPECT_LT(qGreen(bottom), qGreen(top));
    EXPECT_GE(qGreen(top), ColorGreen(row1) - 10);
    TGradientDefinition g;
    g.AddStop(Blend(bg, 0xFFFFFF, 0.7f), 0.0f);
    g.AddStop(Blend(bg, 0xFFFFFF, 0.3f), 0.65f);
    g.AddStop(bg, 1.0f);
    EXPECT_EQ(image.pixel(10, 24), ColorToArgb(g.GetColorAt(19.0f / 20)));
    EXPECT_EQ(image.pixel(10, 18), ColorToArgb(g.GetColorAt(13.0f / 20)));
}

TEST(StyledPainterPixelTest, TriangleCornersTakeTheirColours)
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    const TColor bg = 0x00808000;   // teal
    TTestStyle s(TBackgroundFillMode::Gradient, TShadowStyle::None, 0, bg);
    {
        TPainterCanvas canvas(&image);
        TStyledPainter painter(canvas);
        painter.DrawTriangle(s.Style, TRectangle::Create(10, 10, 17, 17));
    }
    EXPECT_EQ(image.pixel(10, 18), qRgb(0, 128, 128));      // the apex: the background colour
    const QRgb top = image.pixel(26, 11), bottom = image.pixel(26, 26);
    EXPECT_NEAR(qGreen(top), 192, 12);      // toward Blend 0.5 (192)
    EXPECT_NEAR(qGreen(bottom), 64, 12);    // toward Blend -0.5 (64)
    EXPECT_NEAR(qRed(top), 128, 12);
    EXPECT_LT(qRed(bottom), 12);
    EXPECT_EQ(image.pixel(27, 18), qRgb(255, 255, 255));    // right edge excluded
}
