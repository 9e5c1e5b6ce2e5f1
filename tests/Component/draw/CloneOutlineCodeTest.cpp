// Outline codes under clones, as the layout measures them and the painter draws them, on
// documents with many clones, clones nested in masters, and the odd links a document written
// elsewhere may hold.

#include "Component/draw/TreeLayout.h"
#include "Component/draw/TreePainter.h"
#include "Component/model/Clones.h"
#include "TreeTestSupport.h"
#include "bench/support/RandomTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <vector>

using namespace treetest;

namespace {

// The rule, literally: a node's code is its parent's and its own place among the parent's
// children; under a clone the numbering goes on from the clone's master, the first node in
// depth-first pre-order of the whole tree that carries the master's id, unless that master was
// already gone through on the way up, where the clone's own place counts.
struct TRule {
    std::vector<const TDecTreeNode*> PreOrder;

    explicit TRule(const TDecTreeNode& root) { Visit(root); }

    void Visit(const TDecTreeNode& n)
    {
        PreOrder.push_back(&n);
        for (const TDecTreeNode* c : n.Children)
            Visit(*c);
    }

    const TDecTreeNode* FirstWith(const TGuid& id) const
    {
        for (const TDecTreeNode* n : PreOrder)
            if (n->Id == id)
                return n;
        return nullptr;
    }

    QString Numbers(const TDecTreeNode& n, std::set<const TDecTreeNode*> through) const
    {
        const TDecTreeNode* parent = n.Parent();
        if (!parent)
            return QString();
        const QString own = QString::number(parent->Children.IndexOf(&n) + 1);
        if (parent->IsClone())
            if (const TDecTreeNode* master = FirstWith(parent->CloneMasterId); master && through.insert(master).second)
                parent = master;
        const QString above = Numbers(*parent, through);
        return above.isEmpty() ? own : above + QLatin1Char('.') + own;
    }

    QString Descriptor(const TDecTreeNode& n) const
    {
        if (!n.Parent())
            return n.Caption;
        return Numbers(n, {}) + QStringLiteral("  ") + n.Caption;
    }
};

// A random document of about `own` nodes with clones of small masters, some of them nested in
// other masters, every own node captioned "N" and its place.
void BuildDocument(TDecTreeDocument& doc, uint64_t seed, int own)
{
    TRandomTreeSettings s;
    s.Seed = seed;
    s.NodeCount = own;
    s.ChainShare = 0.3;
    FillRandomDocument(doc, s);
    TRandomCloneSettings c;
    c.Seed = seed;
    c.Clones = own / 8;
    c.Masters = 6;
    c.MinMasterSize = 3;
    c.MaxMasterSize = 12;
    c.Nested = 40;
    AddRandomClones(doc, c);
    int k = 0;
    for (TDecTreeNode* n : doc.PreOrder())
        n->Caption = QStringLiteral("N%1").arg(k++);
    doc.Root()->RefreshClones();
}

// Every descriptor text painted (those of own nodes and their copies, which all hold an "N"),
// sorted, a line each.
std::string PaintedDescriptors(TDecTreeDocument& doc)
{
    TRecordingCanvas canvas;
    TTreePainter painter(canvas, doc.StyleStates, true);
    EXPECT_TRUE(painter.Paint(doc.Root()));
    std::multiset<QString> texts;
    for (const TCanvasCall& c : canvas.Calls())
        if ((c.Op == TCanvasOp::TextOut || c.Op == TCanvasOp::TextRect) && c.Text.contains(QLatin1Char('N')))
            texts.insert(c.Text);
    return QStringList(texts.begin(), texts.end()).join('\n').toStdString();
}

// Codes, measured widths and painted texts of every node against the rule.
void ExpectCodesFollowTheRule(TDecTreeDocument& doc, const std::string& what)
{
    SCOPED_TRACE(what);
    TMeasure m;
    doc.CalculateValues();
    LayoutDocumentTree(*doc.Root(), m.Canvas, 10);
    const TRule rule(*doc.Root());
    const TCloneMasters masters(*doc.Root()->Children[0]);
    std::multiset<QString> shown;
    int mismatches = 0;
    for (const TDecTreeNode* n : rule.PreOrder) {
        const QString expected = rule.Descriptor(*n);
        const QString code = expected.left(expected.size() - n->Caption.size());
        if (n->GetOutlineCode() != code || n->GetOutlineCode(&masters) != code ||
            n->ElementRects[htOptionDescriptor].Width !=
                m.Width(*GetStyleState(*n)->OptionDescriptors(), expected) + TreeLayoutMetrics::DescriptorPadding) {
            if (++mismatches <= 5)
                ADD_FAILURE() << expected.toStdString() << ": search " << n->GetOutlineCode().toStdString()
                              << ", pass " << n->GetOutlineCode(&masters).toStdString();
        }
        bool hidden = false;
        for (const TDecTreeNode* a = n->Parent(); a; a = a->Parent())
            hidden = hidden || !a->ChildrenVisible;
        if (!hidden)
            shown.insert(expected);
    }
    EXPECT_EQ(mismatches, 0);
    // A tree that is not its document's (a copy on its own) is walked for its masters itself.
    const std::unique_ptr<TDecTreeNode> copy = doc.Root()->Copy(nullptr, false, false, nullptr);
    const TRule copyRule(*copy);
    const TCloneMasters copyMasters(*copy);
    for (const TDecTreeNode* n : copyRule.PreOrder)
        if (n->Parent() && n->GetOutlineCode(&copyMasters) != copyRule.Numbers(*n, {}) + QStringLiteral("  ") &&
            ++mismatches <= 5)
            ADD_FAILURE() << "in a copy on its own: " << copyRule.Descriptor(*n).toStdString();
    // Any id, not only a master's, is found as a search finds it.
    const TDecTreeNode* last = rule.PreOrder.back();
    EXPECT_EQ(masters.Find(last->Id), rule.FirstWith(last->Id));
    EXPECT_EQ(masters.Find(Guid::NewGuid()), nullptr);
    EXPECT_EQ(PaintedDescriptors(doc), QStringList(shown.begin(), shown.end()).join('\n').toStdString());
}

} // namespace

