#pragma once
// One style value that either carries its own value or inherits one: first up its parent chain
// (the same setting of the parent style), then across to the alternate settings (the same setting
// of the same-named style in other style states).

#include "shared/core/NullableColor.h"

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <vector>

enum class TShadowStyle : uint8_t { None = 0, Hard = 1, Soft = 2 };
enum class TBackgroundFillMode : uint8_t { Solid = 0, Gradient = 1 };

// Reads the text forms of integers that style files hold: leading blanks, an optional sign, then
// decimal digits or a hexadecimal prefix ("$", "x", "X", "0x", "0X") with hexadecimal digits;
// nothing may follow. Hexadecimal values of up to 32 bits are taken as the bit pattern. Returns
// false (and leaves `value` alone) when the text does not convert.
bool TryStyleTextToInt(const QString& text, int32_t& value);
// The same, with `defaultValue` when the text does not convert.
int32_t StyleTextToIntDef(const QString& text, int32_t defaultValue);

class TCascadedStyleSetting;
using TCascadedStyleSettingDynArray = std::vector<TCascadedStyleSetting*>;

class TCascadedStyleSetting {
public:
    // The kind tells the typed getters which class a setting is without a dynamic cast.
    enum class TKind : uint8_t { Color, Boolean, Shadow, String, Integer, FillMode };

    TCascadedStyleSetting(const TCascadedStyleSetting&) = delete;
    TCascadedStyleSetting& operator=(const TCascadedStyleSetting&) = delete;
    virtual ~TCascadedStyleSetting() = default;

    // True when the setting has no own value and takes the effective value from elsewhere.
    bool Inherit = false;

    TCascadedStyleSetting* Parent() const { return FParent; }
    const TCascadedStyleSettingDynArray& AltStyleSettings() const { return FAltStyleSettings; }
    TKind Kind() const { return FKind; }

    // The own value as text, and setting it from text (Inherit is not touched; bad text falls
    // back to the type's zero as each class says).
    virtual QString GetAsString() const = 0;
    virtual void SetAsString(const QString& text) = 0;

    // The setting whose own value applies; never null.
    const TCascadedStyleSetting* GetEffective() const;

    // Copies source's value (not Inherit); source must be of the same class.
    void CopyValueFrom(const TCascadedStyleSetting& source);
    // The value as one integer, for the numeric kinds (colour, Boolean, shadow, integer, fill
    // mode); and setting it so. Strings go through GetAsString and SetAsString.
    int32_t NumericValue() const;
    void SetNumericValue(int32_t value);

protected:
    TCascadedStyleSetting(TKind kind, TCascadedStyleSetting* parent,
                          const TCascadedStyleSettingDynArray& altStyleSettings);

private:
    static const TCascadedStyleSetting* InnerGetEffectiveParent(const TCascadedStyleSetting* setting,
                                                                bool returnRootIfNone);

    TCascadedStyleSetting* FParent;
    TCascadedStyleSettingDynArray FAltStyleSettings;
    TKind FKind;
};

// A setting with one value of type T. The alternates and the parent of a setting are always of
// the same class, which the style tree guarantees by pairing names and classes.
template <typename T, TCascadedStyleSetting::TKind K>
class TTypedStyleSetting : public TCascadedStyleSetting {
public:
    using ValueType = T;
    static constexpr TKind StaticKind = K;

    TTypedStyleSetting(TCascadedStyleSetting* parent,
                       const TCascadedStyleSettingDynArray& altStyleSettings)
        : TCascadedStyleSetting(K, parent, altStyleSettings)
    {
    }

    T Value{};

    // The effective value: the Value of the setting GetEffective answers (never the stale own
    // value of an inheriting setting, except where the cascade ends on one).
    T EffectiveValue() const;
};

// The checked cast of a typed getter: a setting of another class raises InvalidOperationException.
[[noreturn]] void ThrowInvalidStyleSettingCast();

template <typename T, TCascadedStyleSetting::TKind K>
T TTypedStyleSetting<T, K>::EffectiveValue() const
{
    const TCascadedStyleSetting* effective = GetEffective();
    if (effective->Kind() != K)
        ThrowInvalidStyleSettingCast();
    return static_cast<const TTypedStyleSetting<T, K>*>(effective)->Value;
}

class TColorStyleSetting : public TTypedStyleSetting<TColor, TCascadedStyleSetting::TKind::Color> {
public:
    using TTypedStyleSetting::TTypedStyleSetting;
    // Eight upper-case hexadecimal digits of the 32-bit value, no prefix.
    QString GetAsString() const override;
    // Read as hexadecimal ("$" put in front); text that does not convert gives 0 (black).
    void SetAsString(const QString& text) override;
};

class TBooleanStyleSetting : public TTypedStyleSetting<bool, TCascadedStyleSetting::TKind::Boolean> {
public:
    using TTypedStyleSetting::TTypedStyleSetting;
    // "1" or "0".
    QString GetAsString() const override;
    // True when the text reads as a non-zero integer.
    void SetAsString(const QString& text) override;
};

class TShadowStyleSetting
    : public TTypedStyleSetting<TShadowStyle, TCascadedStyleSetting::TKind::Shadow> {
public:
    using TTypedStyleSetting::TTypedStyleSetting;
    // "None", "Hard" or "Soft".
    QString GetAsString() const override;
    // Exactly "Hard" or "Soft"; anything else gives None.
    void SetAsString(const QString& text) override;
};

class TStringStyleSetting : public TTypedStyleSetting<QString, TCascadedStyleSetting::TKind::String> {
public:
    using TTypedStyleSetting::TTypedStyleSetting;
    QString GetAsString() const override;
    void SetAsString(const QString& text) override;
};

class TIntegerStyleSetting
    : public TTypedStyleSetting<int32_t, TCascadedStyleSetting::TKind::Integer> {
public:
    using TTypedStyleSetting::TTypedStyleSetting;
    QString GetAsString() const override;
    // 0 when the text does not convert.
    void SetAsString(const QString& text) override;
};

class TFillModeStyleSetting
    : public TTypedStyleSetting<TBackgroundFillMode, TCascadedStyleSetting::TKind::FillMode> {
public:
    using TTypedStyleSetting::TTypedStyleSetting;
    // "Solid" or "Gradient".
    QString GetAsString() const override;
    // Exactly "Gradient" gives Gradient; anything else Solid.
    void SetAsString(const QString& text) override;
};

// Typed effective getters, the painter's and the applier's way to read a style value.
inline TColor GetEffectiveColor(const TColorStyleSetting* s) { return s->EffectiveValue(); }
inline bool GetEffectiveBoolean(const TBooleanStyleSetting* s) { return s->EffectiveValue(); }
inline TShadowStyle GetEffectiveShadow(const TShadowStyleSetting* s) { return s->EffectiveValue(); }
inline QString GetEffectiveString(const TStringStyleSetting* s) { return s->EffectiveValue(); }
inline int32_t GetEffectiveInteger(const TIntegerStyleSetting* s) { return s->EffectiveValue(); }
inline TBackgroundFillMode GetEffectiveFillMode(const TFillModeStyleSetting* s)
{
    return s->EffectiveValue();
}
