#include "app/document/DocumentText.h"

#include "shared/core/Exceptions.h"

#include <gtest/gtest.h>

using namespace DocumentText;

TEST(DocumentText, MoneyIsWrittenExactlyWithAtMostFourDecimals)
{
    EXPECT_EQ(MoneyToText(12345000), "1234.5");
    EXPECT_EQ(MoneyToText(-2500), "-0.25");
    EXPECT_EQ(MoneyToText(0), "0");
    EXPECT_EQ(MoneyToText(1), "0.0001");
    EXPECT_EQ(MoneyToText(-10000), "-1");
    EXPECT_EQ(MoneyToText(INT64_MAX), "922337203685477.5807");
    EXPECT_EQ(MoneyToText(INT64_MIN), "-922337203685477.5808");
}