TEST(CloneOutlineCodes, ManyClonesNumberOnFromTheirMasters)
{
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        TDecTreeDocument doc;
        doc.Options.SetOutlineCodes(true);
        BuildDocument(doc, seed, 150 + int(seed) * 40);
        ASSERT_TRUE(doc.HasClones());
        std::mt19937_64 random(seed * 7);
        for (TDecTreeNode* n : doc.PreOrder())
            if (n->HasChildren() && random() % 9 == 0)
                n->ChildrenVisible = false;
        ExpectCodesFollowTheRule(doc, "seed " + std::to_string(seed));
    }
}

// A document written elsewhere, as it stands before a refresh: a copy that carries a master's id
// ahead of the master, a copy that carries the id of its own clone's master (the numbering would
// go round), a master inside a clone, and a master that is missing.
TEST(CloneOutlineCodes, OddLinksFromADocumentNumberAsTheRuleSays)
{
    struct TCase {
        const char* Name;
        std::function<void(TDecTreeDocument&, std::vector<TDecTreeNode*>&)> Make;
    };
    // A copy two levels down under a clone that lies ahead of the master named.
    auto copyAhead = [](TDecTreeDocument& doc, const std::vector<TDecTreeNode*>& clones, const TGuid& master) {
        const int32_t masterAt = doc.PositionOf(*doc.Root()->FindNodeById(master));
        for (TDecTreeNode* clone : clones)
            if (doc.PositionOf(*clone) < masterAt && clone->HasChildren() && clone->Children[0]->HasChildren())
                return clone->Children[0]->Children[0];
        return static_cast<TDecTreeNode*>(nullptr);
    };
    const TCase cases[] = {
        {"a copy ahead of the master carries its id",
         [&](TDecTreeDocument& doc, std::vector<TDecTreeNode*>& clones) {
             for (TDecTreeNode* later : clones) {
                 std::vector<TDecTreeNode*> others;
                 for (TDecTreeNode* c : clones)
                     if (c->CloneMasterId != later->CloneMasterId)
                         others.push_back(c);
                 if (TDecTreeNode* copy = copyAhead(doc, others, later->CloneMasterId)) {
                     copy->Id = later->CloneMasterId;
                     return;
                 }
             }
             ADD_FAILURE() << "no copy ahead of another master";
         }},
        {"a copy carries its own clone's master id",
         [&](TDecTreeDocument& doc, std::vector<TDecTreeNode*>& clones) {
             for (TDecTreeNode* clone : clones)
                 if (TDecTreeNode* copy = copyAhead(doc, {clone}, clone->CloneMasterId)) {
                     copy->Id = clone->CloneMasterId;
                     return;
                 }
             ADD_FAILURE() << "no clone ahead of its master";
         }},
        {"a master inside a clone",
         [](TDecTreeDocument& doc, std::vector<TDecTreeNode*>& clones) {
             // A new clone of a copy, and one of that copy's twin under another clone.
             TDecTreeNode* copy = clones[0]->Children[0];
             TDecTreeNode* a = Add(doc.Root(), ntChance, QStringLiteral("Na"), 0, 0);
             a->CloneMasterId = copy->Id;
             Add(a, ntChance, QStringLiteral("Nb"), 0, 0);
             Add(a, ntChance, QStringLiteral("Nc"), 0, 0);
             TDecTreeNode* b = Add(copy, ntChance, QStringLiteral("Nd"), 0, 0);
             b->CloneMasterId = doc.Root()->Children[0]->Id;
             Add(b, ntChance, QStringLiteral("Ne"), 0, 0);
         }},
        {"a master that is missing",
         [](TDecTreeDocument&, std::vector<TDecTreeNode*>& clones) { clones.back()->CloneMasterId = Guid::NewGuid(); }},
    };
    for (const TCase& c : cases) {
        TDecTreeDocument doc;
        doc.Options.SetOutlineCodes(true);
        BuildDocument(doc, 11, 200);
        std::vector<TDecTreeNode*> clones;
        for (TDecTreeNode* n : doc.PreOrder())
            if (n->IsClone() && !n->IsInsideClone())
                clones.push_back(n);
        ASSERT_GE(clones.size(), 2u);
        c.Make(doc, clones);
        ExpectCodesFollowTheRule(doc, c.Name);
    }
}
