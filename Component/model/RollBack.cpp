#include "Component/model/RollBack.h"

#include "Component/model/DecTreeNode.h"

#include <cmath>

double RoundToHundredths(long double value)
{
    return double(std::nearbyintl(value * 100) / 100);
}

int64_t CurrencyUnits(double value)
{
    return std::llroundl((long double)value * CurrencyScale);
}

void RollBackNodeValues(TDecTreeNode&) {}

void TDecTreeNode::RollBack() {}

void TDecTreeNode::CalculatePathValues(double, double) {}
