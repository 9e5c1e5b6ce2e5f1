#pragma once
// A named style of a state's style tree: twelve settings, each inheriting from the same setting
// of the parent style and of the same-named styles of the alternate states.

#include "Component/styles/CascadedStyleSetting.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <utility>
#include <vector>

class TStyle;
using TStyleDynArray = std::vector<TStyle*>;

// Where the settings are used, these bounds keep a hostile file from stalling drawing; the stored
// values stay as read.
inline constexpr int MinLineWidth = 0;
inline constexpr int MaxLineWidth = 20;
inline constexpr int MinFontSize = 1;
inline constexpr int MaxFontSize = 400;

class TStyle {
public:
    // Index of each setting in creation (and XML) order.
    enum TSettingIndex : int {
        siBackgroundColor, siLineWidth, siLineColor, siFontName, siFontSize, siFontBold,
        siFontItalic, siFontUnderline, siFontStrikeOut, siFontColor, siFillMode, siShadow,
    };
    static constexpr int SettingCount = 12;

    // A root style.
    TStyle(const QString& name, const QString& displayName, const TStyleDynArray& altStyles);
    // A child style; it does not add itself to the parent's children (AddChild does).
    TStyle(TStyle* parent, const QString& name, const QString& displayName,
           const TStyleDynArray& altStyles);
    TStyle(const TStyle&) = delete;
    TStyle& operator=(const TStyle&) = delete;
    ~TStyle();

    QString Name;
    QString DisplayName;
    // Only the connector lines: the style editor offers only the line settings.
    bool LineOnly = false;

    TStyle* Parent() const { return FParent; }
    TStyle* AddChild(const QString& name, const QString& displayName, const TStyleDynArray& altStyles);

    // The setting of that name (letter case ignored); EListError for any other name.
    TCascadedStyleSetting* GetSetting(const QString& settingName) const;
    TCascadedStyleSetting* SettingAt(int index) const { return FSettings[size_t(index)].second.get(); }
    const QString& SettingNameAt(int index) const { return FSettings[size_t(index)].first; }
    // The twelve names in creation order (a new list).
    static QStringList GetSettingNames();

    TColorStyleSetting* BackgroundColor() const { return Typed<TColorStyleSetting>(siBackgroundColor); }
    TIntegerStyleSetting* LineWidth() const { return Typed<TIntegerStyleSetting>(siLineWidth); }
    TColorStyleSetting* LineColor() const { return Typed<TColorStyleSetting>(siLineColor); }
    TStringStyleSetting* FontName() const { return Typed<TStringStyleSetting>(siFontName); }
    TIntegerStyleSetting* FontSize() const { return Typed<TIntegerStyleSetting>(siFontSize); }
    TBooleanStyleSetting* FontBold() const { return Typed<TBooleanStyleSetting>(siFontBold); }
    TBooleanStyleSetting* FontItalic() const { return Typed<TBooleanStyleSetting>(siFontItalic); }
    TBooleanStyleSetting* FontUnderline() const { return Typed<TBooleanStyleSetting>(siFontUnderline); }
    TBooleanStyleSetting* FontStrikeOut() const { return Typed<TBooleanStyleSetting>(siFontStrikeOut); }
    TColorStyleSetting* FontColor() const { return Typed<TColorStyleSetting>(siFontColor); }
    TFillModeStyleSetting* FillMode() const { return Typed<TFillModeStyleSetting>(siFillMode); }
    TShadowStyleSetting* Shadow() const { return Typed<TShadowStyleSetting>(siShadow); }

    // Effective line width and font size, clamped to what drawing accepts.
    int EffectiveLineWidth() const;
    int EffectiveFontSize() const;

    // This style when its name matches exactly, else the first match depth first; null if none.
    TStyle* FindStyle(const QString& styleName);
    // Pre-order: this style first when includeSelf, then each child with its subtree.
    TStyleDynArray GetAllStyles(bool includeSelf);

    int ChildCount() const { return int(FChildren.size()); }
    TStyle* Child(int index) const;
    int AltStyleCount() const { return int(FAltStyles.size()); }
    TStyle* AltStyle(int index) const;
    const TStyleDynArray& AltStyles() const { return FAltStyles; }

private:
    template <typename S>
    S* Typed(int index) const { return static_cast<S*>(FSettings[size_t(index)].second.get()); }
    void CreateSettings();
    template <typename S>
    void AddSetting(const QString& settingName);
    void CollectStyles(TStyleDynArray& into);

    TStyle* FParent = nullptr;
    TStyleDynArray FAltStyles;
    std::vector<std::unique_ptr<TStyle>> FChildren;
    std::vector<std::pair<QString, std::unique_ptr<TCascadedStyleSetting>>> FSettings;
};
