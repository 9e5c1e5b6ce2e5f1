#include "app/NodeCommands.h"

#include "Component/model/DecTreeDocument.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

using namespace testtree;

namespace {

class NodeCommandsTest : public ::testing::Test {
protected:
    TDecTreeDocument Doc;
    TDecTreeNode* Root = SetRoot(Doc, ntDecision);

    TPopupState State(std::vector<TDecTreeNode*> nodes, TNodeElementType element, bool canEdit = true,
                      bool canDelete = true)
    {
        return ComputePopupState(nodes, element, canEdit, canDelete, true);
    }
};

} // namespace

TEST_F(NodeCommandsTest, SingleNodeTable)
{
    TDecTreeNode* chance = AddChild(Root, ntChance, 100, 0);
    TDecTreeNode* end = AddEnd(chance, 100, 5);

    TPopupState s = State({chance}, htSymbol);
    EXPECT_TRUE(s.Add);
    EXPECT_TRUE(s.Type);
    EXPECT_TRUE(s.DefineAsCloneMaster);
    EXPECT_TRUE(s.DefineAsClone);
    EXPECT_FALSE(s.UnlinkClone);
    EXPECT_TRUE(s.OptimizeSubnodeDecisions);
    EXPECT_FALSE(s.Comment); // only on the branch text
    EXPECT_TRUE(s.TakeOption);
    EXPECT_EQ(s.CheckedKind, TNodeKind::ChancePercent);
    EXPECT_TRUE(s.EditNodeTypeStyle);
    EXPECT_FALSE(ComputePopupState({chance}, htSymbol, true, true, false).EditNodeTypeStyle);

    s = State({chance}, htOptionDescriptor);
    EXPECT_TRUE(s.Comment);
    EXPECT_FALSE(s.Type);
    EXPECT_FALSE(s.EditPayoffAdvanced);
    EXPECT_TRUE(State({chance}, htPayoff).EditPayoffAdvanced);
    EXPECT_FALSE(State({chance}, htPayoff).Add);

    // An end node has no children: no type change, no optimisation; under a chance node no
    // option to take.
    s = State({end}, htSymbol);
    EXPECT_FALSE(s.Type);
    EXPECT_FALSE(s.OptimizeSubnodeDecisions);
    EXPECT_FALSE(s.TakeOption);
    EXPECT_TRUE(s.TakeThisPath);
}

TEST_F(NodeCommandsTest, TakePathTakesEveryUntakenOptionUpToTheRoot)
{
    TDecTreeNode* a = AddChild(Root, ntDecision, 100, 0);
    TDecTreeNode* b = AddChild(Root, ntChance, 0, 0);
    TDecTreeNode* b1 = AddChild(b, ntDecision, 50, 0);
    AddEnd(b, 50, 0);
    TDecTreeNode* x = AddEnd(b1, 100, 0);
    TDecTreeNode* y = AddEnd(b1, 0, 0);
    AddEnd(a, 100, 0);

    const std::vector<TPathStep> steps = GetTakePathSteps(*y);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0], TPathStep(y, b1));
    EXPECT_EQ(steps[1], TPathStep(b1, b));
    EXPECT_EQ(steps[2], TPathStep(b, Root));
    EXPECT_EQ(CountFixedDecisions(steps), 0);
    b1->DecisionFixed = true;
    Root->DecisionFixed = true;
    EXPECT_EQ(CountFixedDecisions(steps), 2);

    TakePath(steps);
    EXPECT_EQ(y->Probability, 100);
    EXPECT_EQ(x->Probability, 0);
    EXPECT_EQ(b1->Probability, 50); // under a chance node nothing is taken
    EXPECT_EQ(b->Probability, 100);
    EXPECT_EQ(a->Probability, 0);
    EXPECT_EQ(CountFixedDecisions(steps), 0);
}

