#pragma once
// The arithmetic of the roll-back: values are formed in units of 1/10000 in extended precision
// and every node rounds its own values to hundredths, ties to even. The operations themselves are
// members of TDecTreeNode (RollBack, CalculatePathValues).

#include "Component/model/NodeTypes.h"

class TDecTreeDocument;
class TDecTreeNode;

// Round(value × 100) / 100 with an exact half going to the even neighbour.
double RoundToHundredths(long double value);
// A value in currency units as a whole number of units of 1/10000.
int64_t CurrencyUnits(double value);
// What the roll-back and the multi-option evaluation need of an option or child.
struct TChildValues {
    double Probability;
    TCurrency Payoff;
    double ExpectedValue, MinValue, MaxValue;
};

// Whether the last evaluation of node, a budgeted multi-option decision, gave up its search as
// too long (MaxSolverSteps): such a node keeps its marks and rolls back like a closed one.
bool MultiOptionLeftUnsolved(const TDecTreeNode& node);
// How many nodes of the subtree of top, outside clones, are so left unsolved.
int CountUnsolvedMultiOptions(const TDecTreeNode& top);

// The multi-option evaluation of node (its budget and its remembered solve) over the given values
// of its options; answers Min and Max, and whether each option is to be taken when marks is given.
// Answers false for a search given up: then Min and Max are the range of the taken options,
// weighed by their marks, and marks is left alone.
bool EvaluateMultiOptionValues(TDecTreeNode& node, const TChildValues* options, int count, double& min, double& max,
                               uint8_t* marks);

// What the path pass divides a child's probability by: 100 under a multi-option decision (each
// option taken stands alone), else the sum of the children's probabilities.
double ChildProbabilitySum(const TDecTreeNode& parent);
// One step of the path pass, from a parent's path probability and payoff to its child's, given
// the child's probability and payoff and the parent's ChildProbabilitySum.
void PathValuesStep(double sum, double childProbability, TCurrency childPayoff, double& probability, double& payoff);

// The taken marks of the node's descendants from its own: a child is on the taken path when its
// parent is and its own mark is above 0. The node's values are left alone.
void MarkTakenPathBelow(TDecTreeNode& node);

// The rolled-back values of one node from its children's values, which must be current; the
// children's marks and InTakenPath are left alone.
void RollBackNodeValues(TDecTreeNode& node);

// The value passes of a recalculation over a whole document: the root is marked as taken, the
// values are rolled back and the path values computed from the root's payoff, with the results of
// RollBack and CalculatePathValues on the root.
void CalculateDocumentValues(TDecTreeDocument& document);
