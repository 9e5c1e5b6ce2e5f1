#pragma once
// A literal, recursive rendering of the roll-back, path-value and optimisation rules, for
// comparison with the iterative implementation on small trees.

#include "Component/model/DecTreeNode.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace reference {

inline int64_t Units(double v)
{
    return std::llroundl((long double)v * 10000);
}

inline double Round2(long double v)
{
    return double(std::rintl(v * 100) / 100);
}

inline double Step(double running, long double w, double value, int64_t payoff)
{
    return double(((long double)running * 10000 + w * ((long double)value * 10000 + payoff)) / 10000);
}

// Plain binary count over flag arrays, sums in units of 1/10000.
inline void Solve(const std::vector<int64_t>& cost, const std::vector<int64_t>& hi, const std::vector<int64_t>& lo,
                  int64_t budget, std::vector<bool>& maxSet, std::vector<bool>& minSet)
{
    const size_t n = cost.size();
    std::vector<bool> cur(n, false);
    maxSet.assign(n, false);
    minSet.assign(n, false);
    int64_t bestMax = 0, bestMin = 0, sc = 0, sh = 0, sl = 0;
    for (;;) {
        if (sc <= budget) {
            if (sh > bestMax) {
                bestMax = sh;
                maxSet = cur;
            } else if (sl < bestMin) {
                bestMin = sl;
                minSet = cur;
            }
        }
        size_t i = 0;
        while (i < n && cur[i])
            ++i;
        if (i == n)
            return;
        cur[i] = true;
        sc += cost[i];
        sh += hi[i];
        sl += lo[i];
        for (size_t j = 0; j < i; ++j) {
            cur[j] = false;
            sc -= cost[j];
            sh -= hi[j];
            sl -= lo[j];
        }
    }
}

inline void EvaluateMulti(TDecTreeNode& n, bool keep, double& min, double& max)
{
    int64_t lo = 0, hi = 0;
    std::vector<int64_t> cost, h, l;
    for (TDecTreeNode* c : n.Children) {
        cost.push_back(-c->Payoff);
        h.push_back(Units(c->MaxValue) + c->Payoff);
        l.push_back(Units(c->MinValue) + c->Payoff);
    }
    if (n.DecisionMultiBudget == -1) {
        int i = 0;
        for (TDecTreeNode* c : n.Children) {
            const int64_t value = Units(c->ExpectedValue) + c->Payoff;
            if (!keep)
                c->Probability = value > 0 ? 100 : 0;
            if (l[i] <= 0)
                lo += l[i];
            if (h[i] > 0)
                hi += h[i];
            ++i;
        }
    } else {
        std::vector<bool> maxSet, minSet;
        Solve(cost, h, l, int64_t(n.DecisionMultiBudget) * 10000, maxSet, minSet);
        for (size_t i = 0; i < cost.size(); ++i) {
            if (!keep)
                n.Children[int(i)]->Probability = maxSet[i] ? 100 : 0;
            if (maxSet[i])
                hi += h[i];
            if (minSet[i])
                lo += l[i];
        }
    }
    min = double((long double)lo / 10000);
    max = double((long double)hi / 10000);
}

inline void RollBack(TDecTreeNode& n)
{
    double sum = 0;
    for (TDecTreeNode* c : n.Children) {
        c->InTakenPath = n.InTakenPath && c->Probability > 0;
        RollBack(*c);
        sum += c->Probability;
    }
    if (n.NodeType != ntChance)
        sum = 100;
    double ev = 0, lo = 0, hi = 0;
    if (n.NodeType == ntMultiDecision && !n.DecisionFixed) {
        EvaluateMulti(n, true, lo, hi);
        for (TDecTreeNode* c : n.Children)
            ev = Step(ev, (long double)c->Probability / 100, c->ExpectedValue, c->Payoff);
    } else if (n.NodeType == ntDecision && !n.DecisionFixed) {
        if (n.Children.Count() > 0) {
            lo = 1.7E308;
            hi = -1.7E308;
            for (TDecTreeNode* c : n.Children) {
                ev = Step(ev, (long double)c->Probability / 100, c->ExpectedValue, c->Payoff);
                const long double cl = ((long double)c->MinValue * 10000 + c->Payoff) / 10000;
                const long double ch = ((long double)c->MaxValue * 10000 + c->Payoff) / 10000;
                if (cl < lo)
                    lo = double(cl);
                if (ch > hi)
                    hi = double(ch);
            }
        }
    } else if (sum != 0) {
        for (TDecTreeNode* c : n.Children) {
            const long double w = (long double)c->Probability / sum;
            ev = Step(ev, w, c->ExpectedValue, c->Payoff);
            lo = Step(lo, w, c->MinValue, c->Payoff);
            hi = Step(hi, w, c->MaxValue, c->Payoff);
        }
    }
    n.ExpectedValue = Round2(ev);
    n.MinValue = Round2(lo);
    n.MaxValue = Round2(hi);
}

