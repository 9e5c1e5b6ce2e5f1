#include "support/ChildProcess.h"
#include "support/ModalGuard.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets a QApplication: widget tests need one, and it also sets the C locale
// from the environment, which the locale-independence tests rely on having happened.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (const int child = RunChildIfAsked(argc, argv); child >= 0)
        return child;
    ::testing::InitGoogleTest(&argc, argv);
    // A dialog that waits for a user nobody drives fails its test instead of hanging the run.
    TModalGuard guard;
    return RUN_ALL_TESTS();
}
