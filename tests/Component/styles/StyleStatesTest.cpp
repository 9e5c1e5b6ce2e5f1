#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

namespace {

QStringList Names(const TStyleDynArray& styles)
{
    QStringList names;
    for (const TStyle* s : styles)
        names.append(s->Name);
    return names;
}

} // namespace

TEST(StyleTree, EveryStateHoldsTheFixedSixteenStylesInPreOrder)
{
    TStyleStates states;
    const QStringList expected = {
        QString(), "Symbols", "Symbols.Decision", "Symbols.MultiDecision", "Symbols.Chance",
        "Symbols.Terminator", "SymbolAttributes", "OptionDescriptors", "ConnectorLines",
        "ChanceOptionProbabilities", "DecisionOptionsTaken", "DecisionOptionsTaken.Yes",
        "DecisionOptionsTaken.No", "OptionPayoff", "OptionPayoff.Positive", "OptionPayoff.Negative"};
    for (TStyleState* state : states.GetStates()) {
        EXPECT_EQ(Names(state->RootStyle()->GetAllStyles(true)), expected);
        EXPECT_EQ(Names(state->RootStyle()->GetAllStyles(false)), expected.mid(1));
    }
    TStyleState* s = states.InTakenPath();
    EXPECT_EQ(s->RootStyle()->DisplayName, QStringLiteral("All"));
    EXPECT_EQ(s->SymbolsChance()->DisplayName, QStringLiteral("Chances (Circles)"));
    EXPECT_EQ(s->SymbolsTerminator()->DisplayName, QStringLiteral("Terminators (Triangle)"));
    EXPECT_EQ(s->ChanceOptionProbabilities()->DisplayName, QStringLiteral("Option probabilities"));
    EXPECT_EQ(s->DecisionOptionsTaken()->DisplayName, QStringLiteral("Options taken"));
    EXPECT_EQ(s->SymbolsChance()->Parent(), s->Symbols());
    EXPECT_EQ(s->OptionPayoffNegative()->Parent(), s->OptionPayoff());
    EXPECT_EQ(s->Symbols()->ChildCount(), 4);
    EXPECT_EQ(s->RootStyle()->ChildCount(), 7);
    for (TStyle* style : s->RootStyle()->GetAllStyles(true))
        EXPECT_EQ(style->LineOnly, style == s->ConnectorLines()) << style->Name.toStdString();
    EXPECT_THROW(s->RootStyle()->Child(7), EListError);
}

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

TEST(StyleTree, SettingsInTableOrderFoundIgnoringCase)
{
    TStyleStates states;
    TStyle* style = states.InTakenPath()->Symbols();
    EXPECT_EQ(TStyle::GetSettingNames(),
              QStringList({"BackgroundColor", "LineWidth", "LineColor", "FontName", "FontSize",
                           "FontBold", "FontItalic", "FontUnderline", "FontStrikeOut", "FontColor",
                           "FillMode", "Shadow"}));
    EXPECT_EQ(style->GetSetting(QStringLiteral("fontsize")), style->FontSize());
    EXPECT_EQ(style->GetSetting(QStringLiteral("SHADOW")), style->Shadow());
    EXPECT_EQ(style->FontColor()->Kind(), TCascadedStyleSetting::TKind::Color);
    EXPECT_EQ(style->FillMode()->Kind(), TCascadedStyleSetting::TKind::FillMode);
    EXPECT_THROW(style->GetSetting(QStringLiteral("Colour")), EListError);
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

TEST(StyleTree, FindStateRaisesForAnUnknownName)
{
    TStyleStates states;
    try {
        states.FindState(QStringLiteral("Clone"));
        FAIL() << "no exception";
    } catch (const InvalidOperationException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("StyleTree Clone not found"));
    }
    EXPECT_THROW(states.FindState(QStringLiteral("intakenpath")), InvalidOperationException);
}

TEST(StyleTree, AFreshObjectHasZeroValuesAndOnlyTheBaseStyleOwnsThem)
{
    TStyleStates states;
    for (TStyleState* state : states.GetStates())
        for (TStyle* style : state->RootStyle()->GetAllStyles(true))
            for (int i = 0; i < TStyle::SettingCount; ++i) {
                const bool base = style == states.InTakenPath()->RootStyle();
                EXPECT_EQ(style->SettingAt(i)->Inherit, !base);
                if (style->SettingAt(i)->Kind() == TCascadedStyleSetting::TKind::String) {
                    EXPECT_TRUE(style->SettingAt(i)->GetAsString().isEmpty());
                } else {
                    EXPECT_EQ(style->SettingAt(i)->NumericValue(), 0);
                }
            }
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
