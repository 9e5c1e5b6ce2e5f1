#include "Component/model/MultiOptionSolver.h"

#include "Component/model/RollBack.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <array>
#include <bit>

TProject* TProjectList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)].get();
}

void TMultiOptionFullSolverQuick::SolveUnits(const int64_t* cost, const int64_t* maxValue, const int64_t* minValue,
                                             int count, int64_t budget, uint64_t& maxSet, uint64_t& minSet)
{
    QD_ASSERT(count >= 0 && count <= 62, "MultiOptionSolver.cpp");
    // The subsets are visited in counting order as (high part, low part) with the low part the
    // inner loop. The sums of every low part come from a table, so each subset costs two additions
    // and the comparisons; the high part's sums follow each step of its own count.
    constexpr int MaxLowBits = 10;
    const int lowBits = std::min(count, MaxLowBits);
    const int highBits = count - lowBits;
    const uint32_t lowCount = 1u << lowBits;
    std::array<int64_t, 1u << MaxLowBits> lowCost, lowMax, lowMin;
    lowCost[0] = lowMax[0] = lowMin[0] = 0;
    for (uint32_t j = 1; j < lowCount; ++j) {
        const uint32_t rest = j & (j - 1);
        const int bit = std::countr_zero(j);
        lowCost[j] = lowCost[rest] + cost[bit];
        lowMax[j] = lowMax[rest] + maxValue[bit];
        lowMin[j] = lowMin[rest] + minValue[bit];
    }

    int64_t bestMax = 0, bestMin = 0;
    uint64_t bestMaxSet = 0, bestMinSet = 0;
    int64_t highCost = 0, highMax = 0, highMin = 0;
    const uint64_t highEnd = uint64_t(1) << highBits;
    for (uint64_t high = 0;;) {
        const uint64_t base = high << lowBits;
        for (uint32_t j = 0; j < lowCount; ++j) {
            if (highCost + lowCost[j] <= budget) {
                const int64_t sumMax = highMax + lowMax[j];
                if (sumMax > bestMax) {
                    bestMax = sumMax;
                    bestMaxSet = base | j;
                } else {
                    const int64_t sumMin = highMin + lowMin[j];
                    if (sumMin < bestMin) {
                        bestMin = sumMin;
                        bestMinSet = base | j;
                    }
                }
            }
        }
        // Next high part: take the lowest untaken project, drop the taken ones below it.
        const int i = std::countr_one(high);
        if (uint64_t(i) >= uint64_t(highBits) || ++high == highEnd)
            break;
        const int p = lowBits + i;
        highCost += cost[p];
        highMax += maxValue[p];
        highMin += minValue[p];
        for (int q = lowBits; q < p; ++q) {
            highCost -= cost[q];
            highMax -= maxValue[q];
            highMin -= minValue[q];
        }
    }
    maxSet = bestMaxSet;
    minSet = bestMinSet;
}

void TMultiOptionFullSolverQuick::Solve(TProjectList& projects, double budget)
{
    const int n = projects.Count();
    if (n > MaxSolvedOptions)
        throw ArgumentOutOfRangeException(
            QStringLiteral("Too many options to solve: %1 (at most %2)").arg(n).arg(MaxSolvedOptions));
    const size_t count = static_cast<size_t>(n);
    std::vector<int64_t> cost(count), maxValue(count), minValue(count);
    for (int i = 0; i < n; ++i) {
        const TProject* p = projects.Items(i);
        cost[size_t(i)] = CurrencyUnits(p->Cost);
        maxValue[size_t(i)] = CurrencyUnits(p->MaxValue);
        minValue[size_t(i)] = CurrencyUnits(p->MinValue);
    }
    const int64_t budgetUnits = CurrencyUnits(budget);
    uint64_t maxSet = 0, minSet = 0;
    SolveUnits(cost.data(), maxValue.data(), minValue.data(), n, budgetUnits, maxSet, minSet);
    for (int i = 0; i < n; ++i) {
        projects.Items(i)->InMaxSet = (maxSet >> i) & 1;
        projects.Items(i)->InMinSet = (minSet >> i) & 1;
    }
}
