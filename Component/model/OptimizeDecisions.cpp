#include "Component/model/OptimizeDecisions.h"

#include "Component/model/MultiOptionSolver.h"
#include "Component/model/RollBack.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <vector>

void TDecTreeNode::TakeOption()
{
    QD_ASSERT(FParent && (FParent->NodeType == ntDecision || FParent->NodeType == ntMultiDecision),
              "OptimizeDecisions.cpp");
    // Inside a clone the choice belongs to the node the clicked copy mirrors: the option under
    // the outermost clone's master, followed on through the clones that master holds, so the
    // master and all its copies change together. A clone's own master is another decision's
    // option and is not the one the user sees. The copies follow on their next refresh.
    TDecTreeNode* option = this;
    std::unordered_set<const TDecTreeNode*> seen{option};
    while (option && option->IsInsideClone()) {
        option = option->GetMirroredNode();
        // A document whose clones copy each other in a ring has no original to act on.
        if (option && !seen.insert(option).second)
            option = nullptr;
    }
    QD_ASSERT(option && option->FParent &&
                  (option->FParent->NodeType == ntDecision || option->FParent->NodeType == ntMultiDecision),
              "OptimizeDecisions.cpp");
    TDecTreeNode* parent = option->FParent;
    if (parent->NodeType == ntDecision) {
        for (TDecTreeNode* c : parent->Children)
            c->Probability = c == option ? 100 : 0;
    } else {
        option->Probability = option->Probability == 0 ? 100 : 0;
    }
}

namespace {

// Whether every sum of the options' values in units of 1/10000 stays within 64 bits. Payoffs may
// use the whole money range, and values add the payoffs of a whole path, so a valid document can
// go beyond it.
bool FitsInUnits(const TChildValues* options, int n)
{
    long double total = 0;
    for (int i = 0; i < n; ++i) {
        const TChildValues& c = options[i];
        total += (std::fabs((long double)c.ExpectedValue) + std::fabs((long double)c.MinValue) +
                  std::fabs((long double)c.MaxValue)) * CurrencyScale +
                 3 * std::fabs((long double)c.Payoff);
    }
    return total < 4.0e18L;
}

// The range of the taken options weighed by their marks, as a closed decision has it: what a
// budgeted decision whose search was given up answers.
void WeighTakenOptions(const TChildValues* options, int n, double& min, double& max)
{
    long double lo = 0, hi = 0;
    for (int i = 0; i < n; ++i) {
        const TChildValues& c = options[i];
        const long double w = (long double)c.Probability / 100;
        lo += w * ((long double)c.MinValue * CurrencyScale + c.Payoff);
        hi += w * ((long double)c.MaxValue * CurrencyScale + c.Payoff);
    }
    min = double(lo / CurrencyScale);
    max = double(hi / CurrencyScale);
}

// The same evaluation in extended precision for values beyond 64-bit units; the search follows
// the same order and comparisons, its sums stepping by addition and subtraction.
bool EvaluateLarge(TDecTreeNode& node, const TChildValues* options, int n, double& min, double& max,
                   uint8_t* marks)
{
    auto units = [](double value) { return std::rintl((long double)value * CurrencyScale); };
    const size_t count = static_cast<size_t>(n);
    std::vector<long double> cost(count), hiOf(count), loOf(count);
    for (int i = 0; i < n; ++i) {
        const TChildValues& c = options[i];
        cost[size_t(i)] = -(long double)c.Payoff;
        hiOf[size_t(i)] = units(c.MaxValue) + c.Payoff;
        loOf[size_t(i)] = units(c.MinValue) + c.Payoff;
    }
    long double lo = 0, hi = 0;
    if (node.DecisionMultiBudget == -1) {
        for (int i = 0; i < n; ++i) {
            if (marks)
                marks[i] = units(options[i].ExpectedValue) + options[i].Payoff > 0;
            if (loOf[size_t(i)] <= 0)
                lo += loOf[size_t(i)];
            if (hiOf[size_t(i)] > 0)
                hi += hiOf[size_t(i)];
        }
    } else if (n > MaxExtendedOptions) {
        node.SolveMemo = std::make_unique<TMultiOptionMemo>();
        node.SolveMemo->Solved = false;
        WeighTakenOptions(options, n, min, max);
        return false;
    } else {
        node.SolveMemo.reset();
        uint64_t maxSet = 0, minSet = 0;
        TMultiOptionFullSolverQuick::SolveExtended(cost.data(), hiOf.data(), loOf.data(), n,
                                                   (long double)node.DecisionMultiBudget * CurrencyScale, maxSet,
                                                   minSet);
        for (int i = 0; i < n; ++i) {
            const bool inMax = (maxSet >> i) & 1;
            if (marks)
                marks[i] = inMax;
            if (inMax)
                hi += hiOf[size_t(i)];
            if ((minSet >> i) & 1)
                lo += loOf[size_t(i)];
        }
    }
    min = double(lo / CurrencyScale);
    max = double(hi / CurrencyScale);
    return true;
}

// Up to this many options every subset is visited: quicker than the bounded search.
constexpr int MaxCountedOptions = 16;

} // namespace

