#include "shared/core/PrivateArrayList.h"

#include "shared/core/Exceptions.h"

// The contract checks name the list's original unit, which the error window shows.
#define QD_LIST_ASSERT(cond) QD_ASSERT(cond, "_ArrayListTemplate")

TPrivateArrayList::TPrivateArrayList(int initialCapacity, bool autoShrink)
    : FInitialCapacity(initialCapacity), FAutoShrink(autoShrink)
{
    QD_LIST_ASSERT(initialCapacity >= 1);
    FItems.resize(size_t(initialCapacity));
}

void TPrivateArrayList::Add(const TGuid& item)
{
    if (FCount == Capacity())
        FItems.resize(FItems.size() * 2);
    FItems[size_t(FCount)] = item;
    ++FCount;
    ++FOccurrences[item];
}

void TPrivateArrayList::AddAll(const TPrivateArrayList& other)
{
    // The count is taken once, so adding a list to itself doubles it rather than looping.
    const int count = other.FCount;
    for (int i = 0; i < count; ++i) {
        const TGuid item = other.FItems[size_t(i)];
        Add(item);
    }
}

TGuid TPrivateArrayList::GetItem(int index) const
{
    QD_LIST_ASSERT(index < FCount);
    QD_LIST_ASSERT(index >= 0);
    return FItems[size_t(index)];
}

void TPrivateArrayList::Delete(int index)
{
    QD_LIST_ASSERT(index < FCount);
    QD_LIST_ASSERT(index >= 0);
    const auto it = FOccurrences.find(FItems[size_t(index)]);
    if (--it->second == 0)
        FOccurrences.erase(it);
    std::copy(FItems.begin() + index + 1, FItems.begin() + FCount, FItems.begin() + index);
    --FCount;
    const int half = Capacity() / 2;
    if (FAutoShrink && half >= FInitialCapacity && half >= FCount) {
        FItems.resize(size_t(half));
        FItems.shrink_to_fit();
    }
}

void TPrivateArrayList::Remove(const TGuid& item, bool raiseIfMissing)
{
    const int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    else if (raiseIfMissing)
        throw EListError(QStringLiteral("Element not found"));
}

int TPrivateArrayList::IndexOf(const TGuid& item) const
{
    if (FOccurrences.count(item) == 0)
        return -1;
    for (int i = 0; i < FCount; ++i)
        if (FItems[size_t(i)] == item)
            return i;
    return -1; // unreachable while the index is consistent
}

bool TPrivateArrayList::Equals(const TPrivateArrayList& other, bool ignoreOrder) const
{
    if (FCount != other.FCount)
        return false;
    if (!ignoreOrder)
        return std::equal(FItems.begin(), FItems.begin() + FCount, other.FItems.begin());
    // Each list's items all occur in the other exactly when both hold the same distinct items;
    // how often each occurs does not matter.
    if (FOccurrences.size() != other.FOccurrences.size())
        return false;
    for (const auto& entry : FOccurrences)
        if (other.FOccurrences.count(entry.first) == 0)
            return false;
    return true;
}

void TPrivateArrayList::Clear()
{
    FItems.assign(size_t(FInitialCapacity), TGuid{});
    FItems.shrink_to_fit();
    FCount = 0;
    FOccurrences.clear();
}
