#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

class CloneTree : public ::testing::Test {
protected:
    void SetUp() override { doc.NewRoot(); }

    TDecTreeNode* Root() { return doc.Root(); }

    TDecTreeNode* Add(TDecTreeNode* parent, const QString& caption, TNodeType type = ntDecision,
                      double probability = 0, TCurrency payoff = 0)
    {
        auto node = std::make_unique<TDecTreeNode>(&doc, parent, Guid::NewGuid(), caption, QString(), type, ctPercent,
                                                   probability, payoff, Guid::Empty(), true, false, false, false,
                                                   false, false, false, false, QString(), QString(), -1, 0.0,
                                                   QString());
        TDecTreeNode* raw = node.get();
        parent->Children.Add(std::move(node));
        return raw;
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

    static int CountNodes(TDecTreeNode* start)
    {
        int count = 0;
        std::vector<TDecTreeNode*> stack{start};
        while (!stack.empty()) {
            TDecTreeNode* n = stack.back();
            stack.pop_back();
            ++count;
            for (TDecTreeNode* c : n->Children)
                stack.push_back(c);
        }
        return count;
    }

    static QStringList Captions(const TDecTreeNode* node)
    {
        QStringList result;
        for (const TDecTreeNode* c : node->Children)
            result << c->Caption;
        return result;
    }

    TDecTreeDocument doc;
};

} // namespace

TEST_F(CloneTree, CloneOfItselfIsRefused)
{
    TDecTreeNode* a = Add(Root(), "A");
    Add(a, "A1");
    EXPECT_EQ(Link(a, a), CloneTexts::SameNode);
    EXPECT_FALSE(a->IsClone());
    EXPECT_EQ(a->Children.Count(), 1);
}

TEST_F(CloneTree, CloneOfOwnGrandchildIsRefused)
{
    TDecTreeNode* a = Add(Root(), "A");
    TDecTreeNode* grandchild = Add(Add(a, "A1"), "A11");
    EXPECT_EQ(Link(a, grandchild), CloneTexts::MasterIsSubnode);
    EXPECT_FALSE(a->IsClone());
    EXPECT_EQ(CountNodes(a), 3);
}

TEST_F(CloneTree, CloneOfOwnGrandparentIsRefused)
{
    TDecTreeNode* a = Add(Root(), "A");
    TDecTreeNode* grandchild = Add(Add(a, "A1"), "A11");
    EXPECT_EQ(Link(grandchild, a), CloneTexts::CloneIsSubnode);
    EXPECT_EQ(Link(grandchild, Root()), CloneTexts::CloneIsSubnode);
    EXPECT_FALSE(grandchild->IsClone());
}

TEST_F(CloneTree, NodeInsideACloneCannotBecomeAClone)
{
    TDecTreeNode* master = Add(Root(), "M");
    Add(Add(master, "M1"), "M11");
    TDecTreeNode* other = Add(Root(), "Other");
    TDecTreeNode* clone = Add(Root(), "C");
    ASSERT_EQ(Link(clone, master), QString());
    Recalculate();
    TDecTreeNode* copy = clone->Children[0];
    TDecTreeNode* copyChild = copy->Children[0];
    EXPECT_EQ(Link(copy, other), CloneTexts::DescendsOfClone);
    // The walk up decides by the nearest ancestor first: the parent is the master asked for.
    EXPECT_EQ(Link(copyChild, copy), CloneTexts::CloneIsSubnode);
    // The clone itself is met before the root, which is the master asked for.
    EXPECT_EQ(Link(copy, Root()), CloneTexts::DescendsOfClone);
}

