#pragma once
// Small helpers for building trees by hand in the model tests.

#include "Component/model/DecTreeDocument.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace testtree {

// Money from currency units (cents allowed).
inline TCurrency Money(double units)
{
    return TCurrency(units * CurrencyScale + (units < 0 ? -0.5 : 0.5));
}

// A node with the given branch data and every other field at its default.
inline std::unique_ptr<TDecTreeNode> MakeNode(TDecTreeDocument* doc, TDecTreeNode* parent, const QString& caption,
                                              TNodeType type, double probability, TCurrency payoff,
                                              const TGuid& id = Guid::NewGuid())
{
    return std::make_unique<TDecTreeNode>(doc, parent, id, caption, QString(), type, ctPercent, probability, payoff,
                                          Guid::Empty(), true, false, false, false, false, false, false, false,
                                          QString(), QString(), -1, 0.0, QString());
}

// Such a node added as the last child of parent.
inline TDecTreeNode* AppendNode(TDecTreeNode* parent, const QString& caption, TNodeType type, double probability,
                                TCurrency payoff, const TGuid& id = Guid::NewGuid())
{
    auto node = MakeNode(parent->Tree, parent, caption, type, probability, payoff, id);
    TDecTreeNode* result = node.get();
    parent->Children.Add(std::move(node));
    return result;
}

inline std::unique_ptr<TDecTreeNode> NewNode(TDecTreeDocument* doc, TDecTreeNode* parent, TNodeType type,
                                             double probability = 0, double payoff = 0)
{
    return MakeNode(doc, parent, QString(), type, probability, Money(payoff));
}

// Sets a new root of the given type in the document and answers it.
inline TDecTreeNode* SetRoot(TDecTreeDocument& doc, TNodeType type)
{
    doc.SetRoot(NewNode(&doc, nullptr, type, 100, 0));
    return doc.Root();
}

inline TDecTreeNode* AddChild(TDecTreeNode* parent, TNodeType type, double probability, double payoff)
{
    return AppendNode(parent, QString(), type, probability, Money(payoff));
}

inline TDecTreeNode* AddEnd(TDecTreeNode* parent, double probability, double payoff)
{
    return AddChild(parent, ntChance, probability, payoff);
}

// Makes clone a hand-built clone of master: the master id as its reference and copies of the
// master's children (new ids, attributes reset), as a clone refresh would leave it.
inline void MakeClone(TDecTreeNode* clone, TDecTreeNode* master)
{
    clone->CloneMasterId = master->Id;
    clone->NodeType = master->NodeType;
    clone->Children.Clear();
    for (TDecTreeNode* child : master->Children)
        clone->Children.Add(child->Copy(clone, true, true, nullptr));
}

// Nodes in the subtree, counted without recursion so that very deep chains are fine.
inline int64_t CountNodes(TDecTreeNode* start)
{
    int64_t count = 0;
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

} // namespace testtree
