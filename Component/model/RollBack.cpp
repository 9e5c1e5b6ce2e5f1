#include "Component/model/RollBack.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"

#include <cmath>
#include <vector>

double RoundToHundredths(long double value)
{
    // rintl rounds in the default mode, to nearest with ties to even.
    return double(std::rintl(value * 100) / 100);
}

int64_t CurrencyUnits(double value)
{
    return std::llroundl((long double)value * CurrencyScale);
}

namespace {

// running + weight × (value + payoff), formed in units of 1/10000 in extended precision and stored
// as a Double, as every step of the roll-back sums is.
inline double AddWeighted(double running, long double weight, double value, TCurrency payoff)
{
    return double(((long double)running * CurrencyScale + weight * ((long double)value * CurrencyScale + payoff)) /
                  CurrencyScale);
}

inline long double WithPayoff(double value, TCurrency payoff)
{
    return ((long double)value * CurrencyScale + payoff) / CurrencyScale;
}

// The nodes of a subtree in depth-first pre-order; the walk also marks the taken path, which runs
// downward: a child is on it when its parent is and its own mark is above 0.
void CollectAndMarkTakenPath(TDecTreeNode& start, std::vector<TDecTreeNode*>& order)
{
    order.clear();
    std::vector<TDecTreeNode*> stack{&start};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        order.push_back(node);
        const bool taken = node->InTakenPath;
        for (int i = node->Children.Count() - 1; i >= 0; --i) {
            TDecTreeNode* child = node->Children.begin()[i];
            child->InTakenPath = taken && child->Probability > 0;
            stack.push_back(child);
        }
    }
}

} // namespace

void RollBackNodeValues(TDecTreeNode& node)
{
    const TDecTreeNodeList& children = node.Children;
    double sum = 0;
    if (node.NodeType == ntChance) {
        for (const TDecTreeNode* c : children)
            sum += c->Probability;
    } else {
        sum = 100;
    }

    double ev = 0, lo = 0, hi = 0;
    if (node.NodeType == ntMultiDecision && !node.DecisionFixed) {
        // The value is the sum of the taken options; the range is what the evaluation answers.
        node.EvaluateMultiOptionDecision(true, lo, hi);
        for (const TDecTreeNode* c : children)
            ev = AddWeighted(ev, (long double)c->Probability / 100, c->ExpectedValue, c->Payoff);
    } else if (node.NodeType == ntDecision && !node.DecisionFixed) {
        // The value follows the taken option; the range covers every option, taken or not.
        if (children.Count() > 0) {
            lo = 1.7E308;
            hi = -1.7E308;
            for (const TDecTreeNode* c : children) {
                ev = AddWeighted(ev, (long double)c->Probability / 100, c->ExpectedValue, c->Payoff);
                const long double cLo = WithPayoff(c->MinValue, c->Payoff);
                if (cLo < lo)
                    lo = double(cLo);
                const long double cHi = WithPayoff(c->MaxValue, c->Payoff);
                if (cHi > hi)
                    hi = double(cHi);
            }
        }
    } else if (sum != 0) {
        // Chance nodes weigh by their share of the total, so percentages and any-sum weights agree;
        // a closed decision weighs by its marks, so only the taken options count.
        for (const TDecTreeNode* c : children) {
            const long double w = (long double)c->Probability / sum;
            ev = AddWeighted(ev, w, c->ExpectedValue, c->Payoff);
            lo = AddWeighted(lo, w, c->MinValue, c->Payoff);
            hi = AddWeighted(hi, w, c->MaxValue, c->Payoff);
        }
    }
    node.ExpectedValue = RoundToHundredths(ev);
    node.MinValue = RoundToHundredths(lo);
    node.MaxValue = RoundToHundredths(hi);
}

void TDecTreeNode::RollBack()
{
    // Marks go down in pre-order; values come up in reverse pre-order, which puts every node after
    // all of its descendants. The whole document's order is cached until its structure changes.
    thread_local std::vector<TDecTreeNode*> scratch;
    const std::vector<TDecTreeNode*>* order;
    if (Tree && Tree->Root() == this) {
        order = &Tree->PreOrder();
        for (TDecTreeNode* node : *order) {
            const bool taken = node->InTakenPath;
            for (TDecTreeNode* child : node->Children)
                child->InTakenPath = taken && child->Probability > 0;
        }
    } else {
        CollectAndMarkTakenPath(*this, scratch);
        order = &scratch;
    }
    for (auto it = order->rbegin(); it != order->rend(); ++it)
        RollBackNodeValues(**it);
}

void TDecTreeNode::CalculatePathValues(double probabilitySoFar, double payoffSoFar)
{
    struct Pending {
        TDecTreeNode* Node;
        double P;
        double V;
    };
    thread_local std::vector<Pending> stack;
    stack.clear();
    stack.push_back({this, probabilitySoFar, payoffSoFar});
    while (!stack.empty()) {
        const Pending p = stack.back();
        stack.pop_back();
        TDecTreeNode& node = *p.Node;
        const int count = node.Children.Count();
        if (count == 0) {
            node.PathProbability = p.P;
            node.PathPayoff = p.V;
            continue;
        }
        double sum = 0;
        if (node.NodeType == ntMultiDecision) {
            sum = 100;
        } else {
            for (const TDecTreeNode* c : node.Children)
                sum += c->Probability;
        }
        for (int i = count - 1; i >= 0; --i) {
            TDecTreeNode* c = node.Children.begin()[i];
            const double v = double(((long double)p.V * CurrencyScale + c->Payoff) / CurrencyScale);
            const double prob = sum == 0 ? 0.0 : double((long double)p.P * c->Probability / sum);
            stack.push_back({c, prob, v});
        }
    }
}
