// The project-management side of decisions: probability sums, investment, overdue and
// open/closed status, the attribute-box texts, the checks behind warning marks and hints, and
// the payoff read from a workbook.

#include "Component/model/NodeStatus.h"

#include "Component/formula/FunctionParser.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "shared/core/Exceptions.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

const QDate DayZero(1899, 12, 30);

// Clamps a long double to the money range; a value that is not a number counts as 0.
TCurrency SaturateMoney(long double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0L)
        return std::numeric_limits<TCurrency>::max();
    if (value <= -9223372036854775808.0L)
        return std::numeric_limits<TCurrency>::min();
    return TCurrency(value);
}

QString GroupedDigits(uint64_t whole, const QString& groupSeparator)
{
    QString digits = QString::number(whole);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, groupSeparator);
    return digits;
}

} // namespace

QString FormatCurrency(TCurrency value, const TTreeOptions& options)
{
    const QLocale locale;
    const int decimals = std::clamp(options.CurrencyDecimals, 0, 255);
    const bool negativeInput = value < 0;
    // In magnitude, as unsigned, so the most negative amount has a magnitude too.
    uint64_t magnitude = negativeInput ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    uint64_t whole = magnitude / CurrencyScale;
    uint64_t fraction = magnitude % CurrencyScale; // in 1/10000
    QString fractionText;
    bool nonZero = whole != 0;
    if (decimals < 4) {
        uint64_t divisor = 1;
        for (int i = decimals; i < 4; ++i)
            divisor *= 10;
        uint64_t shown = fraction / divisor;
        if ((fraction % divisor) * 2 >= divisor)
            ++shown; // half away from zero
        uint64_t limit = 1;
        for (int i = 0; i < decimals; ++i)
            limit *= 10;
        if (shown >= limit) {
            shown -= limit;
            ++whole;
        }
        nonZero = whole != 0 || shown != 0;
        if (decimals > 0)
            fractionText = QStringLiteral("%1").arg(shown, decimals, 10, QLatin1Char('0'));
    } else {
        nonZero = nonZero || fraction != 0;
        fractionText = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0')) +
                       QString(decimals - 4, QLatin1Char('0'));
    }
    QString number = GroupedDigits(whole, locale.groupSeparator());
    if (decimals > 0)
        number += locale.decimalPoint() + fractionText;
    // An amount that rounds to zero shows no sign.
    const bool negative = negativeInput && nonZero;

    const QString& s = options.CurrencySymbol;
    const QString& n = number;
    if (!negative) {
        switch (options.CurrencyPosFormat) {
        case 1: return n + s;
        case 2: return s + QLatin1Char(' ') + n;
        case 3: return n + QLatin1Char(' ') + s;
        default: return s + n;
        }
    }
    switch (options.CurrencyNegFormat) {
    case 1: return QLatin1Char('-') + s + n;
    case 2: return s + QLatin1Char('-') + n;
    case 3: return s + n + QLatin1Char('-');
    case 4: return QLatin1Char('(') + n + s + QLatin1Char(')');
    case 5: return QLatin1Char('-') + n + s;
    case 6: return n + QLatin1Char('-') + s;
    case 7: return n + s + QLatin1Char('-');
    case 8: return QLatin1Char('-') + n + QLatin1Char(' ') + s;
    case 9: return QLatin1Char('-') + s + QLatin1Char(' ') + n;
    case 10: return n + QLatin1Char(' ') + s + QLatin1Char('-');
    case 11: return s + QLatin1Char(' ') + n + QLatin1Char('-');
    case 12: return s + QLatin1Char(' ') + QLatin1Char('-') + n;
    case 13: return n + QLatin1Char('-') + QLatin1Char(' ') + s;
    case 14: return QLatin1Char('(') + s + QLatin1Char(' ') + n + QLatin1Char(')');
    case 15: return QLatin1Char('(') + n + QLatin1Char(' ') + s + QLatin1Char(')');
    default: return QLatin1Char('(') + s + n + QLatin1Char(')');
    }
}

TDateTime CurrentDayCount()
{
    const QDateTime now = QDateTime::currentDateTime();
    return double(DayZero.daysTo(now.date())) + now.time().msecsSinceStartOfDay() / 86400000.0;
}

QString DayCountToShortDateText(TDateTime value)
{
    if (!std::isfinite(value))
        value = 0;
    value = std::clamp(value, -657434.0, 2958465.0);
    return QLocale().toString(DayZero.addDays(qint64(std::trunc(value))), QLocale::ShortFormat);
}

double TDecTreeNode::GetProbabilitySum() const
{
    if (NodeType != ntChance)
        return 100;
    double sum = 0;
    for (const TDecTreeNode* child : Children)
        sum += child->Probability;
    return sum;
}

