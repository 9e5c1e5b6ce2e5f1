#include "Component/model/DecTreeDocument.h"
#include "support/TreeBuilder.h"
#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

using namespace testtree;

namespace {

std::unique_ptr<TDecTreeNode> FullNode(TDecTreeDocument* doc, TNodeType type)
{
    return std::make_unique<TDecTreeNode>(doc, nullptr, Guid::NewGuid(), QStringLiteral("cap"), QStringLiteral("com"),
                                          type, ctAnySum, 40.0, Money(12.5), Guid::Empty(), false, true, true, true,
                                          true, true, true, true, QStringLiteral("dc"), QStringLiteral("owner"), 250,
                                          45000.5, QStringLiteral("Import: x"));
}

} // namespace

TEST(NodeModel, CopyTakesEffectiveFlagsOrResetsThem)
{
    TDecTreeDocument doc;
    auto multi = FullNode(&doc, ntMultiDecision);
    AddEnd(multi.get(), 100, 5);
    auto copy = multi->Copy(nullptr, false, false, nullptr);
    EXPECT_TRUE(copy->DecisionMultiShowInvestment);
    EXPECT_TRUE(copy->DecisionMultiShowBudget);
    EXPECT_EQ(copy->Id, multi->Id);
    EXPECT_EQ(copy->Children.Count(), 1);
    EXPECT_EQ(copy->Children[0]->Parent(), copy.get());
    EXPECT_EQ(copy->Children[0]->Payoff, Money(5));
    EXPECT_EQ(copy->DecisionOwner, "owner");
    EXPECT_EQ(copy->PayoffSource, "Import: x");

    // A chance node's decision-only flags are stored as what they show: off.
    auto chance = FullNode(&doc, ntChance);
    AddEnd(chance.get(), 100, 0);
    auto chanceCopy = chance->Copy(nullptr, false, true, nullptr);
    EXPECT_TRUE(chanceCopy->DecisionShowCaption);
    EXPECT_FALSE(chanceCopy->DecisionShowOwner);
    EXPECT_FALSE(chanceCopy->DecisionMultiShowBudget);
    EXPECT_NE(chanceCopy->Id, chance->Id);
    EXPECT_NE(chanceCopy->Children[0]->Id, chance->Children[0]->Id);

    auto reset = multi->Copy(nullptr, true, true, nullptr);
    EXPECT_FALSE(reset->DecisionShowCaption || reset->DecisionShowOwner || reset->DecisionShowDueDate ||
                 reset->DecisionShowFixed || reset->DecisionMultiShowBudget || reset->DecisionMultiShowInvestment);
    EXPECT_TRUE(reset->DecisionFixed);
    EXPECT_EQ(reset->ExpectedValue, 0);
}

TEST(NodeModel, CopyKeepsChildOrderAndComputedFieldsStayZero)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntChance);
    TDecTreeNode* a = AddChild(root, ntDecision, 60, 1);
    AddEnd(a, 100, 2);
    AddEnd(a, 0, 3);
    AddEnd(root, 40, 4);
    doc.CalculateValues();
    auto copy = root->Copy(nullptr, false, false, nullptr);
    ASSERT_EQ(copy->Children.Count(), 2);
    EXPECT_EQ(copy->Children[0]->Id, a->Id);
    EXPECT_EQ(copy->Children[0]->Children[1]->Payoff, Money(3));
    EXPECT_EQ(copy->Children[1]->Payoff, Money(4));
    EXPECT_EQ(copy->ExpectedValue, 0);
    EXPECT_FALSE(copy->Children[0]->InTakenPath);
}

