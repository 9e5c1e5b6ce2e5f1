#include "app/forms/PayoffMode.h"

#include <QLocale>
#include <QPushButton>
#include <gtest/gtest.h>

// A payoff whose stored source is of no known kind must survive the dialog's OK untouched.
TEST(PayoffUnknownSourceTest, OkWithoutAChangeKeepsThePayoff)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SetEditPayoffRunner([](TEditPayoffForm& form) {
        return form.OKButton->isEnabled() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    for (const QString& source : {QStringLiteral("import: Excel(\"a.xlsx\", \"A1\")"), QStringLiteral("Formula: 1+2")}) {
        TEditPayoffResult result;
        EditPayoffAdvanced(source, 2, result, 1234500);
        EXPECT_TRUE(result.Accepted) << source.toStdString();
        EXPECT_EQ(result.Payoff, 1234500) << source.toStdString();
    }
    SetEditPayoffRunner(nullptr);
    QLocale::setDefault(QLocale::c());
}
