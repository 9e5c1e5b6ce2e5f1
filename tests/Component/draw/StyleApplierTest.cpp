#include "Component/draw/StyleApplier.h"

#include "Component/draw/RecordingCanvas.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/Style.h"
#include "Component/styles/StyleState.h"
#include "Component/styles/StyleStates.h"
#include "shared/core/Colors.h"

#include <gtest/gtest.h>

TEST(StyleApplierTest, FontTakesTheEffectiveValues)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    TCanvasFont font;
    font.Name = QStringLiteral("Courier");
    font.Size = 20;
    font.Style.Underline = true;
    ApplyStyleToFont(font, *states.InTakenPath()->SymbolsChance());
    EXPECT_EQ(font.Name, QStringLiteral("Verdana"));
    EXPECT_EQ(font.Size, 8);
    EXPECT_EQ(font.Style, TFontStyles{});
    EXPECT_EQ(font.Color, clBlue);   // from "Symbols"

    // The clone state's root is italic; its styles inherit that, and the rest across states.
    ApplyStyleToFont(font, *states.CloneInTakenPath()->OptionPayoffNegative());
    EXPECT_TRUE(font.Style.Italic);
    EXPECT_EQ(font.Color, clRed);
    EXPECT_EQ(font.Size, 8);
}

TEST(StyleApplierTest, EveryFontStyleAndTheSizeBounds)
{
    TStyle style(QString(), QStringLiteral("All"), {});
    style.FontName()->Value = QStringLiteral("DejaVu Serif");
    style.FontBold()->Value = true;
    style.FontStrikeOut()->Value = true;
    style.FontColor()->Value = 0x00123456;
    style.FontSize()->Value = 1000000;   // a hostile file
    TRecordingCanvas canvas;
    ApplyStyleToCanvas(canvas, style);
    EXPECT_EQ(canvas.Font.Name, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(canvas.Font.Style, (TFontStyles{true, false, false, true}));
    EXPECT_EQ(canvas.Font.Color, 0x00123456);
    EXPECT_EQ(canvas.Font.Size, MaxFontSize);
    style.FontSize()->Value = -5;
    ApplyStyleToCanvas(canvas, style);
    EXPECT_EQ(canvas.Font.Size, MinFontSize);
    // Measuring in the applied font works at the bounds.
    EXPECT_GT(canvas.TextHeight(QStringLiteral("A")), 0);
}

TEST(StyleApplierTest, ControlTakesFontAndBackground)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    TControlLook look;
    ApplyStyleToControl(look, *states.NotInTakenPath()->OptionDescriptors());
    EXPECT_EQ(look.Color, TColor(0x00FFC4A3));
    EXPECT_EQ(look.Font.Name, QStringLiteral("Verdana"));
    EXPECT_EQ(look.Font.Size, 8);
    ApplyStyleToControl(look, *states.InTakenPath()->SymbolAttributes());
    EXPECT_EQ(look.Color, TColor(0x00E1E1E1));
}
