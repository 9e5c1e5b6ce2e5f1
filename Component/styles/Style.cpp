#include "Component/styles/Style.h"

#include "shared/core/Exceptions.h"

#include <algorithm>

namespace {

const QString& SettingName(int index)
{
    static const QString names[TStyle::SettingCount] = {
        QStringLiteral("BackgroundColor"), QStringLiteral("LineWidth"),
        QStringLiteral("LineColor"),       QStringLiteral("FontName"),
        QStringLiteral("FontSize"),        QStringLiteral("FontBold"),
        QStringLiteral("FontItalic"),      QStringLiteral("FontUnderline"),
        QStringLiteral("FontStrikeOut"),   QStringLiteral("FontColor"),
        QStringLiteral("FillMode"),        QStringLiteral("Shadow"),
    };
    return names[index];
}

} // namespace

TStyle::TStyle(const QString& name, const QString& displayName, const TStyleDynArray& altStyles)
    : TStyle(nullptr, name, displayName, altStyles)
{
}

TStyle::TStyle(TStyle* parent, const QString& name, const QString& displayName,
               const TStyleDynArray& altStyles)
    : Name(name), DisplayName(displayName), FParent(parent), FAltStyles(altStyles)
{
    CreateSettings();
    LineOnly = false;
}

TStyle::~TStyle() = default;

TStyle* TStyle::AddChild(const QString& name, const QString& displayName,
                         const TStyleDynArray& altStyles)
{
    FChildren.push_back(std::make_unique<TStyle>(this, name, displayName, altStyles));
    return FChildren.back().get();
}

void TStyle::CreateSettings()
{
    FSettings.reserve(SettingCount);
    AddSetting<TColorStyleSetting>(SettingName(siBackgroundColor));
    AddSetting<TIntegerStyleSetting>(SettingName(siLineWidth));
    AddSetting<TColorStyleSetting>(SettingName(siLineColor));
    AddSetting<TStringStyleSetting>(SettingName(siFontName));
    AddSetting<TIntegerStyleSetting>(SettingName(siFontSize));
    AddSetting<TBooleanStyleSetting>(SettingName(siFontBold));
    AddSetting<TBooleanStyleSetting>(SettingName(siFontItalic));
    AddSetting<TBooleanStyleSetting>(SettingName(siFontUnderline));
    AddSetting<TBooleanStyleSetting>(SettingName(siFontStrikeOut));
    AddSetting<TColorStyleSetting>(SettingName(siFontColor));
    AddSetting<TFillModeStyleSetting>(SettingName(siFillMode));
    AddSetting<TShadowStyleSetting>(SettingName(siShadow));
}

template <typename S>
void TStyle::AddSetting(const QString& settingName)
{
    TCascadedStyleSetting* parentSetting = FParent ? FParent->GetSetting(settingName) : nullptr;
    TCascadedStyleSettingDynArray alternates;
    alternates.reserve(FAltStyles.size());
    for (TStyle* alt : FAltStyles)
        alternates.push_back(alt->GetSetting(settingName));
    auto setting = std::make_unique<S>(parentSetting, alternates);
    setting->Inherit = FParent != nullptr || !FAltStyles.empty();
    FSettings.emplace_back(settingName, std::move(setting));
}

TCascadedStyleSetting* TStyle::GetSetting(const QString& settingName) const
{
    for (const auto& [name, setting] : FSettings)
        if (name.compare(settingName, Qt::CaseInsensitive) == 0)
            return setting.get();
    throw EListError(QStringLiteral("List index out of bounds (-1)"));
}

QStringList TStyle::GetSettingNames()
{
    QStringList names;
    names.reserve(SettingCount);
    for (int i = 0; i < SettingCount; ++i)
        names.append(SettingName(i));
    return names;
}

int TStyle::EffectiveLineWidth() const
{
    return std::clamp<int>(LineWidth()->EffectiveValue(), MinLineWidth, MaxLineWidth);
}

int TStyle::EffectiveFontSize() const
{
    return std::clamp<int>(FontSize()->EffectiveValue(), MinFontSize, MaxFontSize);
}

TStyle* TStyle::FindStyle(const QString& styleName)
{
    if (Name == styleName)
        return this;
    for (const auto& child : FChildren)
        if (TStyle* found = child->FindStyle(styleName))
            return found;
    return nullptr;
}

void TStyle::CollectStyles(TStyleDynArray& into)
{
    for (const auto& child : FChildren) {
        into.push_back(child.get());
        child->CollectStyles(into);
    }
}

TStyleDynArray TStyle::GetAllStyles(bool includeSelf)
{
    TStyleDynArray styles;
    if (includeSelf)
        styles.push_back(this);
    CollectStyles(styles);
    return styles;
}

TStyle* TStyle::Child(int index) const
{
    if (index < 0 || index >= ChildCount())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FChildren[size_t(index)].get();
}

TStyle* TStyle::AltStyle(int index) const
{
    if (index < 0 || index >= AltStyleCount())
        throw ArgumentOutOfRangeException(QStringLiteral("Index out of range (%1)").arg(index));
    return FAltStyles[size_t(index)];
}
