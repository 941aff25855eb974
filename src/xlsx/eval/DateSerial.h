#pragma once

// Dates as the application counts them: serial day numbers, 1 = 1900-01-01 in the 1900 date system,
// which counts a 1900-02-29 that never was (serial 60), or 0 = 1904-01-01 in the 1904 date system.
// The fraction is the time of day.

#include <optional>

namespace xlsx::eval {

struct CivilDate {
    int year = 1900, month = 1, day = 1;
};

// The last serial a date may have (9999-12-31) in the 1900 date system.
inline constexpr double kMaxSerial1900 = 2958465;
inline constexpr double kDays1900To1904 = 1462;

// The serial of year/month/day; month and day may run over (month 13, day 0, day -5) and are carried
// as the application's DATE does. nullopt before the first day of the date system or after 9999.
std::optional<double> serialOf(long long year, long long month, long long day, bool date1904);

// The date of a serial's whole days; nullopt for negatives and past 9999-12-31. In the 1900 date
// system serial 0 is 1900-01-00 and 60 is 1900-02-29, as the application reports them.
std::optional<CivilDate> dateOf(double serial, bool date1904);

// Day of the week, 0 = Sunday, of a serial's whole days.
int weekdayOf(double serial, bool date1904);

// Days in a month of the proleptic Gregorian calendar.
int daysInMonth(int year, int month);

} // namespace xlsx::eval
