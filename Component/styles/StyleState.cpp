#include "Component/styles/StyleState.h"

#include "shared/core/Exceptions.h"

TStyleState::TStyleState(const QString& name, const QString& displayName,
                         const TStyleStateDynArray& altStates)
    : Name(name), DisplayName(displayName), FAltStates(altStates)
{
    BuildStyleTree();
}

TStyleState::~TStyleState() = default;

TStyle* TStyleState::Add(TStyle* parent, const QString& name, const QString& displayName)
{
    TStyleDynArray alternates;
    alternates.reserve(FAltStates.size());
    for (TStyleState* alt : FAltStates)
        alternates.push_back(alt->RootStyle()->FindStyle(name));
    if (!parent) {
        FRootStyle = std::make_unique<TStyle>(name, displayName, alternates);
        return FRootStyle.get();
    }
    return parent->AddChild(name, displayName, alternates);
}

void TStyleState::BuildStyleTree()
{
    namespace N = StyleNames;
    TStyle* root = Add(nullptr, N::Root, QStringLiteral("All"));
    TStyle* symbols = Add(root, N::Symbols, QStringLiteral("Symbols"));
    Add(symbols, N::SymbolsDecision, QStringLiteral("Decisions (single)"));
    Add(symbols, N::SymbolsMultiDecision, QStringLiteral("Decisions (multi)"));
    Add(symbols, N::SymbolsChance, QStringLiteral("Chances (Circles)"));
    Add(symbols, N::SymbolsTerminator, QStringLiteral("Terminators (Triangle)"));
    Add(root, N::SymbolAttributes, QStringLiteral("Symbol attributes"));
    Add(root, N::OptionDescriptors, QStringLiteral("Option descriptors"));
    TStyle* lines = Add(root, N::ConnectorLines, QStringLiteral("Connector lines"));
    lines->LineOnly = true;
    Add(root, N::ChanceOptionProbabilities, QStringLiteral("Option probabilities"));
    TStyle* taken = Add(root, N::DecisionOptionsTaken, QStringLiteral("Options taken"));
    Add(taken, N::DecisionOptionsTakenYes, QStringLiteral("Yes"));
    Add(taken, N::DecisionOptionsTakenNo, QStringLiteral("No"));
    TStyle* payoff = Add(root, N::OptionPayoff, QStringLiteral("Option payoff"));
    Add(payoff, N::OptionPayoffPositive, QStringLiteral("Positive"));
    Add(payoff, N::OptionPayoffNegative, QStringLiteral("Negative"));

    const TStyleDynArray all = root->GetAllStyles(true);
    QD_ASSERT(all.size() == FStyles.size(), "StyleState.cpp");
    std::copy(all.begin(), all.end(), FStyles.begin());
}