bool MultiOptionLeftUnsolved(const TDecTreeNode& node)
{
    return node.NodeType == ntMultiDecision && !node.DecisionFixed && node.DecisionMultiBudget != -1 &&
           node.HasChildren() && node.SolveMemo && !node.SolveMemo->Solved;
}

int CountUnsolvedMultiOptions(const TDecTreeNode& top)
{
    int count = 0;
    std::vector<const TDecTreeNode*> stack{&top};
    while (!stack.empty()) {
        const TDecTreeNode* n = stack.back();
        stack.pop_back();
        count += MultiOptionLeftUnsolved(*n);
        if (!n->IsClone())
            for (const TDecTreeNode* c : n->Children)
                stack.push_back(c);
    }
    return count;
}

bool EvaluateMultiOptionValues(TDecTreeNode& node, const TChildValues* options, int n, double& min, double& max,
                               uint8_t* marks)
{
    if (!FitsInUnits(options, n))
        return EvaluateLarge(node, options, n, min, max, marks);
    // Option values are rounded to hundredths and payoffs have four decimals, so in units of
    // 1/10000 every sum here is exact.
    int64_t lo = 0, hi = 0;
    if (node.DecisionMultiBudget == -1) {
        for (int i = 0; i < n; ++i) {
            const TChildValues& c = options[i];
            const int64_t cLo = CurrencyUnits(c.MinValue) + c.Payoff;
            const int64_t cHi = CurrencyUnits(c.MaxValue) + c.Payoff;
            if (marks)
                marks[i] = CurrencyUnits(c.ExpectedValue) + c.Payoff > 0;
            if (cLo <= 0)
                lo += cLo;
            if (cHi > 0)
                hi += cHi;
        }
    } else {
        // Cost, highest and lowest value of each option, in units of 1/10000.
        thread_local std::vector<int64_t> inputs;
        inputs.resize(3 * size_t(n));
        for (int i = 0; i < n; ++i) {
            const TChildValues& c = options[i];
            inputs[size_t(i)] = -c.Payoff;
            inputs[size_t(n + i)] = CurrencyUnits(c.MaxValue) + c.Payoff;
            inputs[size_t(2 * n + i)] = CurrencyUnits(c.MinValue) + c.Payoff;
        }
        const int64_t* cost = inputs.data();
        const int64_t* hiOf = cost + n;
        const int64_t* loOf = cost + 2 * n;
        const int64_t budget = int64_t(node.DecisionMultiBudget) * CurrencyScale;
        auto inMax = [](const TMultiOptionMemo& m, int i) { return m.MaxSet[size_t(i)] != 0; };
        auto inMin = [](const TMultiOptionMemo& m, int i) { return m.MinSet[size_t(i)] != 0; };
        uint64_t maxBits = 0, minBits = 0;
        const TMultiOptionMemo* memo = nullptr;
        if (n < TMultiOptionMemo::MinOptions) {
            // A handful of options is solved faster than a remembered solve is looked up.
            TMultiOptionFullSolverQuick::SolveUnits(cost, hiOf, loOf, n, budget, maxBits, minBits);
        } else {
            // The last solve is kept with its inputs: an edit elsewhere does not solve this node again.
            std::unique_ptr<TMultiOptionMemo>& m = node.SolveMemo;
            if (!m || m->Budget != budget || m->Inputs != inputs) {
                if (!m)
                    m = std::make_unique<TMultiOptionMemo>();
                if (n <= MaxCountedOptions) {
                    TMultiOptionFullSolverQuick::SolveUnits(cost, hiOf, loOf, n, budget, maxBits, minBits);
                    m->MaxSet.resize(size_t(n));
                    m->MinSet.resize(size_t(n));
                    for (int i = 0; i < n; ++i) {
                        m->MaxSet[size_t(i)] = (maxBits >> i) & 1;
                        m->MinSet[size_t(i)] = (minBits >> i) & 1;
                    }
                    m->Solved = true;
                } else {
                    m->Solved = TMultiOptionFullSolverQuick::SolveBounded(cost, hiOf, loOf, n, budget, m->MaxSet,
                                                                          m->MinSet);
                }
                m->Budget = budget;
                m->Inputs = inputs;
            }
            if (!m->Solved) {
                WeighTakenOptions(options, n, min, max);
                return false;
            }
            memo = m.get();
        }
        for (int i = 0; i < n; ++i) {
            const bool taken = memo ? inMax(*memo, i) : ((maxBits >> i) & 1) != 0;
            if (marks)
                marks[i] = taken;
            if (taken)
                hi += hiOf[i];
            if (memo ? inMin(*memo, i) : ((minBits >> i) & 1) != 0)
                lo += loOf[i];
        }
    }
    min = double((long double)lo / CurrencyScale);
    max = double((long double)hi / CurrencyScale);
    return true;
}

