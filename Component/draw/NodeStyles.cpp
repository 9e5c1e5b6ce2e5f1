#include "Component/draw/NodeStyles.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/styles/StyleStates.h"
#include "shared/core/Exceptions.h"

#include <QLocale>

#include <cmath>
#include <limits>

TStyleState* StyleStateFor(const TStyleStates& states, bool cloneOrInsideClone, bool inTakenPath)
{
    if (cloneOrInsideClone)
        return inTakenPath ? states.CloneInTakenPath() : states.CloneNotInTakenPath();
    return inTakenPath ? states.InTakenPath() : states.NotInTakenPath();
}

TStyleState* GetStyleState(const TDecTreeNode& node)
{
    if (!node.Tree)
        throw InvalidOperationException(QStringLiteral("The node belongs to no tree, so it has no style state"));
    return StyleStateFor(node.Tree->StyleStates, node.IsCloneOrInsideClone(), node.InTakenPath);
}

TStyle* GetSymbolStyle(const TStyleState& state, const TDecTreeNode& node)
{
    if (!node.HasChildren())
        return state.SymbolsTerminator();
    switch (node.NodeType) {
    case ntDecision: return state.SymbolsDecision();
    case ntMultiDecision: return state.SymbolsMultiDecision();
    case ntChance: return state.SymbolsChance();
    }
    throw InvalidOperationException(QStringLiteral("Unhandled NodeType"));
}

TStyle* GetSymbolStyle(const TDecTreeNode& node) { return GetSymbolStyle(*GetStyleState(node), node); }

TStyle* GetPayoffStyle(const TStyleState& state, const TDecTreeNode& node)
{
    return node.Payoff >= 0 ? state.OptionPayoffPositive() : state.OptionPayoffNegative();
}

TStyle* GetPayoffStyle(const TDecTreeNode& node) { return GetPayoffStyle(*GetStyleState(node), node); }

TStyle* GetProbabilityOrTakenStyle(const TStyleState& state, const TDecTreeNode& node)
{
    const TDecTreeNode* parent = node.Parent();
    if (!parent)
        throw InvalidOperationException(
            QStringLiteral("GetProbabilityOrTakenStyle can not be called on the root node"));
    switch (parent->NodeType) {
    case ntDecision:
    case ntMultiDecision:
        return node.Probability == 0 ? state.DecisionOptionsTakenNo() : state.DecisionOptionsTakenYes();
    case ntChance: return state.ChanceOptionProbabilities();
    }
    throw InvalidOperationException(QStringLiteral("Unhandled NodeType"));
}

TStyle* GetProbabilityOrTakenStyle(const TDecTreeNode& node)
{
    return GetProbabilityOrTakenStyle(*GetStyleState(node), node);
}

TStyle* ProbabilityTextStyle(const TStyleState& state, const TDecTreeNode& node, const QString& errorPrefix)
{
    const TDecTreeNode* parent = node.Parent();
    switch (parent->NodeType) {
    case ntDecision:
    case ntMultiDecision:
        return node.Probability == 100 ? state.DecisionOptionsTakenYes() : state.DecisionOptionsTakenNo();
    case ntChance: return state.ChanceOptionProbabilities();
    }
    throw Exception(errorPrefix + QString::number(int(parent->NodeType)));
}

QString ProbabilityText(const TDecTreeNode& node, const QString& errorPrefix)
{
    const TDecTreeNode* parent = node.Parent();
    switch (parent->NodeType) {
    case ntDecision:
    case ntMultiDecision: return node.Probability == 100 ? PainterTexts::True : PainterTexts::False;
    case ntChance: {
        QString text = FloatToText(node.Probability);
        if (parent->ChanceType == ctPercent)
            text += QLatin1Char('%');
        return text;
    }
    }
    throw Exception(errorPrefix + QString::number(int(parent->NodeType)));
}

bool SameValue(double a, double b) { return std::fabs(a - b) < 0.0001; }

QString FloatToText(double x)
{
    if (std::isnan(x))
        return QStringLiteral("NAN");
    if (std::isinf(x))
        return x > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    // Whole numbers, the usual probabilities, need neither exponent nor decimal separator.
    if (std::fabs(x) < 1e15 && x == std::trunc(x))
        return QString::number(int64_t(x));
    QString text = QString::number(x, 'g', 15);
    // "1e+20" and "1e-05" become "1E20" and "1E-5".
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        const QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        bool negative = exponent.startsWith(QLatin1Char('-'));
        if (exponent.startsWith(QLatin1Char('+')) || negative)
            exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = mantissa + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

double TextToFloatDef(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(t, &ok);
    if (!ok)
        value = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

int32_t RoundToInt32(double x)
{
    if (std::isnan(x))
        return 0;
    const double r = std::nearbyint(x);
    if (r >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return int32_t(r);
}

int64_t RoundToInt64(double x)
{
    if (std::isnan(x))
        return 0;
    const double r = std::nearbyint(x);
    // 2^63 is exactly representable; anything at or beyond it would overflow the conversion.
    if (r >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (r < -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return int64_t(r);
}

TCurrency ValueToCurrency(double value) { return RoundToInt64(value * double(CurrencyScale)); }

QString PathProbabilityText(double pathProbability)
{
    // The percentage is formed in extended precision, which holds every bit of the product, and
    // only then rounded: a stored 0.005 lies a little above a half percent and shows as 1%,
    // where a double product would land on 0.5 exactly and round to the even 0.
    // rintl rounds as nearbyintl does (to nearest, ties to even) without saving and restoring the
    // floating-point flags, which would cost more than the rest of the text.
    const long double percent = std::rintl((long double)pathProbability * 100);
    return QString::number(RoundToInt32(double(percent))) + QLatin1Char('%');
}
