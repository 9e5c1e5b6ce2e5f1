#include "bench/support/RandomTree.h"

#include <algorithm>
#include <random>
#include <vector>

namespace {

// Draws built on the raw engine output, so a seed gives the same tree with any standard library.
class TDraw {
public:
    explicit TDraw(uint64_t seed) : FEngine(seed) {}
    double Unit() { return double(FEngine() >> 11) * 0x1.0p-53; }
    int Between(int lo, int hi) { return lo + int(FEngine() % uint64_t(hi - lo + 1)); }
    bool Chance(double share) { return Unit() < share; }

private:
    std::mt19937_64 FEngine;
};

TNodeType DrawType(TDraw& draw, const TRandomTreeSettings& s)
{
    const double total = s.DecisionShare + s.MultiDecisionShare + s.ChanceShare;
    const double u = draw.Unit() * (total > 0 ? total : 1);
    if (u < s.DecisionShare)
        return ntDecision;
    if (u < s.DecisionShare + s.MultiDecisionShare)
        return ntMultiDecision;
    return ntChance;
}

TCurrency DrawPayoff(TDraw& draw, const TRandomTreeSettings& s)
{
    if (draw.Chance(0.25))
        return TCurrency(draw.Between(-s.PayoffRange / 100, s.PayoffRange / 100)) * 100 * CurrencyScale;
    return TCurrency(draw.Between(-s.PayoffRange * 100, s.PayoffRange * 100)) * 100;
}

// Gives the children of a fork their marks or probabilities, and the fork its attributes.
void SetUpFork(TDraw& draw, const TRandomTreeSettings& s, TDecTreeNode& node)
{
    const int n = node.Children.Count();
    auto child = [&node](int i) { return node.Children.begin()[i]; };
    switch (node.NodeType) {
    case ntDecision: {
        const int taken = draw.Between(0, n - 1);
        for (int i = 0; i < n; ++i)
            child(i)->Probability = i == taken ? 100 : 0;
        node.DecisionFixed = draw.Chance(s.FixedShare);
        break;
    }
    case ntMultiDecision: {
        TCurrency spending = 0;
        for (int i = 0; i < n; ++i) {
            TDecTreeNode* c = child(i);
            c->Probability = draw.Chance(0.5) ? 100 : 0;
            // Options mostly cost an investment; their subtrees earn it back or not.
            if (draw.Chance(0.8))
                c->Payoff = -std::abs(c->Payoff);
            spending += std::max<TCurrency>(0, -c->Payoff);
        }
        node.DecisionFixed = draw.Chance(s.FixedShare);
        if (draw.Chance(s.BudgetShare))
            node.DecisionMultiBudget = int32_t(double(spending / CurrencyScale) * draw.Unit() * 0.8);
        node.DecisionMultiShowBudget = draw.Chance(0.5);
        node.DecisionMultiShowInvestment = draw.Chance(0.5);
        break;
    }
    case ntChance: {
        node.ChanceType = draw.Chance(s.PercentShare) ? ctPercent : ctAnySum;
        if (draw.Chance(s.ZeroChanceShare)) {
            for (int i = 0; i < n; ++i)
                child(i)->Probability = 0;
        } else if (node.ChanceType == ctPercent) {
            // Whole percentages adding up to 100.
            int left = 100;
            for (int i = 0; i < n; ++i) {
                const int p = i == n - 1 ? left : draw.Between(0, left);
                child(i)->Probability = p;
                left -= p;
            }
        } else {
            for (int i = 0; i < n; ++i)
                child(i)->Probability = draw.Between(1, 10) * (draw.Chance(0.2) ? 0.5 : 1.0);
        }
        break;
    }
    }
}

} // namespace

std::unique_ptr<TDecTreeNode> MakeNode(TDecTreeDocument* document, TDecTreeNode* parent, TNodeType type,
                                       double probability, TCurrency payoff)
{
    return std::make_unique<TDecTreeNode>(document, parent, Guid::NewGuid(), QString(), QString(), type, ctPercent,
                                          probability, payoff, Guid::Empty(), true, false, false, false, false,
                                          false, false, false, QString(), QString(), -1, 0.0, QString());
}

