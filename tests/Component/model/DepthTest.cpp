#include "Component/model/DecTreeDocument.h"
#include "support/TreeBuilder.h"
#include "bench/support/RandomTree.h"

#include <gtest/gtest.h>

// A document may hold chains far deeper than the call stack could follow; every walk over the
// tree must manage without recursion.
TEST(DeepChain, HundredThousandLevels)
{
    constexpr int Depth = 100000;
    for (TNodeType type : {ntDecision, ntMultiDecision, ntChance}) {
        SCOPED_TRACE(int(type));
        TDecTreeDocument doc;
        doc.SetRoot(MakeChain(doc, Depth, type));
        TDecTreeNode* root = doc.Root();
        TDecTreeNode* leaf = root;
        while (leaf->Children.Count())
            leaf = leaf->Children[0];

        doc.CalculateValues();
        EXPECT_EQ(root->ExpectedValue, Depth - 1);
        // Without a budget a multi-option decision's lowest value sums only outcomes not above 0.
        EXPECT_EQ(root->MinValue, type == ntMultiDecision ? 0 : Depth - 1);
        EXPECT_EQ(root->MaxValue, Depth - 1);
        EXPECT_TRUE(leaf->InTakenPath);
        EXPECT_EQ(leaf->PathProbability, 1.0);
        EXPECT_EQ(leaf->PathPayoff, Depth - 1);
        leaf->Parent()->RollBack();

        EXPECT_EQ(root->FindNodeById(leaf->Id), leaf);
        EXPECT_EQ(root->GetAllNodes()->Count(), Depth);
        EXPECT_EQ(root->GetLevelCount(), Depth);
        EXPECT_EQ(leaf->GetDepth(), Depth);
        root->SetLevelsVisible(3);
        EXPECT_FALSE(root->Children[0]->Children[0]->ChildrenVisible);
        doc.Options.SetOutlineCodes(true);
        EXPECT_EQ(leaf->GetOutlineCode().size(), 2 * (Depth - 1) + 1);
        EXPECT_EQ(leaf->GetMasterNode(), leaf);
        EXPECT_FALSE(root->IsOrContainsCloneMaster());
        EXPECT_FALSE(leaf->IsInsideClone());

        // Something to optimise; a chance branch at 0 stays and cuts the last two levels off.
        leaf->Parent()->Probability = 0;
        root->OptimizeDecisions();
        doc.CalculateValues();
        EXPECT_EQ(root->ExpectedValue, type == ntChance ? Depth - 3 : Depth - 1);

        auto copy = root->Copy(nullptr, false, true, root);
        EXPECT_EQ(copy->GetLevelCount(), Depth);
        copy.reset();
        root->Children.Clear();
        EXPECT_EQ(doc.PreOrder().size(), 1u);
    }
}

TEST(DeepChain, DestroyingADeepDocument)
{
    auto doc = std::make_unique<TDecTreeDocument>();
    doc->SetRoot(MakeChain(*doc, 100000, ntChance));
    TDecTreeNode* root = doc->Root();
    EXPECT_EQ(root->GetLevelCount(), 100000);
    root->Children.Delete(0); // the list's own destruction of a deep subtree
    EXPECT_EQ(root->GetLevelCount(), 1);
    doc->SetRoot(MakeChain(*doc, 100000, ntDecision));
    doc.reset(); // and the document's
}
