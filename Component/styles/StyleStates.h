#pragma once
// The four style states of a document: in the taken path or not, each for ordinary nodes and for
// clones. A state inherits across from its alternates (built before it).

#include "Component/styles/StyleState.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace StateNames {
inline const QString InTakenPath = QStringLiteral("InTakenPath");
inline const QString NotInTakenPath = QStringLiteral("NotInTakenPath");
inline const QString CloneInTakenPath = QStringLiteral("CloneInTakenPath");
inline const QString CloneNotInTakenPath = QStringLiteral("CloneNotInTakenPath");
} // namespace StateNames

class TStyleStates {
public:
    static constexpr int StateCount = 4;

    TStyleStates();
    TStyleStates(const TStyleStates&) = delete;
    TStyleStates& operator=(const TStyleStates&) = delete;
    ~TStyleStates();

    // The state of that name (exact); InvalidOperationException "StyleTree <name> not found".
    TStyleState* FindState(const QString& stateName) const;
    TStyleState* InTakenPath() const { return FStates[0].get(); }
    TStyleState* NotInTakenPath() const { return FStates[1].get(); }
    TStyleState* CloneInTakenPath() const { return FStates[2].get(); }
    TStyleState* CloneNotInTakenPath() const { return FStates[3].get(); }
    TStyleState* State(int index) const { return FStates[size_t(index)].get(); }
    // The four states in order (a new array).
    TStyleStateDynArray GetStates() const;

    // Makes every Inherit flag and own value equal to source's, exactly as writing source to
    // style-state XML and reading it here would: settings that inherit in source inherit here
    // and keep the value they held. The objects and their links stay.
    void Assign(const TStyleStates& source);

private:
    std::array<std::unique_ptr<TStyleState>, StateCount> FStates;
};
