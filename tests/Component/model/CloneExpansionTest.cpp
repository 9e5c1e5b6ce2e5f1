#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

#include "support/TreeBuilder.h"
#include <vector>

namespace {

using testtree::CountNodes;

TDecTreeNode* Add(TDecTreeDocument& doc, TDecTreeNode* parent, const TGuid& master = Guid::Empty())
{
    auto node = std::make_unique<TDecTreeNode>(&doc, parent, Guid::NewGuid(), QString(), QString(), ntDecision,
                                               ctPercent, 0, 0, master, true, false, false, false, false, false,
                                               false, false, QString(), QString(), -1, 0.0, QString());
    TDecTreeNode* raw = node.get();
    parent->Children.Add(std::move(node));
    return raw;
}

// Under the root, level 0 holds two plain leaves and every further level two clones of the one
// before, so the tree doubles with each level. Answers the top level.
TDecTreeNode* BuildDoubling(TDecTreeDocument& doc, int levels)
{
    doc.NewRoot();
    TDecTreeNode* level = Add(doc, doc.Root());
    Add(doc, level);
    Add(doc, level);
    for (int k = 1; k < levels; ++k) {
        TDecTreeNode* next = Add(doc, doc.Root());
        Add(doc, next, level->Id);
        Add(doc, next, level->Id);
        level = next;
    }
    return level;
}

} // namespace

TEST(CloneExpansionTest, TheCountIsWhatARefreshBuilds)
{
    for (int levels : {1, 2, 5, 9}) {
        TDecTreeDocument doc;
        BuildDoubling(doc, levels);
        const int64_t predicted = CountNodesAfterRefresh(doc.Root());
        doc.Root()->RefreshClones();
        EXPECT_EQ(predicted, CountNodes(doc.Root())) << levels << " levels";
        EXPECT_EQ(CountNodesAfterRefresh(doc.Root()), predicted) << "a second refresh changes nothing";
    }
}

TEST(CloneExpansionTest, AnExpansionPastTheLimitIsRefusedBeforeAnythingIsCopied)
{
    TDecTreeDocument doc;
    BuildDoubling(doc, 40);
    EXPECT_TRUE(ExpandsTooFar(doc.Root()));
    const int64_t before = CountNodes(doc.Root());
    EXPECT_THROW(doc.Root()->RefreshClones(), InvalidOperationException);
    EXPECT_EQ(CountNodes(doc.Root()), before);
}

TEST(CloneExpansionTest, ALinkOrANewNodeThatWouldExpandTooFarIsRefused)
{
    // About 262,000 nodes: a copy of the level below the top (65,000 nodes) stays within the
    // limit, a copy of the top level (131,000) then no longer does.
    TDecTreeDocument doc;
    TDecTreeNode* top = BuildDoubling(doc, 16);
    TDecTreeNode* lower = doc.Root()->Children[14];
    ASSERT_FALSE(ExpandsTooFar(doc.Root()));
    TDecTreeNode* node = Add(doc, doc.Root());
    TDecTreeNode* own = Add(doc, node);
    TDecTreeNode* other = Add(doc, doc.Root());
    QString error;
    other->SetCloneMaster(lower->Id, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    node->SetCloneMaster(top->Id, error);
    EXPECT_EQ(error, CloneTexts::TooLarge);
    EXPECT_TRUE(node->CloneMasterId.IsEmpty());
    ASSERT_EQ(node->Children.Count(), 1);
    EXPECT_EQ(node->Children[0], own);
    EXPECT_FALSE(ExpandsTooFar(doc.Root()));
    // The check saw the tree as it would have stood; the document's order is the tree's again.
    EXPECT_EQ(doc.PreOrder().size(), size_t(CountNodes(doc.Root())));
    ASSERT_GE(doc.PositionOf(*own), 0);
    EXPECT_EQ(doc.PreOrder()[size_t(doc.PositionOf(*own))], own);
}

// The limit is on what the clones copy, not on what a large document holds itself.
TEST(CloneExpansionTest, OnlyTheCopiesCountTowardsTheCloneLimit)
{
    // The clone itself stands for its master's top node: it adds the master's subtree less one.
    for (const auto& [own, copies, tooFar] : {std::tuple{MaxCloneCopies + 10, 2, false},
                                              {10, MaxCloneCopies + 1, false}, {10, MaxCloneCopies + 2, true}}) {
        TDecTreeDocument doc;
        doc.NewRoot();
        TDecTreeNode* master = Add(doc, doc.Root());
        for (int64_t i = 1; i < copies; ++i)
            Add(doc, master);
        for (int64_t i = 0; i < own; ++i)
            Add(doc, doc.Root());
        Add(doc, doc.Root(), master->Id);
        EXPECT_EQ(ExpandsTooFar(doc.Root()), tooFar) << own << " own nodes, " << copies << " copies";
        if (tooFar)
            continue;
        // The copies a refresh made are still copies, not nodes of the document's own.
        doc.Root()->RefreshClones();
        EXPECT_FALSE(ExpandsTooFar(doc.Root()));
        if (copies > MaxCloneCopies) {
            Add(doc, master);
            EXPECT_TRUE(ExpandsTooFar(doc.Root())) << "one more node under the master";
        }
    }
}
