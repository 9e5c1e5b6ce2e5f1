#pragma once
// The arithmetic of the roll-back: values are formed in units of 1/10000 in extended precision
// and every node rounds its own values to hundredths, ties to even. The operations themselves are
// members of TDecTreeNode (RollBack, CalculatePathValues).

#include "Component/model/NodeTypes.h"

class TDecTreeNode;

// Round(value × 100) / 100 with an exact half going to the even neighbour.
double RoundToHundredths(long double value);
// A value in currency units as a whole number of units of 1/10000.
int64_t CurrencyUnits(double value);
// The rolled-back values of one node from its children's values, which must be current; the
// children's marks and InTakenPath are left alone.
void RollBackNodeValues(TDecTreeNode& node);
