#include "DocumentTestSupport.h"

#include "app/document/CloneReferenceCheck.h"
#include "bench/support/RandomTree.h"

#include <random>

using namespace doctest;

namespace {

void Link(TDecTreeNode* clone, const TDecTreeNode* master) { clone->CloneMasterId = master->Id; }

} // namespace

TEST(CloneReferenceCheck, CyclesLoseOneLinkEach)
{
    TDecTreeDocument doc;
    TDecTreeNode* root = NewRoot(doc);
    // A three-cycle: each master holds a clone of the next.
    TDecTreeNode* m[3];
    TDecTreeNode* c[3];
    for (int i = 0; i < 3; ++i) {
        m[i] = Add(root, QStringLiteral("m%1").arg(i), ntDecision);
        c[i] = Add(m[i], QStringLiteral("c%1").arg(i));
    }
    for (int i = 0; i < 3; ++i)
        Link(c[i], m[(i + 1) % 3]);
    // A separate two-cycle through a deeper node.
    TDecTreeNode* p = Add(root, QStringLiteral("p"), ntDecision);
    TDecTreeNode* q = Add(root, QStringLiteral("q"), ntDecision);
    TDecTreeNode* pc = Add(Add(p, QStringLiteral("p1"), ntDecision), QStringLiteral("pc"));
    TDecTreeNode* qc = Add(q, QStringLiteral("qc"));
    Link(pc, q);
    Link(qc, p);
    // A two-cycle whose way passes a clone that has children of its own (copies, not walked).
    TDecTreeNode* a = Add(root, QStringLiteral("a"), ntDecision);
    TDecTreeNode* b = Add(root, QStringLiteral("b"), ntDecision);
    TDecTreeNode* copy = Add(a, QStringLiteral("copy"), ntDecision);
    Add(copy, QStringLiteral("copied"));
    Link(copy, p);
    TDecTreeNode* e = Add(Add(a, QStringLiteral("d"), ntDecision), QStringLiteral("e"));
    TDecTreeNode* f = Add(b, QStringLiteral("f"));
    Link(e, b);
    Link(f, a);
    EXPECT_EQ(RemoveInvalidCloneReferences(root), 3);
    EXPECT_EQ(int(c[0]->IsClone()) + int(c[1]->IsClone()) + int(c[2]->IsClone()), 2);
    EXPECT_NE(pc->IsClone(), qc->IsClone());
    EXPECT_TRUE(copy->IsClone() && e->IsClone());
    EXPECT_FALSE(f->IsClone());
}

namespace {

// Whether the children below a and b have the same shape, captions and links.
bool SameChildren(const TDecTreeNode* a, const TDecTreeNode* b)
{
    if (a->Children.Count() != b->Children.Count())
        return false;
    for (int i = 0; i < a->Children.Count(); ++i) {
        const TDecTreeNode* x = a->Children[i];
        const TDecTreeNode* y = b->Children[i];
        if (x->Caption != y->Caption || x->CloneMasterId != y->CloneMasterId || !SameChildren(x, y))
            return false;
    }
    return true;
}

} // namespace

// Links a file may hold, at random and in any tangle: what the check leaves is what a refresh
// can repeat in one pass, so no clone is left empty for looping back into itself, and further
// refreshes keep the tree's size.
TEST(CloneReferenceCheck, WhatIsLeftIsRepeatedWholeByOneRefresh)
{
    std::mt19937 rng(612);
    int kept = 0, removed = 0;
    for (int round = 0; round < 400; ++round) {
        TDecTreeDocument doc;
        TDecTreeNode* root = NewRoot(doc);
        std::vector<TDecTreeNode*> all{root};
        for (int i = 0, n = 2 + int(rng() % 12); i < n; ++i)
            all.push_back(Add(all[rng() % all.size()], QStringLiteral("n%1").arg(i), ntDecision));
        for (int i = 0, n = 1 + int(rng() % 5); i < n; ++i)
            Link(all[rng() % all.size()], all[rng() % all.size()]);
        removed += RemoveInvalidCloneReferences(root);
        root->RefreshClones();
        for (const TDecTreeNode* node : SubtreeNodes(root)) {
            if (!node->IsClone() || node->IsInsideClone())
                continue;
            ++kept;
            const TDecTreeNode* master = root->FindNodeById(node->CloneMasterId);
            ASSERT_NE(master, nullptr) << "round " << round;
            ASSERT_TRUE(SameChildren(node, master)) << node->Caption.toStdString() << " in round " << round;
        }
        const size_t size = SubtreeNodes(root).size();
        for (int i = 0; i < 5; ++i) {
            root->RefreshClones();
            ASSERT_EQ(SubtreeNodes(root).size(), size) << "round " << round;
        }
    }
    EXPECT_GT(kept, 150);
    EXPECT_GT(removed, 150);
}

// Every link the editing rules accept is kept when the document is read back.
TEST(CloneReferenceCheck, LinksTheEditingRulesAcceptAreKept)
{
    std::mt19937 rng(1206);
    int linked = 0;
    for (int round = 0; round < 200; ++round) {
        TDecTreeDocument doc;
        TDecTreeNode* root = NewRoot(doc);
        std::vector<TDecTreeNode*> all{root};
        for (int i = 0, n = 2 + int(rng() % 20); i < n; ++i)
            all.push_back(Add(all[rng() % all.size()], QStringLiteral("n%1").arg(i), ntDecision));
        for (int i = 0; i < 20; ++i) {
            const std::vector<TDecTreeNode*> now = SubtreeNodes(root);
            QString error;
            now[rng() % now.size()]->SetCloneMaster(now[rng() % now.size()]->Id, error);
            if (error.isEmpty()) {
                ++linked;
                root->RefreshClones();
            }
        }
        ASSERT_EQ(RemoveInvalidCloneReferences(root), 0) << "round " << round;
    }
    EXPECT_GT(linked, 300);
}
