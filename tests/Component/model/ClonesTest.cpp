#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"

#include <gtest/gtest.h>

#include "support/TreeBuilder.h"
#include <unordered_set>
#include <vector>

namespace {

class CloneTree : public ::testing::Test {
protected:
    void SetUp() override { doc.NewRoot(); }

    TDecTreeNode* Root() { return doc.Root(); }

    TDecTreeNode* Add(TDecTreeNode* parent, const QString& caption, TNodeType type = ntDecision,
                      double probability = 0, TCurrency payoff = 0)
    {
        return testtree::AppendNode(parent, caption, type, probability, payoff);
    }

    // The clone refresh and the value passes, as every recalculation runs them.
    void Recalculate()
    {
        Root()->RefreshClones();
        doc.CalculateValues();
    }

    QString Link(TDecTreeNode* node, const TDecTreeNode* master)
    {
        QString error = QStringLiteral("untouched");
        node->SetCloneMaster(master ? master->Id : Guid::Empty(), error);
        return error;
    }

    TDecTreeDocument doc;
};

} // namespace

// Every refused link leaves the node as it was and the tree its size.
TEST_F(CloneTree, RefusedLinksChangeNothing)
{
    TDecTreeNode* holder = Add(Root(), "H");
    TDecTreeNode* m = Add(holder, "M");
    Add(Add(m, "M1"), "M11");
    TDecTreeNode* c = Add(Root(), "C");
    TDecTreeNode* a = Add(Root(), "A");
    TDecTreeNode* a11 = Add(Add(a, "A1"), "A11");
    TDecTreeNode* d = Add(Root(), "D");
    Add(d, "D1");
    // P holds a clone of A, and Q a clone of P: A may clone neither.
    TDecTreeNode* p = Add(Root(), "P");
    TDecTreeNode* q = Add(Root(), "Q");
    ASSERT_EQ(Link(c, m), QString());
    ASSERT_EQ(Link(Add(p, "P1"), a), QString());
    ASSERT_EQ(Link(Add(q, "Q1"), p), QString());
    Recalculate();
    TDecTreeNode* copy = c->Children[0];
    const TGuid unknown = Guid::NewGuid();
    const struct {
        TDecTreeNode* node;
        const TDecTreeNode* master;
        const QString& error;
    } cases[] = {
        {a, a, CloneTexts::SameNode},
        {a, a11, CloneTexts::MasterIsSubnode},
        {a11, a, CloneTexts::CloneIsSubnode},
        {a11, Root(), CloneTexts::CloneIsSubnode},
        {copy, a, CloneTexts::DescendsOfClone},
        {copy->Children[0], copy, CloneTexts::CloneIsSubnode}, // the nearest ancestor decides first
        {copy, Root(), CloneTexts::DescendsOfClone},           // the clone is met before the root
        {m, a, CloneTexts::ContainsMaster},
        {holder, a, CloneTexts::ContainsMaster},
        {d, c, CloneTexts::CloneOfClone},
        {d, copy, CloneTexts::MasterInsideClone}, // its id changes on every refresh
        {a11, p, CloneTexts::WouldContainItself},
        {a11, q, CloneTexts::WouldContainItself},
        {d, nullptr, CloneTexts::MasterNotFound},
    };
    const int size = testtree::CountNodes(Root());
    for (const auto& t : cases) {
        QString error;
        t.node->SetCloneMaster(t.master ? t.master->Id : unknown, error);
        EXPECT_EQ(error, t.error) << t.node->Caption.toStdString();
        EXPECT_FALSE(t.node->IsClone()) << t.node->Caption.toStdString();
        EXPECT_EQ(testtree::CountNodes(Root()), size) << t.node->Caption.toStdString();
    }
    // The same master again, and an unlink of what is no clone, keep the children.
    const TGuid copyId = copy->Id;
    EXPECT_EQ(Link(c, m), QString());
    EXPECT_EQ(Link(a, nullptr), QString());
    EXPECT_EQ(c->Children[0]->Id, copyId);
    EXPECT_EQ(testtree::CountNodes(Root()), size);
    // A clone of a node that is not above it is fine.
    EXPECT_EQ(Link(d, q), QString());
}

// A document written elsewhere may hold a cycle that no link would have made. A refresh must
// still end and the tree keep its size.
TEST_F(CloneTree, CycleFromADocumentStaysFinite)
{
    TDecTreeNode* a = Add(Root(), "A");
    TDecTreeNode* a1 = Add(a, "A1");
    TDecTreeNode* b = Add(Root(), "B");
    TDecTreeNode* b1 = Add(b, "B1");
    Add(b, "B2");
    a1->CloneMasterId = b->Id;
    b1->CloneMasterId = a->Id;
    TDecTreeNode* self = Add(Root(), "Self");
    self->CloneMasterId = self->Id;
    TDecTreeNode* ofRoot = Add(a, "OfRoot");
    ofRoot->CloneMasterId = Root()->Id;

    // A clone of the root, and a clone of its own parent, reached by a refresh that starts at
    // the clone itself: the cycle runs through the node the walk began with.
    TDecTreeNode* c = Add(Root(), "C");
    TDecTreeNode* ofParent = Add(c, "OfParent");
    Add(c, "C2");
    ofParent->CloneMasterId = c->Id;
    ofParent->RefreshClones();
    EXPECT_EQ(ofParent->Children.Count(), 0);
    a1->RefreshClones();
    b1->RefreshClones();

    Recalculate();
    const int size = testtree::CountNodes(Root());
    EXPECT_EQ(self->Children.Count(), 0);
    EXPECT_EQ(ofParent->Children.Count(), 0);
    for (int i = 0; i < 100; ++i) {
        Recalculate();
        ofParent->RefreshClones();
        a1->RefreshClones();
    }
    EXPECT_EQ(testtree::CountNodes(Root()), size);
    EXPECT_LT(size, 30);
    Root()->CloneMasterId = a->Id;
    Recalculate();
    EXPECT_EQ(Root()->Children.Count(), 0);
}

