#pragma once
// Time stamps as 100-nanosecond ticks since 0001-01-01 00:00 (proleptic Gregorian calendar),
// and their conversion to and from the day-count date kept in documents and settings.

#include <compare>
#include <cstdint>

// Whole days since 1899-12-30, the fraction being the time of day. Below zero the fraction
// still counts forward from the start of the day the whole part names: -1.25 is 1899-12-29 06:00.
using TDateTime = double;

class TTimeSpan {
public:
    // Hour * 3600 + Minute * 60 + Second seconds, as ticks; the parts may lie outside their usual
    // ranges. Raises ArgumentOutOfRangeException "TTimeSpan.TimeToTicks Error" when the total
    // lies outside -922337203685..922337203685 seconds.
    static int64_t TimeToTicks(int hour, int minute, int second);
};

struct DateTime {
    static constexpr int64_t TicksPerMillisecond = 10000;
    static constexpr int64_t TicksPerSecond = 10000000;
    static constexpr int64_t TicksPerMinute = 600000000;
    static constexpr int64_t TicksPerHour = 36000000000;
    static constexpr int64_t TicksPerDay = 864000000000;
    static constexpr int DaysPerYear = 365;
    static constexpr int DaysPer4Years = 1461;
    static constexpr int DaysPer100Years = 36524;
    static constexpr int DaysPer400Years = 146097;
    static constexpr int64_t MaxTicks = 3155378975999999999; // 9999-12-31 23:59:59.9999999
    // Cumulative days before each month (index 0 to 12).
    static constexpr int DaysToMonth365[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    static constexpr int DaysToMonth366[13] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

    // Parts of the date for GetDatePart.
    static constexpr int DatePartYear = 0;
    static constexpr int DatePartDayOfYear = 1;
    static constexpr int DatePartMonth = 2;
    static constexpr int DatePartDay = 3;

    int64_t Ticks = 0;

    // Raises ArgumentOutOfRangeException for an invalid date, a time out of range or a
    // millisecond outside 0..999, and ArgumentException "DateTime.Create max Ticks exceeded"
    // when the sum lies outside 0..MaxTicks; checked in that order.
    static DateTime Create(int year, int month, int day, int hour, int minute, int second, int millisecond);
    // Raises ArgumentOutOfRangeException "Invalid values specified for Year, Month or Day".
    static int64_t DateToTicks(int year, int month, int day);
    static bool IsLeapYear(int year);
    static int GetDatePart(int64_t ticks, int part);

    int Year() const { return GetDatePart(Ticks, DatePartYear); }
    int Month() const { return GetDatePart(Ticks, DatePartMonth); }
    int Day() const { return GetDatePart(Ticks, DatePartDay); }
    int DayOfYear() const { return GetDatePart(Ticks, DatePartDayOfYear); }
    int Hour() const { return int((Ticks / TicksPerHour) % 24); }
    int Minute() const { return int((Ticks / TicksPerMinute) % 60); }
    int Second() const { return int((Ticks / TicksPerSecond) % 60); }
    int Millisecond() const { return int((Ticks / TicksPerMillisecond) % 1000); }

    // The local wall-clock time, to the millisecond.
    static DateTime Now();
    // Exact to the millisecond; finer ticks are dropped.
    TDateTime ToOADate() const;
    // Raises ArgumentOutOfRangeException for a value outside years 1 to 9999 (or not finite).
    static DateTime FromOADate(TDateTime value);

    friend auto operator<=>(const DateTime&, const DateTime&) = default;
    // The difference in ticks.
    friend int64_t operator-(const DateTime& a, const DateTime& b) { return a.Ticks - b.Ticks; }
};

// The day-count date's own arithmetic, shared with the document's date texts.
namespace DateValue {
// Days since 1899-12-30 of a valid date (may be negative); raises like DateTime::DateToTicks.
double EncodeDate(int year, int month, int day);
// The fraction of a day; the parts must lie in their usual ranges.
double EncodeTime(int hour, int minute, int second, int millisecond);
struct TDecoded {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
// Splits a date value, rounded to the millisecond. Raises ArgumentOutOfRangeException
// "Invalid values specified for Year, Month or Day" outside years 1 to 9999 or for inf and nan.
TDecoded Decode(TDateTime value);
} // namespace DateValue
