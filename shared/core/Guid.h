#pragma once
// 128-bit identifiers of tree nodes and their text forms.

#include <QString>
#include <cstdint>
#include <cstring>
#include <functional>

// The 16-byte GUID record: D1, D2, D3 and eight bytes D4.
struct TGuid {
    uint32_t D1 = 0;
    uint16_t D2 = 0;
    uint16_t D3 = 0;
    uint8_t D4[8] = {0, 0, 0, 0, 0, 0, 0, 0};

    friend bool operator==(const TGuid& a, const TGuid& b) { return std::memcmp(&a, &b, sizeof(TGuid)) == 0; }
    friend bool operator!=(const TGuid& a, const TGuid& b) { return !(a == b); }
    bool IsEmpty() const { return *this == TGuid{}; }
};
static_assert(sizeof(TGuid) == 16);

// Every bit of the id reaches every bit of the hash (two rounds of a 64-bit finaliser), so ids
// that differ only in a few digits, as hand-made or generated files have them, spread over a
// table as well as random ones do, whichever bits of the hash a table takes.
template <>
struct std::hash<TGuid> {
    static uint64_t Mix(uint64_t x) noexcept
    {
        x ^= x >> 30;
        x *= 0xBF58476D1CE4E5B9ull;
        x ^= x >> 27;
        x *= 0x94D049BB133111EBull;
        x ^= x >> 31;
        return x;
    }
    size_t operator()(const TGuid& g) const noexcept
    {
        uint64_t a, b;
        std::memcpy(&a, &g, 8);
        std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
        return size_t(Mix(Mix(a) ^ b ^ 0x632BE59BD9B4E019ull));
    }
};

class Guid {
public:
    static TGuid NewGuid();
    static TGuid Empty() { return TGuid{}; }
    static bool Equals(const TGuid& a, const TGuid& b) { return a == b; }
    static QString ToString(const TGuid& value);
    // Format "D" (default), "N", "B" or "P", either case; raises FormatException otherwise.
    static QString ToStringWithFormat(const TGuid& value, const QString& format);
    // Raises ArgumentNullException, FormatException or InvalidOperationException.
    static TGuid Parse(const QString& text);
};

// Raises InvalidOperationException "Not a valid hexadecimal character: " + the character.
uint32_t HexToCardinal(const QString& text);