TEST_F(CloneTree, DeepChainsNeedNoDeepStack)
{
    constexpr int Depth = 100000;
    TDecTreeNode* master = Add(Root(), "M");
    TDecTreeNode* node = master;
    for (int i = 0; i < Depth; ++i)
        node = Add(node, "x");
    TDecTreeNode* deepOther = Add(node, "deep");
    TDecTreeNode* clone = Add(Root(), "C");
    ASSERT_EQ(Link(clone, master), QString());
    Recalculate();
    EXPECT_EQ(testtree::CountNodes(clone), Depth + 2);
    // The ancestor walk and the cycle search over the whole depth.
    TDecTreeNode* other = Add(Root(), "O");
    EXPECT_EQ(Link(deepOther, other), QString());
    EXPECT_EQ(Link(other, master), CloneTexts::ContainsMaster);
    Recalculate();
    EXPECT_EQ(testtree::CountNodes(clone), Depth + 2);
}

namespace {

// Whether the subtrees below a and b have the same shape and branch data.
bool SameForks(const TDecTreeNode* a, const TDecTreeNode* b, QString& why)
{
    std::vector<std::pair<const TDecTreeNode*, const TDecTreeNode*>> stack{{a, b}};
    bool first = true;
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        if (!first && (x->Caption != y->Caption || x->Probability != y->Probability || x->Payoff != y->Payoff ||
                       x->CloneMasterId != y->CloneMasterId)) {
            why = QStringLiteral("branch %1 differs from %2").arg(x->Caption, y->Caption);
            return false;
        }
        first = false;
        if (x->NodeType != y->NodeType || x->Children.Count() != y->Children.Count()) {
            why = QStringLiteral("fork %1 differs from %2").arg(x->Caption, y->Caption);
            return false;
        }
        for (int i = 0; i < x->Children.Count(); ++i)
            stack.push_back({x->Children[i], y->Children[i]});
    }
    return true;
}

} // namespace

// A refresh gives every clone its master's fork (type, fixed flag, chance type) and copies of the
// master's children with new ids and no attribute lines; each clone keeps its own branch, and
// what the user collapsed or selected among its copies, down to the last child of every level.
TEST_F(CloneTree, ARefreshCarriesTheMastersForkAndKeepsEachClonesOwnState)
{
    TDecTreeNode* m = Add(Root(), "M", ntChance);
    TDecTreeNode* a = Add(m, "A", ntDecision, 60, 70000);
    a->DecisionShowOwner = true;
    a->DecisionOwner = "Ann";
    a->PayoffSource = "Advanced: 7";
    Add(a, "A1");
    Add(a, "A2");
    Add(m, "B", ntChance, 40, -30000);
    TDecTreeNode* clones[] = {Add(Root(), "C1", ntDecision, 0, 10000), Add(Root(), "C2", ntDecision, 100, 0)};
    for (TDecTreeNode* c : clones)
        ASSERT_EQ(Link(c, m), QString());
    Recalculate();
    for (TDecTreeNode* c : clones) {
        c->Children[0]->ChildrenVisible = c->Children[0]->Children[1]->ChildrenVisible = false;
        doc.Selection.Add(c->Children[1]->Id);
        doc.Selection.Add(c->Children[0]->Children[1]->Id);
    }
    const struct {
        TNodeType type;
        TChanceType chance;
        bool fixed;
    } forks[] = {{ntMultiDecision, ctAnySum, true}, {ntDecision, ctPercent, false}};
    for (const auto& fork : forks) {
        m->NodeType = fork.type;
        m->ChanceType = fork.chance;
        m->DecisionFixed = fork.fixed;
        Recalculate();
        std::unordered_set<TGuid> ids{m->Id, a->Id, a->Children[0]->Id, a->Children[1]->Id, m->Children[1]->Id};
        for (TDecTreeNode* c : clones) {
            QString why;
            EXPECT_TRUE(SameForks(c, m, why)) << why.toStdString();
            EXPECT_EQ(c->ChanceType, fork.chance);
            EXPECT_EQ(c->DecisionFixed, fork.fixed);
            TDecTreeNode* copy = c->Children[0];
            EXPECT_EQ(copy->DecisionOwner, "Ann");
            EXPECT_EQ(copy->PayoffSource, "Advanced: 7");
            EXPECT_FALSE(copy->DecisionShowOwner);
            EXPECT_FALSE(copy->ChildrenVisible);
            EXPECT_TRUE(copy->Children[0]->ChildrenVisible);
            EXPECT_FALSE(copy->Children[1]->ChildrenVisible);
            EXPECT_TRUE(doc.Selection.Contains(c->Children[1]->Id));
            EXPECT_TRUE(doc.Selection.Contains(copy->Children[1]->Id));
            for (const TDecTreeNode* n : {copy, copy->Children[0], copy->Children[1], c->Children[1]})
                EXPECT_TRUE(ids.insert(n->Id).second) << "a copy's id is new";
        }
        EXPECT_EQ(doc.Selection.Count(), 5); // the root and the four copies
        EXPECT_EQ(clones[0]->Caption, "C1");
        EXPECT_EQ(clones[0]->Payoff, 10000);
        EXPECT_EQ(clones[1]->Probability, 100);
    }
}
