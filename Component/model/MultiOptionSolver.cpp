#include "Component/model/MultiOptionSolver.h"

#include "shared/core/Exceptions.h"

TProject* TProjectList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)].get();
}

void TMultiOptionFullSolverQuick::Solve(TProjectList&, double) {}

void TMultiOptionFullSolverQuick::SolveUnits(const int64_t*, const int64_t*, const int64_t*, int, int64_t,
                                             uint64_t& maxSet, uint64_t& minSet)
{
    maxSet = 0;
    minSet = 0;
}
