#include "Component/model/DecTreeDocument.h"
#include "Component/model/MultiOptionSolver.h"
#include "Component/model/OptimizeDecisions.h"
#include "TreeBuilder.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

using namespace testtree;

namespace {

// An option of a multi-option decision with a range of outcomes: a decision between lo, hi and
// the taken ev (ev defaults to lo), after the option's own payoff.
TDecTreeNode* AddRangeOption(TDecTreeNode* multi, double payoff, double lo, double hi, double ev)
{
    TDecTreeNode* option = AddChild(multi, ntDecision, 0, payoff);
    AddEnd(option, 0, lo);
    AddEnd(option, 0, hi);
    AddEnd(option, 100, ev);
    return option;
}

TDecTreeNode* AddRangeOption(TDecTreeNode* multi, double payoff, double lo, double hi)
{
    return AddRangeOption(multi, payoff, lo, hi, lo);
}

void Evaluate(TDecTreeNode* n, bool keep, double& min, double& max)
{
    n->Tree->CalculateValues();
    n->EvaluateMultiOptionDecision(keep, min, max);
}

} // namespace

TEST(MultiOption, WithoutBudgetTakesThePositiveOptions)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    TDecTreeNode* a = AddRangeOption(root, 0, 0, 200, 100); // value 100, lo 0, hi 200
    TDecTreeNode* b = AddRangeOption(root, -20, -10, 10, 0); // value -20, lo -30, hi -10
    TDecTreeNode* c = AddRangeOption(root, 0, -50, 50, 0);   // value 0, lo -50, hi 50
    double min = 1, max = 1;
    Evaluate(root, false, min, max);
    EXPECT_EQ(a->Probability, 100);
    EXPECT_EQ(b->Probability, 0);
    EXPECT_EQ(c->Probability, 0);
    EXPECT_DOUBLE_EQ(max, 250);
    EXPECT_DOUBLE_EQ(min, -80);

    // Keep mode answers the same range and leaves the marks alone.
    b->Probability = 100;
    Evaluate(root, true, min, max);
    EXPECT_EQ(b->Probability, 100);
    EXPECT_DOUBLE_EQ(max, 250);
}

TEST(MultiOption, BudgetCountsACostOfExactlyTheBudget)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    root->DecisionMultiBudget = 100;
    TDecTreeNode* a = AddRangeOption(root, -60, 0, 0);
    TDecTreeNode* b = AddRangeOption(root, -50, 150, 150);
    TDecTreeNode* c = AddRangeOption(root, -40, 100, 100);
    double min = 0, max = 0;
    Evaluate(root, false, min, max);
    EXPECT_EQ(a->Probability, 0);
    EXPECT_EQ(b->Probability, 100);
    EXPECT_EQ(c->Probability, 100);
    EXPECT_DOUBLE_EQ(max, 160);
    // The first option alone (-60) is the lowest affordable sum; {first, third} sums to 0.
    EXPECT_DOUBLE_EQ(min, -60);

    // The cheaper two fit a budget of 90 exactly as well.
    root->DecisionMultiBudget = 90;
    Evaluate(root, false, min, max);
    EXPECT_EQ(b->Probability, 100);
    EXPECT_EQ(c->Probability, 100);
    // A budget of 89 leaves the best single option.
    root->DecisionMultiBudget = 89;
    Evaluate(root, false, min, max);
    EXPECT_EQ(b->Probability, 100);
    EXPECT_EQ(c->Probability, 0);
    EXPECT_DOUBLE_EQ(max, 100);
}

TEST(MultiOption, BudgetZeroWithOnlyCostsTakesNothing)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    root->DecisionMultiBudget = 0;
    TDecTreeNode* a = AddRangeOption(root, -10, 100, 300);
    TDecTreeNode* b = AddRangeOption(root, -5, -100, 50);
    a->Probability = b->Probability = 100;
    double min = 1, max = 1;
    Evaluate(root, false, min, max);
    EXPECT_EQ(a->Probability, 0);
    EXPECT_EQ(b->Probability, 0);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 0);
}

TEST(MultiOption, AGainRaisesTheAffordableSpending)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    root->DecisionMultiBudget = 0;
    TDecTreeNode* gain = AddRangeOption(root, 30, 0, 0);     // cost -30, hi 30
    TDecTreeNode* cost = AddRangeOption(root, -30, 100, 100); // cost 30, hi 70
    double min = 0, max = 0;
    Evaluate(root, false, min, max);
    EXPECT_EQ(gain->Probability, 100);
    EXPECT_EQ(cost->Probability, 100);
    EXPECT_DOUBLE_EQ(max, 100);
}

