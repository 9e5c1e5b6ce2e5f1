#include "Component/draw/GradientDefinition.h"

#include "Component/draw/RecordingCanvas.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

TEST(GradientDefinitionTest, ColourBetweenAndBeyondStops)
{
    TGradientDefinition g;
    g.AddStop(0x00000000, 0.0f);
    g.AddStop(0x00C8C8C8, 1.0f);
    EXPECT_EQ(g.GetColorAt(-0.5f), 0x00000000);   // before the first stop
    EXPECT_EQ(g.GetColorAt(0.25f), 0x00323232);   // 200 × 0.25
    EXPECT_EQ(g.GetColorAt(1.0f), 0x00C8C8C8);    // the equality branch
    EXPECT_EQ(g.GetColorAt(1.5f), 0x00C8C8C8);    // beyond the last
    EXPECT_EQ(g.GetColorAt(std::numeric_limits<float>::quiet_NaN()), 0x00C8C8C8);
}

TEST(GradientDefinitionTest, ThreeStopsBlendTheirNeighbours)
{
    TGradientDefinition g;
    g.AddStop(0x00000000, 0.0f);
    g.AddStop(0x00646464, 0.5f);   // 100
    g.AddStop(0x00C8C8C8, 1.0f);   // 200
    EXPECT_EQ(g.GetColorAt(0.5f), 0x00646464);
    EXPECT_EQ(g.GetColorAt(0.75f), 0x00969696);   // 150
}

TEST(PaintVerticalGradientTest, OneFillPerRowFromTopToBottom)
{
    TGradientDefinition g;
    g.AddStop(0x00000000, 0.0f);
    g.AddStop(0x00303030, 1.0f);   // 48: row I of 4 rows gets 16 × I
    TRecordingCanvas canvas;
    PaintVerticalGradient(canvas, TRectangle::Create(5, 7, 10, 4), g);
    ASSERT_EQ(canvas.Calls().size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const TCanvasCall& c = canvas.Calls()[size_t(i)];
        EXPECT_EQ(c.Op, TCanvasOp::FillRect);
        EXPECT_EQ(c.Rect, QRect(5, 7 + i, 10, 1));
        EXPECT_EQ(c.Brush.Color, TColor(0x101010 * i));
    }
}
