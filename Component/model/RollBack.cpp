#include "Component/model/RollBack.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/MultiOptionSolver.h"
#include "Component/model/SubtreeWork.h"

#include <algorithm>
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

// What the path pass divides a child's probability by, from the children's probabilities that
// forEach(add) hands to add.
template <class ForEach>
double ProbabilitySumOf(TNodeType type, ForEach forEach)
{
    if (type == ntMultiDecision)
        return 100;
    double sum = 0;
    forEach([&sum](double probability) { sum += probability; });
    return sum;
}

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
        // A search given up answers the range of the taken options, as a closed decision does.
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
constexpr size_t PrefetchDistance = 32;

template <class Member>
inline void Prefetch(const TDecTreeNode* node, Member member)
{
    __builtin_prefetch(&(node->*member), 1);
}

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

// The walks over a whole document in its cached order: positions instead of child lists (the
// children of position i start at i + 1, each next one a subtree size further on), and flat
// per-position copies of what the parents need, kept between recalculations.
struct DocumentWalk {
    const std::vector<TDecTreeNode*>& Nodes;
    const std::vector<int32_t>& Size;
    std::vector<ChildValues>& Values;
    std::vector<uint8_t>& Taken;
    std::vector<double>& P;
    std::vector<double>& V;

    size_t Count() const { return Nodes.size(); }

    // The node's values from its children's flat copies, then its own flat copy.
    void ValuesAt(size_t i)
    {
        TDecTreeNode& node = *Nodes[i];
        const size_t end = i + size_t(Size[i]);
        double ev = 0, lo = 0, hi = 0;
        NodeValues(node, end > i + 1, ev, lo, hi, [&](auto&& f) {
            for (size_t c = i + 1; c < end; c += size_t(Size[c]))
                f(Values[c]);
        });
        Store(node.ExpectedValue, ev);
        Store(node.MinValue, lo);
        Store(node.MaxValue, hi);
        Values[i] = {node.Probability, node.Payoff, ev, lo, hi};
    }

    // The node's path values when it is an end node, else its children's probability and payoff
    // so far and their taken marks (Values must hold the children's marks and payoffs).
    void PathAt(size_t i, bool markTakenPath)
    {
        TDecTreeNode& node = *Nodes[i];
        if (markTakenPath)
            Store(node.InTakenPath, bool(Taken[i]));
        const size_t end = i + size_t(Size[i]);
        if (end == i + 1) {
            Store(node.PathProbability, P[i]);
            Store(node.PathPayoff, V[i]);
            return;
        }
        const double sum = ProbabilitySumOf(node.NodeType, [&](auto add) {
            for (size_t c = i + 1; c < end; c += size_t(Size[c]))
                add(Values[c].Probability);
        });
        for (size_t c = i + 1; c < end; c += size_t(Size[c])) {
            const ChildValues& child = Values[c];
            P[c] = P[i];
            V[c] = V[i];
            PathValuesStep(sum, child.Probability, child.Payoff, P[c], V[c]);
            Taken[c] = Taken[i] && child.Probability > 0;
        }
    }

    // The node's own taken mark, and its children's (Values must hold the children's marks).
    void TakenAt(size_t i)
    {
        Store(Nodes[i]->InTakenPath, bool(Taken[i]));
        const size_t end = i + size_t(Size[i]);
        for (size_t c = i + 1; c < end; c += size_t(Size[c]))
            Taken[c] = Taken[i] && Values[c].Probability > 0;
    }

    // The node's mark and payoff into its flat copy.
    void GatherAt(size_t i)
    {
        Values[i].Probability = Nodes[i]->Probability;
        Values[i].Payoff = Nodes[i]->Payoff;
    }
};

struct FlatScratch {
    std::vector<ChildValues> Values;
    std::vector<uint8_t> Taken;
    std::vector<double> P, V;
};

DocumentWalk WalkOf(TDecTreeDocument& doc)
{
    thread_local FlatScratch scratch;
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const size_t n = nodes.size();
    scratch.Values.resize(n);
    scratch.Taken.resize(n);
    scratch.P.resize(n);
    scratch.V.resize(n);
    return {nodes, doc.SubtreeSizes(), scratch.Values, scratch.Taken, scratch.P, scratch.V};
}