TEST_F(CloneTree, MasterOfAClone_OrItsParent_CannotBecomeAClone)
{
    TDecTreeNode* holder = Add(Root(), "H");
    TDecTreeNode* master = Add(holder, "M");
    Add(master, "M1");
    TDecTreeNode* other = Add(Root(), "Other");
    TDecTreeNode* clone = Add(Root(), "C");
    ASSERT_EQ(Link(clone, master), QString());
    EXPECT_EQ(Link(master, other), CloneTexts::ContainsMaster);
    EXPECT_EQ(Link(holder, other), CloneTexts::ContainsMaster);
    EXPECT_FALSE(master->IsClone());
    EXPECT_EQ(master->Children.Count(), 1);
}

TEST_F(CloneTree, CloneOfACloneIsRefused)
{
    TDecTreeNode* master = Add(Root(), "M");
    Add(master, "M1");
    TDecTreeNode* clone = Add(Root(), "C");
    TDecTreeNode* other = Add(Root(), "D");
    ASSERT_EQ(Link(clone, master), QString());
    EXPECT_EQ(Link(other, clone), CloneTexts::CloneOfClone);
    EXPECT_FALSE(other->IsClone());
}

// A copy inside a clone gets a new id on every refresh: a clone of it would lose its master
// at the next recalculation.
TEST_F(CloneTree, NodeInsideACloneCannotBeAMaster)
{
    TDecTreeNode* master = Add(Root(), "M");
    Add(Add(master, "M1"), "M11");
    TDecTreeNode* clone = Add(Root(), "C");
    ASSERT_EQ(Link(clone, master), QString());
    Recalculate();
    TDecTreeNode* other = Add(Root(), "D");
    Add(other, "D1");
    EXPECT_EQ(Link(other, clone->Children[0]), CloneTexts::MasterInsideClone);
    EXPECT_FALSE(other->IsClone());
    EXPECT_EQ(Captions(other), QStringList{"D1"});
}

TEST_F(CloneTree, UnknownMasterIsRefused)
{
    TDecTreeNode* a = Add(Root(), "A");
    Add(a, "A1");
    QString error;
    a->SetCloneMaster(Guid::NewGuid(), error);
    EXPECT_EQ(error, CloneTexts::MasterNotFound);
    EXPECT_FALSE(a->IsClone());
    EXPECT_EQ(a->Children.Count(), 1);
}

TEST_F(CloneTree, TheSameMasterAgainChangesNothing)
{
    TDecTreeNode* a = Add(Root(), "A");
    Add(a, "A1");
    // Not a clone, and asked to unlink: the ids are equal, so the children stay.
    EXPECT_EQ(Link(a, nullptr), QString());
    EXPECT_EQ(a->Children.Count(), 1);

    TDecTreeNode* master = Add(Root(), "M");
    Add(master, "M1");
    ASSERT_EQ(Link(a, master), QString());
    Recalculate();
    const TGuid copyId = a->Children[0]->Id;
    EXPECT_EQ(Link(a, master), QString());
    EXPECT_EQ(a->Children[0]->Id, copyId);
}

TEST_F(CloneTree, LinkClearsChildrenAndRefreshCopiesTheMastersFork)
{
    TDecTreeNode* master = Add(Root(), "M", ntChance);
    master->ChanceType = ctAnySum;
    master->DecisionFixed = true;
    TDecTreeNode* m1 = Add(master, "M1", ntDecision, 30, 1000000);
    m1->DecisionShowCaption = true;
    m1->DecisionCaption = "caption";
    m1->PayoffSource = "Advanced: x";
    Add(m1, "M11");
    Add(master, "M2", ntDecision, 70, -50000);
    TDecTreeNode* clone = Add(Root(), "C", ntDecision, 0, 777);
    Add(clone, "own child");

    ASSERT_EQ(Link(clone, master), QString());
    EXPECT_TRUE(clone->IsClone());
    EXPECT_EQ(clone->CloneMasterId, master->Id);
    EXPECT_EQ(clone->Children.Count(), 0);

    Recalculate();
    EXPECT_EQ(clone->NodeType, ntChance);
    EXPECT_EQ(clone->ChanceType, ctAnySum);
    EXPECT_TRUE(clone->DecisionFixed);
    EXPECT_EQ(clone->Caption, "C"); // the branch stays the clone's own
    EXPECT_EQ(clone->Payoff, 777);
    ASSERT_EQ(Captions(clone), (QStringList{"M1", "M2"}));
    const TDecTreeNode* c1 = clone->Children[0];
    EXPECT_NE(c1->Id, m1->Id);
    EXPECT_EQ(c1->Parent(), clone);
    EXPECT_EQ(c1->Probability, 30);
    EXPECT_EQ(c1->Payoff, 1000000);
    EXPECT_EQ(c1->DecisionCaption, "caption");
    EXPECT_EQ(c1->PayoffSource, "Advanced: x");
    EXPECT_FALSE(c1->DecisionShowCaption); // copies show no attribute lines
    EXPECT_EQ(Captions(c1), QStringList{"M11"});
    EXPECT_TRUE(c1->IsInsideClone());
    EXPECT_EQ(clone->ExpectedValue, master->ExpectedValue);

    // Ids of copies change with every refresh.
    const TGuid before = clone->Children[0]->Id;
    Recalculate();
    EXPECT_NE(clone->Children[0]->Id, before);
}

