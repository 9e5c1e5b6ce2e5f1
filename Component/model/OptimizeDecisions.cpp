#include "Component/model/OptimizeDecisions.h"

void TDecTreeNode::TakeOption() {}

void TDecTreeNode::EvaluateMultiOptionDecision(bool, double& min, double& max)
{
    min = 0;
    max = 0;
}

void TDecTreeNode::OptimizeDecisions() {}