// Large documents are walked by several threads (SubtreeWork.h): a whole document from this many
// nodes, and the subtree an edit reaches from fewer, since the edit waits for it alone.
const size_t& ParallelFrom = SubtreeWorkSettings().DocumentFrom;
const size_t& SubtreeParallelFrom = SubtreeWorkSettings().EditedSubtreeFrom;

// at(i) for every position of the subtree at top, each node after all of its descendants.
template <class At>
void Upward(const std::vector<TDecTreeNode*>& nodes, const std::vector<int32_t>& size, size_t top, size_t from, At at)
{
    const size_t n = size_t(size[top]);
    auto range = [&nodes, &at](size_t begin, size_t end) {
        for (size_t i = end; i-- > begin;) {
            if (i >= begin + PrefetchDistance)
                Prefetch(nodes[i - PrefetchDistance], &TDecTreeNode::Probability);
            at(i);
        }
    };
    const unsigned threads = SubtreeThreadCount(n, from);
    if (threads <= 1)
        return range(top, top + n);
    const TSubtreePlan plan = PlanSubtrees(size, top, SubtreeGrain(n, threads));
    ForEachSubtree(plan, threads, range);
    for (auto it = plan.Above.rbegin(); it != plan.Above.rend(); ++it)
        at(*it);
}

// at(i) for every position of the subtree at top, each node before all of its descendants.
template <class At>
void Downward(const std::vector<TDecTreeNode*>& nodes, const std::vector<int32_t>& size, size_t top, size_t from,
              At at)
{
    const size_t n = size_t(size[top]);
    auto range = [&nodes, &at](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            if (i + PrefetchDistance < end)
                Prefetch(nodes[i + PrefetchDistance], &TDecTreeNode::Probability);
            at(i);
        }
    };
    const unsigned threads = SubtreeThreadCount(n, from);
    if (threads <= 1)
        return range(top, top + n);
    const TSubtreePlan plan = PlanSubtrees(size, top, SubtreeGrain(n, threads));
    for (size_t i : plan.Above)
        at(i);
    ForEachSubtree(plan, threads, range);
}

template <class At>
void Upward(DocumentWalk& walk, At at)
{
    Upward(walk.Nodes, walk.Size, 0, ParallelFrom, at);
}

template <class At>
void Downward(DocumentWalk& walk, At at)
{
    Downward(walk.Nodes, walk.Size, 0, ParallelFrom, at);
}

// Values upward; the taken path then runs downward: a child is on it when its parent is and its
// own mark is above 0 (values do not depend on it, so the order of the two walks is free).
void RollBackDocument(TDecTreeDocument& doc)
{
    DocumentWalk walk = WalkOf(doc);
    Upward(walk, [&walk](size_t i) { walk.ValuesAt(i); });
    walk.Taken[0] = walk.Nodes[0]->InTakenPath;
    Downward(walk, [&walk](size_t i) { walk.TakenAt(i); });
}

// Path values downward. Right after the values walk (fused) the children's marks and payoffs are
// taken from its flat copy, and the taken path is set in the same walk.
void PathValuesOfDocument(TDecTreeDocument& doc, double probabilitySoFar, double payoffSoFar, bool fused)
{
    DocumentWalk walk = WalkOf(doc);
    if (!fused)
        Downward(walk, [&walk](size_t i) { walk.GatherAt(i); });
    walk.P[0] = probabilitySoFar;
    walk.V[0] = payoffSoFar;
    walk.Taken[0] = walk.Nodes[0]->InTakenPath;
    Downward(walk, [&walk, fused](size_t i) { walk.PathAt(i, fused); });
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
    DocumentWalk walk = WalkOf(doc);
    Upward(walk, [&walk](size_t i) { walk.ValuesAt(i); });
    PathValuesOfDocument(doc, 1.0, double(root->Payoff) / CurrencyScale, true);
}