TEST(MultiOption, TheMaximumStepIsNotLookedAtForTheMinimum)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    root->DecisionMultiBudget = 1000;
    TDecTreeNode* only = AddRangeOption(root, 0, -100, 200, 50);
    double min = 1, max = 1;
    Evaluate(root, false, min, max);
    EXPECT_EQ(only->Probability, 100);
    EXPECT_DOUBLE_EQ(max, 200);
    EXPECT_DOUBLE_EQ(min, 0);

    root->DecisionMultiBudget = -1;
    Evaluate(root, false, min, max);
    EXPECT_DOUBLE_EQ(max, 200);
    EXPECT_DOUBLE_EQ(min, -100);
}

TEST(MultiOption, EqualHighestValuesTakeTheEarlierOption)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    root->DecisionMultiBudget = 10;
    TDecTreeNode* a = AddRangeOption(root, -10, 60, 60);
    TDecTreeNode* b = AddRangeOption(root, -10, 60, 60);
    double min = 0, max = 0;
    Evaluate(root, false, min, max);
    EXPECT_EQ(a->Probability, 100);
    EXPECT_EQ(b->Probability, 0);
}

TEST(MultiOption, WithoutChildrenEvaluatesToZero)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    double min = 1, max = 1;
    root->EvaluateMultiOptionDecision(true, min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 0);
    root->DecisionMultiBudget = 5;
    root->EvaluateMultiOptionDecision(false, min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 0);
}

TEST(MultiOption, AnUnchangedNodeReusesItsSolveAndAChangedOneSolvesAgain)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    root->DecisionMultiBudget = 50;
    TDecTreeNode* a = AddRangeOption(root, -40, 100, 100);
    TDecTreeNode* b = AddRangeOption(root, -30, 80, 80);
    for (int i = 2; i < TMultiOptionMemo::MinOptions; ++i)
        AddRangeOption(root, -1000, 1, 1); // options nobody can afford
    double min = 0, max = 0;
    Evaluate(root, false, min, max);
    ASSERT_TRUE(root->SolveMemo);
    EXPECT_EQ(a->Probability, 100);
    EXPECT_EQ(b->Probability, 0);
    // The same inputs give the remembered sets; new inputs must not.
    root->SolveMemo->MaxSet.assign(TMultiOptionMemo::MinOptions, 0); // a planted answer shows whether
    root->SolveMemo->MaxSet[1] = 1;                                   // the memo is used
    root->EvaluateMultiOptionDecision(false, min, max);
    EXPECT_EQ(a->Probability, 0);
    EXPECT_EQ(b->Probability, 100);
    b->Payoff = Money(-29);
    root->EvaluateMultiOptionDecision(false, min, max);
    EXPECT_EQ(a->Probability, 100);
    EXPECT_EQ(b->Probability, 0);
    root->DecisionMultiBudget = 70;
    root->EvaluateMultiOptionDecision(false, min, max);
    EXPECT_EQ(a->Probability, 100);
    EXPECT_EQ(b->Probability, 100);
    // A copy does not carry the memo.
    EXPECT_FALSE(root->Copy(nullptr, false, false, nullptr)->SolveMemo);
}

TEST(Solver, CountingOrderWalk)
{
    TProjectList list;
    list.Add(std::make_unique<TProject>(nullptr, 10, 50, -20));
    list.Add(std::make_unique<TProject>(nullptr, 10, 50, -20));
    list.Add(std::make_unique<TProject>(nullptr, 30, -5, -40));
    // {}: 0; {0}: max 50; {1}: ties the maximum, its lowest sum -20 becomes the minimum;
    // {0,1}: max 100; {2}: -5, lowest -40 the new minimum; {0,2}, {1,2}, {0,1,2} cost too much.
    TMultiOptionFullSolverQuick().Solve(list, 30);
    EXPECT_TRUE(list.Items(0)->InMaxSet);
    EXPECT_TRUE(list.Items(1)->InMaxSet);
    EXPECT_FALSE(list.Items(2)->InMaxSet);
    EXPECT_FALSE(list.Items(0)->InMinSet);
    EXPECT_FALSE(list.Items(1)->InMinSet);
    EXPECT_TRUE(list.Items(2)->InMinSet);

    // With budget 10 only singletons fit: {0} is the maximum, {1} (a tie) the minimum.
    TProjectList two;
    two.Add(std::make_unique<TProject>(nullptr, 10, 50, -20));
    two.Add(std::make_unique<TProject>(nullptr, 10, 50, -20));
    TMultiOptionFullSolverQuick().Solve(two, 10);
    EXPECT_TRUE(two.Items(0)->InMaxSet);
    EXPECT_FALSE(two.Items(1)->InMaxSet);
    EXPECT_FALSE(two.Items(0)->InMinSet);
    EXPECT_TRUE(two.Items(1)->InMinSet);
    EXPECT_THROW(two.Items(2), EListError);
}

