#pragma once
// Page margins in the page set-up's units: hundredths of a millimetre where the user's locale
// measures metric, thousandths of an inch otherwise.

#include <cstdint>

struct TMarginsRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    static constexpr TMarginsRect Make(int32_t left, int32_t top, int32_t right, int32_t bottom)
    {
        return TMarginsRect{left, top, right, bottom};
    }
    constexpr int32_t HorizontalSum() const { return Left + Right; }
    constexpr int32_t VerticalSum() const { return Top + Bottom; }

    friend constexpr bool operator==(const TMarginsRect&, const TMarginsRect&) = default;
};