TCurrency TDecTreeNode::GetInvestment() const
{
    QD_ASSERT(NodeType == ntMultiDecision, "NodeStatus");
    TCurrency result = 0;
    for (const TDecTreeNode* child : Children) {
        const long double spent = (long double)child->Payoff * child->Probability / 100;
        result = SaturateMoney(std::nearbyint((long double)result - spent));
    }
    return result;
}

bool TDecTreeNode::IsOverdue() const
{
    if (!HasChildren() || NodeType == ntChance)
        return false;
    TDateTime status = Tree ? Tree->Options.StatusDate : 0;
    if (status == 0)
        status = CurrentDayCount();
    if (DecisionDueDate == 0)
        return false;
    if (std::trunc(status) <= std::trunc(DecisionDueDate))
        return false;
    return !DecisionFixed;
}

QString TDecTreeNode::GetBudgetText() const
{
    if (DecisionMultiBudget == -1)
        return NodeStatusTexts::NoLimit;
    return FormatCurrency(TCurrency(DecisionMultiBudget) * CurrencyScale, Tree ? Tree->Options : TTreeOptions());
}

QString TDecTreeNode::GetInvestmentText() const
{
    return FormatCurrency(GetInvestment(), Tree ? Tree->Options : TTreeOptions());
}

QString TDecTreeNode::GetOwnerText() const
{
    return DecisionOwner;
}

QString TDecTreeNode::GetCaptionText() const
{
    return DecisionCaption;
}

QString TDecTreeNode::GetDueDateText() const
{
    if (DecisionDueDate == 0)
        return NodeStatusTexts::NoDueDate;
    return DayCountToShortDateText(DecisionDueDate);
}

QString TDecTreeNode::GetStatusText() const
{
    if (DecisionFixed)
        return NodeStatusTexts::Closed;
    if (IsOverdue())
        return NodeStatusTexts::Overdue;
    return NodeStatusTexts::Open;
}

void TDecTreeNode::GetAttributeLines(QStringList& lines) const
{
    if (ShowsCaption())
        lines.append(DecisionCaption);
    if (ShowsBudget())
        lines.append(QStringLiteral("Budget: ") + GetBudgetText());
    if (ShowsInvestment())
        lines.append(QStringLiteral("Investment: ") + GetInvestmentText());
    if (ShowsOwner())
        lines.append(QStringLiteral("Owner: ") + DecisionOwner);
    if (ShowsDueDate())
        lines.append(QStringLiteral("Due Date: ") + GetDueDateText());
    if (ShowsFixed())
        lines.append(QStringLiteral("Mode: ") + GetStatusText());
}

TCurrency TDecTreeNode::GetPayoffValue(const QString& documentPath, QString& errorText) const
{
    errorText.clear();
    if (!PayoffSource.startsWith(NodeStatusTexts::ImportPrefix))
        return Payoff;
    const double value =
        ReadExcelData(PayoffSource.mid(NodeStatusTexts::ImportPrefix.size()), documentPath, errorText);
    if (!errorText.isEmpty())
        return 0;
    qint64 money = 0;
    if (!ValueToMoney(value, money, errorText))
        return 0;
    return money;
}

bool TDecTreeNode::HasImportedPayoff() const
{
    std::vector<const TDecTreeNode*> stack{this};
    while (!stack.empty()) {
        const TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (node->PayoffSource.startsWith(NodeStatusTexts::ImportPrefix))
            return true;
        for (const TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    return false;
}

bool TDecTreeNode::HasProbabilityError() const
{
    // Only a fork can miss: an end node has no branches to add up, and draws no mark.
    if (NodeType != ntChance || ChanceType != ctPercent || !HasChildren())
        return false;
    return !(std::fabs(GetProbabilitySum() - 100) <= ProbabilitySumTolerance);
}

bool TDecTreeNode::IsBudgetExceeded() const
{
    return GetBudgetExcess() > 0;
}

TCurrency TDecTreeNode::GetBudgetExcess() const
{
    if (NodeType != ntMultiDecision || DecisionMultiBudget == -1 || !HasChildren())
        return 0;
    const long double excess =
        (long double)GetInvestment() - (long double)DecisionMultiBudget * CurrencyScale;
    return excess > 0 ? SaturateMoney(excess) : 0;
}

TNodeWarning TDecTreeNode::GetWarning() const
{
    if (IsOverdue())
        return TNodeWarning::Overdue;
    if (IsBudgetExceeded())
        return TNodeWarning::BudgetExceeded;
    if (HasProbabilityError())
        return TNodeWarning::ProbabilitySum;
    return TNodeWarning::None;
}

QString TDecTreeNode::GetWarningHint() const
{
    QString text;
    if (HasProbabilityError())
        text = NodeStatusTexts::ProbabilitiesDontAddUp;
    if (IsBudgetExceeded())
        text = NodeStatusTexts::BudgetExceededBy +
               FormatCurrency(GetBudgetExcess(), Tree ? Tree->Options : TTreeOptions());
    if (IsOverdue()) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += NodeStatusTexts::DecisionIsOverdue;
    }
    return text;
}
