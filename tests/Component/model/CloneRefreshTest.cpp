// A refresh that leaves current clones alone against the rule as it stands: every clone given
// new copies of its master. The reference is a copy of the document made before each refresh,
// whose clones hold no copies of a refresh of their own, so each is copied anew.

#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "bench/support/RandomTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

// What the refresh and the value passes write on every node, in pre-order; ids only of the nodes
// outside clones, those of copies being new at every rebuild.
std::string Describe(TDecTreeDocument& doc)
{
    std::ostringstream out;
    out.precision(17);
    auto text = [&out](const QString& s) { out << (s.isNull() ? "~" : "'" + s.toStdString() + "'") << ' '; };
    std::unordered_map<TGuid, size_t> place;
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    for (size_t i = 0; i < nodes.size(); ++i)
        place.emplace(nodes[i]->Id, i);
    for (const TDecTreeNode* n : nodes) {
        const bool copy = n->IsInsideClone();
        out << n->GetDepth() << ' ' << n->Children.Count() << ' '
            << (copy ? "copy" : Guid::ToString(n->Id).toStdString()) << ' '
            << Guid::ToString(n->CloneMasterId).toStdString() << ' ' << int(n->NodeType) << ' '
            << int(n->ChanceType) << ' ' << n->Probability << (std::signbit(n->Probability) ? "-" : "") << ' '
            << n->Payoff << ' '
            << n->DecisionFixed << n->ShowsCaption() << n->ShowsOwner() << n->ShowsDueDate() << n->ShowsFixed()
            << n->ShowsBudget() << n->ShowsInvestment() << n->ChildrenVisible << ' ' << n->DecisionMultiBudget << ' '
            << n->DecisionDueDate << ' ';
        text(n->Caption);
        text(n->Comment);
        text(n->DecisionCaption);
        text(n->DecisionOwner);
        text(n->PayoffSource);
        out << n->ExpectedValue << ' ' << n->MinValue << ' ' << n->MaxValue << ' ' << n->InTakenPath;
        // The path values of end nodes: an inner node keeps what it had when it was one.
        if (!n->HasChildren())
            out << ' ' << n->PathProbability << ' ' << n->PathPayoff;
        out << '\n';
    }
    // The selection by place: a rebuilt copy takes its selection to the end of the list.
    out << "selection";
    for (int i = 0; i < doc.Selection.Count(); ++i) {
        const auto it = place.find(doc.Selection.GetItem(i));
        out << ' ' << (it == place.end() ? -1 : int64_t(it->second));
    }
    return out.str();
}

// The document's cached order against one made from the tree as it stands.
void ExpectOrderCurrent(TDecTreeDocument& doc)
{
    TTreeOrder fresh;
    BuildPreOrder(doc.Root(), fresh);
    const TTreeOrder& cached = doc.Order();
    EXPECT_TRUE(cached.Nodes == fresh.Nodes && cached.Parents == fresh.Parents && cached.Sizes == fresh.Sizes &&
                cached.HasClones == fresh.HasClones);
}

void ExpectIdsUnique(TDecTreeDocument& doc)
{
    std::unordered_set<TGuid> ids;
    for (const TDecTreeNode* n : doc.PreOrder())
        EXPECT_TRUE(ids.insert(n->Id).second) << "a second node carries " << Guid::ToString(n->Id).toStdString();
}

// The document as the rule would refresh it: a copy with the same ids, in a document of its own.
std::unique_ptr<TDecTreeDocument> Reference(TDecTreeDocument& doc)
{
    auto ref = std::make_unique<TDecTreeDocument>();
    std::unique_ptr<TDecTreeNode> root = doc.Root()->Copy(nullptr, false, false, nullptr);
    std::vector<TDecTreeNode*> stack{root.get()};
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        n->Tree = ref.get();
        stack.insert(stack.end(), n->Children.begin(), n->Children.end());
    }
    ref->SetRoot(std::move(root));
    ref->Options = doc.Options;
    ref->Selection = doc.Selection;
    return ref;
}

TDecTreeNode* Append(TDecTreeNode* parent, double probability = 0, TCurrency payoff = 0)
{
    TDecTreeNode* node = MakeNode(parent->Tree, parent, ntChance, probability, payoff).release();
    parent->Children.Add(node);
    return node;
}

void Recalculate(TDecTreeDocument& doc)
{
    doc.Root()->RefreshClones();
    doc.CalculateValues();
}

