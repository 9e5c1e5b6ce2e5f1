#pragma once
// Gives every node that shares its id with an earlier node a fresh one, so that a document
// read from a file (which may have been edited by hand or merged) has unique ids again.

class TDecTreeNode;

// Walks the tree from root in depth-first pre-order over the nodes outside clones and the
// clone nodes themselves (the nodes inside clones are copies that every recalculation
// rebuilds with new ids). The first holder of an id keeps it; every later one gets a new GUID.
// Answers how many nodes got a new id. Linear in the size of the tree.
int RepairDuplicateIds(TDecTreeNode* root);
