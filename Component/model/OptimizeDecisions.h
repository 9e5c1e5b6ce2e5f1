#pragma once
// Optimisation of a subtree: TDecTreeNode::OptimizeDecisions and TDecTreeNode::TakeOption
// (OptimizeDecisions.cpp). Bottom-up, each unfixed decision takes the option with the highest
// expected value (the first of equal ones), each unfixed multi-option decision the set its
// evaluation chooses. Clones and the nodes inside them are skipped: their masters are optimised
// in their own place, and the clones follow on the next clone refresh.

#include "Component/model/DecTreeNode.h"
