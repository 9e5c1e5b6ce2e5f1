#include "shared/core/Guid.h"

#include <gtest/gtest.h>
#include <set>

// Ids that differ only in a few bytes must still spread over the low bits a table takes.
TEST(GuidHashTest, IdsDifferingInOnePartSpreadOverTheLowBits)
{
    const int byteOffsets[] = {0, 4, 6, 8, 12, 14}; // D1, D2, D3, the head and the tail of D4
    for (int offset : byteOffsets) {
        std::set<size_t> slots;
        for (uint32_t i = 0; i < 4096; ++i) {
            TGuid g = Guid::Empty();
            g.D1 = 0x12345678;
            unsigned char* bytes = reinterpret_cast<unsigned char*>(&g);
            bytes[offset] = uint8_t(i);
            bytes[offset + 1] = uint8_t(i >> 8);
            slots.insert(std::hash<TGuid>()(g) & 0xFFF);
        }
        // A random spread fills about 63% of the 4096 slots.
        EXPECT_GT(slots.size(), 2400u) << "byte offset " << offset;
    }
}