TEST(NodeModel, SearchDepthAndLevels)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* a = AddChild(root, ntChance, 100, 0);
    TDecTreeNode* b = AddChild(a, ntChance, 50, 0);
    TDecTreeNode* c = AddEnd(b, 100, 0);
    TDecTreeNode* d = AddEnd(root, 0, 0);
    EXPECT_EQ(root->FindNodeById(c->Id), c);
    EXPECT_EQ(a->FindNodeById(d->Id), nullptr);
    EXPECT_EQ(root->FindNodeById(Guid::NewGuid()), nullptr);
    EXPECT_EQ(d->GetDepth(), 2);
    EXPECT_EQ(a->GetDepth(), 2);
    EXPECT_EQ(c->GetDepth(), 4);
    EXPECT_EQ(root->GetLevelCount(), 4);
    EXPECT_EQ(d->GetLevelCount(), 1);
    a->ChildrenVisible = false; // collapsed nodes count all the same
    EXPECT_EQ(root->GetLevelCount(), 4);

    root->SetLevelsVisible(0);
    EXPECT_TRUE(root->ChildrenVisible && a->ChildrenVisible && b->ChildrenVisible && c->ChildrenVisible);
    root->SetLevelsVisible(1);
    EXPECT_FALSE(root->ChildrenVisible);
    EXPECT_TRUE(a->ChildrenVisible); // levels below 1 go negative: expanded
    root->SetLevelsVisible(2);
    EXPECT_TRUE(root->ChildrenVisible);
    EXPECT_FALSE(a->ChildrenVisible);
    EXPECT_FALSE(d->ChildrenVisible);
}

TEST(NodeModel, OutlineCodes)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    AddEnd(root, 100, 0);
    TDecTreeNode* second = AddChild(root, ntChance, 0, 0);
    AddEnd(second, 30, 0);
    AddEnd(second, 30, 0);
    TDecTreeNode* third = AddEnd(second, 40, 0);
    EXPECT_EQ(third->GetOutlineCode(), QString()); // option off
    doc.Options.SetOutlineCodes(true);
    EXPECT_EQ(root->GetOutlineCode(), QString());
    EXPECT_EQ(second->GetOutlineCode(), "2  ");
    EXPECT_EQ(third->GetOutlineCode(), "2.3  ");

    // Children of a clone are numbered under the master's code.
    TDecTreeNode* clone = AddChild(root, ntChance, 0, 0);
    MakeClone(clone, second);
    EXPECT_EQ(clone->GetOutlineCode(), "3  ");
    EXPECT_EQ(clone->Children[2]->GetOutlineCode(), "2.3  ");
    // Codes of two or more digits.
    for (int i = 0; i < 9; ++i)
        AddEnd(third, 0, 0);
    EXPECT_EQ(third->Children[8]->GetOutlineCode(), "2.3.9  ");
    AddEnd(third, 0, 0);
    TDecTreeNode* tenth = third->Children[9];
    AddEnd(tenth, 100, 0);
    EXPECT_EQ(tenth->Children[0]->GetOutlineCode(), "2.3.10.1  ");
}

TEST(NodeModel, ClonePredicatesAndMasterNodes)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = SetRoot(doc, ntDecision);
    TDecTreeNode* master = AddChild(root, ntDecision, 100, 0);
    TDecTreeNode* m0 = AddEnd(master, 100, 0);
    AddEnd(master, 0, 0);
    TDecTreeNode* holder = AddChild(root, ntChance, 0, 0);
    TDecTreeNode* clone = AddChild(holder, ntDecision, 100, 0);
    MakeClone(clone, master);
    TDecTreeNode* inside = clone->Children[0];

    EXPECT_TRUE(clone->IsClone());
    EXPECT_FALSE(clone->IsInsideClone());
    EXPECT_TRUE(inside->IsInsideClone());
    EXPECT_TRUE(inside->IsCloneOrInsideClone());
    EXPECT_FALSE(master->IsCloneOrInsideClone());

    EXPECT_EQ(clone->GetMasterNode(), master);
    EXPECT_EQ(inside->GetMasterNode(), m0);
    EXPECT_EQ(master->GetMasterNode(), master);
    EXPECT_EQ(root->GetMasterNode(), root);
    EXPECT_EQ(m0->GetMasterNode(), m0);

    EXPECT_TRUE(root->ContainsCloneOf(master->Id));
    EXPECT_TRUE(holder->ContainsCloneOf(master->Id));
    EXPECT_FALSE(master->ContainsCloneOf(master->Id));

    EXPECT_TRUE(master->IsOrContainsCloneMaster());
    EXPECT_TRUE(root->IsOrContainsCloneMaster());
    EXPECT_FALSE(holder->IsOrContainsCloneMaster());
    EXPECT_FALSE(inside->IsOrContainsCloneMaster());
    EXPECT_FALSE(m0->IsOrContainsCloneMaster());

    // A clone whose master has gone answers no master.
    clone->CloneMasterId = Guid::NewGuid();
    EXPECT_EQ(clone->GetMasterNode(), nullptr);
    EXPECT_EQ(inside->GetMasterNode(), nullptr);
}
