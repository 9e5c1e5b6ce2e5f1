#include "app/forms/GridNumbers.h"
#include "shared/core/LocaleNumbers.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

// The grid's own formatter must show exactly what the rest of the program shows.
TEST(GridNumbersTest, AgreesWithTheLocaleFormatter)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-8, 20), decimals(0, 20);
    // India's grouping too: the import grid groups as the overview, the tree and its pictures do.
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::India), QLocale(QLocale::French, QLocale::France)}) {
        QLocale::setDefault(locale);
        const double edges[] = {0, 0.125, -0.125, 9.995, 999999.996, 0.0004, 0.0006, 1.1, 123456789012345678.0,
                                -1234567.891, 1e300, 2.5, 0.5, 3449542268499965, 99999999999999.9,
                                9.99999999999999e13, 999.999999999999, 0.0999999999999999, 1e22, 1e-22};
        for (const double value : edges)
            for (int d : {0, 1, 2, 3, 20})
                EXPECT_EQ(FormatGridNumber(value, d), FormatLocaleNumber(value, d, locale)) << value << " " << d;
        for (int i = 0; i < 20000; ++i) {
            // Mostly values with few digits, as sheets hold them, and some with many.
            double value = mantissa(random) * std::pow(10.0, exponent(random));
            if (i % 2)
                value = std::round(value * 100) / 100;
            const int d = decimals(random);
            ASSERT_EQ(FormatGridNumber(value, d), FormatLocaleNumber(value, d, locale)) << value << " " << d;
        }
    }
    QLocale::setDefault(QLocale::c());
}
