#include "app/Startup.h"

#include <gtest/gtest.h>
#include <stdexcept>

// The error window names the class of a library error as it does the program's own.
TEST(ErrorClassNameTest, ALibraryErrorIsNamedByItsOwnClass)
{
    TErrorReport report;
    try {
        throw std::out_of_range("index 7 past the end");
    } catch (...) {
        report = CurrentErrorReport();
    }
    EXPECT_EQ(report.ClassName, QStringLiteral("std::out_of_range"));
    EXPECT_EQ(report.Message, QStringLiteral("index 7 past the end"));
}