TEST_F(NodeCommandsTest, TakePathInsideACloneWhoseMasterIsNotItsSibling)
{
    // Root (decision): P1 (chance) holds the master M (decision: m1 taken, m2); P2 (decision,
    // not taken) holds Q (not taken) and the clone C of M.
    TDecTreeNode* p1 = AddChild(Root, ntChance, 100, 0);
    TDecTreeNode* master = AddChild(p1, ntDecision, 100, 0);
    TDecTreeNode* m1 = AddEnd(master, 100, 1);
    TDecTreeNode* m2 = AddEnd(master, 0, 2);
    TDecTreeNode* p2 = AddChild(Root, ntDecision, 0, 0);
    TDecTreeNode* q = AddEnd(p2, 100, 0);
    TDecTreeNode* clone = AddChild(p2, ntDecision, 0, 0);
    MakeClone(clone, master);
    TDecTreeNode* inside = clone->Children[1];

    const std::vector<TPathStep> steps = GetTakePathSteps(*inside);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0], TPathStep(m2, master));
    EXPECT_EQ(steps[1], TPathStep(clone, p2));
    EXPECT_EQ(steps[2], TPathStep(p2, Root));

    TakePath(steps);
    EXPECT_EQ(m2->Probability, 100);
    EXPECT_EQ(m1->Probability, 0);
    EXPECT_EQ(clone->Probability, 100);
    EXPECT_EQ(q->Probability, 0);
    EXPECT_EQ(p2->Probability, 100);
    EXPECT_EQ(p1->Probability, 0);
}

TEST_F(NodeCommandsTest, TakePathToACopyOfACloneHeldByTheMasterLeavesTheOtherMasterAlone)
{
    // Root (decision): P holds Q (q1 taken, q2) and R (taken); M (taken) holds X, a clone of Q,
    // and Y (taken); C (not taken) is a clone of M.
    TDecTreeNode* p = AddChild(Root, ntDecision, 0, 0);
    TDecTreeNode* q = AddChild(p, ntDecision, 0, 0);
    TDecTreeNode* q1 = AddEnd(q, 100, 1);
    TDecTreeNode* q2 = AddEnd(q, 0, 2);
    TDecTreeNode* r = AddEnd(p, 100, 3);
    TDecTreeNode* m = AddChild(Root, ntDecision, 100, 0);
    TDecTreeNode* x = AddChild(m, ntDecision, 0, 0);
    TDecTreeNode* y = AddEnd(m, 100, 4);
    MakeClone(x, q);
    TDecTreeNode* c = AddChild(Root, ntDecision, 0, 0);
    MakeClone(c, m);
    TDecTreeNode* copyOfX = c->Children[0];

    // The copy of X itself, and the copy of q2 inside it.
    for (const bool inside : {false, true}) {
        SCOPED_TRACE(inside ? "inside the copy of X" : "the copy of X");
        for (TDecTreeNode* n : {q1, q2, r, x, y, c})
            n->Probability = n == q1 || n == r || n == y ? 100 : 0;
        const std::vector<TPathStep> steps = GetTakePathSteps(inside ? *copyOfX->Children[1] : *copyOfX);
        std::vector<TPathStep> expected{{x, m}, {c, Root}};
        if (inside)
            expected.insert(expected.begin(), TPathStep(x->Children[1], x));
        EXPECT_EQ(steps, expected);

        TakePath(steps);
        EXPECT_EQ(x->Probability, 100);
        EXPECT_EQ(y->Probability, 0);
        EXPECT_EQ(c->Probability, 100);
        EXPECT_EQ(q->Probability, 0);
        EXPECT_EQ(r->Probability, 100);
        EXPECT_EQ(q2->Probability, inside ? 100 : 0);
        EXPECT_EQ(q1->Probability, inside ? 0 : 100);
    }
}

TEST_F(NodeCommandsTest, UnlinkKeepsCopiesOfTheMastersChildrenOrNone)
{
    TDecTreeNode* master = AddChild(Root, ntDecision, 100, 0);
    TDecTreeNode* m1 = AddChild(master, ntDecision, 100, 1);
    AddEnd(m1, 100, 3);
    AddEnd(master, 0, 2);
    m1->Caption = QStringLiteral("first");
    m1->DecisionShowOwner = true;
    TDecTreeNode* clone = AddChild(Root, ntDecision, 0, 0);
    MakeClone(clone, master);

    ReplaceChildrenAfterUnlink(*clone, master, true);
    ASSERT_EQ(clone->Children.Count(), 2);
    TDecTreeNode* copy = clone->Children[0];
    EXPECT_EQ(copy->Caption, "first");
    EXPECT_NE(copy->Id, m1->Id);
    EXPECT_EQ(copy->Parent(), clone);
    EXPECT_TRUE(copy->DecisionShowOwner); // attributes are kept
    EXPECT_EQ(copy->Children.Count(), 1);
    EXPECT_EQ(master->Children.Count(), 2);

    ReplaceChildrenAfterUnlink(*clone, master, false);
    EXPECT_EQ(clone->Children.Count(), 0);
    AddEnd(clone, 100, 0);
    ReplaceChildrenAfterUnlink(*clone, nullptr, true);
    EXPECT_EQ(clone->Children.Count(), 0);
}
