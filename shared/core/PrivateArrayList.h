#pragma once
// The growable list of GUIDs: selections, copies of selections, the reader's legacy-id map.
// Duplicates are allowed and order is kept; a hash index of the items makes Contains and
// IndexOf constant-time, since selection tests run for every node on every paint.

#include "shared/core/Guid.h"

#include <unordered_map>
#include <vector>

class TPrivateArrayList {
public:
    // Raises EAssertionFailed when initialCapacity < 1.
    TPrivateArrayList(int initialCapacity, bool autoShrink);

    void Add(const TGuid& item);
    void AddAll(const TPrivateArrayList& other);
    // Raises EAssertionFailed when index is out of range.
    TGuid GetItem(int index) const;
    void Delete(int index);
    // Raises EListError "Element not found" when absent and raiseIfMissing.
    void Remove(const TGuid& item, bool raiseIfMissing);
    int IndexOf(const TGuid& item) const;
    bool Contains(const TGuid& item) const { return FOccurrences.count(item) != 0; }
    bool Equals(const TPrivateArrayList& other, bool ignoreOrder) const;
    void Clear();

    int Count() const { return FCount; }
    int Capacity() const { return int(FItems.size()); }
    int InitialCapacity() const { return FInitialCapacity; }
    bool AutoShrink() const { return FAutoShrink; }

private:
    std::vector<TGuid> FItems; // its size is the capacity
    int FCount = 0;
    int FInitialCapacity;
    bool FAutoShrink;
    // Item -> how often it occurs; the first index is found by a scan only when it occurs.
    std::unordered_map<TGuid, int> FOccurrences;
};
