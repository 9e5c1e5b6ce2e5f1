#pragma once
// Which style a node is drawn and measured with: its style state by clone membership and taken
// path, and the styles of its symbol, probability (or taken mark) and payoff. Also the small
// number-to-text and rounding rules that drawing and measuring must share, so the painted text
// is always the measured one.

#include "Component/model/NodeTypes.h"

#include <QString>

#include <cstdint>

class TDecTreeNode;
class TStyle;
class TStyleState;
class TStyleStates;
struct TTreeOptions;

// The state of a node with those two properties: "InTakenPath", "NotInTakenPath",
// "CloneInTakenPath" or "CloneNotInTakenPath".
TStyleState* StyleStateFor(const TStyleStates& states, bool cloneOrInsideClone, bool inTakenPath);
// The node's state in its own document's style states; InvalidOperationException for a node
// that belongs to no document.
TStyleState* GetStyleState(const TDecTreeNode& node);

// In the node's state (or in the given one, which callers that walk many nodes already hold):
// "Symbols.Terminator" without children, else by type. InvalidOperationException
// "Unhandled NodeType" for a type outside the three.
TStyle* GetSymbolStyle(const TDecTreeNode& node);
TStyle* GetSymbolStyle(const TStyleState& state, const TDecTreeNode& node);
// "OptionPayoff.Positive" for a payoff of at least 0, else "OptionPayoff.Negative".
TStyle* GetPayoffStyle(const TDecTreeNode& node);
TStyle* GetPayoffStyle(const TStyleState& state, const TDecTreeNode& node);
// Under a decision "DecisionOptionsTaken.No" exactly when Probability is 0, else ".Yes"; under a
// chance node "ChanceOptionProbabilities". InvalidOperationException on the root and for an
// unknown parent type.
TStyle* GetProbabilityOrTakenStyle(const TDecTreeNode& node);
TStyle* GetProbabilityOrTakenStyle(const TStyleState& state, const TDecTreeNode& node);

// The style the painter writes the probability or taken mark in, and that text: "TRUE" in
// "DecisionOptionsTaken.Yes" exactly at 100, else "FALSE" in ".No"; under a chance node the
// probability as text, with "%" under a percent node, in "ChanceOptionProbabilities".
// Throws Exception "<prefix><type number>" for an unknown parent type. Not for the root.
TStyle* ProbabilityTextStyle(const TStyleState& state, const TDecTreeNode& node, const QString& errorPrefix);
QString ProbabilityText(const TDecTreeNode& node, const QString& errorPrefix);

namespace PainterTexts {
inline const QString True = QStringLiteral("TRUE");
inline const QString False = QStringLiteral("FALSE");
inline const QString Owner = QStringLiteral("Owner: ");
inline const QString Budget = QStringLiteral("Budget: ");
inline const QString Investment = QStringLiteral("Investment: ");
inline const QString DueDate = QStringLiteral("Due Date: ");
inline const QString Mode = QStringLiteral("Mode: ");
} // namespace PainterTexts

// True when the two differ by less than 0.0001.
bool SameValue(double a, double b);
// The general text of a Double: up to 15 significant digits, the user's decimal separator, an
// exponent ("1E20", "1E-5") only where the plain form would be longer; "NAN", "INF", "-INF".
QString FloatToText(double x);
// The number a text (in the user's or the invariant form) stands for; 0 when it is none.
double TextToFloatDef(const QString& text);

// The nearest integer, an exact half to the even neighbour. Not-a-number gives 0 and values
// beyond the type's range its nearest end, so nonsense values can never make drawing fail.
int32_t RoundToInt32(double x);
int64_t RoundToInt64(double x);
// A computed value in currency units as money (units of 1/10000), rounded as above.
TCurrency ValueToCurrency(double value);
// "12%" for a path probability of 0.12 (the percentage rounded as above).
QString PathProbabilityText(double pathProbability);
