#pragma once
// Evaluation of multi-option decisions: the options as the solver sees them and the exhaustive
// search for the best affordable set.

#include <cstdint>
#include <memory>
#include <vector>

class TDecTreeNode;

// One option of a multi-option decision.
class TProject {
public:
    TProject(TDecTreeNode* node, double cost, double maxValue, double minValue)
        : Cost(cost), MinValue(minValue), MaxValue(maxValue), Node(node) {}

    double Cost;     // minus the option's payoff, in currency units
    double MinValue; // the option's lowest value plus its payoff
    double MaxValue; // the option's highest value plus its payoff
    bool InMaxSet = false;
    bool InMinSet = false;
    TDecTreeNode* Node; // not owned
};

class TProjectList {
public:
    class TProjectListEnumerator {
    public:
        explicit TProjectListEnumerator(const TProjectList& list) : FList(list) {}
        bool MoveNext() { return ++FIndex < FList.Count(); }
        TProject* Current() const { return FList.Items(FIndex); }

    private:
        const TProjectList& FList;
        int FIndex = -1;
    };

    void Add(std::unique_ptr<TProject> project) { FItems.push_back(std::move(project)); }
    int Count() const { return int(FItems.size()); }
    // Raises EListError when index is outside 0 .. Count - 1.
    TProject* Items(int index) const;
    TProjectListEnumerator GetEnumerator() const { return TProjectListEnumerator(*this); }

private:
    std::vector<std::unique_ptr<TProject>> FItems;
};

// The search visits 2^n subsets; beyond this many options it would hold the program for minutes
// or, in practice, for ever, on every recalculation. A budgeted multi-option decision with more
// options is not solved: it keeps its marks and counts like a closed one.
constexpr int MaxSolvedOptions = 30;

class TMultiOptionSolver {
public:
    virtual ~TMultiOptionSolver() = default;
    virtual void Solve(TProjectList& projects, double budget) = 0;
};

// Visits every subset of the projects in binary counting order (project 0 the lowest digit,
// the empty set first). Among the affordable subsets the first with the greatest positive sum of
// highest values becomes the maximum set; a subset that does not improve the maximum may become
// the minimum set when its sum of lowest values is the smallest negative one so far.
// Sums are kept as exact integers in units of 1/10000, so a set costing exactly the budget is
// never lost to rounding.
class TMultiOptionFullSolverQuick : public TMultiOptionSolver {
public:
    // Raises ArgumentOutOfRangeException for more than MaxSolvedOptions projects.
    void Solve(TProjectList& projects, double budget) override;

    // The same search on values already in units of 1/10000; answers the two sets as bit masks
    // (bit i = project i). Only for up to 62 projects.
    static void SolveUnits(const int64_t* cost, const int64_t* maxValue, const int64_t* minValue, int count,
                           int64_t budget, uint64_t& maxSet, uint64_t& minSet);
    // The same search in extended precision, for values whose sums could leave 64-bit units; its
    // sums step by addition and subtraction. Only for up to MaxSolvedOptions projects.
    static void SolveExtended(const long double* cost, const long double* maxValue, const long double* minValue,
                              int count, long double budget, uint64_t& maxSet, uint64_t& minSet);
};

// The inputs and result of a node's last budgeted solve: an unchanged node is not solved again.
// Nodes with fewer options are solved every time, which is quicker than the look-up.
struct TMultiOptionMemo {
    static constexpr int MinOptions = 7;
    int64_t Budget = 0;
    std::vector<int64_t> Inputs; // cost, max, min per option, in units of 1/10000
    uint64_t MaxSet = 0;
    uint64_t MinSet = 0;
};
