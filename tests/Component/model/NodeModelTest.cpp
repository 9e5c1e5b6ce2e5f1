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
