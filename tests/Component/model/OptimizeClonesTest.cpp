#include "Component/model/DecTreeDocument.h"
#include "bench/support/RandomTree.h"

#include <gtest/gtest.h>

#include "support/BruteForceMarks.h"

#include <random>
#include <vector>

namespace {

void Recalculate(TDecTreeDocument& doc)
{
    doc.Root()->RefreshClones();
    doc.CalculateValues();
}

std::vector<TDecTreeNode*> OutsideClones(TDecTreeNode* root)
{
    std::vector<TDecTreeNode*> out, stack{root};
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        if (!n->IsClone())
            for (TDecTreeNode* c : n->Children)
                stack.push_back(c);
    }
    return out;
}

std::vector<double> Marks(const std::vector<TDecTreeNode*>& nodes)
{
    std::vector<double> out;
    for (const TDecTreeNode* n : nodes)
        out.push_back(n->Probability);
    return out;
}

} // namespace

TEST(OptimizeClones, OneRunReachesTheBestValueOnRandomTreesWithClones)
{
    std::mt19937_64 rng(11);
    int compared = 0;
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        TRandomTreeSettings s;
        s.Seed = seed;
        s.NodeCount = 6 + int(seed % 12);
        s.MaxChildren = 3;
        s.BudgetShare = 0; // with a budget the choice follows the highest values
        s.FixedShare = 0.15;
        TDecTreeDocument doc;
        FillRandomDocument(doc, s);
        // Up to three clones of inner nodes, linked as the editing rules allow (a master may hold
        // a clone of another master).
        int clones = 0;
        for (int attempt = 0; attempt < 12 && clones < 3; ++attempt) {
            const auto nodes = OutsideClones(doc.Root());
            TDecTreeNode* node = nodes[rng() % nodes.size()];
            TDecTreeNode* master = nodes[rng() % nodes.size()];
            if (node->HasChildren() || !master->HasChildren() || master == doc.Root())
                continue;
            QString error;
            node->SetCloneMaster(master->Id, error);
            clones += error.isEmpty();
            Recalculate(doc);
        }
        if (clones == 0)
            continue;

        // Every way of setting the marks of the unfixed decisions outside clones.
        const auto best = testtree::BestOverAllMarks(
            OutsideClones(doc.Root()), 5000, [](TDecTreeNode* n) { return n; },
            [&] {
                Recalculate(doc);
                return doc.Root()->ExpectedValue;
            });
        if (!best)
            continue;
        doc.Root()->OptimizeDecisions();
        Recalculate(doc);
        EXPECT_EQ(doc.Root()->ExpectedValue, *best) << "seed " << seed;
        // A second run finds nothing to change.
        const auto nodes = OutsideClones(doc.Root());
        const auto marks = Marks(nodes);
        doc.Root()->OptimizeDecisions();
        EXPECT_EQ(Marks(nodes), marks) << "seed " << seed;
        ++compared;
    }
    EXPECT_GT(compared, 100);
}