inline void PathValues(TDecTreeNode& n, double p, double v)
{
    if (n.Children.Count() == 0) {
        n.PathProbability = p;
        n.PathPayoff = v;
        return;
    }
    double sum = 0;
    if (n.NodeType == ntMultiDecision)
        sum = 100;
    else
        for (TDecTreeNode* c : n.Children)
            sum += c->Probability;
    for (TDecTreeNode* c : n.Children)
        PathValues(*c, sum == 0 ? 0.0 : double((long double)p * c->Probability / sum),
                   double(((long double)v * 10000 + c->Payoff) / 10000));
}

inline bool InsideClone(const TDecTreeNode& n)
{
    for (const TDecTreeNode* p = n.Parent(); p; p = p->Parent())
        if (p->IsClone())
            return true;
    return false;
}

inline void Take(TDecTreeNode& option)
{
    TDecTreeNode* parent = option.Parent();
    if (parent->NodeType == ntDecision)
        for (TDecTreeNode* c : parent->Children)
            c->Probability = c == &option ? 100 : 0;
    else
        option.Probability = option.Probability == 0 ? 100 : 0;
}

// Clones and nodes inside clones are left out; their masters are optimised where they stand.
inline void OptimizeSubtree(TDecTreeNode& n)
{
    if (n.Children.Count() == 0 || n.IsClone() || InsideClone(n))
        return;
    for (TDecTreeNode* c : n.Children)
        OptimizeSubtree(*c);
    if (n.NodeType == ntDecision && !n.DecisionFixed) {
        int best = 0;
        double bestValue = 0;
        for (int i = 0; i < n.Children.Count(); ++i) {
            Take(*n.Children[i]);
            RollBack(n);
            if (i == 0 || n.ExpectedValue > bestValue) {
                best = i;
                bestValue = n.ExpectedValue;
            }
        }
        Take(*n.Children[best]);
    } else if (n.NodeType == ntMultiDecision && !n.DecisionFixed) {
        // The options are judged on their current values: an option that is a chance node has
        // had no roll-back since the marks below it changed.
        for (TDecTreeNode* c : n.Children)
            RollBack(*c);
        double lo, hi;
        EvaluateMulti(n, false, lo, hi);
    }
    if (n.NodeType != ntChance)
        RollBack(n);
}

inline TDecTreeNode* Find(TDecTreeNode& n, const TGuid& id)
{
    if (n.Id == id)
        return &n;
    if (!n.IsClone())
        for (TDecTreeNode* c : n.Children)
            if (TDecTreeNode* f = Find(*c, id))
                return f;
    return nullptr;
}

inline void CopyMarks(TDecTreeNode& to, const TDecTreeNode& from)
{
    if (to.Children.Count() != from.Children.Count())
        return;
    for (int i = 0; i < to.Children.Count(); ++i) {
        to.Children[i]->Probability = from.Children.begin()[i]->Probability;
        CopyMarks(*to.Children[i], *from.Children.begin()[i]);
    }
}

// Masters of the clones below n, each after the masters its own clones copy.
inline void Masters(TDecTreeNode& n, TDecTreeNode& root, std::vector<TDecTreeNode*>& out)
{
    if (n.IsClone()) {
        TDecTreeNode* m = Find(root, n.CloneMasterId);
        if (m && std::find(out.begin(), out.end(), m) == out.end()) {
            Masters(*m, root, out);
            if (std::find(out.begin(), out.end(), m) == out.end())
                out.push_back(m);
        }
        return;
    }
    for (TDecTreeNode* c : n.Children)
        Masters(*c, root, out);
}

inline void CopyMarksToClones(TDecTreeNode& n, TDecTreeNode& root)
{
    if (n.IsClone()) {
        if (TDecTreeNode* m = Find(root, n.CloneMasterId))
            CopyMarks(n, *m);
        return;
    }
    for (TDecTreeNode* c : n.Children)
        CopyMarksToClones(*c, root);
}

// The masters below n first; every clone is judged with its master's marks.
inline void Optimize(TDecTreeNode& n)
{
    if (n.Children.Count() == 0 || n.IsClone() || InsideClone(n))
        return;
    TDecTreeNode* root = &n;
    while (root->Parent())
        root = root->Parent();
    std::vector<TDecTreeNode*> masters;
    Masters(n, *root, masters);
    for (TDecTreeNode* m : masters) {
        bool inside = false;
        for (TDecTreeNode* p = m; p; p = p->Parent())
            inside = inside || p == &n;
        if (inside && m != &n && !InsideClone(*m)) {
            CopyMarksToClones(*m, *root);
            OptimizeSubtree(*m);
        }
    }
    CopyMarksToClones(n, *root);
    OptimizeSubtree(n);
}

} // namespace reference