TEST_F(CloneTree, UnlinkLeavesNoChildren)
{
    TDecTreeNode* master = Add(Root(), "M");
    Add(master, "M1");
    TDecTreeNode* clone = Add(Root(), "C");
    ASSERT_EQ(Link(clone, master), QString());
    Recalculate();
    ASSERT_EQ(clone->Children.Count(), 1);
    EXPECT_EQ(Link(clone, nullptr), QString());
    EXPECT_FALSE(clone->IsClone());
    EXPECT_EQ(clone->Children.Count(), 0);
    Recalculate();
    EXPECT_EQ(clone->Children.Count(), 0);
    EXPECT_EQ(master->Children.Count(), 1);
}

TEST_F(CloneTree, EditOfTheMasterShowsUnderEveryClone)
{
    TDecTreeNode* master = Add(Root(), "M");
    TDecTreeNode* m1 = Add(master, "M1");
    TDecTreeNode* c1 = Add(Root(), "C1");
    TDecTreeNode* c2 = Add(Root(), "C2");
    ASSERT_EQ(Link(c1, master), QString());
    ASSERT_EQ(Link(c2, master), QString());
    Recalculate();
    m1->Caption = "changed";
    Add(master, "M2");
    Recalculate();
    EXPECT_EQ(Captions(c1), (QStringList{"changed", "M2"}));
    EXPECT_EQ(Captions(c2), (QStringList{"changed", "M2"}));
}

// A master holding a clone of the would-be clone's parent: the link would make the clone
// contain itself, and every refresh would add another level.
TEST_F(CloneTree, CycleThroughANestedCloneIsRefused_AndTheTreeStaysTheSameSize)
{
    TDecTreeNode* a = Add(Root(), "A");
    TDecTreeNode* a1 = Add(a, "A1");
    Add(a1, "A11");
    TDecTreeNode* b = Add(Root(), "B");
    TDecTreeNode* b1 = Add(b, "B1");
    Add(b, "B2");
    ASSERT_EQ(Link(b1, a), QString());
    Recalculate();

    EXPECT_EQ(Link(a1, b), CloneTexts::WouldContainItself);
    EXPECT_FALSE(a1->IsClone());
    EXPECT_EQ(a1->Children.Count(), 1);

    // Two levels of nesting: C holds a clone of B, and B (through B1) a clone of A.
    TDecTreeNode* c = Add(Root(), "C");
    TDecTreeNode* c1 = Add(c, "C1");
    ASSERT_EQ(Link(c1, b), QString());
    EXPECT_EQ(Link(a1, c), CloneTexts::WouldContainItself);
    // A clone of a node that is not above it is fine.
    TDecTreeNode* d = Add(Root(), "D");
    EXPECT_EQ(Link(d, c), QString());

    Recalculate();
    const int size = CountNodes(Root());
    for (int i = 0; i < 100; ++i)
        Recalculate();
    EXPECT_EQ(CountNodes(Root()), size);
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

    Recalculate();
    const int size = CountNodes(Root());
    EXPECT_EQ(self->Children.Count(), 0);
    for (int i = 0; i < 100; ++i)
        Recalculate();
    EXPECT_EQ(CountNodes(Root()), size);
    EXPECT_LT(size, 30);
}