TEST(Solver, ExactSumsAtTheBudgetEdge)
{
    // Ten costs of 0.1 sum to exactly 1 in units of 1/10000, where a Double sum would drift.
    TProjectList list;
    for (int i = 0; i < 10; ++i)
        list.Add(std::make_unique<TProject>(nullptr, 0.1, 1, 0));
    TMultiOptionFullSolverQuick().Solve(list, 1.0);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(list.Items(i)->InMaxSet) << i;
}

TEST(Solver, BlockedWalkMatchesThePlainCount)
{
    // More projects than the low block of the fast walk: compare with a plain count.
    const int n = 13;
    std::vector<int64_t> cost(n), hi(n), lo(n);
    uint64_t state = 12345;
    auto next = [&state](int range) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return int64_t((state >> 33) % uint64_t(range)) - range / 2;
    };
    for (int i = 0; i < n; ++i) {
        cost[i] = next(200) * 100;
        hi[i] = next(100) * 100;
        lo[i] = next(100) * 100;
    }
    for (int64_t budget : {int64_t(0), int64_t(50000), int64_t(300000)}) {
        uint64_t maxSet = 0, minSet = 0;
        TMultiOptionFullSolverQuick::SolveUnits(cost.data(), hi.data(), lo.data(), n, budget, maxSet, minSet);
        int64_t bestMax = 0, bestMin = 0;
        uint64_t expMax = 0, expMin = 0;
        for (uint64_t m = 0; m < (1u << n); ++m) {
            int64_t c = 0, h = 0, l = 0;
            for (int i = 0; i < n; ++i)
                if (m >> i & 1) {
                    c += cost[i];
                    h += hi[i];
                    l += lo[i];
                }
            if (c > budget)
                continue;
            if (h > bestMax) {
                bestMax = h;
                expMax = m;
            } else if (l < bestMin) {
                bestMin = l;
                expMin = m;
            }
        }
        EXPECT_EQ(maxSet, expMax) << budget;
        EXPECT_EQ(minSet, expMin) << budget;
    }
}

TEST(TakeOption, DecisionMultiOptionAndAssertions)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* a = AddEnd(root, 100, 0);
    TDecTreeNode* b = AddEnd(root, 0, 0);
    b->TakeOption();
    EXPECT_EQ(a->Probability, 0);
    EXPECT_EQ(b->Probability, 100);

    TDecTreeNode* multi = AddChild(root, ntMultiDecision, 0, 0);
    TDecTreeNode* m = AddEnd(multi, 0, 0);
    m->TakeOption();
    EXPECT_EQ(m->Probability, 100);
    m->TakeOption();
    EXPECT_EQ(m->Probability, 0);
    m->Probability = 0.5; // anything but exactly 0 counts as taken
    m->TakeOption();
    EXPECT_EQ(m->Probability, 0);

    EXPECT_THROW(root->TakeOption(), EAssertionFailed);
    TDecTreeNode* chance = AddChild(root, ntChance, 0, 0);
    TDecTreeNode* branch = AddEnd(chance, 50, 0);
    EXPECT_THROW(branch->TakeOption(), EAssertionFailed);
}

TEST(TakeOption, InsideACloneActsOnTheMaster)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntChance);
    TDecTreeNode* master = AddChild(root, ntDecision, 50, 0);
    TDecTreeNode* m0 = AddEnd(master, 100, 0);
    TDecTreeNode* m1 = AddEnd(master, 0, 0);
    TDecTreeNode* clone = AddChild(root, ntDecision, 50, 0);
    MakeClone(clone, master);
    clone->Children[1]->TakeOption();
    EXPECT_EQ(m0->Probability, 0);
    EXPECT_EQ(m1->Probability, 100);
    EXPECT_EQ(clone->Children[0]->Probability, 100); // unchanged until the clone is refreshed
    EXPECT_EQ(clone->Children[1]->Probability, 0);
}

