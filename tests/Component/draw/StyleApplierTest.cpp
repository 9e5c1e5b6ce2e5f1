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
