#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/RepairDuplicateIds.h"

#include <gtest/gtest.h>

#include "support/TreeBuilder.h"
#include <unordered_set>
#include <vector>

namespace {

class RepairIds : public ::testing::Test {
protected:
    void SetUp() override { doc.NewRoot(); }

    TDecTreeNode* Add(TDecTreeNode* parent, const TGuid& id = Guid::NewGuid())
    {
        return testtree::AppendNode(parent, QString(), ntDecision, 0, 0, id);
    }

    std::vector<TGuid> Ids()
    {
        std::vector<TGuid> ids;
        std::vector<TDecTreeNode*> stack{doc.Root()};
        while (!stack.empty()) {
            TDecTreeNode* n = stack.back();
            stack.pop_back();
            ids.push_back(n->Id);
            for (int i = n->Children.Count() - 1; i >= 0; --i)
                stack.push_back(n->Children[i]);
        }
        return ids;
    }

    TDecTreeDocument doc;
};

} // namespace

TEST_F(RepairIds, FirstSubtreeKeepsItsIdsAndTheSecondGetsNewOnes)
{
    const TGuid x = Guid::NewGuid(), y = Guid::NewGuid(), z = Guid::NewGuid();
    TDecTreeNode* first = Add(doc.Root(), x);
    TDecTreeNode* firstChild = Add(first, y);
    TDecTreeNode* firstGrandchild = Add(firstChild, z);
    TDecTreeNode* second = Add(doc.Root(), x);
    TDecTreeNode* secondChild = Add(second, y);
    TDecTreeNode* secondGrandchild = Add(secondChild, z);
    TDecTreeNode* holdsRootId = Add(doc.Root(), doc.Root()->Id);

    EXPECT_EQ(RepairDuplicateIds(doc.Root()), 4);
    EXPECT_EQ(first->Id, x);
    EXPECT_EQ(firstChild->Id, y);
    EXPECT_EQ(firstGrandchild->Id, z);
    EXPECT_NE(second->Id, x);
    EXPECT_NE(secondChild->Id, y);
    EXPECT_NE(secondGrandchild->Id, z);
    EXPECT_NE(holdsRootId->Id, doc.Root()->Id);
    const auto ids = Ids();
    EXPECT_EQ(std::unordered_set<TGuid>(ids.begin(), ids.end()).size(), ids.size());
    EXPECT_EQ(RepairDuplicateIds(doc.Root()), 0);
}

TEST_F(RepairIds, CloneNodesAreCoveredAndTheirLinksKept)
{
    TDecTreeNode* master = Add(doc.Root());
    Add(master);
    TDecTreeNode* clone = Add(doc.Root(), master->Id); // a clone that carries its master's id
    clone->CloneMasterId = master->Id;
    TDecTreeNode* clone2 = Add(doc.Root());
    clone2->CloneMasterId = master->Id;
    TDecTreeNode* later = Add(doc.Root(), clone2->Id);

    EXPECT_EQ(RepairDuplicateIds(doc.Root()), 2);
    EXPECT_NE(clone->Id, master->Id);
    EXPECT_EQ(clone->CloneMasterId, master->Id);
    EXPECT_EQ(clone2->CloneMasterId, master->Id);
    EXPECT_NE(later->Id, clone2->Id);
}

TEST_F(RepairIds, NodesInsideClonesNeitherKeepNorLoseIds)
{
    TDecTreeNode* master = Add(doc.Root());
    Add(master);
    TDecTreeNode* clone = Add(doc.Root());
    QString error;
    clone->SetCloneMaster(master->Id, error);
    ASSERT_EQ(error, QString());
    doc.Root()->RefreshClones();
    ASSERT_EQ(clone->Children.Count(), 1);
    // The copies are rebuilt with new ids on every refresh; a real node that happens to carry
    // a copy's id keeps it.
    TDecTreeNode* copy = clone->Children[0];
    const TGuid copyId = copy->Id;
    TDecTreeNode* real = Add(doc.Root(), copyId);
    EXPECT_EQ(RepairDuplicateIds(doc.Root()), 0);
    EXPECT_EQ(real->Id, copyId);
}
