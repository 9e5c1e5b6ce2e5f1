#include "shared/core/Exceptions.h"
#include "shared/core/PrivateArrayList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

TGuid G(uint32_t n)
{
    TGuid g;
    g.D1 = n;
    g.D4[7] = uint8_t(n * 7);
    return g;
}

} // namespace

// Random operation sequences against a plain vector that follows the rules literally.
TEST(PrivateArrayList, MatchesNaiveModelUnderRandomOperations)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        const int initial = 1 + int(rng() % 5);
        const bool shrink = rng() % 2 == 0;
        TPrivateArrayList list(initial, shrink);
        std::vector<TGuid> model;
        int capacity = initial;
        const uint32_t distinct = 1 + rng() % 12; // few values, so duplicates are common
        for (int step = 0; step < 400; ++step) {
            const TGuid item = G(rng() % distinct);
            switch (rng() % 6) {
            case 0:
            case 1:
            case 2:
                if (int(model.size()) == capacity)
                    capacity *= 2;
                model.push_back(item);
                list.Add(item);
                break;
            case 3:
                if (!model.empty()) {
                    const int index = int(rng() % model.size());
                    model.erase(model.begin() + index);
                    if (shrink && capacity / 2 >= initial && capacity / 2 >= int(model.size()))
                        capacity /= 2;
                    list.Delete(index);
                }
                break;
            case 4: {
                const auto it = std::find(model.begin(), model.end(), item);
                if (it != model.end()) {
                    model.erase(it);
                    if (shrink && capacity / 2 >= initial && capacity / 2 >= int(model.size()))
                        capacity /= 2;
                }
                list.Remove(item, false);
                break;
            }
            default:
                if (rng() % 20 == 0) {
                    model.clear();
                    capacity = initial;
                    list.Clear();
                }
                break;
            }
            ASSERT_EQ(list.Count(), int(model.size()));
            ASSERT_EQ(list.Capacity(), capacity);
            for (uint32_t v = 0; v < distinct; ++v) {
                const auto it = std::find(model.begin(), model.end(), G(v));
                const int expected = it == model.end() ? -1 : int(it - model.begin());
                ASSERT_EQ(list.IndexOf(G(v)), expected);
                ASSERT_EQ(list.Contains(G(v)), expected >= 0);
            }
        }
        for (int i = 0; i < list.Count(); ++i)
            ASSERT_EQ(list.GetItem(i), model[size_t(i)]);
        // A copy compares equal both ways, and a reversed copy only when ignoring order.
        TPrivateArrayList reversed(1, false);
        for (auto it = model.rbegin(); it != model.rend(); ++it)
            reversed.Add(*it);
        ASSERT_TRUE(list.Equals(reversed, true));
        ASSERT_EQ(list.Equals(reversed, false), std::equal(model.begin(), model.end(), model.rbegin()));
    }
}