// The clone before its master in the tree, and the master holding a clone of a node that
// comes later: one refresh must still bring the nested copy up to date.
TEST_F(CloneTree, NestedCloneIsCurrentAfterOneRefresh)
{
    TDecTreeNode* c = Add(Root(), "C");
    TDecTreeNode* m = Add(Root(), "M");
    Add(m, "M1");
    TDecTreeNode* n = Add(m, "N");
    TDecTreeNode* p = Add(Root(), "P");
    Add(p, "P1");
    Add(p, "P2");
    ASSERT_EQ(Link(n, p), QString());
    ASSERT_EQ(Link(c, m), QString());

    Recalculate();
    ASSERT_EQ(Captions(c), (QStringList{"M1", "N"}));
    EXPECT_EQ(Captions(c->Children[1]), (QStringList{"P1", "P2"}));

    Add(p, "P3");
    Recalculate();
    EXPECT_EQ(Captions(n), (QStringList{"P1", "P2", "P3"}));
    EXPECT_EQ(Captions(c->Children[1]), (QStringList{"P1", "P2", "P3"}));
    // The copy of a nested clone is itself a clone of the same master.
    EXPECT_EQ(c->Children[1]->CloneMasterId, p->Id);
}

TEST_F(CloneTree, SelectionAndExpansionFollowTheCopies)
{
    TDecTreeNode* m = Add(Root(), "M");
    TDecTreeNode* m1 = Add(m, "M1");
    Add(m1, "M11");
    Add(m, "M2");
    TDecTreeNode* c = Add(Root(), "C");
    ASSERT_EQ(Link(c, m), QString());
    Recalculate();

    c->Children[0]->ChildrenVisible = false;
    const TGuid oldSelected = c->Children[1]->Id;
    doc.Selection.Clear();
    doc.Selection.Add(oldSelected);

    Recalculate();
    EXPECT_FALSE(c->Children[0]->ChildrenVisible);
    EXPECT_TRUE(m1->ChildrenVisible);
    EXPECT_NE(c->Children[1]->Id, oldSelected);
    EXPECT_FALSE(doc.Selection.Contains(oldSelected));
    EXPECT_TRUE(doc.Selection.Contains(c->Children[1]->Id));
    EXPECT_EQ(doc.Selection.Count(), 1);
    EXPECT_TRUE(c->Children[1]->IsSelected());
}

TEST_F(CloneTree, CloneWhoseMasterIsGoneKeepsNoChildren)
{
    TDecTreeNode* m = Add(Root(), "M");
    Add(m, "M1");
    TDecTreeNode* c = Add(Root(), "C");
    ASSERT_EQ(Link(c, m), QString());
    Recalculate();
    ASSERT_EQ(c->Children.Count(), 1);
    TDecTreeNode* inside = c->Children[0];
    EXPECT_EQ(inside->GetMasterNode(), m->Children[0]);

    Root()->Children.Remove(m);
    EXPECT_EQ(c->GetMasterNode(), nullptr);
    EXPECT_EQ(inside->GetMasterNode(), nullptr);
    Recalculate();
    EXPECT_EQ(c->Children.Count(), 0);

    // A clone read from a document with a master id nobody carries.
    TDecTreeNode* orphan = Add(Root(), "Orphan");
    Add(orphan, "stale");
    orphan->CloneMasterId = Guid::NewGuid();
    Recalculate();
    EXPECT_EQ(orphan->Children.Count(), 0);
}

