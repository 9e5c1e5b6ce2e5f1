#pragma once
// The values of a document brought up to date after one value of one node was edited in place,
// with nothing else changed since they were last calculated: only what that value reaches is
// computed again, with the arithmetic of the whole pass, so the results are the same to the bit.

class TDecTreeNode;

// What an edit in place changed.
enum class TEditedValue {
    Text,        // a caption, owner or other text: no value moves
    Payoff,      // the node's payoff
    Probability, // the probability of a branch of a chance node
    Budget,      // the budget of a multi-option decision
    Marks,       // the taken marks of the options beside the node, the node's own among them
};

struct TEditedValuesResult {
    // False when the change reaches further than this update follows: nothing was changed, and
    // the caller calculates the whole document.
    bool Updated = false;
    // The node whose subtree has new path values, or none.
    TDecTreeNode* PathValuesFrom = nullptr;
    // The node whose descendants were marked again for the taken path, or none: any of them may
    // have entered or left it.
    TDecTreeNode* TakenPathFrom = nullptr;
};

// The node must not be a clone, lie inside one or be (or lie inside) the master of one: a refresh
// of the clones would change more than its values.
TEditedValuesResult UpdateEditedValues(TDecTreeNode& node, TEditedValue edit);
