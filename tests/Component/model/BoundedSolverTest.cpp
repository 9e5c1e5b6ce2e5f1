#include "Component/model/DecTreeDocument.h"
#include "Component/model/MultiOptionSolver.h"
#include "Component/model/NodeStatus.h"
#include "Component/model/RollBack.h"
#include "TreeBuilder.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace testtree;

namespace {

std::vector<uint8_t> Flags(uint64_t bits, int n)
{
    std::vector<uint8_t> out(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i)
        out[size_t(i)] = (bits >> i) & 1;
    return out;
}

// Options whose highest value equals their cost, all costs even currency units and the budget
// odd: every fractional choice fills the budget and no whole one can, so no branch is ever left out.
void HardInstance(int n, std::vector<int64_t>& cost, std::vector<int64_t>& hi, std::vector<int64_t>& lo,
                  int64_t& budget)
{
    std::mt19937_64 rng(5);
    int64_t total = 0;
    cost.clear();
    for (int i = 0; i < n; ++i) {
        cost.push_back(2 * int64_t(1000 + rng() % 1000) * CurrencyScale);
        total += cost.back();
    }
    hi = cost;
    lo.assign(size_t(n), -1);
    budget = (total / 2 / CurrencyScale | 1) * CurrencyScale;
}

} // namespace

TEST(BoundedSolver, AgreesWithTheExhaustiveCountOnRandomCases)
{
    // Wide ranges, and narrow ones full of equal sums, where the tie-breaks and the sets that
    // raised the maximum (never the minimum) decide.
    std::mt19937_64 rng(3);
    int cases = 0;
    for (int n = 0; n <= 24; ++n) {
        const int rounds = n <= 16 ? 30 : n <= 20 ? 8 : 2;
        for (int round = 0; round < rounds; ++round) {
            const bool narrow = round % 2 == 1;
            auto draw = [&](int from, int to) {
                return int64_t(std::uniform_int_distribution<int>(from, to)(rng)) * (narrow ? 10000 : 100);
            };
            std::vector<int64_t> cost, hi, lo;
            int64_t spend = 0;
            for (int i = 0; i < n; ++i) {
                cost.push_back(narrow ? draw(-1, 3) : draw(-300, 1500));
                hi.push_back(narrow ? draw(-1, 3) : draw(-1000, 3000));
                lo.push_back(narrow ? draw(-3, 1) : draw(-3000, 500));
                spend += std::max<int64_t>(cost.back(), 0);
            }
            const int64_t budget = round % 3 == 0 ? 0 : spend * int64_t(1 + rng() % 3) / 5;
            uint64_t maxBits = 0, minBits = 0;
            TMultiOptionFullSolverQuick::SolveUnits(cost.data(), hi.data(), lo.data(), n, budget, maxBits, minBits);
            std::vector<uint8_t> maxSet, minSet;
            ASSERT_TRUE(TMultiOptionFullSolverQuick::SolveBounded(cost.data(), hi.data(), lo.data(), n, budget,
                                                                  maxSet, minSet));
            EXPECT_EQ(maxSet, Flags(maxBits, n)) << "n " << n << " round " << round;
            EXPECT_EQ(minSet, Flags(minBits, n)) << "n " << n << " round " << round;
            ++cases;
        }
    }
    EXPECT_EQ(cases, 17 * 30 + 4 * 8 + 4 * 2);
}

TEST(BoundedSolver, IsLeftUnsolvedOnlyBeyondItsStepLimit)
{
    // The bound at which a search is given up: the steps a search takes are enough, one fewer
    // is not (and answers empty sets).
    std::vector<int64_t> cost, hi, lo;
    int64_t budget = 0;
    HardInstance(14, cost, hi, lo, budget);
    uint64_t maxBits = 0, minBits = 0;
    TMultiOptionFullSolverQuick::SolveUnits(cost.data(), hi.data(), lo.data(), 14, budget, maxBits, minBits);
    std::vector<uint8_t> maxSet, minSet;
    int64_t steps = 0;
    ASSERT_TRUE(TMultiOptionFullSolverQuick::SolveBounded(cost.data(), hi.data(), lo.data(), 14, budget, maxSet,
                                                          minSet, MaxSolverSteps, &steps));
    EXPECT_GT(steps, 1000);
    for (int64_t limit : {steps, steps - 1}) {
        int64_t taken = 0;
        const bool solved = TMultiOptionFullSolverQuick::SolveBounded(cost.data(), hi.data(), lo.data(), 14, budget,
                                                                      maxSet, minSet, limit, &taken);
        EXPECT_EQ(solved, limit == steps);
        EXPECT_EQ(maxSet, solved ? Flags(maxBits, 14) : std::vector<uint8_t>(14, 0));
        EXPECT_EQ(minSet, solved ? Flags(minBits, 14) : std::vector<uint8_t>(14, 0));
        EXPECT_EQ(taken, solved ? steps : limit + 1);
    }

    // In a document: sixty easy options are solved; sixty hard ones are left as marked, weighed
    // like a closed decision, and the decision's hint says so.
    for (const bool hard : {false, true}) {
        SCOPED_TRACE(hard);
        TDecTreeDocument doc;
        TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
        HardInstance(60, cost, hi, lo, budget);
        root->DecisionMultiBudget = int32_t(hard ? budget / 10000 : 1000);
        for (int i = 0; i < 60; ++i) {
            // Easy: costs of 100 with values rising, so the ten last fit the budget of 1000.
            TDecTreeNode* option = AddChild(root, ntChance, i < 2 ? 100 : 0,
                                            hard ? -double(cost[size_t(i)]) / 10000 : -100);
            AddEnd(option, 100, hard ? 2 * double(cost[size_t(i)]) / 10000 : 100 + i);
        }
        doc.CalculateValues();
        root->OptimizeDecisions();
        doc.CalculateValues();
        EXPECT_EQ(MultiOptionLeftUnsolved(*root), hard);
        EXPECT_EQ(CountUnsolvedMultiOptions(*root), hard ? 1 : 0);
        EXPECT_EQ(root->GetWarningHint().contains(NodeStatusTexts::NotSolved), hard);
        for (int i = 0; i < 60; ++i)
            EXPECT_EQ(root->Children[i]->Probability, (hard ? i < 2 : i >= 50) ? 100 : 0) << i;
        const double first = hard ? double(cost[0] + cost[1]) / 10000 : 0;
        EXPECT_EQ(root->ExpectedValue, hard ? first : (50 + 59) * 5);
    }

    // Sums beyond 64-bit units are counted exhaustively, up to MaxExtendedOptions options.
    for (const int n : {MaxExtendedOptions, MaxExtendedOptions + 1}) {
        SCOPED_TRACE(n);
        TDecTreeDocument doc;
        TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
        root->DecisionMultiBudget = 10;
        for (int i = 0; i < n; ++i)
            AddEnd(AddChild(root, ntChance, 0, -1), 100, 1e13);
        doc.CalculateValues();
        root->OptimizeDecisions();
        const bool solved = n <= MaxExtendedOptions;
        EXPECT_EQ(MultiOptionLeftUnsolved(*root), !solved);
        for (int i = 0; i < n; ++i) // equal options: the first ten
            EXPECT_EQ(root->Children[i]->Probability, solved && i < 10 ? 100 : 0) << i;
    }
}
