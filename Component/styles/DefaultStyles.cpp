#include "Component/styles/DefaultStyles.h"

#include "shared/core/Colors.h"

namespace {

template <typename S, typename V>
void Own(S* setting, V value)
{
    setting->Inherit = false;
    setting->Value = value;
}

} // namespace

void ResetDefaultStyles(TStyleStates& styleStates)
{
    TStyleState* inTaken = styleStates.InTakenPath();
    for (TStyleState* state : styleStates.GetStates()) {
        for (TStyle* style : state->RootStyle()->GetAllStyles(true)) {
            const bool own = state == inTaken && style == inTaken->RootStyle();
            for (int i = 0; i < TStyle::SettingCount; ++i)
                style->SettingAt(i)->Inherit = !own;
        }
    }

    TStyle* base = inTaken->RootStyle();
    base->FontName()->Value = QStringLiteral("Verdana");
    base->FontSize()->Value = 8;
    base->FontBold()->Value = false;
    base->FontItalic()->Value = false;
    base->FontStrikeOut()->Value = false;
    base->FontUnderline()->Value = false;
    base->FontColor()->Value = clBlack;
    base->Shadow()->Value = TShadowStyle::Soft;
    base->FillMode()->Value = TBackgroundFillMode::Gradient;
    base->BackgroundColor()->Value = clWhite;
    base->LineWidth()->Value = 2;
    base->LineColor()->Value = clBlack;

    Own(inTaken->OptionDescriptors()->BackgroundColor(), 0xFFC4A3);
    Own(inTaken->SymbolAttributes()->BackgroundColor(), 0xE1E1E1);
    Own(inTaken->Symbols()->FontColor(), 0xFF0000);
    Own(inTaken->SymbolsDecision()->BackgroundColor(), 0x000080);
    Own(inTaken->SymbolsMultiDecision()->BackgroundColor(), 0x008080);
    Own(inTaken->SymbolsChance()->BackgroundColor(), 0x007FFF);
    Own(inTaken->SymbolsTerminator()->BackgroundColor(), 0x808000);
    Own(inTaken->ChanceOptionProbabilities()->FontColor(), 0x007F00);
    Own(inTaken->DecisionOptionsTaken()->FontColor(), 0x003F7F);
    Own(inTaken->OptionPayoffNegative()->FontColor(), 0x0000FF);
    Own(styleStates.NotInTakenPath()->RootStyle()->LineWidth(), 0);
    Own(styleStates.NotInTakenPath()->ConnectorLines()->LineWidth(), 1);
    Own(styleStates.CloneInTakenPath()->RootStyle()->FontItalic(), true);
}
