#include "Component/model/MultiOptionSolver.h"

#include "Component/model/RollBack.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

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

void TMultiOptionFullSolverQuick::SolveExtended(const long double* cost, const long double* maxValue,
                                                const long double* minValue, int count, long double budget,
                                                uint64_t& maxSet, uint64_t& minSet)
{
    QD_ASSERT(count >= 0 && count <= MaxSolvedOptions, "MultiOptionSolver.cpp");
    long double bestMax = 0, bestMin = 0, sumCost = 0, sumMax = 0, sumMin = 0;
    uint64_t current = 0;
    maxSet = minSet = 0;
    for (;;) {
        if (sumCost <= budget) {
            if (sumMax > bestMax) {
                bestMax = sumMax;
                maxSet = current;
            } else if (sumMin < bestMin) {
                bestMin = sumMin;
                minSet = current;
            }
        }
        const int i = std::countr_one(current);
        if (i >= count)
            break;
        current = (current | (uint64_t(1) << i)) & ~((uint64_t(1) << i) - 1);
        sumCost += cost[i];
        sumMax += maxValue[i];
        sumMin += minValue[i];
        for (int j = 0; j < i; ++j) {
            sumCost -= cost[j];
            sumMax -= maxValue[j];
            sumMin -= minValue[j];
        }
    }
}

void TMultiOptionFullSolverQuick::Solve(TProjectList& projects, double budget)
{
    const int n = projects.Count();
    if (n > MaxSolvedOptions)
        throw ArgumentOutOfRangeException(
            QStringLiteral("Too many options to solve: %1 (at most %2)").arg(n).arg(MaxSolvedOptions));
    const size_t count = static_cast<size_t>(n);
    std::vector<long double> cost(count), maxValue(count), minValue(count);
    auto units = [](double value) { return std::rintl((long double)value * CurrencyScale); };
    // Any sum of these stays well within 64-bit units when this total does (it is also false for a
    // value that is not a number).
    long double total = std::fabs(units(budget));
    for (int i = 0; i < n; ++i) {
        const TProject* p = projects.Items(i);
        cost[size_t(i)] = units(p->Cost);
        maxValue[size_t(i)] = units(p->MaxValue);
        minValue[size_t(i)] = units(p->MinValue);
        total += std::fabs(cost[size_t(i)]) + std::fabs(maxValue[size_t(i)]) + std::fabs(minValue[size_t(i)]);
    }
    uint64_t maxSet = 0, minSet = 0;
    if (total < 4.0e18L) {
        std::vector<int64_t> cost64(count), max64(count), min64(count);
        for (size_t i = 0; i < count; ++i) {
            cost64[i] = int64_t(cost[i]);
            max64[i] = int64_t(maxValue[i]);
            min64[i] = int64_t(minValue[i]);
        }
        SolveUnits(cost64.data(), max64.data(), min64.data(), n, int64_t(units(budget)), maxSet, minSet);
    } else {
        SolveExtended(cost.data(), maxValue.data(), minValue.data(), n, units(budget), maxSet, minSet);
    }
    for (int i = 0; i < n; ++i) {
        projects.Items(i)->InMaxSet = (maxSet >> i) & 1;
        projects.Items(i)->InMinSet = (minSet >> i) & 1;
    }
}
