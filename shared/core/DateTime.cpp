#include "shared/core/DateTime.h"

#include "shared/core/Exceptions.h"

#include <QDateTime>

#include <cmath>

namespace {

constexpr int64_t MillisecondsPerDay = 86400000;
// Days from 0001-01-01 to 1899-12-30, the day the date value counts from.
constexpr int64_t DateValueEpochDay = 693593;
constexpr int64_t MaxDay = DateTime::MaxTicks / DateTime::TicksPerDay;

[[noreturn]] void RaiseInvalidDate()
{
    throw ArgumentOutOfRangeException(QStringLiteral("Invalid values specified for Year, Month or Day"));
}

} // namespace

int64_t TTimeSpan::TimeToTicks(int hour, int minute, int second)
{
    const int64_t total = int64_t(hour) * 3600 + int64_t(minute) * 60 + int64_t(second);
    if (total < -922337203685 || total > 922337203685)
        throw ArgumentOutOfRangeException(QStringLiteral("TTimeSpan.TimeToTicks Error"));
    return total * DateTime::TicksPerSecond;
}

bool DateTime::IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int64_t DateTime::DateToTicks(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12)
        RaiseInvalidDate();
    const int* table = IsLeapYear(year) ? DaysToMonth366 : DaysToMonth365;
    if (day < 1 || day > table[month] - table[month - 1])
        RaiseInvalidDate();
    const int64_t y = year - 1;
    const int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + table[month - 1] + day - 1;
    return days * TicksPerDay;
}

DateTime DateTime::Create(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    int64_t ticks = DateToTicks(year, month, day);
    const int64_t time = TTimeSpan::TimeToTicks(hour, minute, second);
    if (millisecond < 0 || millisecond >= 1000)
        throw ArgumentOutOfRangeException(QStringLiteral("Milliseconds must be between 0 and ") + QString::number(1000));
    // A sum beyond the 64-bit range is as far out of range as any other.
    bool overflow = __builtin_add_overflow(ticks, time, &ticks);
    overflow = __builtin_add_overflow(ticks, int64_t(millisecond) * TicksPerMillisecond, &ticks) || overflow;
    if (overflow || ticks < 0 || ticks > MaxTicks)
        throw ArgumentException(QStringLiteral("DateTime.Create max Ticks exceeded"));
    return DateTime{ticks};
}

int DateTime::GetDatePart(int64_t ticks, int part)
{
    int64_t n = ticks / TicksPerDay;
    const int64_t y400 = n / DaysPer400Years;
    n %= DaysPer400Years;
    int64_t y100 = n / DaysPer100Years;
    if (y100 == 4)
        y100 = 3; // the last day of a 400-year cycle
    n -= y100 * DaysPer100Years;
    const int64_t y4 = n / DaysPer4Years;
    n %= DaysPer4Years;
    int64_t y1 = n / DaysPerYear;
    if (y1 == 4)
        y1 = 3; // the last day of a leap year
    if (part == DatePartYear)
        return int(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    n -= y1 * DaysPerYear;
    if (part == DatePartDayOfYear)
        return int(n + 1);
    const bool leap = y1 == 3 && (y4 != 24 || y100 == 3);
    const int* table = leap ? DaysToMonth366 : DaysToMonth365;
    int m = int(n / 64);
    while (n >= table[m])
        ++m;
    if (part == DatePartMonth)
        return m;
    return int(n - table[m - 1] + 1);
}

DateTime DateTime::Now()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return Create(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec());
}

TDateTime DateTime::ToOADate() const
{
    const double d = double(Ticks / TicksPerDay - DateValueEpochDay);
    const double t = DateValue::EncodeTime(Hour(), Minute(), Second(), Millisecond());
    return d > 0 ? d + t : d - t;
}

DateTime DateTime::FromOADate(TDateTime value)
{
    const DateValue::TDecoded v = DateValue::Decode(value);
    return Create(v.Year, v.Month, v.Day, v.Hour, v.Minute, v.Second, v.Millisecond);
}

double DateValue::EncodeDate(int year, int month, int day)
{
    return double(DateTime::DateToTicks(year, month, day) / DateTime::TicksPerDay - DateValueEpochDay);
}

double DateValue::EncodeTime(int hour, int minute, int second, int millisecond)
{
    const int64_t ms = int64_t(hour) * 3600000 + int64_t(minute) * 60000 + int64_t(second) * 1000 + millisecond;
    return double(ms) / double(MillisecondsPerDay);
}

DateValue::TDecoded DateValue::Decode(TDateTime value)
{
    // Beyond this no valid date lies; checking first also keeps the rounding below defined.
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        RaiseInvalidDate();
    // The magnitude in milliseconds, rounded half to even; the whole days carry the sign and
    // the rest is the time of day, counted forward also for days before the epoch.
    const int64_t ms = int64_t(std::nearbyint(std::fabs(value) * double(MillisecondsPerDay)));
    const int64_t wholeDays = ms / MillisecondsPerDay;
    const int64_t day = (value < 0 ? -wholeDays : wholeDays) + DateValueEpochDay;
    if (day < 0 || day > MaxDay)
        RaiseInvalidDate();
    const int64_t ticks = day * DateTime::TicksPerDay;
    const int64_t time = ms % MillisecondsPerDay;
    return TDecoded{DateTime::GetDatePart(ticks, DateTime::DatePartYear),
                    DateTime::GetDatePart(ticks, DateTime::DatePartMonth),
                    DateTime::GetDatePart(ticks, DateTime::DatePartDay),
                    int(time / 3600000),
                    int(time / 60000 % 60),
                    int(time / 1000 % 60),
                    int(time % 1000)};
}