// A random document with clones of small masters, and clones nested in some masters.
void BuildDocument(TDecTreeDocument& doc, uint64_t seed)
{
    TRandomTreeSettings s;
    s.Seed = seed;
    s.NodeCount = 80 + int(seed % 5) * 40;
    FillRandomDocument(doc, s);
    TRandomCloneSettings c;
    c.Seed = seed;
    c.Clones = 12;
    c.Masters = 4;
    c.MinMasterSize = 2;
    c.MaxMasterSize = 15;
    c.Nested = 20;
    AddRandomClones(doc, c);
}

// One random change, anywhere: in a master, in a copy, outside clones.
std::string Change(TDecTreeDocument& doc, std::mt19937_64& random)
{
    const std::vector<TDecTreeNode*> nodes = doc.PreOrder();
    std::vector<TDecTreeNode*> copies, inMasters;
    std::unordered_set<TGuid> masterIds;
    for (TDecTreeNode* m : nodes) {
        if (m->IsInsideClone())
            copies.push_back(m);
        if (m->IsClone())
            masterIds.insert(m->CloneMasterId);
    }
    std::vector<TDecTreeNode*> masters;
    for (TDecTreeNode* m : nodes) {
        if (!masterIds.count(m->Id))
            continue;
        masters.push_back(m);
        const size_t first = inMasters.size();
        inMasters.push_back(m);
        for (size_t i = first; i < inMasters.size(); ++i)
            inMasters.insert(inMasters.end(), inMasters[i]->Children.begin(), inMasters[i]->Children.end());
    }
    auto any = [&random](const std::vector<TDecTreeNode*>& among, TDecTreeNode* otherwise) {
        return among.empty() ? otherwise : among[random() % among.size()];
    };
    TDecTreeNode* n = nodes[random() % nodes.size()];
    // Half the changes go to a master's subtree, some to a copy.
    if (random() % 2)
        n = any(inMasters, n);
    else if (random() % 3 == 0)
        n = any(copies, n);
    switch (random() % 16) {
    case 0: n->Payoff += 10000; return "payoff";
    case 1: n->Probability = n->Probability == 0 ? 35 : 0; return "probability";
    case 2: n->Probability = -0.0; return "probability -0";
    case 3: n->Caption = random() % 2 ? QString() : QStringLiteral(""); return "caption null or empty";
    case 4: n->Comment = QStringLiteral("note %1").arg(random() % 3); return "comment";
    case 5: {
        // Often a master's own fork, which its clones take.
        TDecTreeNode* f = random() % 2 ? any(masters, n) : n;
        f->NodeType = TNodeType((f->NodeType + 1 + random() % 2) % 3);
        return "node type";
    }
    case 6: {
        TDecTreeNode* f = random() % 2 ? any(masters, n) : n;
        if (random() % 2)
            f->DecisionFixed = !f->DecisionFixed;
        else
            f->ChanceType = f->ChanceType == ctPercent ? ctAnySum : ctPercent;
        return "fork";
    }
    case 7: n->ChildrenVisible = !n->ChildrenVisible; return "collapse";
    case 8: doc.Selection.Add(n->Id); return "select";
    case 9: doc.Selection.Clear(); doc.Selection.Add(doc.Root()->Id); return "select the root";
    case 10: Append(n, 10, 20000); return "add a child";
    case 11:
        if (n->Parent())
            n->Parent()->Children.Remove(n);
        return "delete";
    case 12: {
        QString refused;
        n->SetCloneMaster(nodes[random() % nodes.size()]->Id, refused);
        return refused.isEmpty() ? "link" : "a refused link";
    }
    case 13: {
        QString refused;
        n->SetCloneMaster(Guid::Empty(), refused);
        n->DecisionOwner = QStringLiteral("owner");
        return "unlink, owner";
    }
    case 14: {
        // One show flag of a copy of a decision with children: a copy shows none.
        std::vector<TDecTreeNode*> forks;
        for (TDecTreeNode* c : copies)
            if (c->HasChildren() && c->NodeType != ntChance)
                forks.push_back(c);
        TDecTreeNode* f = any(forks, n);
        bool* flags[] = {&f->DecisionShowCaption, &f->DecisionShowOwner, &f->DecisionShowDueDate,
                         &f->DecisionShowFixed, &f->DecisionMultiShowBudget, &f->DecisionMultiShowInvestment};
        *flags[random() % 6] = true;
        return "a show flag";
    }
    default: {
        // Under the sibling before it, inside a master: the subtree keeps its size, not its shape.
        std::vector<TDecTreeNode*> movable;
        for (TDecTreeNode* m : inMasters)
            if (m->Parent() && m->Parent()->Children.IndexOf(m) > 0 && !masterIds.count(m->Id))
                movable.push_back(m);
        TDecTreeNode* m = any(movable, nullptr);
        if (!m)
            return "no move";
        TDecTreeNode* parent = m->Parent();
        const int at = parent->Children.IndexOf(m);
        TDecTreeNode* sibling = parent->Children[at - 1];
        std::unique_ptr<TDecTreeNode> moved = parent->Children.Extract(at);
        moved->SetParent(sibling);
        sibling->Children.Add(std::move(moved));
        return "move under a sibling";
    }
    }
}

} // namespace

