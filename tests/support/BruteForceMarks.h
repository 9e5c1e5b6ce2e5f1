#pragma once
// Brute force for the optimisation tests: every way of marking the unfixed decisions.

#include "Component/model/DecTreeNode.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace testtree {

// Tries every marking of the unfixed decisions among `nodes` (one option of a decision, any set of
// a multi-option decision), writing the marks into `target(node)`, and answers the best value
// `evaluate` gives; nothing when there are more than `limit` markings.
inline std::optional<double> BestOverAllMarks(const std::vector<TDecTreeNode*>& nodes, uint64_t limit,
                                              const std::function<TDecTreeNode*(TDecTreeNode*)>& target,
                                              const std::function<double()>& evaluate)
{
    struct Choice {
        TDecTreeNode* Node;
        uint64_t Count;
    };
    std::vector<Choice> choices;
    uint64_t total = 1;
    for (TDecTreeNode* n : nodes) {
        if (n->IsClone() || !n->HasChildren() || n->DecisionFixed || n->NodeType == ntChance)
            continue;
        const uint64_t k =
            n->NodeType == ntDecision ? uint64_t(n->Children.Count()) : uint64_t(1) << n->Children.Count();
        choices.push_back({target(n), k});
        total *= k;
        if (total > limit)
            return std::nullopt;
    }
    double best = -1.7E308;
    for (uint64_t code = 0; code < total; ++code) {
        uint64_t rest = code;
        for (const Choice& c : choices) {
            const uint64_t pick = rest % c.Count;
            rest /= c.Count;
            for (int i = 0; i < c.Node->Children.Count(); ++i)
                c.Node->Children[i]->Probability = c.Node->NodeType == ntDecision ? (uint64_t(i) == pick ? 100 : 0)
                                                                                  : ((pick >> i) & 1 ? 100 : 0);
        }
        best = std::max(best, evaluate());
    }
    return best;
}

} // namespace testtree
