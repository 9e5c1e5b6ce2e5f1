#include "shared/core/MonetaryFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/SystemLocales.h"

namespace {

// The system's settings, as `locale -k LC_MONETARY` gives them: "1 €" and "-1 €" in Europe,
// "₹1" and "-₹1" in India, where the toolkit's own data brackets negative amounts.
TEST(MonetaryFormatTest, ReadsTheSystemsMonetarySettings)
{
    struct Case { const char *name, *symbol; int positive, negative; };
    const Case cases[] = {{"de_DE.UTF-8", "€", 3, 8}, {"fr_FR.UTF-8", "€", 3, 8}, {"ru_RU.UTF-8", "₽", 3, 8},
                          {"tr_TR.UTF-8", "₺", 3, 8}, {"en_IN.UTF-8", "₹", 0, 1}, {"en_US.UTF-8", "$", 0, 1}};
    for (const Case& c : cases) {
        QString why;
        if (!testsupport::EnsureSystemLocale(c.name, why))
            GTEST_SKIP() << why.toStdString();
        const TMonetaryFormat f = ReadMonetaryFormat(c.name).value_or(TMonetaryFormat{QStringLiteral("none")});
        EXPECT_EQ(QStringLiteral("%1 %2 %3 %4").arg(f.Symbol).arg(f.Decimals).arg(f.PositiveFormat).arg(f.NegativeFormat).toStdString(),
                  QStringLiteral("%1 2 %2 %3").arg(QString::fromUtf8(c.symbol)).arg(c.positive).arg(c.negative).toStdString());
    }
    const QByteArray kept = qgetenv("LC_ALL");
    qputenv("LC_ALL", "tr_TR.UTF-8"); // through the environment, as the program reads it
    EXPECT_EQ(ReadMonetaryFormat().value_or(TMonetaryFormat()).Symbol, QStringLiteral("₺"));
    qputenv("LC_ALL", kept);
    EXPECT_FALSE(ReadMonetaryFormat("C").has_value());
    EXPECT_FALSE(ReadMonetaryFormat("xx_YY.UTF-8").has_value());
}

// Every layout the C library describes lands on the code that shows it.
TEST(MonetaryFormatTest, MapsEveryLayoutToItsCode)
{
    struct Case { bool precedes; int space, sign, code; };
    const Case negative[] = {
        {true, 0, 0, 0},   {true, 0, 1, 1},  {true, 0, 4, 2},   {true, 0, 2, 3},   {false, 0, 0, 4},  {false, 0, 1, 5},
        {false, 0, 3, 6},  {false, 0, 2, 7}, {false, 1, 1, 8},  {true, 1, 1, 9},   {false, 1, 2, 10}, {true, 1, 2, 11},
        {true, 2, 4, 12},  {false, 2, 3, 13}, {true, 1, 0, 14}, {false, 1, 0, 15},
        {true, 2, 1, 1},   {false, 2, 2, 7}, // layouts without a code of their own lose their blank
    };
    for (const Case& c : negative)
        EXPECT_EQ(NegativeFormatCode(c.precedes, c.space, c.sign), c.code)
            << c.precedes << " " << c.space << " " << c.sign;
    const int positive[] = {PositiveFormatCode(true, 0), PositiveFormatCode(false, 0), PositiveFormatCode(true, 1),
                            PositiveFormatCode(false, 1), PositiveFormatCode(true, 2)};
    EXPECT_THAT(positive, ::testing::ElementsAre(0, 1, 2, 3, 0));
}

} // namespace
