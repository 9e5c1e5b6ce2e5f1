#include "Component/model/TreeOptions.h"

#include <gtest/gtest.h>

TEST(TreeOptions, CurrencyCodesOutsideTheirRangesAreRefusedAndLeaveTheOldValue)
{
    TTreeOptions o;
    o.SetCurrencyPosFormat(3);
    o.SetCurrencyNegFormat(15);
    o.SetCurrencyDecimals(4);
    EXPECT_THROW(o.SetCurrencyPosFormat(4), ArgumentOutOfRangeException);
    EXPECT_THROW(o.SetCurrencyPosFormat(-1), ArgumentOutOfRangeException);
    EXPECT_THROW(o.SetCurrencyNegFormat(16), ArgumentOutOfRangeException);
    EXPECT_THROW(o.SetCurrencyDecimals(256), ArgumentOutOfRangeException);
    EXPECT_THROW(o.SetCurrencyDecimals(-1), ArgumentOutOfRangeException);
    EXPECT_EQ(o.CurrencyPosFormat, 3);
    EXPECT_EQ(o.CurrencyNegFormat, 15);
    EXPECT_EQ(o.CurrencyDecimals, 4);
    o.SetCurrencyPosFormat(0);
    o.SetCurrencyNegFormat(0);
    EXPECT_EQ(o.CurrencyPosFormat, 0);
    EXPECT_EQ(o.CurrencyNegFormat, 0);
}
