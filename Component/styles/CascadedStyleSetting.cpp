#include "Component/styles/CascadedStyleSetting.h"

#include "shared/core/Exceptions.h"

namespace {

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

bool TryStyleTextToInt(const QString& text, int32_t& value)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false; // no digits
    uint64_t magnitude = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0)
                return false;
            magnitude = magnitude * 16 + uint64_t(d);
            if (magnitude > 0xFFFFFFFFull)
                return false;
        }
        // Up to 32 bits are the bit pattern of the value, so "$FF000005" is negative.
        uint32_t pattern = uint32_t(magnitude);
        if (negative)
            pattern = 0u - pattern;
        value = static_cast<int32_t>(pattern);
        return true;
    }
    for (; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return false;
        magnitude = magnitude * 10 + uint64_t(u - u'0');
        if (magnitude > 0x80000000ull)
            return false;
    }
    if (!negative && magnitude > 0x7FFFFFFFull)
        return false;
    value = negative ? static_cast<int32_t>(0u - uint32_t(magnitude)) : static_cast<int32_t>(magnitude);
    return true;
}

int32_t StyleTextToIntDef(const QString& text, int32_t defaultValue)
{
    int32_t value = defaultValue;
    if (!TryStyleTextToInt(text, value))
        return defaultValue;
    return value;
}

void ThrowInvalidStyleSettingCast()
{
    throw InvalidOperationException(QStringLiteral("Invalid class typecast"));
}

TCascadedStyleSetting::TCascadedStyleSetting(TKind kind, TCascadedStyleSetting* parent,
                                             const TCascadedStyleSettingDynArray& altStyleSettings)
    : FParent(parent), FAltStyleSettings(altStyleSettings), FKind(kind)
{
}

const TCascadedStyleSetting* TCascadedStyleSetting::InnerGetEffectiveParent(
    const TCascadedStyleSetting* setting, bool returnRootIfNone)
{
    while (setting->Inherit) {
        if (!setting->FParent)
            return returnRootIfNone ? setting : nullptr;
        setting = setting->FParent;
    }
    return setting;
}

const TCascadedStyleSetting* TCascadedStyleSetting::GetEffective() const
{
    const size_t count = FAltStyleSettings.size();
    if (const TCascadedStyleSetting* r = InnerGetEffectiveParent(this, count == 0))
        return r;
    if (count == 0)
        throw InvalidOperationException(QStringLiteral(
            "InnerGetEffectiveParent should never return nil if FAltStyleSettings is empty"));
    // Only each alternate's own chain is walked, never the alternates of an alternate; the last
    // one answers the top of its chain when nothing had an own value.
    for (size_t i = 0; i < count; ++i) {
        if (const TCascadedStyleSetting* r = InnerGetEffectiveParent(FAltStyleSettings[i], i == count - 1))
            return r;
    }
    return this; // not reached: the last alternate always answers
}

namespace {

template <typename S>
S& As(TCascadedStyleSetting& s) { return static_cast<S&>(s); }
template <typename S>
const S& As(const TCascadedStyleSetting& s) { return static_cast<const S&>(s); }

} // namespace

void TCascadedStyleSetting::CopyValueFrom(const TCascadedStyleSetting& source)
{
    if (source.FKind != FKind)
        ThrowInvalidStyleSettingCast();
    if (FKind == TKind::String)
        As<TStringStyleSetting>(*this).Value = As<TStringStyleSetting>(source).Value;
    else
        SetNumericValue(source.NumericValue());
}

int32_t TCascadedStyleSetting::NumericValue() const
{
    switch (FKind) {
    case TKind::Color:
        return As<TColorStyleSetting>(*this).Value;
    case TKind::Boolean:
        return As<TBooleanStyleSetting>(*this).Value ? 1 : 0;
    case TKind::Shadow:
        return int32_t(As<TShadowStyleSetting>(*this).Value);
    case TKind::Integer:
        return As<TIntegerStyleSetting>(*this).Value;
    case TKind::FillMode:
        return int32_t(As<TFillModeStyleSetting>(*this).Value);
    case TKind::String:
        break;
    }
    ThrowInvalidStyleSettingCast();
}

void TCascadedStyleSetting::SetNumericValue(int32_t value)
{
    switch (FKind) {
    case TKind::Color:
        As<TColorStyleSetting>(*this).Value = value;
        return;
    case TKind::Boolean:
        As<TBooleanStyleSetting>(*this).Value = value != 0;
        return;
    case TKind::Shadow:
        As<TShadowStyleSetting>(*this).Value = TShadowStyle(uint8_t(value));
        return;
    case TKind::Integer:
        As<TIntegerStyleSetting>(*this).Value = value;
        return;
    case TKind::FillMode:
        As<TFillModeStyleSetting>(*this).Value = TBackgroundFillMode(uint8_t(value));
        return;
    case TKind::String:
        break;
    }
    ThrowInvalidStyleSettingCast();
}

QString TColorStyleSetting::GetAsString() const
{
    return QString::asprintf("%08X", static_cast<unsigned>(static_cast<uint32_t>(Value)));
}

void TColorStyleSetting::SetAsString(const QString& text)
{
    Value = StyleTextToIntDef(QLatin1Char('$') + text, 0);
}

QString TBooleanStyleSetting::GetAsString() const
{
    return Value ? QStringLiteral("1") : QStringLiteral("0");
}

void TBooleanStyleSetting::SetAsString(const QString& text)
{
    Value = StyleTextToIntDef(text, 0) != 0;
}

QString TShadowStyleSetting::GetAsString() const
{
    switch (Value) {
    case TShadowStyle::None:
        return QStringLiteral("None");
    case TShadowStyle::Hard:
        return QStringLiteral("Hard");
    case TShadowStyle::Soft:
        return QStringLiteral("Soft");
    }
    throw InvalidOperationException(QStringLiteral("Unhandled TShadowStyle"));
}

void TShadowStyleSetting::SetAsString(const QString& text)
{
    if (text == QLatin1String("Hard"))
        Value = TShadowStyle::Hard;
    else if (text == QLatin1String("Soft"))
        Value = TShadowStyle::Soft;
    else
        Value = TShadowStyle::None;
}

QString TStringStyleSetting::GetAsString() const { return Value; }

void TStringStyleSetting::SetAsString(const QString& text) { Value = text; }

QString TIntegerStyleSetting::GetAsString() const { return QString::number(Value); }

void TIntegerStyleSetting::SetAsString(const QString& text) { Value = StyleTextToIntDef(text, 0); }

QString TFillModeStyleSetting::GetAsString() const
{
    switch (Value) {
    case TBackgroundFillMode::Solid:
        return QStringLiteral("Solid");
    case TBackgroundFillMode::Gradient:
        return QStringLiteral("Gradient");
    }
    throw InvalidOperationException(QStringLiteral("Invalid FillMode Value"));
}

void TFillModeStyleSetting::SetAsString(const QString& text)
{
    Value = text == QLatin1String("Gradient") ? TBackgroundFillMode::Gradient
                                              : TBackgroundFillMode::Solid;
}
