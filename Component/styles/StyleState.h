#pragma once
// One style state: the fixed tree of sixteen styles used for nodes of one path state, inheriting
// across from its alternate states.

#include "Component/styles/Style.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

class TStyleState;
using TStyleStateDynArray = std::vector<TStyleState*>;

// Names of the styles of the fixed tree (the root style's name is empty).
namespace StyleNames {
inline const QString Root;
inline const QString Symbols = QStringLiteral("Symbols");
inline const QString SymbolsDecision = QStringLiteral("Symbols.Decision");
inline const QString SymbolsMultiDecision = QStringLiteral("Symbols.MultiDecision");
inline const QString SymbolsChance = QStringLiteral("Symbols.Chance");
inline const QString SymbolsTerminator = QStringLiteral("Symbols.Terminator");
inline const QString SymbolAttributes = QStringLiteral("SymbolAttributes");
inline const QString OptionDescriptors = QStringLiteral("OptionDescriptors");
inline const QString ConnectorLines = QStringLiteral("ConnectorLines");
inline const QString ChanceOptionProbabilities = QStringLiteral("ChanceOptionProbabilities");
inline const QString DecisionOptionsTaken = QStringLiteral("DecisionOptionsTaken");
inline const QString DecisionOptionsTakenYes = QStringLiteral("DecisionOptionsTaken.Yes");
inline const QString DecisionOptionsTakenNo = QStringLiteral("DecisionOptionsTaken.No");
inline const QString OptionPayoff = QStringLiteral("OptionPayoff");
inline const QString OptionPayoffPositive = QStringLiteral("OptionPayoff.Positive");
inline const QString OptionPayoffNegative = QStringLiteral("OptionPayoff.Negative");
} // namespace StyleNames

class TStyleState {
public:
    // Builds the fixed style tree; the alternate states must already be built.
    TStyleState(const QString& name, const QString& displayName, const TStyleStateDynArray& altStates);
    TStyleState(const TStyleState&) = delete;
    TStyleState& operator=(const TStyleState&) = delete;
    ~TStyleState();

    TStyle* RootStyle() const { return FRootStyle.get(); }
    QString Name;
    QString DisplayName;
    const TStyleStateDynArray& AltStates() const { return FAltStates; }

    TStyle* Symbols() const { return FStyles[1]; }
    TStyle* SymbolsDecision() const { return FStyles[2]; }
    TStyle* SymbolsMultiDecision() const { return FStyles[3]; }
    TStyle* SymbolsChance() const { return FStyles[4]; }
    TStyle* SymbolsTerminator() const { return FStyles[5]; }
    TStyle* SymbolAttributes() const { return FStyles[6]; }
    TStyle* OptionDescriptors() const { return FStyles[7]; }
    TStyle* ConnectorLines() const { return FStyles[8]; }
    TStyle* ChanceOptionProbabilities() const { return FStyles[9]; }
    TStyle* DecisionOptionsTaken() const { return FStyles[10]; }
    TStyle* DecisionOptionsTakenYes() const { return FStyles[11]; }
    TStyle* DecisionOptionsTakenNo() const { return FStyles[12]; }
    TStyle* OptionPayoff() const { return FStyles[13]; }
    TStyle* OptionPayoffPositive() const { return FStyles[14]; }
    TStyle* OptionPayoffNegative() const { return FStyles[15]; }

    static constexpr int StyleCount = 16;

private:
    void BuildStyleTree();
    TStyle* Add(TStyle* parent, const QString& name, const QString& displayName);

    std::unique_ptr<TStyle> FRootStyle;
    TStyleStateDynArray FAltStates;
    // The styles in pre-order; the tree never changes after construction.
    std::array<TStyle*, StyleCount> FStyles{};
};