void TDecTreeNode::EvaluateMultiOptionDecision(bool keepSelection, double& min, double& max)
{
    thread_local std::vector<TChildValues> options;
    thread_local std::vector<uint8_t> marks;
    options.clear();
    for (const TDecTreeNode* c : Children)
        options.push_back({c->Probability, c->Payoff, c->ExpectedValue, c->MinValue, c->MaxValue});
    marks.assign(options.size(), 0);
    const bool solved = EvaluateMultiOptionValues(*this, options.data(), int(options.size()), min, max,
                                                  keepSelection ? nullptr : marks.data());
    if (!keepSelection && solved) {
        int i = 0;
        for (TDecTreeNode* c : Children)
            c->Probability = marks[size_t(i++)] ? 100 : 0;
    }
}

namespace {

using TMasterIndex = std::unordered_map<TGuid, TDecTreeNode*>;

// Bottom-up over the subtree of top, which lies outside every clone.
void OptimizePass(TDecTreeNode& top)
{
    // Bottom-up over the subtree. Every optimised (unfixed or fixed) decision ends with a
    // roll-back of its subtree; values depend only on the subtree, and a subtree's marks are final
    // once its top has been optimised, so every node's values can be formed once, in reverse
    // pre-order, with each decision's trials rolling back only the decision itself. A multi-option
    // decision so chooses on its options' current values too: an option that is a chance node gets
    // no roll-back of its own, and judged on the values from before the choices below it, the best
    // set could be missed.
    struct Entry {
        TDecTreeNode* Node;
        int Parent;     // index of the parent entry, -1 for this node
        bool Skipped;   // a clone or inside one
        bool Covered;   // a decision on the path from this node down to it (itself included) rolls back
    };
    std::vector<Entry> order;
    std::vector<std::pair<TDecTreeNode*, int>> stack{{&top, -1}};
    while (!stack.empty()) {
        auto [node, parent] = stack.back();
        stack.pop_back();
        const bool skipped = node->IsClone() || (parent >= 0 && order[size_t(parent)].Skipped);
        const bool rollsBack = !skipped && node->HasChildren() && node->NodeType != ntChance;
        const bool covered = rollsBack || (parent >= 0 && order[size_t(parent)].Covered);
        const int index = int(order.size());
        order.push_back({node, parent, skipped, covered});
        for (int i = node->Children.Count() - 1; i >= 0; --i)
            stack.push_back({node->Children.begin()[i], index});
    }

    // Nodes that no decision rolls back keep their values, as they would without this shortcut.
    struct Kept {
        TDecTreeNode* Node;
        double ExpectedValue, MinValue, MaxValue;
    };
    std::vector<Kept> kept;
    for (const Entry& e : order)
        if (!e.Covered)
            kept.push_back({e.Node, e.Node->ExpectedValue, e.Node->MinValue, e.Node->MaxValue});

    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        TDecTreeNode& node = *it->Node;
        if (!it->Skipped && node.HasChildren() && !node.DecisionFixed) {
            if (node.NodeType == ntDecision) {
                // Try each option in turn; a later one wins only with a strictly greater value.
                // (The node is outside every clone, so taking an option is setting the marks.)
                auto take = [&node](int option) {
                    for (int j = 0; j < node.Children.Count(); ++j)
                        node.Children.begin()[j]->Probability = j == option ? 100 : 0;
                };
                int best = 0;
                double bestValue = 0;
                for (int i = 0; i < node.Children.Count(); ++i) {
                    take(i);
                    RollBackNodeValues(node);
                    if (i == 0 || node.ExpectedValue > bestValue) {
                        best = i;
                        bestValue = node.ExpectedValue;
                    }
                }
                take(best);
            } else if (node.NodeType == ntMultiDecision) {
                double lo, hi;
                node.EvaluateMultiOptionDecision(false, lo, hi);
            }
        }
        RollBackNodeValues(node);
    }

