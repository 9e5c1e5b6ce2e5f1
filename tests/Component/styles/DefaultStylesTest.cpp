#include "Component/styles/DefaultStyles.h"

#include <gtest/gtest.h>

TEST(DefaultStyles, CascadeAcrossStates)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    // Line widths: 2 on the taken path, 0 off it, 1 for connector lines off it.
    EXPECT_EQ(states.InTakenPath()->ConnectorLines()->LineWidth()->EffectiveValue(), 2);
    EXPECT_EQ(states.NotInTakenPath()->RootStyle()->LineWidth()->EffectiveValue(), 0);
    EXPECT_EQ(states.NotInTakenPath()->SymbolsChance()->LineWidth()->EffectiveValue(), 0);
    EXPECT_EQ(states.NotInTakenPath()->ConnectorLines()->LineWidth()->EffectiveValue(), 1);
    // A clone off the path looks at the clone state first, then the state off the path, so its
    // root line width is 0 (not the 2 of the taken path).
    EXPECT_EQ(states.CloneNotInTakenPath()->RootStyle()->LineWidth()->EffectiveValue(), 0);
    EXPECT_EQ(states.CloneNotInTakenPath()->ConnectorLines()->LineWidth()->EffectiveValue(), 1);
    EXPECT_EQ(states.CloneInTakenPath()->RootStyle()->LineWidth()->EffectiveValue(), 2);
    // Italic text for clones: both clone states, every style.
    EXPECT_TRUE(states.CloneInTakenPath()->RootStyle()->FontItalic()->EffectiveValue());
    EXPECT_TRUE(states.CloneNotInTakenPath()->OptionDescriptors()->FontItalic()->EffectiveValue());
    EXPECT_FALSE(states.NotInTakenPath()->OptionDescriptors()->FontItalic()->EffectiveValue());
    // Every style of the taken path draws with Verdana 8, upright.
    for (TStyle* style : states.InTakenPath()->RootStyle()->GetAllStyles(true)) {
        EXPECT_EQ(style->FontName()->EffectiveValue(), QStringLiteral("Verdana"));
        EXPECT_EQ(style->FontSize()->EffectiveValue(), 8);
        EXPECT_FALSE(style->FontItalic()->EffectiveValue());
    }
    // The other states' root styles inherit everything.
    for (int s = 1; s < TStyleStates::StateCount; ++s) {
        TStyle* root = states.State(s)->RootStyle();
        int owned = 0;
        for (int i = 0; i < TStyle::SettingCount; ++i)
            owned += root->SettingAt(i)->Inherit ? 0 : 1;
        EXPECT_EQ(owned, s == 3 ? 0 : 1);
    }
}

TEST(DefaultStyles, ResetHidesEarlierChanges)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    TColorStyleSetting* s = states.NotInTakenPath()->OptionDescriptors()->BackgroundColor();
    s->Inherit = false;
    s->Value = 0x123456;
    ResetDefaultStyles(states);
    EXPECT_TRUE(s->Inherit);
    EXPECT_EQ(s->EffectiveValue(), 0xFFC4A3);
}
