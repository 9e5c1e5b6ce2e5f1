#include "Component/styles/StyleStates.h"

#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"

TStyleStates::TStyleStates()
{
    FStates[0] = std::make_unique<TStyleState>(StateNames::InTakenPath,
                                               QStringLiteral("In taken path"), TStyleStateDynArray{});
    TStyleState* inTaken = FStates[0].get();
    FStates[1] = std::make_unique<TStyleState>(StateNames::NotInTakenPath,
                                               QStringLiteral("Not in taken path"),
                                               TStyleStateDynArray{inTaken});
    FStates[2] = std::make_unique<TStyleState>(StateNames::CloneInTakenPath,
                                               QStringLiteral("Clone, in taken path"),
                                               TStyleStateDynArray{inTaken});
    FStates[3] = std::make_unique<TStyleState>(
        StateNames::CloneNotInTakenPath, QStringLiteral("Clone, not in taken path"),
        TStyleStateDynArray{FStates[2].get(), FStates[1].get(), inTaken});
}

TStyleStates::~TStyleStates()
{
    // Later states link to earlier ones: free them in reverse.
    for (int i = StateCount - 1; i >= 0; --i)
        FStates[size_t(i)].reset();
}

TStyleState* TStyleStates::FindState(const QString& stateName) const
{
    for (const auto& state : FStates)
        if (state->Name == stateName)
            return state.get();
    throw InvalidOperationException(QStringLiteral("StyleTree ") + stateName +
                                    QStringLiteral(" not found"));
}

TStyleStateDynArray TStyleStates::GetStates() const
{
    TStyleStateDynArray states;
    states.reserve(StateCount);
    for (const auto& state : FStates)
        states.push_back(state.get());
    return states;
}

void TStyleStates::Assign(const TStyleStates& source)
{
    AssignStyleStates(source, *this);
}
