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

// How much searching a budgeted multi-option decision may take before it is left unsolved, in
// steps of the bounded search (a step is the visit of one partial choice); this many take about a
// second on an ordinary machine.
constexpr int64_t MaxSolverSteps = 50000000;

// Values beyond 64-bit units are searched exhaustively in extended precision; more options than
// this would take longer than the step limit allows.
constexpr int MaxExtendedOptions = 22;

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
// never lost to rounding. Beyond a handful of projects the subsets are not all visited: a bounded
// search skips those that cannot beat the best so far, and answers the same sets.
class TMultiOptionFullSolverQuick : public TMultiOptionSolver {
public:
    // Raises InvalidOperationException when the search would take more than MaxSolverSteps steps.
    void Solve(TProjectList& projects, double budget) override;

    // The same answer as SolveUnits for any number of projects, from a search that leaves out
    // every branch whose best possible sum (that of the fractional choice) cannot beat the best
    // so far. The sets are one flag per project. Answers false, with both sets empty, when the
    // search would take more than stepLimit steps; stepsTaken, when given, answers how many the
    // search took (or stepLimit + 1). Any sum of the inputs must fit in 62 bits.
    static bool SolveBounded(const int64_t* cost, const int64_t* maxValue, const int64_t* minValue, int count,
                             int64_t budget, std::vector<uint8_t>& maxSet, std::vector<uint8_t>& minSet,
                             int64_t stepLimit = MaxSolverSteps, int64_t* stepsTaken = nullptr);

    // The same search on values already in units of 1/10000; answers the two sets as bit masks
    // (bit i = project i). Only for up to 62 projects.
    static void SolveUnits(const int64_t* cost, const int64_t* maxValue, const int64_t* minValue, int count,
                           int64_t budget, uint64_t& maxSet, uint64_t& minSet);
    // The same search in extended precision, for values whose sums could leave 64-bit units; its
    // sums step by addition and subtraction. Only for up to MaxExtendedOptions projects.
    static void SolveExtended(const long double* cost, const long double* maxValue, const long double* minValue,
                              int count, long double budget, uint64_t& maxSet, uint64_t& minSet);
};

// The inputs and result of a node's last budgeted solve: an unchanged node is not solved again.
// Nodes with fewer options are solved every time, which is quicker than the look-up.
struct TMultiOptionMemo {
    static constexpr int MinOptions = 7;
    int64_t Budget = 0;
    std::vector<int64_t> Inputs; // cost, max, min per option, in units of 1/10000
    std::vector<uint8_t> MaxSet; // one flag per option
    std::vector<uint8_t> MinSet;
    bool Solved = true; // false: the search was given up (see MaxSolverSteps)
};
