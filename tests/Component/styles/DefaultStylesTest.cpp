#include "Component/styles/DefaultStyles.h"

#include <gtest/gtest.h>

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