TEST(Optimize, DecisionsTakeTheBestOptionAndTheFirstOfEqualOnes)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* a = AddEnd(root, 0, 10);
    TDecTreeNode* b = AddEnd(root, 0, 30);
    TDecTreeNode* c = AddEnd(root, 100, 30);
    root->OptimizeDecisions();
    EXPECT_EQ(a->Probability, 0);
    EXPECT_EQ(b->Probability, 100);
    EXPECT_EQ(c->Probability, 0);
    EXPECT_EQ(root->ExpectedValue, 30);

    TDecTreeNode* equal = SetRoot(doc, ntDecision);
    TDecTreeNode* e0 = AddEnd(equal, 0, 5);
    TDecTreeNode* e1 = AddEnd(equal, 100, 5);
    equal->OptimizeDecisions();
    EXPECT_EQ(e0->Probability, 100);
    EXPECT_EQ(e1->Probability, 0);
}

TEST(Optimize, BottomUpThroughChanceNodes)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* risky = AddChild(root, ntChance, 100, -10);
    TDecTreeNode* inner = AddChild(risky, ntDecision, 50, 0);
    TDecTreeNode* low = AddEnd(inner, 100, 0);
    TDecTreeNode* high = AddEnd(inner, 0, 100);
    AddEnd(risky, 50, 0);
    TDecTreeNode* safe = AddEnd(root, 0, 30);
    root->InTakenPath = true; // the node's own mark is the input of its roll-back
    root->OptimizeDecisions();
    // Inner takes 100, so risky is worth 50 - 10 = 40 > 30.
    EXPECT_EQ(low->Probability, 0);
    EXPECT_EQ(high->Probability, 100);
    EXPECT_EQ(risky->Probability, 100);
    EXPECT_EQ(safe->Probability, 0);
    EXPECT_EQ(root->ExpectedValue, 40);
    EXPECT_TRUE(high->InTakenPath);
    EXPECT_FALSE(low->InTakenPath);
}

TEST(Optimize, AFixedDecisionKeepsItsMarksButItsSubtreesAreOptimised)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    root->DecisionFixed = true;
    TDecTreeNode* kept = AddChild(root, ntDecision, 100, 0);
    TDecTreeNode* k0 = AddEnd(kept, 100, 1);
    TDecTreeNode* k1 = AddEnd(kept, 0, 2);
    TDecTreeNode* better = AddEnd(root, 0, 500);
    root->OptimizeDecisions();
    EXPECT_EQ(kept->Probability, 100);
    EXPECT_EQ(better->Probability, 0);
    EXPECT_EQ(k0->Probability, 0);
    EXPECT_EQ(k1->Probability, 100);
    EXPECT_EQ(root->ExpectedValue, 2);
}

TEST(Optimize, MultiOptionDecisionsSetTheirMarks)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    TDecTreeNode* a = AddRangeOption(root, -10, 50, 50);
    TDecTreeNode* b = AddRangeOption(root, -10, 5, 5);
    b->Probability = 100;
    doc.CalculateValues();
    root->OptimizeDecisions();
    EXPECT_EQ(a->Probability, 100);
    EXPECT_EQ(b->Probability, 0);
    EXPECT_EQ(root->ExpectedValue, 40);
}

TEST(Optimize, AnEndNodeAndAChanceRootKeepTheirValues)
{
    TDecTreeDocument doc;
    TDecTreeNode* leaf = SetRoot(doc, ntDecision);
    leaf->ExpectedValue = 7;
    leaf->OptimizeDecisions();
    EXPECT_EQ(leaf->ExpectedValue, 7);

    // A chance node gets no roll-back of its own: its values wait for the recalculation.
    TDecTreeNode* root = SetRoot(doc, ntChance);
    TDecTreeNode* d = AddChild(root, ntDecision, 100, 0);
    AddEnd(d, 100, 1);
    AddEnd(d, 0, 9);
    root->ExpectedValue = -1;
    root->OptimizeDecisions();
    EXPECT_EQ(root->ExpectedValue, -1);
    EXPECT_EQ(d->ExpectedValue, 9);
    doc.CalculateValues();
    EXPECT_EQ(root->ExpectedValue, 9);
}

