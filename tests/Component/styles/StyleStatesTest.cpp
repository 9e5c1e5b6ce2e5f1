#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

namespace {

} // namespace

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
    EXPECT_EQ(states.State(1)->DisplayName, QStringLiteral("Not in taken path"));
    EXPECT_EQ(states.State(2)->DisplayName, QStringLiteral("Clone, in taken path"));
    EXPECT_EQ(states.State(3)->DisplayName, QStringLiteral("Clone, not in taken path"));
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
    // The stored values stay as set.
    EXPECT_EQ(base->FontSize()->Value, 99999);
}

TEST(StyleStatesAssign, CopiesOwnValuesAndInheritFlags)
{
    TStyleStates source;
    TStyleStates target;
    source.InTakenPath()->OptionDescriptors()->BackgroundColor()->Inherit = false;
    source.InTakenPath()->OptionDescriptors()->BackgroundColor()->Value = 0xFFC4A3;
    target.NotInTakenPath()->Symbols()->LineWidth()->Inherit = false;
    target.NotInTakenPath()->Symbols()->LineWidth()->Value = 7;
    TStyle* links = target.CloneInTakenPath()->SymbolsChance();
    target.Assign(source);
    EXPECT_FALSE(target.InTakenPath()->OptionDescriptors()->BackgroundColor()->Inherit);
    EXPECT_EQ(target.InTakenPath()->OptionDescriptors()->BackgroundColor()->Value, 0xFFC4A3);
    // Inheriting in the source makes the destination inherit; its stored value stays.
    EXPECT_TRUE(target.NotInTakenPath()->Symbols()->LineWidth()->Inherit);
    EXPECT_EQ(target.NotInTakenPath()->Symbols()->LineWidth()->Value, 7);
    // The objects and links stay.
    EXPECT_EQ(target.CloneInTakenPath()->SymbolsChance(), links);
    EXPECT_EQ(links->AltStyle(0), target.InTakenPath()->SymbolsChance());
}
