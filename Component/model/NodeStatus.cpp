// The project-management side of decisions: probability sums, investment, overdue and
// open/closed status, the attribute-box texts, the checks behind warning marks and hints, and
// the payoff read from a workbook.

#include "Component/model/NodeStatus.h"

#include "Component/formula/FunctionParser.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/RollBack.h"
#include "shared/core/CurrencyLayouts.h"
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

// Writes the decimal digits of v ending just before end and returns where they start.
char16_t* WriteDigits(char16_t* end, uint64_t v)
{
    do {
        *--end = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    return end;
}

} // namespace

QString FormatCurrency(TCurrency value, const TTreeOptions& options)
{
    return FormatCurrency(value, options, TNumberSymbols::Current());
}

QString FormatCurrency(TCurrency value, const TTreeOptions& options, const TMoneySeparators& separators)
{
    const int decimals = std::clamp(options.CurrencyDecimals, 0, 255);
    const bool negativeInput = value < 0;
    // In magnitude, as unsigned, so the most negative amount has a magnitude too.
    uint64_t magnitude = negativeInput ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    uint64_t whole = magnitude / CurrencyScale;
    uint64_t fraction = magnitude % CurrencyScale; // in 1/10000
    // The fraction's shown digits: rounded to fewer than four, or all four and zeros after.
    uint64_t shown = fraction;
    int shownDigits = 4;
    if (decimals < 4) {
        uint64_t divisor = 1;
        for (int i = decimals; i < 4; ++i)
            divisor *= 10;
        shown = fraction / divisor;
        if ((fraction % divisor) * 2 >= divisor)
            ++shown; // half away from zero
        uint64_t limit = 1;
        for (int i = 0; i < decimals; ++i)
            limit *= 10;
        if (shown >= limit) {
            shown -= limit;
            ++whole;
        }
        shownDigits = decimals;
    }
    // An amount that rounds to zero shows no sign.
    const bool negative = negativeInput && (whole != 0 || shown != 0);

    // Amounts are formatted by the thousand for every paint, so the text is put together in
    // place rather than from pieces.
    char16_t wholeBuffer[24];
    char16_t* const wholeEnd = wholeBuffer + 24;
    const char16_t* const wholeDigits = WriteDigits(wholeEnd, whole);
    const qsizetype wholeCount = wholeEnd - wholeDigits;
    const QString& group = separators.Group;
    const qsizetype groups = separators.SeparatorCount(wholeCount);
    qsizetype numberSize = wholeCount + groups * group.size();
    if (decimals > 0)
        numberSize += separators.Decimal.size() + decimals;

    const QString& symbol = options.CurrencySymbol;
    const int posCode = options.CurrencyPosFormat;
    const int negCode = options.CurrencyNegFormat;
    const char* layout = negative ? NegativeCurrencyLayouts[negCode >= 1 && negCode <= 15 ? negCode : 0]
                                  : PositiveCurrencyLayouts[posCode >= 1 && posCode <= 3 ? posCode : 0];
    qsizetype size = 0;
    for (const char* c = layout; *c; ++c)
        size += *c == '$' ? symbol.size() : *c == 'N' ? numberSize : 1;

    QString result(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    auto put = [&out](const QString& text) {
        std::copy_n(reinterpret_cast<const char16_t*>(text.constData()), text.size(), out);
        out += text.size();
    };
    for (const char* c = layout; *c; ++c) {
        if (*c == '$') {
            put(symbol);
        } else if (*c == 'N') {
            for (const char16_t* d = wholeDigits; d != wholeEnd; ++d) {
                if (separators.SeparatorBefore(wholeEnd - d, wholeCount))
                    put(group);
                *out++ = *d;
            }
            if (decimals > 0) {
                put(separators.Decimal);
                char16_t* const fractionEnd = out + shownDigits;
                uint64_t rest = shown;
                for (char16_t* d = fractionEnd; d != out;) {
                    *--d = char16_t(u'0' + rest % 10);
                    rest /= 10;
                }
                out = std::fill_n(fractionEnd, decimals - shownDigits, u'0');
            }
        } else {
            *out++ = char16_t(*c);
        }
    }
    return result;
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
    if (MultiOptionLeftUnsolved(*this)) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += NodeStatusTexts::NotSolved;
    }
    return text;
}
