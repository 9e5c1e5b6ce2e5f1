#pragma once
// What the checks on a node report, the texts they report it with, and the currency
// formatting every money text of a document goes through.

#include "Component/model/NodeTypes.h"
#include "shared/core/LocaleNumbers.h"

#include <QString>

struct TTreeOptions;

// Why a node's symbol carries a warning mark, in the order in which the mark is chosen: an
// overdue decision is red, an exceeded budget or a percent split that misses 100 is magenta.
enum class TNodeWarning : uint8_t {
    None,
    Overdue,
    BudgetExceeded,
    ProbabilitySum,
};

namespace NodeStatusTexts {
inline const QString ProbabilitiesDontAddUp = QStringLiteral("Probabilities don't add up to 100");
inline const QString BudgetExceededBy = QStringLiteral("Budget exceeded by ");
inline const QString DecisionIsOverdue =
    QStringLiteral("Decision is overdue (Status date behind Due date but actual not checked)");
inline const QString NotSolved = QStringLiteral(
    "Too many options to find the best set within the budget in time: the options stay as marked");
inline const QString NoLimit = QStringLiteral("no limit");
inline const QString NoDueDate = QStringLiteral("none");
inline const QString Closed = QStringLiteral("Closed");
inline const QString Overdue = QStringLiteral("Overdue");
inline const QString Open = QStringLiteral("Open");
inline const QString ImportPrefix = QStringLiteral("Import: ");
} // namespace NodeStatusTexts

// A sum of percentages this close to 100 counts as 100, for the hint as for the painted mark.
constexpr double ProbabilitySumTolerance = 0.0001;

// Formats money (units of 1/10000) with the document's currency symbol and decimals and its
// positive (0-3) and negative (0-15) currency format codes, using the user's locale for the
// decimal and group separators and the grouping. Rounds half away from zero to the shown
// decimals. A code outside its range is formatted as code 0 (the document reader refuses such
// codes), so a paint can never fail on it.
QString FormatCurrency(TCurrency value, const TTreeOptions& options);

// The user's locale's separators and grouping, taken once for a run of many amounts (a layout
// or a paint of a whole tree) instead of asking the locale for every amount.
using TMoneySeparators = TNumberSymbols;
// FormatCurrency with separators taken beforehand.
QString FormatCurrency(TCurrency value, const TTreeOptions& options, const TMoneySeparators& separators);

// Day-count dates (whole days since 1899-12-30, the fraction the time of day).
TDateTime CurrentDayCount();
// The user's short date form of the date part of a day-count date.
QString DayCountToShortDateText(TDateTime value);
