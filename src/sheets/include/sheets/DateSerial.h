#pragma once

// Dates as the spreadsheet counts them: serial day numbers, 1 = 1900-01-01 in the 1900 date system,
// which counts a 1900-02-29 that never was (serial 60), or 0 = 1904-01-01 in the 1904 date system.
// The fraction is the time of day. Cell values carry serials of the 1900 system; a workbook that
// counts from 1904 is converted where its cells are read.

#include <optional>

namespace sheets {

struct CivilDate {
    int year = 1900, month = 1, day = 1;
};

// The last serial a date may have (9999-12-31) in the 1900 date system.
inline constexpr double kMaxSerial1900 = 2958465;
// Serial 0 of the 1904 date system is serial 1462 of the 1900 system.
inline constexpr double kDays1900To1904 = 1462;

// A serial of the workbook's date system as the 1900 system counts it, and back.
inline double toDate1900(double serial, bool date1904) {
    return date1904 ? serial + kDays1900To1904 : serial;
}
inline double fromDate1900(double serial, bool date1904) {
    return date1904 ? serial - kDays1900To1904 : serial;
}

// The 1900 serial of a calendar date, without limits: days before 1900-03-01 are one lower than the
// count from 1899-12-30, and a day past the month's end runs on into the next month.
double serialOfDate(long long year, long long month, long long day);

// The serial of year/month/day; month and day may run over (month 13, day 0, day -5) and are carried
// as the application's DATE does. nullopt before the first day of the date system or after 9999.
std::optional<double> serialOf(long long year, long long month, long long day, bool date1904);

// The date of a serial's whole days; nullopt for negatives and past 9999-12-31. In the 1900 date
// system serial 0 is 1900-01-00 and 60 is 1900-02-29, as the application reports them.
std::optional<CivilDate> dateOf(double serial, bool date1904);

// The date `days` after 1899-12-30 in the proleptic Gregorian calendar: the platform's own day count,
// which shows the days before serial 1 that the spreadsheet has no date for.
CivilDate platformDate(long long days);

// Day of the week, 0 = Sunday, of a serial's whole days.
int weekdayOf(double serial, bool date1904);

// Days in a month of the proleptic Gregorian calendar.
int daysInMonth(int year, int month);

} // namespace sheets
