#include "Component/model/EditedValues.h"

#include "Component/model/DecTreeNode.h"
#include "Component/model/RollBack.h"

#include <vector>

namespace {

// The probability and payoff that the whole pass hands to node on its way down from the root,
// formed step by step as it forms them.
void PathValuesAt(const TDecTreeNode& node, double& probability, double& payoff)
{
    std::vector<const TDecTreeNode*> path;
    for (const TDecTreeNode* n = &node; n; n = n->Parent())
        path.push_back(n);
    const TDecTreeNode* root = path.back();
    probability = 1.0;
    payoff = double(root->Payoff) / CurrencyScale;
    for (size_t k = path.size() - 1; k > 0; --k)
        PathValuesStep(ChildProbabilitySum(*path[k]), path[k - 1]->Probability, path[k - 1]->Payoff, probability, payoff);
}

} // namespace

TEditedValuesResult UpdateEditedValues(TDecTreeNode& node, TEditedValue edit)
{
    TEditedValuesResult result;
    TDecTreeNode* parent = node.Parent();
    TDecTreeNode* rollFrom = nullptr;
    switch (edit) {
    case TEditedValue::Text:
        break;
    case TEditedValue::Payoff:
        // A payoff is earned on the way into the node: its parent's values and its own path on.
        rollFrom = parent;
        result.PathValuesFrom = &node;
        break;
    case TEditedValue::Probability:
    case TEditedValue::Marks:
        // A branch's probability is shared with its siblings: the parent's path values on. The
        // branch's mark decides whether it lies on the taken path, and with it its whole subtree.
        if (!parent)
            return result;
        rollFrom = parent;
        result.PathValuesFrom = parent;
        if (edit == TEditedValue::Marks || node.InTakenPath != (parent->InTakenPath && node.Probability > 0))
            result.TakenPathFrom = parent;
        break;
    case TEditedValue::Budget:
        rollFrom = &node;
        break;
    }
    for (TDecTreeNode* n = rollFrom; n; n = n->Parent())
        RollBackNodeValues(*n);
    if (result.TakenPathFrom)
        MarkTakenPathBelow(*result.TakenPathFrom);
    if (result.PathValuesFrom) {
        double probability = 0, payoff = 0;
        PathValuesAt(*result.PathValuesFrom, probability, payoff);
        result.PathValuesFrom->CalculatePathValues(probability, payoff);
    }
    result.Updated = true;
    return result;
}
