#pragma once
// Small helpers for building trees by hand in the model tests.

#include "Component/model/DecTreeDocument.h"

#include <memory>

namespace testtree {

// Money from currency units (cents allowed).
inline TCurrency Money(double units)
{
    return TCurrency(units * CurrencyScale + (units < 0 ? -0.5 : 0.5));
}

inline std::unique_ptr<TDecTreeNode> NewNode(TDecTreeDocument* doc, TDecTreeNode* parent, TNodeType type,
                                             double probability = 0, double payoff = 0)
{
    return std::make_unique<TDecTreeNode>(doc, parent, Guid::NewGuid(), QString(), QString(), type, ctPercent,
                                          probability, Money(payoff), Guid::Empty(), true, false, false, false,
                                          false, false, false, false, QString(), QString(), -1, 0.0, QString());
}

// Sets a new root of the given type in the document and answers it.
inline TDecTreeNode* SetRoot(TDecTreeDocument& doc, TNodeType type)
{
    doc.SetRoot(NewNode(&doc, nullptr, type, 100, 0));
    return doc.Root();
}

inline TDecTreeNode* AddChild(TDecTreeNode* parent, TNodeType type, double probability, double payoff)
{
    auto node = NewNode(parent->Tree, parent, type, probability, payoff);
    TDecTreeNode* result = node.get();
    parent->Children.Add(std::move(node));
    return result;
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

} // namespace testtree
