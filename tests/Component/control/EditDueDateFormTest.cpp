#include "Component/control/EditDueDateForm.h"
#include "shared/widgets/ScreenFit.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `act` on the dialog once it is showing modally, then returns what EditDueDate, opened at
// the screen point given, answered.
bool RunDialog(double& date, std::function<void(TEditDueDateForm&)> act, const QPoint& at = QPoint(40, 50))
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    bool seen = false;
    QObject::connect(timer, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TEditDueDateForm*>(QApplication::activeModalWidget());
        if (!form)
            return;
        timer->stop();
        seen = true;
        act(*form);
    });
    timer->start();
    const bool result = EditDueDate(at.x(), at.y(), date);
    delete timer;
    EXPECT_TRUE(seen);
    return result;
}

const double Dec1st2026 = 46357; // 2026-12-01, a day-count date

} // namespace

TEST(EditDueDateForm, OkLeavesZeroWithoutADateAndThePickedDateWhenChecked)
{
    double date = 0;
    EXPECT_TRUE(RunDialog(date, [](TEditDueDateForm& f) {
        EXPECT_FALSE(f.HasDueDateCheckBox->isChecked());
        EXPECT_FALSE(f.DueDateDateTimePicker->isEnabled());
        EXPECT_EQ(f.DueDateDateTimePicker->date(), QDate::currentDate());
        f.OKButton->click();
    }));
    EXPECT_EQ(date, 0);
    EXPECT_TRUE(RunDialog(date, [](TEditDueDateForm& f) {
        QTest::keyClick(f.HasDueDateCheckBox, Qt::Key_Space);
        f.DueDateDateTimePicker->setDate(QDate(2026, 12, 1));
        f.OKButton->click();
    }));
    EXPECT_EQ(date, Dec1st2026);
}

TEST(EditDueDateForm, DayCountConversionsRoundTrip)
{
    EXPECT_EQ(DueDateToDateTime(0), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(DueDateToDateTime(Dec1st2026 + 0.25), QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
    // Before day zero the fraction still runs forward from midnight.
    EXPECT_EQ(DueDateToDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    for (double d : {1.0, 2.5, -1.25, 36526.75, Dec1st2026, 2958465.0})
        EXPECT_DOUBLE_EQ(DueDateFromDateTime(DueDateToDateTime(d)), d) << d;
    // Out-of-range and non-finite values are clamped rather than undefined.
    EXPECT_EQ(DueDateToDateTime(1e300).date(), QDate(9999, 12, 31));
    EXPECT_EQ(DueDateToDateTime(std::nan("")).date(), QDate(1899, 12, 30));
}

// A day-count date is wall-clock time: on the days the clocks change, the time of day must come
// back as it went in, and 23:30 on a 23-hour day must not move to the next day.
TEST(EditDueDateForm, DayCountTimeIsWallClockOnClockChangeDays)
{
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const double springForward = QDate(1899, 12, 30).daysTo(QDate(2027, 3, 28));
    const double fallBack = QDate(1899, 12, 30).daysTo(QDate(2027, 10, 31));
    const QDateTime late = DueDateToDateTime(springForward + 23.5 / 24);
    const QDateTime noon = DueDateToDateTime(fallBack + 0.5);
    const QDate lateDate = late.date(), noonDate = noon.date();
    const QTime lateTime = late.time(), noonTime = noon.time();
    const double lateBack = DueDateFromDateTime(late);
    const double noonBack = DueDateFromDateTime(noon);
    if (hadTz)
        qputenv("TZ", savedTz);
    else
        qunsetenv("TZ");
    tzset();
    EXPECT_EQ(lateDate, QDate(2027, 3, 28));
    EXPECT_EQ(lateTime, QTime(23, 30));
    EXPECT_EQ(noonDate, QDate(2027, 10, 31));
    EXPECT_EQ(noonTime, QTime(12, 0));
    EXPECT_DOUBLE_EQ(lateBack, springForward + 23.5 / 24);
    EXPECT_DOUBLE_EQ(noonBack, fallBack + 0.5);
    // A fraction that rounds up to a whole day stays on its own day.
    EXPECT_EQ(DueDateToDateTime(100.99999999999).date(), QDate(1899, 12, 30).addDays(100));
}

// Opened at a point near any edge of a screen, or beyond it, the whole dialog lies on that screen,
// moved only along the axis that needs it. (Also run on a small screen at several scales and on
// two screens side by side: tests/CMakeLists.txt.)
TEST(EditDueDateForm, OpensWhollyOnTheScreenThatHoldsThePoint)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        struct Case { const char* Name; QPoint At; bool KeepX, KeepY; };
        const Case cases[] = {
            {"room", a.topLeft() + QPoint(40, 50), true, true},
            {"bottom", QPoint(a.left() + 40, a.bottom() - 5), true, false},
            {"right", QPoint(a.right() - 5, a.top() + 50), false, true},
            {"corner", a.bottomRight(), false, false},
            {"above left", a.topLeft() - QPoint(30, 30), false, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(screen->name().toStdString() + " " + c.Name);
            // A point outside every screen belongs to the nearest; skip those nearer another.
            if (!a.contains(c.At) && ScreenAt(c.At) != screen)
                continue;
            double date = 0;
            QRect frame;
            QScreen* shownOn = nullptr;
            RunDialog(date, [&](TEditDueDateForm& f) {
                frame = f.frameGeometry();
                shownOn = f.screen();
                f.CancelButton->click();
            }, c.At);
            EXPECT_EQ(shownOn, screen);
            EXPECT_TRUE(a.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                           << frame.height() << " on " << a.width() << "x" << a.height();
            if (c.KeepX) {
                EXPECT_EQ(frame.x(), c.At.x());
            }
            if (c.KeepY) {
                EXPECT_EQ(frame.y(), c.At.y());
            }
        }
    }
}
