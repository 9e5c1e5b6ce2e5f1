#pragma once
// The set of font styles a style setting can hold.

#include <cstdint>
#include <initializer_list>

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

class TFontStyles {
public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> styles)
    {
        for (TFontStyle s : styles)
            Include(s);
    }
    static constexpr TFontStyles FromBits(uint8_t bits) { TFontStyles r; r.FBits = bits & 0x0F; return r; }

    constexpr bool Contains(TFontStyle s) const { return (FBits & Bit(s)) != 0; }
    constexpr void Include(TFontStyle s) { FBits = uint8_t(FBits | Bit(s)); }
    constexpr void Exclude(TFontStyle s) { FBits = uint8_t(FBits & ~Bit(s)); }
    constexpr bool IsEmpty() const { return FBits == 0; }
    constexpr uint8_t Bits() const { return FBits; }

    friend constexpr TFontStyles operator|(TFontStyles a, TFontStyles b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TFontStyles operator&(TFontStyles a, TFontStyles b) { return FromBits(a.FBits & b.FBits); }
    friend constexpr TFontStyles operator-(TFontStyles a, TFontStyles b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

private:
    static constexpr uint8_t Bit(TFontStyle s) { return uint8_t(1u << s); }
    uint8_t FBits = 0;
};