TEST(CloneRefresh, EveryRefreshEqualsOneThatCopiesEveryClone)
{
    for (uint64_t seed = 1; seed <= 10; ++seed) {
        TDecTreeDocument doc;
        BuildDocument(doc, seed);
        ASSERT_TRUE(doc.HasClones());
        std::mt19937_64 random(seed * 31);
        std::string steps;
        for (int step = 0; step < 40; ++step) {
            steps += " | " + Change(doc, random);
            if (!doc.HasClones())
                break;
            std::unique_ptr<TDecTreeDocument> ref = Reference(doc);
            Recalculate(doc);
            // Before any other tree changes: a change anywhere drops every cached order.
            ExpectOrderCurrent(doc);
            Recalculate(*ref);
            const std::string actual = Describe(doc), expected = Describe(*ref);
            if (actual != expected) {
                std::istringstream a(actual), e(expected);
                std::string la, le;
                int line = 0;
                while (std::getline(a, la) && std::getline(e, le) && la == le)
                    ++line;
                ADD_FAILURE() << "seed " << seed << ", after" << steps << "\nnode " << line << ": " << la
                              << "\n    rule: " << le;
                break;
            }
            ExpectIdsUnique(doc);
        }
    }
}

// Nothing changed: no clone is copied again, and the document's order stands.
TEST(CloneRefresh, ARefreshWithNothingChangedKeepsEveryCopy)
{
    TDecTreeDocument doc;
    BuildDocument(doc, 3);
    Recalculate(doc);
    const std::vector<TDecTreeNode*> before = doc.PreOrder();
    const uint64_t version = doc.StructureVersion();
    Recalculate(doc);
    EXPECT_EQ(doc.StructureVersion(), version);
    EXPECT_TRUE(doc.PreOrder() == before);
}

// Copies that did not come from a refresh, as a document may hold them under a clone, are made
// again with ids of their own even when they equal the master: they may carry ids of other nodes.
TEST(CloneRefresh, CopiesFromElsewhereAreMadeAgain)
{
    TDecTreeDocument doc;
    doc.NewRoot();
    TDecTreeNode* master = Append(doc.Root());
    Append(master, 50, 10000);
    Append(master, 50, 20000);
    TDecTreeNode* clone = Append(doc.Root());
    clone->CloneMasterId = master->Id;
    // Exact copies, ids and all.
    for (TDecTreeNode* c : master->Children)
        clone->Children.Add(c->Copy(clone, true, false, nullptr));
    Recalculate(doc);
    ExpectIdsUnique(doc);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(doc.Root()->FindNodeById(master->Children[i]->Id), master->Children[i]);
    ExpectOrderCurrent(doc);
}

// Two clones that a document made name each other, both holding the same copies: the walk cuts
// the cycle as a refresh from scratch does, though each looks like a copy of the other.
TEST(CloneRefresh, ACycleOfClonesEndsAsARefreshFromScratchEndsIt)
{
    TDecTreeDocument doc;
    doc.NewRoot();
    TDecTreeNode* master = Append(doc.Root());
    Append(master, 50, 10000);
    TDecTreeNode* clones[2];
    for (TDecTreeNode*& clone : clones) {
        clone = Append(doc.Root());
        QString refused;
        clone->SetCloneMaster(master->Id, refused);
        ASSERT_TRUE(refused.isEmpty());
    }
    Recalculate(doc);
    clones[0]->CloneMasterId = clones[1]->Id;
    clones[1]->CloneMasterId = clones[0]->Id;
    std::unique_ptr<TDecTreeDocument> ref = Reference(doc);
    Recalculate(doc);
    Recalculate(*ref);
    EXPECT_EQ(Describe(doc), Describe(*ref));
    EXPECT_EQ(clones[0]->Children.Count() + clones[1]->Children.Count(), 0);
}
