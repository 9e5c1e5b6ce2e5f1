#include "app/MainFormUnit.h"

#include "Component/model/TreeOptions.h"

#include <QLocale>
#include <gtest/gtest.h>

// A locale's amounts, "$1.00" and "($1.00)" in the United States, become the format codes whose
// layouts they follow.
TEST(SystemCurrency, ALocalesAmountsGiveTheCodesOfTheirLayouts)
{
    const struct {
        QLocale Locale;
        int Positive, Negative;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), 0, 0},  // $1.00, ($1.00)
        {QLocale(QLocale::Dutch, QLocale::Netherlands), 2, 14},    // € 1,00, (€ 1,00)
        {QLocale(QLocale::French, QLocale::France), 3, 15},        // 1,00 €, (1,00 €)
        {QLocale(QLocale::German, QLocale::Switzerland), 3, 8},    // 1.00 CHF, -1.00 CHF
    };
    for (const auto& c : cases) {
        TTreeOptions options;
        ApplySystemCurrency(options, c.Locale);
        EXPECT_EQ(options.CurrencyPosFormat, c.Positive) << c.Locale.name().toStdString();
        EXPECT_EQ(options.CurrencyNegFormat, c.Negative) << c.Locale.name().toStdString();
    }
}
