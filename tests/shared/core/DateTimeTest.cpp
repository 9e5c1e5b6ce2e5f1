#include "shared/core/DateTime.h"
#include "shared/core/Exceptions.h"

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

template <typename E, typename F>
QString MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

const QString InvalidDate = QStringLiteral("Invalid values specified for Year, Month or Day");
const QString MaxTicks = QStringLiteral("DateTime.Create max Ticks exceeded");

} // namespace

TEST(DateTimeCreate, RangeEnds)
{
    EXPECT_EQ(DateTime::Create(1, 1, 1, 0, 0, 0, 0).Ticks, 0);
    EXPECT_EQ(DateTime::Create(9999, 12, 31, 23, 59, 59, 999).Ticks, 3155378975999990000);
    EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(9999, 12, 31, 24, 0, 0, 0); }), MaxTicks);
    EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(1, 1, 1, 0, 0, -1, 0); }), MaxTicks);
    // Times beyond a day carry into the following days.
    EXPECT_EQ(DateTime::Create(2024, 1, 1, 25, 0, 0, 0), DateTime::Create(2024, 1, 2, 1, 0, 0, 0));
    EXPECT_EQ(DateTime::Create(2024, 1, 2, 0, -30, 0, 0), DateTime::Create(2024, 1, 1, 23, 30, 0, 0));
    // A time so large that the sum leaves the 64-bit range is out of range, not wrapped around.
    EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(9999, 12, 31, 256204778, 48, 5, 0); }), MaxTicks);
    EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(9999, 12, 31, 0, 0, 2147483647, 0); }), MaxTicks);
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(9999, 1, 1, 2147483647, 0, 0, 0); }),
              QStringLiteral("TTimeSpan.TimeToTicks Error"));
}

TEST(DateTimeCreate, InvalidDatesAndMilliseconds)
{
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(2023, 2, 29, 0, 0, 0, 0); }), InvalidDate);
    EXPECT_NO_THROW(DateTime::Create(2024, 2, 29, 0, 0, 0, 0));
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(1900, 2, 29, 0, 0, 0, 0); }), InvalidDate);
    EXPECT_NO_THROW(DateTime::Create(2000, 2, 29, 0, 0, 0, 0));
    for (auto [y, m, d] : {std::tuple{0, 1, 1}, {10000, 1, 1}, {2024, 0, 1}, {2024, 13, 1}, {2024, 4, 31}, {2024, 1, 0}})
        EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([&] { DateTime::Create(y, m, d, 0, 0, 0, 0); }), InvalidDate)
            << y << "-" << m << "-" << d;
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(2024, 1, 1, 0, 0, 0, 1000); }),
              QStringLiteral("Milliseconds must be between 0 and 1000"));
    EXPECT_THROW(DateTime::Create(2024, 1, 1, 0, 0, 0, -1), ArgumentOutOfRangeException);
    EXPECT_NO_THROW(DateTime::Create(2024, 1, 1, 0, 0, 0, 999));
    // The date is checked before the milliseconds.
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(2023, 2, 29, 0, 0, 0, 1000); }), InvalidDate);
}

TEST(DateTimeTimeSpan, TimeToTicksBounds)
{
    EXPECT_EQ(TTimeSpan::TimeToTicks(25, 0, 0), 25 * DateTime::TicksPerHour);
    EXPECT_EQ(TTimeSpan::TimeToTicks(0, -1, 30), -30 * DateTime::TicksPerSecond);
    EXPECT_EQ(TTimeSpan::TimeToTicks(0, 0, 2147483647), int64_t(2147483647) * DateTime::TicksPerSecond);
    EXPECT_EQ(TTimeSpan::TimeToTicks(256204778, 48, 5), int64_t(922337203685) * DateTime::TicksPerSecond);
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { TTimeSpan::TimeToTicks(256204778, 48, 6); }),
              QStringLiteral("TTimeSpan.TimeToTicks Error"));
    EXPECT_NO_THROW(TTimeSpan::TimeToTicks(-256204778, -48, -5));
    EXPECT_THROW(TTimeSpan::TimeToTicks(-256204778, -48, -6), ArgumentOutOfRangeException);
}

TEST(DateTimeParts, LeapYearsAndDayOfYear)
{
    EXPECT_TRUE(DateTime::IsLeapYear(2024));
    EXPECT_TRUE(DateTime::IsLeapYear(2000));
    EXPECT_FALSE(DateTime::IsLeapYear(1900));
    EXPECT_FALSE(DateTime::IsLeapYear(2023));
    const int64_t jan1 = DateTime::DateToTicks(2024, 1, 1);
    const int64_t day60 = jan1 + 59 * DateTime::TicksPerDay;
    EXPECT_EQ(DateTime::GetDatePart(day60, DateTime::DatePartMonth), 2);
    EXPECT_EQ(DateTime::GetDatePart(day60, DateTime::DatePartDay), 29);
    EXPECT_EQ(DateTime::GetDatePart(day60, DateTime::DatePartDayOfYear), 60);
    const int64_t day366 = jan1 + 365 * DateTime::TicksPerDay;
    EXPECT_EQ(DateTime::GetDatePart(day366, DateTime::DatePartYear), 2024);
    EXPECT_EQ(DateTime::GetDatePart(day366, DateTime::DatePartMonth), 12);
    EXPECT_EQ(DateTime::GetDatePart(day366, DateTime::DatePartDay), 31);
    EXPECT_EQ(DateTime::GetDatePart(day366, DateTime::DatePartDayOfYear), 366);
    // The last day of a 400-year cycle and of the whole range.
    const DateTime d{DateTime::DateToTicks(2000, 12, 31)};
    EXPECT_EQ(d.Year(), 2000);
    EXPECT_EQ(d.DayOfYear(), 366);
    const DateTime last{DateTime::MaxTicks};
    EXPECT_EQ(last.Year(), 9999);
    EXPECT_EQ(last.Month(), 12);
    EXPECT_EQ(last.Day(), 31);
    EXPECT_EQ(last.Hour(), 23);
    EXPECT_EQ(last.Minute(), 59);
    EXPECT_EQ(last.Second(), 59);
    EXPECT_EQ(last.Millisecond(), 999);
}

