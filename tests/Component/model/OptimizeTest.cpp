#include "Component/model/DecTreeDocument.h"
#include "Component/model/MultiOptionSolver.h"
#include "Component/model/OptimizeDecisions.h"
#include "support/TreeBuilder.h"
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

// An option of a decision is taken alone; one of a multi-option decision toggles, taken only
// from exactly 0. Inside a clone the master's option is taken, and the copy waits for a refresh.
TEST(TakeOption, TakesOrTogglesAndInsideACloneActsOnTheMaster)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntChance);
    TDecTreeNode* decision = AddChild(root, ntDecision, 25, 0);
    TDecTreeNode* multi = AddChild(root, ntMultiDecision, 25, 0);
    for (double p : {100.0, 0.0, 0.0})
        AddChild(decision, ntDecision, p, 0);
    for (double p : {100.0, 0.0, 37.5})
        AddChild(multi, ntDecision, p, 0);
    TDecTreeNode* decisionClone = AddChild(root, ntDecision, 25, 0);
    TDecTreeNode* multiClone = AddChild(root, ntDecision, 25, 0);
    MakeClone(decisionClone, decision);
    MakeClone(multiClone, multi);
    const struct {
        TDecTreeNode* parent;
        int option;
        TDecTreeNode* master;
        std::vector<double> marks;
    } steps[] = {
        {decisionClone, 1, decision, {0, 100, 0}}, {decision, 2, decision, {0, 0, 100}},
        {multi, 1, multi, {100, 100, 37.5}},       {multiClone, 1, multi, {100, 0, 37.5}},
        {multi, 2, multi, {100, 0, 0}},            {multiClone, 2, multi, {100, 0, 100}},
    };
    for (const auto& s : steps) {
        s.parent->Children[s.option]->TakeOption();
        std::vector<double> marks;
        for (const TDecTreeNode* c : s.master->Children)
            marks.push_back(c->Probability);
        EXPECT_EQ(marks, s.marks) << s.option;
    }
    EXPECT_EQ(decisionClone->Children[0]->Probability, 100);
    EXPECT_EQ(multiClone->Children[1]->Probability, 0);
}

// A master that holds a clone, copied by another clone: an option clicked in the copy is taken
// where the copy comes from, so the master and its copies change together and nothing else
// does, whether the nested clone's own master sits under a decision or a chance node.
TEST(TakeOption, InsideACopyOfAMasterHoldingACloneActsWhereTheCopyComesFrom)
{
    enum Clicked { CopyOfNestedClone, InsideCopyOfNestedClone, InsideNestedClone };
    for (TNodeType qParentType : {ntDecision, ntChance})
        for (Clicked clicked : {CopyOfNestedClone, InsideCopyOfNestedClone, InsideNestedClone}) {
            SCOPED_TRACE(testing::Message() << "parent of Q " << int(qParentType) << ", clicked " << int(clicked));
            TDecTreeDocument doc;
            TDecTreeNode* root = SetRoot(doc, ntChance);
            TDecTreeNode* p = AddChild(root, qParentType, 40, 0);
            TDecTreeNode* q = AddChild(p, ntDecision, qParentType == ntDecision ? 0 : 50, 10);
            AddEnd(q, 100, 1);
            AddEnd(q, 0, 2);
            AddEnd(p, qParentType == ntDecision ? 100 : 50, 20);
            TDecTreeNode* m = AddChild(root, ntDecision, 30, 0);
            TDecTreeNode* x = AddChild(m, ntDecision, 0, 0);
            AddEnd(m, 100, 5);
            TDecTreeNode* c = AddChild(root, ntDecision, 30, 0);
            MakeClone(x, q);
            MakeClone(c, m);
            MakeClone(c->Children[0], q);

            TDecTreeNode* target = clicked == CopyOfNestedClone         ? c->Children[0]
                                   : clicked == InsideCopyOfNestedClone ? c->Children[0]->Children[1]
                                                                        : x->Children[1];
            TDecTreeNode* changed = clicked == CopyOfNestedClone ? m : q;
            std::vector<std::pair<TDecTreeNode*, double>> before;
            for (TDecTreeNode* n : {p, q, m})
                for (TDecTreeNode* o : n->Children)
                    before.emplace_back(o, o->Probability);

            EXPECT_NO_THROW(target->TakeOption());

            for (const auto& [o, mark] : before) {
                const bool expectTaken = o->Parent() == changed && o->Parent()->Children.IndexOf(o) ==
                                                                       target->Parent()->Children.IndexOf(target);
                if (o->Parent() == changed)
                    EXPECT_EQ(o->Probability, expectTaken ? 100 : 0) << o->Parent()->Children.IndexOf(o);
                else
                    EXPECT_EQ(o->Probability, mark) << "an option outside the mirrored decision changed";
            }
            // After the next refresh every copy shows the master's marks.
            doc.Root()->RefreshClones();
            auto marks = [](const TDecTreeNode* n) {
                std::vector<double> out;
                for (const TDecTreeNode* o : n->Children)
                    out.push_back(o->Probability);
                return out;
            };
            EXPECT_EQ(marks(c), marks(m));
            EXPECT_EQ(marks(c->Children[0]), marks(q));
            EXPECT_EQ(marks(m->Children[0]), marks(q));
        }
}

// Only the budget changes: the decision is solved again, whatever its number of options.
TEST(MultiOption, AChangeOfBudgetAloneSolvesAgain)
{
    for (int n : {3, 8, 20}) {
        TDecTreeDocument doc;
        TDecTreeNode* root = SetRoot(doc, ntMultiDecision);
        for (int i = 0; i < n; ++i)
            AddRangeOption(root, -100, 150, 150); // costs 100, brings 50
        for (const auto& [budget, max] : {std::pair{0, 0.0}, {300, 150.0}, {0, 0.0}, {250, 100.0}, {-1, 50.0 * n}}) {
            root->DecisionMultiBudget = budget;
            doc.CalculateValues();
            EXPECT_DOUBLE_EQ(root->MaxValue, max) << n << " options, budget " << budget;
        }
    }
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
