#pragma once
// Optimisation of a subtree: TDecTreeNode::OptimizeDecisions and TDecTreeNode::TakeOption
// (OptimizeDecisions.cpp). Bottom-up, each unfixed decision takes the option with the highest
// expected value (the first of equal ones), each unfixed multi-option decision the set its
// evaluation chooses. Clones and the nodes inside them are not optimised themselves: the masters in
// the subtree are optimised first and their marks copied into their clones, so the decisions above
// a clone choose on what it will hold and one run reaches the best choice.

#include "Component/model/DecTreeNode.h"
