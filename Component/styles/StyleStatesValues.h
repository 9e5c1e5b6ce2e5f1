#pragma once
// A compact copy of every Inherit flag and every value of a TStyleStates object (inheriting
// settings' values included), restored exactly. Undo snapshots keep style states this way: a few
// kilobytes instead of a second object graph.

#include "Component/styles/StyleStates.h"

#include <QString>

#include <cstdint>
#include <vector>

class TStyleStatesValues {
public:
    TStyleStatesValues() = default;
    explicit TStyleStatesValues(const TStyleStates& styleStates);

    // Makes every flag and value of styleStates equal to the captured ones.
    void Restore(TStyleStates& styleStates) const;
    bool IsEmpty() const { return FInherit.empty(); }

    friend bool operator==(const TStyleStatesValues&, const TStyleStatesValues&) = default;

private:
    std::vector<uint64_t> FInherit; // one bit per setting, in state, pre-order style, setting order
    std::vector<int32_t> FNumbers;  // the numeric settings' values in the same order
    std::vector<QString> FStrings;  // the string settings' values in the same order
};
