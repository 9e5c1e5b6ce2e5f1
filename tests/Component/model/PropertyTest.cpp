#include "Component/model/DecTreeDocument.h"
#include "ReferenceModel.h"
#include "support/TreeBuilder.h"
#include "bench/support/RandomTree.h"

#include <gtest/gtest.h>

#include "support/BruteForceMarks.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

// Every computed field and every mark must agree exactly: both sides do the same arithmetic.
void ExpectSameState(TDecTreeNode* actual, TDecTreeNode* expected, const char* what, uint64_t seed)
{
    const auto a = SubtreeNodes(actual);
    const auto e = SubtreeNodes(expected);
    ASSERT_EQ(a.size(), e.size());
    for (size_t i = 0; i < a.size() && !testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE(testing::Message() << what << " seed " << seed << " node " << i);
        ASSERT_EQ(a[i]->Id, e[i]->Id);
        EXPECT_EQ(a[i]->Probability, e[i]->Probability);
        EXPECT_EQ(a[i]->ExpectedValue, e[i]->ExpectedValue);
        EXPECT_EQ(a[i]->MinValue, e[i]->MinValue);
        EXPECT_EQ(a[i]->MaxValue, e[i]->MaxValue);
        EXPECT_EQ(a[i]->InTakenPath, e[i]->InTakenPath);
        EXPECT_EQ(a[i]->PathProbability, e[i]->PathProbability);
        EXPECT_EQ(a[i]->PathPayoff, e[i]->PathPayoff);
    }
}

void ReferenceRecalculate(TDecTreeNode& root)
{
    root.InTakenPath = true;
    reference::RollBack(root);
    reference::PathValues(root, 1.0, double(root.Payoff) / 10000);
}

// Makes an end node outside the subtree of some inner node a hand-built clone of it.
void AddAClone(TDecTreeNode* root, std::mt19937_64& rng)
{
    const auto nodes = SubtreeNodes(root);
    std::vector<TDecTreeNode*> masters, ends;
    for (TDecTreeNode* n : nodes)
        (n->Children.Count() > 0 && n != root ? masters : ends).push_back(n);
    if (masters.empty())
        return;
    TDecTreeNode* master = masters[rng() % masters.size()];
    std::vector<TDecTreeNode*> candidates;
    for (TDecTreeNode* e : ends) {
        bool below = false;
        for (const TDecTreeNode* p = e; p; p = p->Parent())
            below = below || p == master;
        if (!below && e != root)
            candidates.push_back(e);
    }
    if (!candidates.empty())
        testtree::MakeClone(candidates[rng() % candidates.size()], master);
}

TRandomTreeSettings SmallTree(uint64_t seed)
{
    TRandomTreeSettings s;
    s.Seed = seed;
    s.NodeCount = 5 + int(seed % 60);
    s.MaxChildren = 4;
    s.FixedShare = 0.15;
    s.ZeroChanceShare = 0.1;
    s.ChainShare = 0.3;
    return s;
}

} // namespace

TEST(TreeProperties, RollBackAndPathValuesFollowTheRulesOnRandomTrees)
{
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        TDecTreeDocument doc;
        FillRandomDocument(doc, SmallTree(seed));
        auto expected = doc.Root()->Copy(nullptr, false, false, nullptr);
        doc.CalculateValues();
        ReferenceRecalculate(*expected);
        ExpectSameState(doc.Root(), expected.get(), "recalculation", seed);
        // The two passes called one by one on the root agree with the combined recalculation.
        doc.Root()->RollBack();
        doc.Root()->CalculatePathValues(1.0, double(doc.Root()->Payoff) / 10000);
        ExpectSameState(doc.Root(), expected.get(), "passes", seed);
        // A roll-back of an inner subtree alone agrees too.
        TDecTreeNode* inner = doc.Root()->Children.Count() ? doc.Root()->Children[0] : doc.Root();
        inner->RollBack();
        ExpectSameState(doc.Root(), expected.get(), "subtree", seed);
        if (HasFailure())
            return;
    }
}

TEST(TreeProperties, OptimisationAgreesWithTheRulesStepByStep)
{
    std::mt19937_64 rng(7);
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        TDecTreeDocument doc;
        FillRandomDocument(doc, SmallTree(seed));
        if (seed % 2 == 0)
            AddAClone(doc.Root(), rng);
        doc.CalculateValues();
        auto expected = doc.Root()->Copy(nullptr, false, false, nullptr);
        ReferenceRecalculate(*expected);

        // The whole tree, or a random subtree (whose outer nodes keep their values).
        const auto nodes = SubtreeNodes(doc.Root());
        const size_t pick = seed % 3 == 0 ? rng() % nodes.size() : 0;
        nodes[pick]->OptimizeDecisions();
        reference::Optimize(*SubtreeNodes(expected.get())[pick]);
        ExpectSameState(doc.Root(), expected.get(), "optimise", seed);
        if (HasFailure())
            return;
    }
}

TEST(TreeProperties, OptimisationReachesTheBestExpectedValue)
{
    int compared = 0;
    for (uint64_t seed = 1; seed <= 400; ++seed) {
        TRandomTreeSettings s = SmallTree(seed);
        s.NodeCount = 4 + int(seed % 14);
        s.MaxChildren = 3;
        s.BudgetShare = 0; // with a budget the choice follows the highest values, not the expected
        TDecTreeDocument doc;
        FillRandomDocument(doc, s);

        // Every way of setting the marks of the unfixed decisions, judged by the reference model.
        auto trial = doc.Root()->Copy(nullptr, false, false, nullptr);
        const auto trialNodes = SubtreeNodes(trial.get());
        const auto docNodes = SubtreeNodes(doc.Root());
        const auto best = testtree::BestOverAllMarks(
            docNodes, 20000,
            [&](TDecTreeNode* n) {
                return trialNodes[size_t(std::find(docNodes.begin(), docNodes.end(), n) - docNodes.begin())];
            },
            [&] {
                trial->InTakenPath = true;
                reference::RollBack(*trial);
                return trial->ExpectedValue;
            });
        if (!best)
            continue;
        doc.Root()->OptimizeDecisions();
        doc.CalculateValues();
        EXPECT_EQ(doc.Root()->ExpectedValue, *best) << "seed " << seed;
        ++compared;
    }
    EXPECT_GT(compared, 200);
}

TEST(TreeProperties, LargeDocumentsAgreeWithTheNodeByNodeWalk)
{
    // Large enough for the document walks to split the tree among threads.
    TRandomTreeSettings s;
    s.Seed = 99;
    s.NodeCount = 300000;
    s.ChainShare = 0.3;
    TDecTreeDocument doc;
    FillRandomDocument(doc, s);
    doc.CalculateValues();
    // A copy is not the document's root, so its passes walk node by node.
    auto copy = doc.Root()->Copy(nullptr, false, false, nullptr);
    copy->InTakenPath = true;
    copy->RollBack();
    copy->CalculatePathValues(1.0, double(copy->Payoff) / 10000);
    ExpectSameState(doc.Root(), copy.get(), "large", s.Seed);
    // And the separate passes on the document's root.
    doc.Root()->RollBack();
    doc.Root()->CalculatePathValues(1.0, double(doc.Root()->Payoff) / 10000);
    ExpectSameState(doc.Root(), copy.get(), "large passes", s.Seed);
}
