#pragma once
// A colour value $00BBGGRR (red in the low byte) and a colour that may be absent.

#include <cstdint>

using TColor = int32_t;

struct TNullableColor {
    bool HasValue = false;
    TColor Value = 0;

    TNullableColor() = default;
    // Conversion from a colour.
    TNullableColor(TColor color) : HasValue(true), Value(color) {}

    static TNullableColor ImplicitFromColor(TColor color) { return TNullableColor(color); }
    // Conversion from an object reference: only a null reference is accepted (raises
    // ArgumentOutOfRangeException "TNullableColor is only convertable from a nil object").
    static TNullableColor ImplicitFromNil(const void* object);

    void SetValue(TColor color) { HasValue = true; Value = color; }
    void Clear() { HasValue = false; Value = 0; }
    TColor GetValueOrDefault(TColor defaultColor) const { return HasValue ? Value : defaultColor; }

    friend bool operator==(const TNullableColor&, const TNullableColor&) = default;
};
