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
    // The date is checked before the milliseconds.
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(2023, 2, 29, 0, 0, 0, 1000); }), InvalidDate);
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
