#include "Component/model/RollBack.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"

#include <bit>
#include <cmath>
#include <vector>

namespace {

inline double Round2(long double value)
{
    // rintl rounds in the default mode, to nearest with ties to even.
    return double(std::rintl(value * 100) / 100);
}

} // namespace

double RoundToHundredths(long double value)
{
    return Round2(value);
}

int64_t CurrencyUnits(double value)
{
    // A value rounded to hundredths lies within far less than half a unit of a whole number of
    // units, so the Double product rounds to it exactly.
    return std::llrint(value * double(CurrencyScale));
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

using ChildValues = TChildValues;

// The values of one node from its children's. ForEachChild(f) calls f(ChildValues) for each child
// in order. The node itself is only asked for its type and attributes, and by a multi-option
// decision for the evaluation of its options (whose values must already be in the nodes).
template <class ForEachChild>
void NodeValues(TDecTreeNode& node, bool hasChildren, double& ev, double& lo, double& hi, ForEachChild forEachChild)
{
    thread_local std::vector<ChildValues> options;
    ev = lo = hi = 0;
    const TNodeType type = node.NodeType;
    if (!hasChildren)
        return; // an end node of any type: every case below ends with 0, 0, 0
    if (type == ntMultiDecision && !node.DecisionFixed) {
        // The value is the sum of the taken options; the range is what the evaluation answers.
        options.clear();
        forEachChild([&](const ChildValues& c) {
            options.push_back(c);
            ev = AddWeighted(ev, (long double)c.Probability / 100, c.ExpectedValue, c.Payoff);
        });
        EvaluateMultiOptionValues(node, options.data(), int(options.size()), lo, hi, nullptr);
    } else if (type == ntDecision && !node.DecisionFixed) {
        // The value follows the taken option; the range covers every option, taken or not.
        lo = 1.7E308;
        hi = -1.7E308;
        forEachChild([&](const ChildValues& c) {
            ev = AddWeighted(ev, (long double)c.Probability / 100, c.ExpectedValue, c.Payoff);
            const long double cLo = WithPayoff(c.MinValue, c.Payoff);
            if (cLo < lo)
                lo = double(cLo);
            const long double cHi = WithPayoff(c.MaxValue, c.Payoff);
            if (cHi > hi)
                hi = double(cHi);
        });
    } else {
        // Chance nodes weigh by their share of the total, so percentages and any-sum weights agree;
        // a closed decision weighs by its marks, so only the taken options count.
        double sum = 0;
        if (type == ntChance)
            forEachChild([&](const ChildValues& c) { sum += c.Probability; });
        else
            sum = 100;
        if (sum != 0) {
            forEachChild([&](const ChildValues& c) {
                const long double w = (long double)c.Probability / sum;
                ev = AddWeighted(ev, w, c.ExpectedValue, c.Payoff);
                lo = AddWeighted(lo, w, c.MinValue, c.Payoff);
                hi = AddWeighted(hi, w, c.MaxValue, c.Payoff);
            });
        }
    }
    ev = Round2(ev);
    lo = Round2(lo);
    hi = Round2(hi);
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
        for (auto it = node->Children.end(); it != node->Children.begin();) {
            TDecTreeNode* child = *--it;
            child->InTakenPath = taken && child->Probability > 0;
            stack.push_back(child);
        }
    }
}

// The walks over a whole document visit nodes scattered over the heap; asking for the lines a few
// nodes ahead keeps several memory reads in flight instead of one.
constexpr size_t PrefetchDistance = 12;

template <class Member>
inline void Prefetch(const TDecTreeNode* node, Member member)
{
    __builtin_prefetch(&(node->*member), 1);
}

// Per-position scratch of the passes over a whole document, kept between recalculations.
struct FlatScratch {
    std::vector<ChildValues> Values;
    std::vector<uint8_t> Taken;
    std::vector<double> P, V;
};
thread_local FlatScratch Scratch;

// Stores only what changed: a recalculation after a small edit then leaves most of a large
// document's memory clean, and writing it back would cost as much again as reading it.
inline void Store(double& field, double value)
{
    if (std::bit_cast<uint64_t>(field) != std::bit_cast<uint64_t>(value))
        field = value;
}

inline void Store(bool& field, bool value)
{
    if (field != value)
        field = value;
}

// The whole document in its cached order: positions instead of child lists, values in reverse
// pre-order (every node after its descendants).
void ValuesOfDocument(TDecTreeDocument& doc)
{
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& size = doc.SubtreeSizes();
    const size_t n = nodes.size();
    std::vector<ChildValues>& values = Scratch.Values;
    values.resize(n);
    for (size_t i = n; i-- > 0;) {
        if (i >= PrefetchDistance)
            Prefetch(nodes[i - PrefetchDistance], &TDecTreeNode::Probability);
        TDecTreeNode& node = *nodes[i];
        const size_t end = i + size_t(size[i]);
        double ev = 0, lo = 0, hi = 0;
        NodeValues(node, end > i + 1, ev, lo, hi, [&](auto&& f) {
            for (size_t c = i + 1; c < end; c += size_t(size[c]))
                f(values[c]);
        });
        Store(node.ExpectedValue, ev);
        Store(node.MinValue, lo);
        Store(node.MaxValue, hi);
        values[i] = {node.Probability, node.Payoff, ev, lo, hi};
    }
}

