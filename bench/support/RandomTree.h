#pragma once
// Seeded generator of realistic decision trees for tests and benchmarks: mixed node types,
// percent and any-sum chance nodes, multi-option decisions with budgets and investments, closed
// decisions and deep chains. The same seed and settings give the same tree.

#include "Component/model/DecTreeDocument.h"

#include <cstdint>
#include <memory>
#include <vector>

struct TRandomTreeSettings {
    uint64_t Seed = 1;
    int NodeCount = 1000;  // exact number of nodes, the root included (at least 1)
    int MaxChildren = 4;   // children of an expanded node: 1 .. MaxChildren (2 .. for forks when possible)
    // Shares of the node types of inner nodes (normalised).
    double DecisionShare = 0.4;
    double MultiDecisionShare = 0.2;
    double ChanceShare = 0.4;
    double PercentShare = 0.7;    // chance nodes with ctPercent (else ctAnySum)
    double BudgetShare = 0.6;     // multi-option decisions with a budget
    double FixedShare = 0.1;      // closed decisions and multi-option decisions
    double ZeroChanceShare = 0.0; // chance nodes whose branch probabilities are all 0
    // How often the next node to expand is the newest one, which grows deep chains; 0 gives bushy
    // trees, 1 a single path with short side branches.
    double ChainShare = 0.1;
    // Payoffs are drawn from -PayoffRange .. PayoffRange currency units with up to two decimals
    // (cents), every fourth a whole hundred.
    int PayoffRange = 1000;
};

// A new tree whose nodes all belong to the document (the document's root is not changed).
std::unique_ptr<TDecTreeNode> GenerateRandomTree(TDecTreeDocument& document, const TRandomTreeSettings& settings);

// Replaces the document's root by a generated tree.
void FillRandomDocument(TDecTreeDocument& document, const TRandomTreeSettings& settings);

// Clones hung into a document's tree: new end nodes, each linked to one of a few masters drawn
// among the tree's subtrees of MinMasterSize .. MaxMasterSize nodes. The clones hang under nodes
// outside every master, so none copies another and none would contain itself: every link is one
// SetCloneMaster accepts. Then up to Nested end nodes of the tree, inside masters too, are linked
// to masters where SetCloneMaster accepts it. The clones get their children at the next refresh.
struct TRandomCloneSettings {
    uint64_t Seed = 1;
    int Clones = 10;
    int Masters = 10;
    int MinMasterSize = 5;
    int MaxMasterSize = 20;
    int Nested = 0;
};
// Answers the clones made, fewer than asked when the tree has no such subtree or no place left.
std::vector<TDecTreeNode*> AddRandomClones(TDecTreeDocument& document, const TRandomCloneSettings& settings);

// Every node of the subtree below root, root first (not in display order: children in reverse).
std::vector<TDecTreeNode*> SubtreeNodes(TDecTreeNode* root);

// A path of depth nodes, each of the given type with one child taken at 100 (the last an end node)
// and payoff 1.
std::unique_ptr<TDecTreeNode> MakeChain(TDecTreeDocument& document, int depth, TNodeType type);

// A node with the usual defaults for generated trees: no clone master, children visible, show flags
// off, not fixed, no budget. The caller adds it to the parent's children.
std::unique_ptr<TDecTreeNode> MakeNode(TDecTreeDocument* document, TDecTreeNode* parent, TNodeType type,
                                       double probability, TCurrency payoff);
