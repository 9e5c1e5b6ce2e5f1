#include "Component/model/RepairDuplicateIds.h"

#include "Component/model/DecTreeNode.h"

#include <unordered_set>
#include <vector>

int RepairDuplicateIds(TDecTreeNode* root)
{
    if (!root)
        return 0;
    int repaired = 0;
    std::unordered_set<TGuid> seen;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (!seen.insert(node->Id).second) {
            TGuid fresh;
            do
                fresh = Guid::NewGuid();
            while (seen.count(fresh));
            node->Id = fresh;
            seen.insert(fresh);
            ++repaired;
        }
        if (node->IsClone())
            continue;
        for (int i = node->Children.Count() - 1; i >= 0; --i)
            stack.push_back(node->Children[i]);
    }
    return repaired;
}
