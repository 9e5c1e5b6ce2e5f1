#include "Component/model/MultiOptionSolver.h"

#include "Component/model/RollBack.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <unordered_map>

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
    QD_ASSERT(count >= 0 && count <= 62, "MultiOptionSolver.cpp");
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

namespace {

// The search in counting order as a walk over partial choices: at level k the projects k .. n-1
// are decided and 0 .. k-1 are open; the branch without project k-1 comes before the one with it,
// so complete choices are met in the order of the exhaustive count, and with the same strict
// comparisons the same sets win. A branch is left out when even its fractional choice cannot beat
// the best so far, which no set in it then could.
class TBoundedSearch {
public:
    TBoundedSearch(const int64_t* cost, const int64_t* value, int count, int64_t budget)
        : FCost(cost), FValue(value), FCount(count), FBudget(budget), FBaseValue(size_t(count) + 1),
          FBaseCost(size_t(count) + 1), FPartCost(size_t(count)), FPartValue(size_t(count))
    {
        // Relative to a base that takes every option that frees money (cost below 0) or is free
        // and not harmful, each open option is a part with positive cost and value, or worthless.
        for (int i = 0; i < count; ++i) {
            const int64_t c = cost[i], v = value[i];
            const bool inBase = c < 0 || (c == 0 && v >= 0);
            FBaseValue[size_t(i) + 1] = FBaseValue[size_t(i)] + (inBase ? v : 0);
            FBaseCost[size_t(i) + 1] = FBaseCost[size_t(i)] + (inBase ? c : 0);
            if (c > 0 && v > 0) {
                FPartCost[size_t(i)] = c;
                FPartValue[size_t(i)] = v;
            } else if (c < 0 && v < 0) {
                FPartCost[size_t(i)] = -c; // leaving it out of the base
                FPartValue[size_t(i)] = -v;
            }
            if (FPartCost[size_t(i)] > 0)
                FOrder.push_back(i);
        }
        std::stable_sort(FOrder.begin(), FOrder.end(), [this](int a, int b) {
            return (__int128)FPartValue[size_t(a)] * FPartCost[size_t(b)] >
                   (__int128)FPartValue[size_t(b)] * FPartCost[size_t(a)];
        });
        FTake.assign(size_t(count), 0);
    }

    // Visits the affordable complete choices that could beat best, in counting order, calling
    // leaf(flags, value) for each; leaf may raise best. False when steps, counted on from what it
    // holds, went beyond stepLimit.
    template <class Leaf>
    bool Run(const int64_t& best, int64_t& steps, int64_t stepLimit, Leaf&& leaf)
    {
        FSteps = steps;
        FLimit = stepLimit;
        const bool done = Visit(FCount, 0, 0, best, leaf);
        steps = FSteps;
        return done;
    }

private:
    // Whether some choice of the open projects 0 .. k-1 is affordable and could beat best.
    bool Promising(int k, int64_t cost, int64_t value, int64_t best) const
    {
        __int128 room = (__int128)FBudget - cost - FBaseCost[size_t(k)];
        if (room < 0)
            return false;
        __int128 bound = (__int128)value + FBaseValue[size_t(k)];
        for (int i : FOrder) {
            if (i >= k)
                continue;
            if (bound > best)
                return true;
            const int64_t c = FPartCost[size_t(i)], v = FPartValue[size_t(i)];
            if (c <= room) {
                room -= c;
                bound += v;
            } else {
                bound += (v * room + c - 1) / c; // the fractional part, rounded up
                break;
            }
        }
        return bound > best;
    }

    template <class Leaf>
    bool Visit(int k, int64_t cost, int64_t value, const int64_t& best, Leaf& leaf)
    {
        if (++FSteps > FLimit)
            return false;
        if (k == 0) {
            if (cost <= FBudget)
                leaf(FTake, value);
            return true;
        }
        if (!Promising(k, cost, value, best))
            return true;
        if (!Visit(k - 1, cost, value, best, leaf))
            return false;
        FTake[size_t(k) - 1] = 1;
        const bool done = Visit(k - 1, cost + FCost[k - 1], value + FValue[k - 1], best, leaf);
        FTake[size_t(k) - 1] = 0;
        return done;
    }