    // The taken path below each topmost rolled-back decision, as its roll-back marks it.
    for (size_t i = 1; i < order.size(); ++i) {
        const Entry& e = order[i];
        if (e.Covered && order[size_t(e.Parent)].Covered)
            e.Node->InTakenPath = e.Node->FParent->InTakenPath && e.Node->Probability > 0;
    }
    for (const Kept& k : kept) {
        k.Node->ExpectedValue = k.ExpectedValue;
        k.Node->MinValue = k.MinValue;
        k.Node->MaxValue = k.MaxValue;
    }
}

// The nodes outside clones of the tree by id, when the subtree of top holds a clone with
// children; else empty.
TMasterIndex IndexMasters(TDecTreeNode& top)
{
    bool any = false;
    std::vector<TDecTreeNode*> stack{&top};
    while (!stack.empty() && !any) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        if (n->IsClone()) {
            any = n->HasChildren();
            continue;
        }
        for (TDecTreeNode* c : n->Children)
            stack.push_back(c);
    }
    TMasterIndex index;
    if (!any)
        return index;
    stack.assign(1, top.GetRoot());
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        index.emplace(n->Id, n);
        if (!n->IsClone())
            for (TDecTreeNode* c : n->Children)
                stack.push_back(c);
    }
    return index;
}

// The masters that the clones below top depend on, followed through the clones inside each
// master, those that others depend on first.
std::vector<TDecTreeNode*> MastersInOrder(TDecTreeNode& top, const TMasterIndex& index)
{
    std::vector<TDecTreeNode*> order;
    std::unordered_set<TDecTreeNode*> seen;
    // Frames: a node whose subtree is still being searched for clones, or (Done) a master to emit.
    struct Frame {
        TDecTreeNode* Node;
        bool Done;
    };
    std::vector<Frame> stack{{&top, false}};
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        if (f.Done) {
            order.push_back(f.Node);
            continue;
        }
        if (f.Node->IsClone()) {
            const auto m = index.find(f.Node->CloneMasterId);
            if (m != index.end() && seen.insert(m->second).second) {
                stack.push_back({m->second, true});
                stack.push_back({m->second, false});
            }
            continue;
        }
        for (TDecTreeNode* c : f.Node->Children)
            stack.push_back({c, false});
    }
    return order;
}

// Gives the copies inside each clone below top the marks of their master's nodes, as the next
// refresh will, so that the decisions above the clone choose on what it will hold. A copy whose
// shape no longer matches is left for the refresh.
void CopyMarksToClones(TDecTreeNode& top, const TMasterIndex& index)
{
    std::vector<TDecTreeNode*> stack{&top};
    std::vector<std::pair<TDecTreeNode*, const TDecTreeNode*>> pairs;
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        if (!n->IsClone()) {
            for (TDecTreeNode* c : n->Children)
                stack.push_back(c);
            continue;
        }
        const auto m = index.find(n->CloneMasterId);
        if (m == index.end())
            continue;
        pairs.assign(1, {n, m->second});
        while (!pairs.empty()) {
            auto [to, from] = pairs.back();
            pairs.pop_back();
            if (to->Children.Count() != from->Children.Count())
                continue;
            for (int i = 0; i < to->Children.Count(); ++i) {
                TDecTreeNode* t = to->Children.begin()[i];
                const TDecTreeNode* f = from->Children.begin()[i];
                t->Probability = f->Probability;
                pairs.push_back({t, f});
            }
        }
    }
}

bool IsInSubtree(const TDecTreeNode* node, const TDecTreeNode* top)
{
    for (; node; node = node->Parent())
        if (node == top)
            return true;
    return false;
}

} // namespace

void TDecTreeNode::OptimizeDecisions()
{
    // Optimising inside a clone would write through to the master: the master is optimised in
    // its own place instead.
    if (!HasChildren() || IsCloneOrInsideClone())
        return;
    const TMasterIndex masters = IndexMasters(*this);
    if (masters.empty())
        return OptimizePass(*this);
    // A decision above a clone chooses on what the clone will copy, so the masters in this
    // subtree are optimised first, each after the masters its own clones copy. Masters elsewhere
    // are left as they stand, and their clones valued on that.
    for (TDecTreeNode* master : MastersInOrder(*this, masters))
        if (master != this && IsInSubtree(master, this) && !master->IsInsideClone() && master->HasChildren())
        {
            CopyMarksToClones(*master, masters);
            OptimizePass(*master);
        }
    CopyMarksToClones(*this, masters);
    OptimizePass(*this);
}
