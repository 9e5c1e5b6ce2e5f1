#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/NodeStatus.h"

#include <QLocale>
#include <gtest/gtest.h>

#include "support/TreeBuilder.h"
#include <cmath>

namespace {

class NodeStatus : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        doc.NewRoot();
        doc.Options.CurrencySymbol = "$";
        doc.Options.CurrencyDecimals = 2;
        doc.Options.CurrencyPosFormat = 0;
        doc.Options.CurrencyNegFormat = 1;
    }
    void TearDown() override { QLocale::setDefault(savedLocale); }

    TDecTreeNode* Add(TDecTreeNode* parent, TNodeType type = ntDecision, double probability = 0,
                      TCurrency payoff = 0)
    {
        return testtree::AppendNode(parent, QString(), type, probability, payoff);
    }

    static TCurrency Money(double units) { return TCurrency(std::llround(units * CurrencyScale)); }
    QString Format(TCurrency value) { return FormatCurrency(value, doc.Options); }
    static double Today() { return std::trunc(CurrentDayCount()); }

    QLocale savedLocale;
    TDecTreeDocument doc;
};

} // namespace

TEST_F(NodeStatus, InvestmentCountsTakenOptionsAndBudgetCheckFlagsTheExcess)
{
    TDecTreeNode* multi = Add(doc.Root(), ntMultiDecision);
    Add(multi, ntDecision, 100, Money(-300));
    Add(multi, ntDecision, 100, Money(100));
    Add(multi, ntDecision, 0, Money(-500));
    EXPECT_EQ(multi->GetInvestment(), Money(200));

    multi->DecisionMultiBudget = 150;
    EXPECT_TRUE(multi->IsBudgetExceeded());
    EXPECT_EQ(multi->GetBudgetExcess(), Money(50));
    EXPECT_EQ(multi->GetWarning(), TNodeWarning::BudgetExceeded);
    EXPECT_EQ(multi->GetWarningHint(), "Budget exceeded by $50.00");

    multi->DecisionMultiBudget = 200; // spending exactly the budget is fine
    EXPECT_FALSE(multi->IsBudgetExceeded());
    EXPECT_EQ(multi->GetWarningHint(), QString());

    multi->DecisionMultiBudget = -1;
    EXPECT_EQ(multi->GetBudgetText(), "no limit");
    EXPECT_FALSE(multi->IsBudgetExceeded());
    EXPECT_EQ(multi->GetWarning(), TNodeWarning::None);
}

TEST_F(NodeStatus, OverdueOpenAndClosed)
{
    TDecTreeNode* decision = Add(doc.Root());
    Add(decision);
    decision->DecisionDueDate = Today() - 1;
    EXPECT_TRUE(decision->IsOverdue());
    EXPECT_EQ(decision->GetStatusText(), "Overdue");
    EXPECT_EQ(decision->GetWarning(), TNodeWarning::Overdue);

    decision->DecisionFixed = true;
    EXPECT_FALSE(decision->IsOverdue());
    EXPECT_EQ(decision->GetStatusText(), "Closed");

    decision->DecisionFixed = false;
    decision->DecisionDueDate = Today() + 0.99; // any time today
    EXPECT_FALSE(decision->IsOverdue());
    EXPECT_EQ(decision->GetStatusText(), "Open");

    // A status date of its own: overdue from the day after the due date on.
    decision->DecisionDueDate = 40000.75;
    doc.Options.StatusDate = 40000.99;
    EXPECT_FALSE(decision->IsOverdue());
    doc.Options.StatusDate = 40001.0;
    EXPECT_TRUE(decision->IsOverdue());
    doc.Options.StatusDate = 39999.0;
    EXPECT_FALSE(decision->IsOverdue());
}

TEST_F(NodeStatus, ProbabilitySumAndItsCheck)
{
    TDecTreeNode* chance = Add(doc.Root(), ntChance);
    Add(chance, ntDecision, 50);
    TDecTreeNode* second = Add(chance, ntDecision, 49.5);
    EXPECT_DOUBLE_EQ(chance->GetProbabilitySum(), 99.5);
    EXPECT_TRUE(chance->HasProbabilityError());
    EXPECT_EQ(chance->GetWarning(), TNodeWarning::ProbabilitySum);
    EXPECT_EQ(chance->GetWarningHint(), "Probabilities don't add up to 100");

    // Within the painter's tolerance of 0.0001 there is neither mark nor hint.
    second->Probability = 49.99995;
    EXPECT_FALSE(chance->HasProbabilityError());
    EXPECT_EQ(chance->GetWarningHint(), QString());
    second->Probability = 49.9998;
    EXPECT_TRUE(chance->HasProbabilityError());
    second->Probability = std::nan("");
    EXPECT_TRUE(chance->HasProbabilityError());

    TDecTreeNode* thirds = Add(doc.Root(), ntChance);
    for (double p : {33.33333, 33.33333, 33.33334})
        Add(thirds, ntDecision, p);
    EXPECT_FALSE(thirds->HasProbabilityError());

    TDecTreeNode* anySum = Add(doc.Root(), ntChance);
    anySum->ChanceType = ctAnySum;
    Add(anySum, ntDecision, 1);
    Add(anySum, ntDecision, 2);
    EXPECT_DOUBLE_EQ(anySum->GetProbabilitySum(), 3);
    EXPECT_FALSE(anySum->HasProbabilityError());

    // An end node has no branches to add up, whatever its type says.
    TDecTreeNode* end = Add(doc.Root(), ntChance);
    EXPECT_EQ(end->GetProbabilitySum(), 0);
    EXPECT_FALSE(end->HasProbabilityError());

    TDecTreeNode* decision = Add(doc.Root());
    Add(decision, ntDecision, 0);
    EXPECT_EQ(decision->GetProbabilitySum(), 100);
    EXPECT_FALSE(decision->HasProbabilityError());
}

