#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

TEST(StyleTree, FindStyleIsExactAndCaseSensitive)
{
    TStyleStates states;
    TStyle* root = states.NotInTakenPath()->RootStyle();
    EXPECT_EQ(root->FindStyle(QString()), root);
    EXPECT_EQ(root->FindStyle(QStringLiteral("symbols")), nullptr);
    EXPECT_EQ(root->FindStyle(QStringLiteral("OptionPayoff.Positive")),
              states.NotInTakenPath()->OptionPayoffPositive());
    EXPECT_EQ(states.NotInTakenPath()->Symbols()->FindStyle(QStringLiteral("OptionPayoff")), nullptr);
}

TEST(StyleTree, StatesAndAlternatesAreLinkedInOrder)
{
    TStyleStates states;
    EXPECT_EQ(states.State(0)->Name, QStringLiteral("InTakenPath"));
    EXPECT_EQ(states.FindState(QStringLiteral("CloneInTakenPath")), states.CloneInTakenPath());

    TStyle* chance = states.CloneNotInTakenPath()->SymbolsChance();
    ASSERT_EQ(chance->AltStyleCount(), 3);
    EXPECT_EQ(chance->AltStyle(0), states.CloneInTakenPath()->SymbolsChance());
    EXPECT_EQ(chance->AltStyle(1), states.NotInTakenPath()->SymbolsChance());
    EXPECT_EQ(chance->AltStyle(2), states.InTakenPath()->SymbolsChance());
    EXPECT_EQ(states.InTakenPath()->SymbolsChance()->AltStyleCount(), 0);
    EXPECT_EQ(states.NotInTakenPath()->Symbols()->AltStyles(),
              TStyleDynArray{states.InTakenPath()->Symbols()});

    // Settings follow the same links.
    TCascadedStyleSetting* colour = chance->FontColor();
    EXPECT_EQ(colour->Parent(), states.CloneNotInTakenPath()->Symbols()->FontColor());
    ASSERT_EQ(colour->AltStyleSettings().size(), 3u);
    EXPECT_EQ(colour->AltStyleSettings()[1], states.NotInTakenPath()->SymbolsChance()->FontColor());
    EXPECT_EQ(states.InTakenPath()->RootStyle()->FontColor()->Parent(), nullptr);
}

TEST(StyleTree, EffectiveSizesAreClampedWhereUsed)
{
    TStyleStates states;
    TStyle* base = states.InTakenPath()->RootStyle();
    TStyle* leaf = states.CloneNotInTakenPath()->OptionPayoffNegative();
    base->LineWidth()->Value = 1000000;
    base->FontSize()->Value = 0;
    EXPECT_EQ(leaf->EffectiveLineWidth(), 20);
    EXPECT_EQ(leaf->EffectiveFontSize(), 1);
    base->LineWidth()->Value = -4;
    base->FontSize()->Value = 99999;
    EXPECT_EQ(leaf->EffectiveLineWidth(), 0);
    EXPECT_EQ(leaf->EffectiveFontSize(), 400);
}