void TDecTreeNode::RollBack()
{
    // Marks go down in pre-order; values come up in reverse pre-order, which puts every node after
    // all of its descendants.
    if (Tree && Tree->Root() == this) {
        RollBackDocument(*Tree);
        return;
    }
    thread_local std::vector<TDecTreeNode*> order;
    CollectAndMarkTakenPath(*this, order);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        RollBackNodeValues(**it);
}

double ChildProbabilitySum(const TDecTreeNode& parent)
{
    return ProbabilitySumOf(parent.NodeType, [&parent](auto add) {
        for (const TDecTreeNode* c : parent.Children)
            add(c->Probability);
    });
}

void PathValuesStep(double sum, double childProbability, TCurrency childPayoff, double& probability, double& payoff)
{
    payoff = double(((long double)payoff * CurrencyScale + childPayoff) / CurrencyScale);
    probability = sum == 0 ? 0.0 : double((long double)probability * childProbability / sum);
}

namespace {

// The path values below the node at position top of the document's order, from its own.
void PathValuesOfSubtree(TDecTreeDocument& doc, size_t top, double probabilitySoFar, double payoffSoFar)
{
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& size = doc.SubtreeSizes();
    // By offset from top; the workers reach the calling thread's scratch through these references.
    thread_local std::vector<double> probabilities, payoffs;
    std::vector<double>& P = probabilities;
    std::vector<double>& V = payoffs;
    P.resize(size_t(size[top]));
    V.resize(size_t(size[top]));
    P[0] = probabilitySoFar;
    V[0] = payoffSoFar;
    Downward(nodes, size, top, SubtreeParallelFrom, [&](size_t i) {
        TDecTreeNode& node = *nodes[i];
        const size_t at = i - top;
        const size_t end = i + size_t(size[i]);
        if (end == i + 1) {
            Store(node.PathProbability, P[at]);
            Store(node.PathPayoff, V[at]);
            return;
        }
        // The children by position, in order: their list itself need not be read.
        const double sum = ProbabilitySumOf(node.NodeType, [&](auto add) {
            for (size_t c = i + 1; c < end; c += size_t(size[c]))
                add(nodes[c]->Probability);
        });
        for (size_t c = i + 1; c < end; c += size_t(size[c])) {
            const TDecTreeNode& child = *nodes[c];
            double& p = P[c - top];
            double& v = V[c - top];
            p = P[at];
            v = V[at];
            PathValuesStep(sum, child.Probability, child.Payoff, p, v);
        }
    });
}

// The position of node in its document's order, or -1 when it has none there.
long PositionInDocument(const TDecTreeNode& node)
{
    return node.Tree ? long(node.Tree->PositionOf(node)) : -1;
}

} // namespace

void MarkTakenPathBelow(TDecTreeNode& node)
{
    const long top = PositionInDocument(node);
    if (top < 0) {
        thread_local std::vector<TDecTreeNode*> order;
        CollectAndMarkTakenPath(node, order);
        return;
    }
    TDecTreeDocument& doc = *node.Tree;
    const std::vector<TDecTreeNode*>& nodes = doc.PreOrder();
    const std::vector<int32_t>& parent = doc.ParentPositions();
    Downward(nodes, doc.SubtreeSizes(), size_t(top), SubtreeParallelFrom, [&](size_t i) {
        if (i != size_t(top))
            Store(nodes[i]->InTakenPath, nodes[size_t(parent[i])]->InTakenPath && nodes[i]->Probability > 0);
    });
}

void TDecTreeNode::CalculatePathValues(double probabilitySoFar, double payoffSoFar)
{
    if (Tree && Tree->Root() == this) {
        PathValuesOfDocument(*Tree, probabilitySoFar, payoffSoFar, false);
        return;
    }
    const long top = PositionInDocument(*this);
    if (top >= 0) {
        PathValuesOfSubtree(*Tree, size_t(top), probabilitySoFar, payoffSoFar);
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
        const double sum = ChildProbabilitySum(node);
        for (auto it = node.Children.end(); it != node.Children.begin();) {
            TDecTreeNode* c = *--it;
            double prob = p.P, v = p.V;
            PathValuesStep(sum, c->Probability, c->Payoff, prob, v);
            stack.push_back({c, prob, v});
        }
    }
}