TEST(DateTimeParts, EveryDayAgreesWithQtCalendar)
{
    // Walks the whole range day by day: the day-count arithmetic against an independent calendar.
    QDate q(1, 1, 1);
    for (int64_t n = 0; n <= DateTime::MaxTicks / DateTime::TicksPerDay; ++n, q = q.addDays(1)) {
        const DateTime d{n * DateTime::TicksPerDay};
        ASSERT_EQ(d.Year(), q.year()) << n;
        ASSERT_EQ(d.Month(), q.month()) << n;
        ASSERT_EQ(d.Day(), q.day()) << n;
        ASSERT_EQ(d.DayOfYear(), q.dayOfYear()) << n;
        ASSERT_EQ(DateTime::DateToTicks(q.year(), q.month(), q.day()), d.Ticks) << n;
    }
}

TEST(DateTimeRoundTrip, SampledTicksThroughTheirParts)
{
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int64_t> ticks(0, DateTime::MaxTicks);
    for (int i = 0; i < 200000; ++i) {
        const DateTime d{i == 0 ? 0 : i == 1 ? DateTime::MaxTicks : ticks(rng)};
        const DateTime back = DateTime::Create(d.Year(), d.Month(), d.Day(), d.Hour(), d.Minute(), d.Second(), d.Millisecond());
        ASSERT_EQ(back.Ticks, d.Ticks - d.Ticks % DateTime::TicksPerMillisecond) << d.Ticks;
    }
}

TEST(DateTimeOADate, EpochNeighbourhood)
{
    EXPECT_EQ(DateTime::Create(1899, 12, 30, 0, 0, 0, 0).ToOADate(), 0.0);
    EXPECT_EQ(DateTime::Create(1899, 12, 30, 12, 0, 0, 0).ToOADate(), -0.5);
    EXPECT_EQ(DateTime::Create(1899, 12, 31, 6, 0, 0, 0).ToOADate(), 1.25);
    EXPECT_EQ(DateTime::Create(1899, 12, 29, 6, 0, 0, 0).ToOADate(), -1.25);
    EXPECT_EQ(DateTime::Create(2024, 3, 5, 0, 0, 0, 0).ToOADate(), 45356.0);

    EXPECT_EQ(DateTime::FromOADate(-0.5), DateTime::Create(1899, 12, 30, 12, 0, 0, 0));
    EXPECT_EQ(DateTime::FromOADate(0.5), DateTime::Create(1899, 12, 30, 12, 0, 0, 0));
    EXPECT_EQ(DateTime::FromOADate(1.25), DateTime::Create(1899, 12, 31, 6, 0, 0, 0));
    EXPECT_EQ(DateTime::FromOADate(-1.25), DateTime::Create(1899, 12, 29, 6, 0, 0, 0));
    EXPECT_EQ(DateTime::FromOADate(45356.75), DateTime::Create(2024, 3, 5, 18, 0, 0, 0));
    // Half a millisecond below midnight rounds up into the next day.
    EXPECT_EQ(DateTime::FromOADate(45357.0 - 0.4 / 86400000.0), DateTime::Create(2024, 3, 6, 0, 0, 0, 0));

    EXPECT_EQ(DateTime::FromOADate(-693593.0), DateTime::Create(1, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(DateTime::FromOADate(2958465.0), DateTime::Create(9999, 12, 31, 0, 0, 0, 0));
    for (double bad : {-693594.0, 2958466.0, 1e300, std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        EXPECT_THROW(DateTime::FromOADate(bad), ArgumentOutOfRangeException) << bad;
}

TEST(DateTimeOADate, SampledRoundTripsOverTheWholeRange)
{
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int64_t> ms(0, DateTime::MaxTicks / DateTime::TicksPerMillisecond);
    for (int i = 0; i < 200000; ++i) {
        const DateTime d{ms(rng) * DateTime::TicksPerMillisecond};
        const TDateTime oa = d.ToOADate();
        ASSERT_EQ(DateTime::FromOADate(oa), d) << d.Ticks << " " << oa;
        // The whole part names the day whatever the sign; the fraction is the time.
        const double whole = std::trunc(oa);
        const DateTime day = DateTime::Create(d.Year(), d.Month(), d.Day(), 0, 0, 0, 0);
        ASSERT_EQ(day.ToOADate(), whole);
        ASSERT_NEAR(std::fabs(oa - whole) * 86400000.0, double((d.Ticks - day.Ticks) / DateTime::TicksPerMillisecond), 0.05);
    }
}

TEST(DateTimeNow, IsTheLocalClock)
{
    const QDateTime before = QDateTime::currentDateTime();
    const DateTime now = DateTime::Now();
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime got(QDate(now.Year(), now.Month(), now.Day()),
                        QTime(now.Hour(), now.Minute(), now.Second(), now.Millisecond()));
    EXPECT_LE(before, got);
    EXPECT_LE(got, after);
    EXPECT_EQ(now - DateTime{now.Ticks - 5}, 5);
}
