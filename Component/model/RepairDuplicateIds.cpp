#include "Component/model/RepairDuplicateIds.h"

#include "Component/model/DecTreeNode.h"

#include <functional>
#include <vector>

namespace {

// An open-addressing set of ids sized once for the whole tree: no allocation per node, which
// a node-based set would spend most of its time on.
class TIdSet {
public:
    explicit TIdSet(size_t expected)
    {
        size_t capacity = 16;
        while (capacity < expected * 2)
            capacity *= 2;
        FSlots.resize(capacity);
        FUsed.assign(capacity, 0);
        FMask = capacity - 1;
    }

    // False when the id was there already.
    bool Insert(const TGuid& id)
    {
        for (size_t i = std::hash<TGuid>()(id) & FMask;; i = (i + 1) & FMask) {
            if (!FUsed[i]) {
                FUsed[i] = 1;
                FSlots[i] = id;
                return true;
            }
            if (FSlots[i] == id)
                return false;
        }
    }

private:
    std::vector<TGuid> FSlots;
    std::vector<uint8_t> FUsed;
    size_t FMask;
};

} // namespace

int RepairDuplicateIds(TDecTreeNode* root)
{
    if (!root)
        return 0;
    std::vector<TDecTreeNode*> order;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        order.push_back(node);
        if (node->IsClone())
            continue;
        for (int i = node->Children.Count() - 1; i >= 0; --i)
            stack.push_back(node->Children[i]);
    }
    // Every node inserts one id: its own, or the fresh one that replaces a duplicate.
    TIdSet seen(order.size());
    int repaired = 0;
    for (TDecTreeNode* node : order) {
        if (seen.Insert(node->Id))
            continue;
        TGuid fresh;
        do
            fresh = Guid::NewGuid();
        while (!seen.Insert(fresh));
        node->Id = fresh;
        ++repaired;
    }
    return repaired;
}
