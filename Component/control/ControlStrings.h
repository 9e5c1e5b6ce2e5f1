#pragma once
// The user-visible texts of the tree control: undo action names, questions, notices, hints and
// the attribute popup's captions. Kept together so that they read exactly as users know them.

#include <QString>

namespace ControlStrings {
// Undo action names.
inline const QString EditTitle = QStringLiteral("Edit Title");
inline const QString EditProbability = QStringLiteral("Edit Probability");
inline const QString TakeToggleOption = QStringLiteral("Take/Toggle option");
inline const QString EditPayoff = QStringLiteral("Edit Payoff");
inline const QString EditCaption = QStringLiteral("Edit Caption");
inline const QString EditDecisionOwner = QStringLiteral("Edit Decision Owner");
inline const QString EditDecisionDueDate = QStringLiteral("Edit Decision Due Date");
inline const QString ToggleMode = QStringLiteral("Toggle Mode");
inline const QString EditBudget = QStringLiteral("Edit Budget");
inline const QString AddSubnodes = QStringLiteral("Add subnodes");
inline const QString Remove = QStringLiteral("Remove");

// Questions and notices.
inline const QString FixedDecisionQuestion =
    QStringLiteral("This decision has been defined as fixed. Do you still want to take a new option?");
inline const QString DeleteQuestion =
    QStringLiteral("Do you really want to delete the selected node(s) and all of its/their children?");
inline const QString UnlinkClonesFirst =
    QStringLiteral("This node or one of its children has one or more clones. Please unlink them first.");

// Why a typed budget is refused although it is a number.
inline const QString BudgetNotWhole = QStringLiteral("Invalid number: the budget is a whole amount");

// Internal errors.
inline const QString NodeTypeInvalid = QStringLiteral("NodeType invalid");
inline const QString NodeNotFound = QStringLiteral("Could not find node as returned by GetSelectedNodeIds");

// Hover hints; in texts with a vertical bar the short hint stands before it, the long one after.
inline const QString HintTakenOption =
    QStringLiteral("Option taken?|TRUE if option is currently taken, FALSE if it is not");
inline const QString HintProbability = QStringLiteral("Probability|Shows the probability of this node");
inline const QString HintPayoff = QStringLiteral("Payoff|Shows the payoff (positive) or cost (negative) of this node.");
inline const QString HintLinkedNode = QStringLiteral("Linked node");

// The attribute popup: item names and captions.
inline const QString PopName = QStringLiteral("butPopName");
inline const QString PopBudget = QStringLiteral("butPopBudget");
inline const QString PopInvestment = QStringLiteral("butPopInvestment");
inline const QString PopOwner = QStringLiteral("butPopOwner");
inline const QString PopDueDate = QStringLiteral("butPopDueDate");
inline const QString PopFixed = QStringLiteral("butPopFixed");
inline const QString PopSep = QStringLiteral("butPopSep");
inline const QString PopShowAll = QStringLiteral("butPopShowAll");
inline const QString PopHideAll = QStringLiteral("butPopHideAll");

inline const QString ShowCaption = QStringLiteral("Show Caption");
inline const QString ShowBudget = QStringLiteral("Show Budget");
inline const QString ShowInvestment = QStringLiteral("Show Investment (Readonly)");
inline const QString ShowOwner = QStringLiteral("Show Owner");
inline const QString ShowDueDate = QStringLiteral("Show Due date");
inline const QString ShowMode = QStringLiteral("Show Mode");
inline const QString ShowAll = QStringLiteral("Show all");
inline const QString HideAll = QStringLiteral("Hide all");
} // namespace ControlStrings
