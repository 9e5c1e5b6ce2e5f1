#include "shared/core/Exceptions.h"
#include "shared/core/NullableColor.h"

#include <gtest/gtest.h>

TEST(Exceptions, CarryClassNameMessageAndTrace)
{
    try {
        throw ArgumentNullException(QStringLiteral("Path1"));
    } catch (const ArgumentException& e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("ArgumentNullException"));
        EXPECT_EQ(e.ParamName(), QStringLiteral("Path1"));
        EXPECT_FALSE(e.StackTrace().isEmpty());
    }
    try {
        QD_ASSERT(1 == 2, "_ArrayListTemplate");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("EAssertionFailed"));
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Assertion failure (_ArrayListTemplate")));
    }
}