TEST_F(CloneTree, MasterNodeOfACopyPastTheMastersChildrenIsNone)
{
    TDecTreeNode* m = Add(Root(), "M");
    Add(m, "M1");
    TDecTreeNode* m2 = Add(m, "M2");
    TDecTreeNode* c = Add(Root(), "C");
    ASSERT_EQ(Link(c, m), QString());
    Recalculate();
    TDecTreeNode* second = c->Children[1];
    EXPECT_EQ(second->GetMasterNode(), m2);
    m->Children.Remove(m2); // the copy is stale until the next refresh
    EXPECT_EQ(second->GetMasterNode(), nullptr);
}

TEST_F(CloneTree, RootCloneGetsNoChildren)
{
    TDecTreeNode* a = Add(Root(), "A");
    Add(a, "A1");
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
    EXPECT_EQ(CountNodes(clone), Depth + 2);
    // The ancestor walk and the cycle search over the whole depth.
    TDecTreeNode* other = Add(Root(), "O");
    EXPECT_EQ(Link(deepOther, other), QString());
    EXPECT_EQ(Link(other, master), CloneTexts::ContainsMaster);
    Recalculate();
    EXPECT_EQ(CountNodes(clone), Depth + 2);
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

// Random trees with random links (only those the rules accept) and random edits: after each
// single refresh every clone equals its master, nested clones included, and a second refresh
// changes nothing.
TEST_F(CloneTree, RandomLinksAndEditsAreCurrentAfterOneRefresh)
{
    std::mt19937_64 rng(20261206);
    for (int round = 0; round < 40; ++round) {
        doc.NewRoot();
        std::vector<TDecTreeNode*> real{Root()};
        for (int i = 0; i < 60; ++i) {
            TDecTreeNode* parent = real[rng() % real.size()];
            if (parent->IsClone())
                continue;
            const auto type = TNodeType(rng() % 3);
            real.push_back(Add(parent, QStringLiteral("n%1").arg(i), type, double(rng() % 101), TCurrency(rng() % 1000)));
        }
        int links = 0;
        for (int attempt = 0; attempt < 40; ++attempt) {
            TDecTreeNode* node = real[1 + rng() % (real.size() - 1)];
            TDecTreeNode* master = real[rng() % real.size()];
            if (Link(node, master).isEmpty()) {
                ++links;
                // Its former children are gone; keep only nodes still in the tree.
                std::vector<TDecTreeNode*> alive;
                for (TDecTreeNode* n : real) {
                    bool inside = false;
                    for (TDecTreeNode* up = n->Parent(); up && !inside; up = up->Parent())
                        inside = up == node;
                    if (!inside)
                        alive.push_back(n);
                }
                real = alive;
            }
            Recalculate();
            // An edit somewhere outside the clones.
            TDecTreeNode* edited = real[rng() % real.size()];
            if (!edited->IsClone())
                real.push_back(Add(edited, QStringLiteral("e%1_%2").arg(round).arg(attempt)));
            Recalculate();
            for (TDecTreeNode* n : real) {
                if (!n->IsClone())
                    continue;
                const TDecTreeNode* master = n->GetMasterNode();
                ASSERT_NE(master, nullptr);
                QString why;
                ASSERT_TRUE(SameForks(n, master, why)) << why.toStdString() << " in round " << round;
            }
            const int size = CountNodes(Root());
            Recalculate();
            ASSERT_EQ(CountNodes(Root()), size);
        }
        EXPECT_GT(links, 0);
    }
}

// Masters holding clones of other masters, with the nested links made after the clones that
// copy them: one recalculation brings every copy up to date, and later ones change nothing.
TEST_F(CloneTree, MastersHoldingClonesOfOtherMasters_KeepTheirSizeOverEveryRecalculation)
{
    TDecTreeNode* b = Add(Root(), "B");
    Add(b, "B1");
    TDecTreeNode* b2 = Add(b, "B2");
    TDecTreeNode* d = Add(Root(), "D");
    TDecTreeNode* d1 = Add(d, "D1");
    TDecTreeNode* a = Add(Root(), "A");
    TDecTreeNode* a1 = Add(a, "A1");
    TDecTreeNode* a2 = Add(a, "A2");
    TDecTreeNode* c = Add(Root(), "C");
    TDecTreeNode* e = Add(Root(), "E");
    ASSERT_EQ(Link(c, a), QString());
    ASSERT_EQ(Link(e, a), QString());
    Recalculate();
    ASSERT_EQ(Link(a1, b), QString());
    ASSERT_EQ(Link(a2, d), QString());
    ASSERT_EQ(Link(b2, d), QString()); // B, already copied into A, now holds a clone of A's sibling
    Recalculate();

    for (const TDecTreeNode* clone : {c, e}) {
        ASSERT_EQ(Captions(clone), (QStringList{"A1", "A2"}));
        EXPECT_EQ(Captions(clone->Children[0]), (QStringList{"B1", "B2"}));
        EXPECT_EQ(Captions(clone->Children[0]->Children[1]), QStringList{"D1"});
        EXPECT_EQ(Captions(clone->Children[1]), QStringList{"D1"});
    }
    // Root; B, B1, B2 and its D1; D, D1; A and C and E with seven nodes each.
    EXPECT_EQ(CountNodes(Root()), 1 + 4 + 2 + 3 * 7);

    // The links that would close a loop are refused, whatever way round they are tried.
    EXPECT_EQ(Link(d1, a), CloneTexts::WouldContainItself); // A holds a clone of D
    EXPECT_EQ(Link(Add(b, "B3"), a), CloneTexts::WouldContainItself); // A holds a clone of B
    EXPECT_EQ(Link(d1, c), CloneTexts::CloneOfClone);
    EXPECT_EQ(Link(d1, e->Children[1]), CloneTexts::CloneOfClone); // the copy of A2
    EXPECT_EQ(Link(d1, e->Children[0]->Children[0]), CloneTexts::MasterInsideClone); // a copy of B1

    Recalculate();
    const int size = CountNodes(Root());
    EXPECT_EQ(size, 1 + 5 + 2 + 3 * 8); // B3 shows under B and under every copy of A1
    for (int i = 0; i < 100; ++i)
        Recalculate();
    EXPECT_EQ(CountNodes(Root()), size);
}

// Each master holds two clones of the one before: the tree legitimately doubles per level, and
// still has the same size after every recalculation, the first included.
TEST_F(CloneTree, ChainOfMastersHoldingClonesOfEachOther_IsCompleteAfterOneRecalculation)
{
    constexpr int Levels = 6;
    std::vector<TDecTreeNode*> masters{Add(Root(), "M0")};
    Add(masters[0], "leaf");
    for (int i = 1; i <= Levels; ++i)
        masters.push_back(Add(Root(), QStringLiteral("M%1").arg(i)));
    TDecTreeNode* top = Add(Root(), "Top");
    // Linked from the top down, so every clone is made before the clones its master will hold.
    ASSERT_EQ(Link(top, masters[Levels]), QString());
    for (int i = Levels; i >= 1; --i) {
        ASSERT_EQ(Link(Add(masters[size_t(i)], "x"), masters[size_t(i - 1)]), QString());
        ASSERT_EQ(Link(Add(masters[size_t(i)], "y"), masters[size_t(i - 1)]), QString());
    }
    Recalculate();

    int size = 2; // M0 and its leaf
    int expected = 1 + size;
    for (int i = 1; i <= Levels; ++i) {
        size = 1 + 2 * size;
        EXPECT_EQ(CountNodes(masters[size_t(i)]), size) << i;
        expected += size;
    }
    expected += size; // Top repeats M6 under its own branch
    EXPECT_EQ(CountNodes(top), size);
    EXPECT_EQ(CountNodes(Root()), expected);
    for (int i = 0; i < 10; ++i) {
        Recalculate();
        ASSERT_EQ(CountNodes(Root()), expected);
    }
    // Closing the chain into a loop is refused at every level.
    for (int i = 0; i < Levels; ++i)
        EXPECT_EQ(Link(Add(masters[size_t(i)], "z"), masters[Levels]), CloneTexts::WouldContainItself) << i;
}

// What a user can do through the menus, at random: add nodes, link any node to any other (the
// refused links change nothing), unlink with or without keeping copies, delete what may be
// deleted. After each step one recalculation leaves every clone equal to its master, and nine
// more leave the tree's size as it was.
TEST_F(CloneTree, RandomEditsKeepTheTreeSizeFromTheFirstRecalculationOn)
{
    std::mt19937 rng(3062026);
    auto allNodes = [this] {
        std::vector<TDecTreeNode*> all;
        std::vector<TDecTreeNode*> stack{Root()};
        while (!stack.empty()) {
            TDecTreeNode* n = stack.back();
            stack.pop_back();
            all.push_back(n);
            for (TDecTreeNode* c : n->Children)
                stack.push_back(c);
        }
        return all;
    };
    int linked = 0, nestedLinks = 0, refused = 0;
    for (int round = 0; round < 200; ++round) {
        doc.NewRoot();
        for (int i = 0, n = 3 + int(rng() % 12); i < n; ++i) {
            const auto all = allNodes();
            Add(all[rng() % all.size()], QStringLiteral("n%1").arg(i));
        }
        for (int step = 0; step < 25; ++step) {
            const auto all = allNodes();
            TDecTreeNode* node = all[rng() % all.size()];
            const int before = CountNodes(Root());
            switch (rng() % 6) {
            case 0:
                if (node->IsCloneOrInsideClone())
                    continue;
                Add(node, QStringLiteral("e%1").arg(step));
                break;
            case 1:
            case 2:
            case 3: {
                TDecTreeNode* master = all[rng() % all.size()];
                const TGuid oldLink = node->CloneMasterId;
                const QString error = Link(node, master);
                if (!error.isEmpty()) {
                    ++refused;
                    ASSERT_EQ(node->CloneMasterId, oldLink);
                    ASSERT_EQ(CountNodes(Root()), before);
                    continue;
                }
                ++linked;
                for (const TDecTreeNode* inner : master->Children)
                    nestedLinks += inner->IsClone() || inner->HasChildren() ? 1 : 0;
                break;
            }
            case 4: {
                if (!node->IsClone())
                    continue;
                const TDecTreeNode* master = Root()->FindNodeById(node->CloneMasterId);
                ASSERT_EQ(Link(node, nullptr), QString());
                if (rng() % 2 && master) // the unlink that keeps copies of the master's children
                    for (const TDecTreeNode* child : master->Children)
                        node->Children.Add(child->Copy(node, false, true, nullptr));
                break;
            }
            default:
                if (!node->Parent() || node->IsCloneOrInsideClone() || node->IsOrContainsCloneMaster())
                    continue;
                node->Parent()->Children.Remove(node);
                break;
            }
            Recalculate();
            const int size = CountNodes(Root());
            for (TDecTreeNode* n : allNodes()) {
                if (!n->IsClone() || n->IsInsideClone())
                    continue;
                const TDecTreeNode* master = n->GetMasterNode();
                ASSERT_NE(master, nullptr);
                QString why;
                ASSERT_TRUE(SameForks(n, master, why)) << why.toStdString() << " in round " << round;
            }
            for (int i = 2; i <= 10; ++i) {
                Root()->RefreshClones();
                ASSERT_EQ(CountNodes(Root()), size) << "refresh " << i << " in round " << round;
            }
        }
    }
    // The walk reaches the cases that matter.
    EXPECT_GT(linked, 400);
    EXPECT_GT(nestedLinks, 40);
    EXPECT_GT(refused, 1000);
}