std::unique_ptr<TDecTreeNode> GenerateRandomTree(TDecTreeDocument& document, const TRandomTreeSettings& s)
{
    TDraw draw(s.Seed);
    // The shape is grown first in a scratch tree of indexes; the nodes are then made in depth-first
    // order, the order in which the document reader makes them, so they lie in memory as a loaded
    // document's do.
    struct Shape {
        TNodeType Type;
        TCurrency Payoff;
        std::vector<int> Children;
    };
    std::vector<Shape> shape;
    const int target = std::max(1, s.NodeCount);
    shape.reserve(size_t(target));
    shape.push_back({DrawType(draw, s), 0, {}});
    // Nodes not yet expanded; taking the newest grows chains, a random one bushy trees.
    std::vector<int> frontier{0};
    while (int(shape.size()) < target) {
        size_t pick = frontier.size() - 1;
        if (!draw.Chance(s.ChainShare))
            pick = size_t(draw.Between(0, int(frontier.size()) - 1));
        const int node = frontier[pick];
        frontier[pick] = frontier.back();
        frontier.pop_back();
        const int maxChildren = std::min(std::max(1, s.MaxChildren), target - int(shape.size()));
        const int n = maxChildren >= 2 ? draw.Between(2, maxChildren) : 1;
        for (int i = 0; i < n; ++i) {
            const int child = int(shape.size());
            shape.push_back({DrawType(draw, s), DrawPayoff(draw, s), {}});
            shape[size_t(node)].Children.push_back(child);
            frontier.push_back(child);
        }
    }

    auto root = MakeNode(&document, nullptr, shape[0].Type, 100, 0);
    std::vector<TDecTreeNode*> forks;
    std::vector<std::pair<int, TDecTreeNode*>> stack; // shape index, parent node
    auto pushChildren = [&](int index, TDecTreeNode* node) {
        const std::vector<int>& children = shape[size_t(index)].Children;
        if (!children.empty())
            forks.push_back(node);
        for (size_t i = children.size(); i-- > 0;)
            stack.push_back({children[i], node});
    };
    pushChildren(0, root.get());
    while (!stack.empty()) {
        auto [index, parent] = stack.back();
        stack.pop_back();
        auto node = MakeNode(&document, parent, shape[size_t(index)].Type, 0, shape[size_t(index)].Payoff);
        TDecTreeNode* made = node.get();
        parent->Children.Add(std::move(node));
        pushChildren(index, made);
    }
    for (TDecTreeNode* fork : forks)
        SetUpFork(draw, s, *fork);
    return root;
}

void FillRandomDocument(TDecTreeDocument& document, const TRandomTreeSettings& settings)
{
    document.SetRoot(GenerateRandomTree(document, settings));
    document.Selection.Clear();
    document.Selection.Add(document.Root()->Id);
}

std::vector<TDecTreeNode*> AddRandomClones(TDecTreeDocument& document, const TRandomCloneSettings& s)
{
    TDraw draw(s.Seed);
    const TTreeOrder& order = document.Order();
    const std::vector<TDecTreeNode*> nodes = order.Nodes;
    const std::vector<int32_t> size = order.Sizes;
    const int count = int(nodes.size());
    // What lies inside a clone or is one can neither be a master nor hold a new clone.
    std::vector<uint8_t> taken(size_t(count), 0);
    for (int i = 0; i < count; ++i)
        if (nodes[size_t(i)]->IsClone())
            std::fill(taken.begin() + i, taken.begin() + i + size[size_t(i)], 1);
    std::vector<int> candidates;
    for (int i = 1; i < count; ++i)
        if (!taken[size_t(i)] && size[size_t(i)] >= s.MinMasterSize && size[size_t(i)] <= s.MaxMasterSize)
            candidates.push_back(i);
    std::vector<TDecTreeNode*> masters, clones;
    for (int k = 0; k < s.Masters && !candidates.empty(); ++k) {
        const size_t pick = size_t(draw.Between(0, int(candidates.size()) - 1));
        const int at = candidates[pick];
        candidates[pick] = candidates.back();
        candidates.pop_back();
        masters.push_back(nodes[size_t(at)]);
        std::fill(taken.begin() + at, taken.begin() + at + size[size_t(at)], 1);
    }
    std::vector<TDecTreeNode*> hosts;
    for (int i = 0; i < count; ++i)
        if (!taken[size_t(i)])
            hosts.push_back(nodes[size_t(i)]);
    if (masters.empty() || hosts.empty())
        return clones;
    for (int k = 0; k < s.Clones; ++k) {
        TDecTreeNode* host = hosts[size_t(draw.Between(0, int(hosts.size()) - 1))];
        auto clone = MakeNode(&document, host, ntDecision, 0, DrawPayoff(draw, TRandomTreeSettings{}));
        clone->CloneMasterId = masters[size_t(draw.Between(0, int(masters.size()) - 1))]->Id;
        clones.push_back(clone.get());
        host->Children.Add(std::move(clone));
    }
    for (int k = 0; k < s.Nested; ++k) {
        TDecTreeNode* node = nodes[size_t(draw.Between(0, count - 1))];
        if (node->HasChildren() || node->IsClone())
            continue;
        QString refused;
        node->SetCloneMaster(masters[size_t(draw.Between(0, int(masters.size()) - 1))]->Id, refused);
        if (refused.isEmpty())
            clones.push_back(node);
    }
    return clones;
}

std::unique_ptr<TDecTreeNode> MakeChain(TDecTreeDocument& document, int depth, TNodeType type)
{
    auto root = MakeNode(&document, nullptr, type, 100, 0);
    TDecTreeNode* last = root.get();
    for (int i = 1; i < depth; ++i) {
        auto child = MakeNode(&document, last, type, 100, CurrencyScale);
        TDecTreeNode* next = child.get();
        last->Children.Add(std::move(child));
        last = next;
    }
    return root;
}

std::vector<TDecTreeNode*> SubtreeNodes(TDecTreeNode* root)
{
    std::vector<TDecTreeNode*> nodes, stack{root};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        nodes.push_back(node);
        for (TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    return nodes;
}
