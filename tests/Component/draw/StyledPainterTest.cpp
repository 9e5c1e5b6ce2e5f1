#include "Component/draw/StyledPainter.h"

#include "Component/draw/ColorBlender.h"
#include "Component/draw/GradientDefinition.h"
#include "Component/draw/PainterCanvas.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/styles/Style.h"
#include "shared/core/Colors.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace

// --- normal pass: shapes ------------------------------------------------------------------

using StyledPainterShapeTest = TPainterFixture;

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
    const TCanvasCall& outline = Calls()[1];
    EXPECT_EQ(outline.Op, TCanvasOp::Polygon);
    EXPECT_EQ(outline.Points, QPolygon({QPoint(27, 20), QPoint(10, 25), QPoint(27, 31)}));
    EXPECT_EQ(outline.Brush.Style, TBrushStyle::Clear);
    EXPECT_EQ(outline.Pen, (TCanvasPen{0x00010203, 2, TPenStyle::Solid}));
}

// --- normal pass: lines, texts, marks -----------------------------------------------------

using StyledPainterTextTest = TPainterFixture;

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
        EXPECT_EQ(c.Font.Color, 0x00112233);
    }
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
        painter.DrawRectangle(s.Style, TRectangle::Create(10, 10, 20, 10));
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
    TGradientDefinition g;
    g.AddStop(Blend(bg, 0xFFFFFF, 0.7f), 0.0f);
    g.AddStop(Blend(bg, 0xFFFFFF, 0.3f), 0.65f);
    g.AddStop(bg, 1.0f);
    EXPECT_EQ(image.pixel(10, 24), ColorToArgb(g.GetColorAt(19.0f / 20)));
    EXPECT_EQ(image.pixel(10, 18), ColorToArgb(g.GetColorAt(13.0f / 20)));
}

