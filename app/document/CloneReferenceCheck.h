#pragma once
// Clone links that a document file may carry but no edit can make: a clone of a node that is not
// in the tree (or only inside another clone, where every recalculation replaces it), of itself,
// of one of its ancestors, or clones whose masters contain each other in a cycle. Expanding such
// a link would make the tree grow on every recalculation, so on loading the link is dropped and
// the node stays a plain node.

class TDecTreeNode;

// Removes every such link below root (root included). Answers how many were removed. Works with
// its own stacks and never starts over for a link it drops, so a hand-made file of many bad
// links takes no longer than a good one of its size.
int RemoveInvalidCloneReferences(TDecTreeNode* root);