    const int64_t* FCost;
    const int64_t* FValue;
    int FCount;
    int64_t FBudget;
    std::vector<int64_t> FBaseValue, FBaseCost, FPartCost, FPartValue;
    std::vector<int> FOrder;
    std::vector<uint8_t> FTake;
    int64_t FSteps = 0, FLimit = 0;
};

} // namespace

bool TMultiOptionFullSolverQuick::SolveBounded(const int64_t* cost, const int64_t* maxValue, const int64_t* minValue,
                                               int count, int64_t budget, std::vector<uint8_t>& maxSet,
                                               std::vector<uint8_t>& minSet, int64_t stepLimit, int64_t* stepsTaken)
{
    int64_t steps = 0;
    struct Report {
        int64_t& Steps;
        int64_t* Out;
        ~Report()
        {
            if (Out)
                *Out = Steps;
        }
    } report{steps, stepsTaken};
    const size_t n = size_t(std::max(count, 0));
    maxSet.assign(n, 0);
    minSet.assign(n, 0);
    // Every set that raised the maximum, with its sum: the sums rise strictly, so a sum names at
    // most one of them. These sets are not looked at for the minimum.
    std::unordered_map<int64_t, std::vector<uint8_t>> raised;
    int64_t bestMax = 0;
    TBoundedSearch maxSearch(cost, maxValue, count, budget);
    if (!maxSearch.Run(bestMax, steps, stepLimit, [&](const std::vector<uint8_t>& take, int64_t sum) {
            if (sum > bestMax) {
                bestMax = sum;
                maxSet = take;
                raised.emplace(sum, take);
            }
        })) {
        maxSet.assign(n, 0);
        return false;
    }
    // The minimum: the greatest negated sum of lowest values.
    std::vector<int64_t> negMin(n);
    for (size_t i = 0; i < n; ++i)
        negMin[i] = -minValue[i];
    int64_t bestNeg = 0;
    TBoundedSearch minSearch(cost, negMin.data(), count, budget);
    const bool done = minSearch.Run(bestNeg, steps, stepLimit, [&](const std::vector<uint8_t>& take, int64_t sum) {
        if (sum <= bestNeg)
            return;
        int64_t high = 0;
        for (size_t i = 0; i < n; ++i)
            high += take[i] ? maxValue[i] : 0;
        const auto r = raised.find(high);
        if (r != raised.end() && r->second == take)
            return;
        bestNeg = sum;
        minSet = take;
    });
    if (!done) {
        maxSet.assign(n, 0);
        minSet.assign(n, 0);
    }
    return done;
}

void TMultiOptionFullSolverQuick::Solve(TProjectList& projects, double budget)
{
    const int n = projects.Count();
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
    std::vector<uint8_t> maxSet(count, 0), minSet(count, 0);
    bool solved = true;
    if (total < 4.0e18L) {
        std::vector<int64_t> cost64(count), max64(count), min64(count);
        for (size_t i = 0; i < count; ++i) {
            cost64[i] = int64_t(cost[i]);
            max64[i] = int64_t(maxValue[i]);
            min64[i] = int64_t(minValue[i]);
        }
        solved = SolveBounded(cost64.data(), max64.data(), min64.data(), n, int64_t(units(budget)), maxSet, minSet);
    } else if (n <= MaxExtendedOptions) {
        uint64_t maxBits = 0, minBits = 0;
        SolveExtended(cost.data(), maxValue.data(), minValue.data(), n, units(budget), maxBits, minBits);
        for (size_t i = 0; i < count; ++i) {
            maxSet[i] = (maxBits >> i) & 1;
            minSet[i] = (minBits >> i) & 1;
        }
    } else {
        solved = false;
    }
    if (!solved)
        throw InvalidOperationException(QStringLiteral("Too many options to solve in time: %1").arg(n));
    for (int i = 0; i < n; ++i) {
        projects.Items(i)->InMaxSet = maxSet[size_t(i)];
        projects.Items(i)->InMinSet = minSet[size_t(i)];
    }
}
