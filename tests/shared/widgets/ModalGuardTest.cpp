#include "support/ModalGuard.h"

#include <QDialog>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

int ExecUnanswered()
{
    TModalGuard guard(50, 10);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Nobody answers"));
    return dialog.exec();
}

int ExecAnsweredInTime()
{
    TModalGuard guard(5000, 10);
    QDialog dialog;
    QTimer::singleShot(100, &dialog, &QDialog::accept);
    return dialog.exec();
}

} // namespace

TEST(ModalGuardTest, AnUnansweredExecFailsTheTestAndReturnsWhileAnAnsweredOneIsLeftAlone)
{
    static int answer = -1;
    EXPECT_NONFATAL_FAILURE(answer = ExecUnanswered(), "Nobody answers");
    EXPECT_EQ(answer, QDialog::Rejected);
    EXPECT_EQ(ExecAnsweredInTime(), QDialog::Accepted);
}