// The taken path runs downward: a child is on it when its parent is and its own mark is above 0.
void TakenPathOfDocument(TDecTreeDocument& doc)
{
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& parent = doc.ParentPositions();
    const size_t n = nodes.size();
    std::vector<uint8_t>& taken = Scratch.Taken;
    taken.resize(n);
    taken[0] = nodes[0]->InTakenPath;
    for (size_t i = 1; i < n; ++i) {
        if (i + PrefetchDistance < n)
            Prefetch(nodes[i + PrefetchDistance], &TDecTreeNode::Probability);
        TDecTreeNode* node = nodes[i];
        const bool t = taken[size_t(parent[i])] && node->Probability > 0;
        Store(node->InTakenPath, t);
        taken[i] = t;
    }
}

// Path values in pre-order. Fused with the values pass (fused), the children's marks and payoffs
// come from that pass's flat copy instead of the nodes, and the taken path is set in the same walk,
// which gives what a separate walk would, since neither depends on the other.
void PathValuesOfDocument(TDecTreeDocument& doc, double probabilitySoFar, double payoffSoFar, bool fused)
{
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& size = doc.SubtreeSizes();
    const size_t n = nodes.size();
    std::vector<double>& P = Scratch.P;
    std::vector<double>& V = Scratch.V;
    std::vector<uint8_t>& taken = Scratch.Taken;
    std::vector<ChildValues>& values = Scratch.Values;
    P.resize(n);
    V.resize(n);
    taken.resize(n);
    if (!fused) {
        values.resize(n);
        for (size_t i = 0; i < n; ++i) {
            if (i + PrefetchDistance < n)
                Prefetch(nodes[i + PrefetchDistance], &TDecTreeNode::Probability);
            values[i].Probability = nodes[i]->Probability;
            values[i].Payoff = nodes[i]->Payoff;
        }
    }
    P[0] = probabilitySoFar;
    V[0] = payoffSoFar;
    taken[0] = nodes[0]->InTakenPath;
    for (size_t i = 0; i < n; ++i) {
        if (i + PrefetchDistance < n)
            Prefetch(nodes[i + PrefetchDistance], &TDecTreeNode::Probability);
        TDecTreeNode& node = *nodes[i];
        if (fused)
            Store(node.InTakenPath, taken[i]);
        const size_t end = i + size_t(size[i]);
        if (end == i + 1) {
            Store(node.PathProbability, P[i]);
            Store(node.PathPayoff, V[i]);
            continue;
        }
        double sum = 0;
        if (node.NodeType == ntMultiDecision) {
            sum = 100;
        } else {
            for (size_t c = i + 1; c < end; c += size_t(size[c]))
                sum += values[c].Probability;
        }
        for (size_t c = i + 1; c < end; c += size_t(size[c])) {
            const ChildValues& child = values[c];
            V[c] = double(((long double)V[i] * CurrencyScale + child.Payoff) / CurrencyScale);
            P[c] = sum == 0 ? 0.0 : double((long double)P[i] * child.Probability / sum);
            taken[c] = taken[i] && child.Probability > 0;
        }
    }
}

} // namespace

void RollBackNodeValues(TDecTreeNode& node)
{
    double ev, lo, hi;
    NodeValues(node, node.HasChildren(), ev, lo, hi, [&node](auto&& f) {
        for (const TDecTreeNode* c : node.Children)
            f(ChildValues{c->Probability, c->Payoff, c->ExpectedValue, c->MinValue, c->MaxValue});
    });
    node.ExpectedValue = ev;
    node.MinValue = lo;
    node.MaxValue = hi;
}

void CalculateDocumentValues(TDecTreeDocument& doc)
{
    TDecTreeNode* root = doc.Root();
    if (!root)
        return;
    root->InTakenPath = true;
    ValuesOfDocument(doc);
    PathValuesOfDocument(doc, 1.0, double(root->Payoff) / CurrencyScale, true);
}

void TDecTreeNode::RollBack()
{
    // Marks go down in pre-order; values come up in reverse pre-order, which puts every node after
    // all of its descendants.
    if (Tree && Tree->Root() == this) {
        TakenPathOfDocument(*Tree);
        ValuesOfDocument(*Tree);
        return;
    }
    thread_local std::vector<TDecTreeNode*> order;
    CollectAndMarkTakenPath(*this, order);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        RollBackNodeValues(**it);
}

void TDecTreeNode::CalculatePathValues(double probabilitySoFar, double payoffSoFar)
{
    if (Tree && Tree->Root() == this) {
        PathValuesOfDocument(*Tree, probabilitySoFar, payoffSoFar, false);
        return;
    }
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
        if (!node.HasChildren()) {
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
        for (auto it = node.Children.end(); it != node.Children.begin();) {
            TDecTreeNode* c = *--it;
            const double v = double(((long double)p.V * CurrencyScale + c->Payoff) / CurrencyScale);
            const double prob = sum == 0 ? 0.0 : double((long double)p.P * c->Probability / sum);
            stack.push_back({c, prob, v});
        }
    }
}
