#include "Component/styles/StyleStatesValues.h"

#include "shared/core/Exceptions.h"

namespace {

constexpr int SettingTotal = TStyleStates::StateCount * TStyleState::StyleCount * TStyle::SettingCount;

template <typename F>
void ForEachSetting(const TStyleStates& styleStates, F&& f)
{
    int index = 0;
    for (int s = 0; s < TStyleStates::StateCount; ++s)
        for (TStyle* style : styleStates.State(s)->RootStyle()->GetAllStyles(true))
            for (int i = 0; i < TStyle::SettingCount; ++i)
                f(index++, *style->SettingAt(i));
}

} // namespace

TStyleStatesValues::TStyleStatesValues(const TStyleStates& styleStates)
{
    FInherit.assign((SettingTotal + 63) / 64, 0);
    FNumbers.reserve(SettingTotal);
    ForEachSetting(styleStates, [this](int index, const TCascadedStyleSetting& setting) {
        if (setting.Inherit)
            FInherit[size_t(index / 64)] |= uint64_t(1) << (index % 64);
        if (setting.Kind() == TCascadedStyleSetting::TKind::String)
            FStrings.push_back(setting.GetAsString());
        else
            FNumbers.push_back(setting.NumericValue());
    });
}

void TStyleStatesValues::Restore(TStyleStates& styleStates) const
{
    if (IsEmpty())
        throw InvalidOperationException(QStringLiteral("No style values were captured"));
    size_t number = 0;
    size_t string = 0;
    ForEachSetting(styleStates, [&](int index, TCascadedStyleSetting& setting) {
        setting.Inherit = (FInherit[size_t(index / 64)] >> (index % 64)) & 1;
        if (setting.Kind() == TCascadedStyleSetting::TKind::String)
            setting.SetAsString(FStrings[string++]);
        else
            setting.SetNumericValue(FNumbers[number++]);
    });
}