TEST_F(NodeStatus, AttributeLinesInTheirOrder)
{
    TDecTreeNode* multi = Add(doc.Root(), ntMultiDecision);
    multi->DecisionShowCaption = multi->DecisionShowOwner = multi->DecisionShowDueDate = true;
    multi->DecisionShowFixed = multi->DecisionMultiShowBudget = multi->DecisionMultiShowInvestment = true;
    multi->DecisionCaption = "Plan";
    multi->DecisionOwner = "Ann";
    multi->DecisionMultiBudget = 1000;
    QStringList lines;
    multi->GetAttributeLines(lines);
    EXPECT_TRUE(lines.isEmpty()); // an end node shows no attributes

    Add(multi, ntDecision, 100, Money(-250.5));
    lines = QStringList{"kept"};
    multi->GetAttributeLines(lines);
    EXPECT_EQ(lines, (QStringList{"kept", "Plan", "Budget: $1,000.00", "Investment: $250.50", "Owner: Ann",
                                  "Due Date: none", "Mode: Open"}));

    multi->NodeType = ntChance; // only the caption line belongs to every type
    lines.clear();
    multi->GetAttributeLines(lines);
    EXPECT_EQ(lines, QStringList{"Plan"});
}

TEST_F(NodeStatus, CurrencyFormatsForEveryCode)
{
    TTreeOptions o;
    o.CurrencySymbol = "$";
    o.CurrencyDecimals = 2;
    const QStringList positive{"$1,234.50", "1,234.50$", "$ 1,234.50", "1,234.50 $"};
    for (int code = 0; code < 4; ++code) {
        o.CurrencyPosFormat = code;
        EXPECT_EQ(FormatCurrency(Money(1234.5), o), positive[code]) << code;
    }
    const QStringList negative{"($1.10)", "-$1.10", "$-1.10", "$1.10-", "(1.10$)", "-1.10$",
                               "1.10-$",  "1.10$-", "-1.10 $", "-$ 1.10", "1.10 $-", "$ 1.10-",
                               "$ -1.10", "1.10- $", "($ 1.10)", "(1.10 $)"};
    for (int code = 0; code < 16; ++code) {
        o.CurrencyNegFormat = code;
        EXPECT_EQ(FormatCurrency(Money(-1.1), o), negative[code]) << code;
    }
}

TEST_F(NodeStatus, CurrencyRoundsHalvesAwayFromZeroAndZeroHasNoSign)
{
    for (const auto& [value, decimals, text] :
         {std::tuple{1.005, 2, "$1.01"}, {1.0049, 2, "$1.00"}, {-1.005, 2, "-$1.01"}, {0.995, 2, "$1.00"},
          {2.5, 0, "$3"}, {-2.5, 0, "-$3"}, {-0.0049, 2, "$0.00"}, {-0.4, 0, "$0"}, {-0.5, 0, "-$1"}}) {
        doc.Options.CurrencyDecimals = decimals;
        EXPECT_EQ(Format(Money(value)), text) << value;
    }
}

// Whatever the tree shows for an amount, in every currency format, can be typed back.
TEST_F(NodeStatus, ShownAmountsReadBackInEveryLocaleAndFormat)
{
    struct Case { QLocale Locale; const char *Symbol, *Shown; }; // 1234567.5 shown in code 0
    const Case cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), "€", "€1.234.567,50"},
        {QLocale(QLocale::French, QLocale::France), "€", "€1\u202F234\u202F567,50"},
        {QLocale(QLocale::Russian, QLocale::Russia), "₽", "₽1\u00A0234\u00A0567,50"},
        {QLocale(QLocale::Turkish, QLocale::Turkey), "₺", "₺1.234.567,50"},
        {QLocale(QLocale::English, QLocale::India), "₹", "₹12,34,567.50"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "$", "$1,234,567.50"},
    };
    TTreeOptions o;
    o.CurrencyDecimals = 2;
    for (const Case& c : cases) {
        QLocale::setDefault(c.Locale);
        o.CurrencySymbol = QString::fromUtf8(c.Symbol);
        o.CurrencyPosFormat = o.CurrencyNegFormat = 0;
        EXPECT_EQ(FormatCurrency(Money(1234567.5), o), QString::fromUtf8(c.Shown));
        for (o.CurrencyPosFormat = 0; o.CurrencyPosFormat < 4; ++o.CurrencyPosFormat)
            for (o.CurrencyNegFormat = 0; o.CurrencyNegFormat < 16; ++o.CurrencyNegFormat)
                for (const double value : {1234567.5, -1234567.5, -0.25, 1000.0})
                    EXPECT_EQ(ReadLocaleMoney(FormatCurrency(Money(value), o), o.CurrencySymbol).Value, value)
                        << FormatCurrency(Money(value), o).toStdString();
    }
}