TEST(Optimize, AClonesMasterKeepsItsOwnChoice)
{
    // The clone hangs under a decision that is optimised after the master: trying its options
    // through the clone would write option 0 into the master.
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* master = AddChild(root, ntDecision, 100, 0);
    TDecTreeNode* m0 = AddEnd(master, 100, 10);
    TDecTreeNode* m1 = AddEnd(master, 0, 90);
    TDecTreeNode* holder = AddChild(root, ntDecision, 0, 0);
    TDecTreeNode* clone = AddChild(holder, ntDecision, 100, 5);
    MakeClone(clone, master);
    AddEnd(holder, 0, 1);
    root->OptimizeDecisions();
    EXPECT_EQ(m0->Probability, 0);
    EXPECT_EQ(m1->Probability, 100);
    // The clone's copies take the master's marks, as the next refresh will give them.
    EXPECT_EQ(clone->Children[0]->Probability, 0);
    EXPECT_EQ(clone->Children[1]->Probability, 100);

    // Optimising inside a clone does nothing at all.
    clone->Children[0]->Probability = 0;
    clone->Children[1]->Probability = 0;
    clone->OptimizeDecisions();
    EXPECT_EQ(clone->Children[0]->Probability, 0);
    EXPECT_EQ(m1->Probability, 100);
}

TEST(Optimize, AMultiOptionDecisionJudgesAChanceOptionOnItsChoicesBelow)
{
    // The option is a chance node over a decision that optimisation turns from -100 to +100. The
    // chance node itself gets no roll-back of its own; judged on its values from before, the
    // option would be left out and a second optimisation would take it.
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    TDecTreeNode* option = AddChild(root, ntChance, 0, 0);
    TDecTreeNode* inner = AddChild(option, ntDecision, 100, 0);
    TDecTreeNode* gain = AddEnd(inner, 0, 100);
    AddEnd(inner, 100, -100);
    doc.CalculateValues();
    ASSERT_EQ(option->ExpectedValue, -100);
    root->OptimizeDecisions();
    EXPECT_EQ(gain->Probability, 100);
    EXPECT_EQ(option->Probability, 100);
    EXPECT_EQ(root->ExpectedValue, 100);
    root->OptimizeDecisions();
    EXPECT_EQ(option->Probability, 100);
}

TEST(MultiOption, ValuesBeyondSixtyFourBitUnitsKeepTheirSigns)
{
    // Two payoffs near the top of the money range make an option worth 1.8e15, which in units of
    // 1/10000 no longer fits 64 bits.
    const TCurrency big = 9000000000000000000LL;
    for (int budget : {-1, 10}) {
        SCOPED_TRACE(budget);
        TDecTreeDocument doc;
        TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
        root->DecisionMultiBudget = budget;
        TDecTreeNode* rich = AddChild(root, ntDecision, 0, 0);
        rich->Payoff = big;
        AddEnd(rich, 100, 0)->Payoff = big;
        TDecTreeNode* poor = AddChild(root, ntDecision, 100, 0);
        poor->Payoff = -big;
        AddEnd(poor, 100, 0)->Payoff = -big;
        doc.CalculateValues();
        EXPECT_EQ(root->MaxValue, 1.8e15);
        EXPECT_EQ(root->MinValue, budget == -1 ? -1.8e15 : 0);
        root->OptimizeDecisions();
        EXPECT_EQ(rich->Probability, 100);
        EXPECT_EQ(poor->Probability, 0);
        EXPECT_EQ(root->ExpectedValue, 1.8e15);
    }
}

TEST(Solver, ValuesBeyondSixtyFourBitUnits)
{
    TProjectList list;
    list.Add(std::make_unique<TProject>(nullptr, 0, 1e15, -1e15));
    list.Add(std::make_unique<TProject>(nullptr, 5e14, 2e15, -3e15));
    list.Add(std::make_unique<TProject>(nullptr, 1, 1, -1));
    TMultiOptionFullSolverQuick().Solve(list, 5e14);
    // {0}, {1} and {0, 1} (costing exactly the budget) each raise the maximum, so they are not
    // looked at for the minimum; {0, 2} is then the lowest sum.
    EXPECT_TRUE(list.Items(0)->InMaxSet);
    EXPECT_TRUE(list.Items(1)->InMaxSet);
    EXPECT_FALSE(list.Items(2)->InMaxSet);
    EXPECT_TRUE(list.Items(0)->InMinSet);
    EXPECT_FALSE(list.Items(1)->InMinSet);
    EXPECT_TRUE(list.Items(2)->InMinSet);
}
