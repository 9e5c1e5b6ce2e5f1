#include "Component/model/DecTreeDocument.h"
#include "Component/model/RollBack.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

using namespace testtree;

namespace {

void ExpectValues(const TDecTreeNode* n, double ev, double min, double max)
{
    EXPECT_DOUBLE_EQ(n->ExpectedValue, ev);
    EXPECT_DOUBLE_EQ(n->MinValue, min);
    EXPECT_DOUBLE_EQ(n->MaxValue, max);
}

} // namespace

TEST(RollBack, DecisionFollowsTheTakenOptionAndSpansAllOptions)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* a = AddEnd(root, 0, 100);
    TDecTreeNode* b = AddEnd(root, 100, 50);
    doc.CalculateValues();
    ExpectValues(root, 50, 50, 100);
    EXPECT_FALSE(a->InTakenPath);
    EXPECT_TRUE(b->InTakenPath);

    root->DecisionFixed = true;
    doc.CalculateValues();
    ExpectValues(root, 50, 50, 50);
}

TEST(RollBack, ChanceWithZeroSumRollsBackToZeroAndPassesNoProbability)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntChance);
    TDecTreeNode* a = AddEnd(root, 0, 100);
    TDecTreeNode* b = AddEnd(root, 0, -40);
    doc.CalculateValues();
    ExpectValues(root, 0, 0, 0);
    EXPECT_EQ(a->PathProbability, 0);
    EXPECT_EQ(b->PathProbability, 0);
    EXPECT_DOUBLE_EQ(b->PathPayoff, -40);
    EXPECT_FALSE(a->InTakenPath);
}

TEST(RollBack, MultiOptionDecisionSumsTheTakenOptionsAndPassesFullProbability)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
    TDecTreeNode* a = AddEnd(root, 100, 100);
    TDecTreeNode* b = AddEnd(root, 100, -20);
    TDecTreeNode* c = AddEnd(root, 0, 30);
    doc.CalculateValues();
    // The marks stay as they are; the range follows the evaluation without a budget.
    EXPECT_EQ(c->Probability, 0);
    ExpectValues(root, 80, -20, 130);
    EXPECT_EQ(a->PathProbability, 1.0);
    EXPECT_EQ(b->PathProbability, 1.0);
    EXPECT_EQ(c->PathProbability, 0);
    EXPECT_TRUE(b->InTakenPath);
    EXPECT_FALSE(c->InTakenPath);

    root->DecisionFixed = true; // weighed by the marks like a closed decision
    doc.CalculateValues();
    ExpectValues(root, 80, 80, 80);
}

// An end node's path payoff adds the payoffs from the root's own down; its path probability is the
// product of the shares on the way: a chance branch's share of its weights, a taken option all of
// it, and under a multi-option decision every taken option all of it.
TEST(RollBack, PathValuesFromTheRootsOwnPayoffDown)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntChance);
    root->Payoff = Money(1000);
    root->ChanceType = ctAnySum;
    TDecTreeNode* multi = AddChild(root, ntMultiDecision, 1, -10);
    TDecTreeNode* m1 = AddEnd(multi, 100, 5);
    TDecTreeNode* m2 = AddEnd(multi, 100, 7);
    TDecTreeNode* m3 = AddEnd(multi, 0, 9);
    TDecTreeNode* decision = AddChild(root, ntDecision, 3, 20);
    TDecTreeNode* d1 = AddEnd(decision, 0, 1);
    TDecTreeNode* d2 = AddEnd(decision, 100, 2);
    doc.CalculateValues();
    const struct {
        const TDecTreeNode* node;
        double probability, payoff;
    } ends[] = {{m1, 0.25, 995}, {m2, 0.25, 997}, {m3, 0, 999}, {d1, 0, 1021}, {d2, 0.75, 1022}};
    for (const auto& e : ends) {
        EXPECT_DOUBLE_EQ(e.node->PathProbability, e.probability) << e.payoff;
        EXPECT_DOUBLE_EQ(e.node->PathPayoff, e.payoff);
    }
}

TEST(RollBack, ValuesAreRoundedToHundredthsHalfToEven)
{
    EXPECT_EQ(RoundToHundredths(0.125L), 0.12);
    EXPECT_EQ(RoundToHundredths(0.135L), 0.14);
    EXPECT_EQ(RoundToHundredths(-0.125L), -0.12);
    EXPECT_EQ(RoundToHundredths(33.333333L), 33.33);
    EXPECT_EQ(CurrencyUnits(33.33), 333300);
    EXPECT_EQ(CurrencyUnits(-0.01), -100);

    // One eighth of 1 is 0.125: rounded to the even neighbour 0.12, and the parent builds on
    // the rounded value.
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntChance);
    TDecTreeNode* inner = AddChild(root, ntChance, 50, 0);
    inner->ChanceType = ctAnySum;
    AddEnd(inner, 1, 1);
    AddEnd(inner, 7, 0);
    AddEnd(root, 50, 0.01);
    doc.CalculateValues();
    EXPECT_EQ(inner->ExpectedValue, 0.12);
    // (0.12 + 0.01) / 2 = 0.065, stored as the Double just above 0.065, so it rounds up.
    EXPECT_EQ(root->ExpectedValue, 0.07);
}
