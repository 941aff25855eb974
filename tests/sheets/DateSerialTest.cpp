#include "sheets/DateSerial.h"

#include <gtest/gtest.h>

namespace {

using sheets::CivilDate;
using sheets::dateOf;
using sheets::serialOf;

bool sameDate(const CivilDate& a, const CivilDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

TEST(DateSerial, CalendarDatesAsTheSpreadsheetCountsThem) {
    EXPECT_EQ(sheets::serialOfDate(1900, 1, 1), 1);
    EXPECT_EQ(sheets::serialOfDate(1900, 2, 28), 59);
    EXPECT_EQ(sheets::serialOfDate(1900, 3, 1), 61); // 60 is the 1900-02-29 that never was
    EXPECT_EQ(sheets::serialOfDate(2024, 3, 14), 45365);
    EXPECT_EQ(sheets::serialOfDate(1899, 12, 31), 0);
    EXPECT_EQ(sheets::serialOfDate(2024, 2, 31), sheets::serialOfDate(2024, 3, 2)); // runs on

    EXPECT_EQ(serialOf(1904, 1, 1, true), 0);
    EXPECT_EQ(serialOf(2024, 3, 14, true), 45365 - 1462);
    EXPECT_TRUE(sameDate(*dateOf(60, false), {1900, 2, 29}));
    EXPECT_TRUE(sameDate(*dateOf(0, false), {1900, 1, 0}));
    EXPECT_TRUE(sameDate(*dateOf(0, true), {1904, 1, 1}));
    EXPECT_TRUE(sameDate(*dateOf(45365.75, false), {2024, 3, 14}));
}

TEST(DateSerial, MonthsAndDaysRunOverAsDateDoes) {
    EXPECT_EQ(serialOf(2024, 13, 1, false), serialOf(2025, 1, 1, false));
    EXPECT_EQ(serialOf(2024, 3, 0, false), serialOf(2024, 2, 29, false));
    EXPECT_EQ(serialOf(2024, 1, -5, false), serialOf(2023, 12, 26, false));
    EXPECT_EQ(serialOf(2024, -1, 1, false), serialOf(2023, 11, 1, false));
    EXPECT_EQ(serialOf(1900, 3, 0, false), 60); // the day before March 1900 is the fictitious one
}

TEST(DateSerial, EachSystemEndsWhereItsCalendarDoes) {
    EXPECT_EQ(serialOf(9999, 12, 31, false), sheets::kMaxSerial1900);
    EXPECT_EQ(serialOf(10000, 1, 0, false), sheets::kMaxSerial1900);
    EXPECT_FALSE(serialOf(10000, 1, 1, false));
    EXPECT_FALSE(serialOf(1899, 12, 30, false));
    EXPECT_EQ(serialOf(9999, 12, 31, true), sheets::kMaxSerial1900 - sheets::kDays1900To1904);
    EXPECT_FALSE(serialOf(1903, 12, 31, true));
    EXPECT_FALSE(dateOf(-0.5, false));
    EXPECT_FALSE(dateOf(sheets::kMaxSerial1900 + 1, false));
    EXPECT_FALSE(dateOf(sheets::kMaxSerial1900 - sheets::kDays1900To1904 + 1, true));
}

// Every day of both systems: the date of a serial gives the serial back, the weekdays follow each
// other, and a 1904 serial moved into the 1900 system names the same day.
TEST(DateSerial, EveryDayRoundTripsInBothSystems) {
    int weekday = sheets::weekdayOf(1, false);
    EXPECT_EQ(weekday, 0); // 1900-01-01 counts as a Sunday
    for (double serial = 1; serial <= sheets::kMaxSerial1900; ++serial) {
        const auto date = dateOf(serial, false);
        ASSERT_TRUE(date) << serial;
        if (serial != 60) {
            ASSERT_EQ(serialOf(date->year, date->month, date->day, false), serial) << serial;
            ASSERT_EQ(sheets::serialOfDate(date->year, date->month, date->day), serial) << serial;
            ASSERT_LE(date->day, sheets::daysInMonth(date->year, date->month)) << serial;
        }
        ASSERT_EQ(sheets::weekdayOf(serial, false), weekday) << serial;
        weekday = (weekday + 1) % 7;
    }
    for (double serial = 0; serial <= sheets::kMaxSerial1900 - sheets::kDays1900To1904; ++serial) {
        const auto date = dateOf(serial, true);
        ASSERT_TRUE(date) << serial;
        ASSERT_EQ(serialOf(date->year, date->month, date->day, true), serial) << serial;
        ASSERT_TRUE(sameDate(*dateOf(sheets::toDate1900(serial, true), false), *date)) << serial;
        ASSERT_EQ(sheets::weekdayOf(serial, true),
                  sheets::weekdayOf(sheets::toDate1900(serial, true), false));
    }
    EXPECT_EQ(sheets::weekdayOf(45365, false), 4); // 2024-03-14, a Thursday
}

TEST(DateSerial, DaysBeforeTheFirstSerialAreThePlatformsDates) {
    EXPECT_TRUE(sameDate(sheets::platformDate(-1), {1899, 12, 29}));
    EXPECT_TRUE(sameDate(sheets::platformDate(-657434), {100, 1, 1}));
    EXPECT_TRUE(sameDate(sheets::platformDate(61), *dateOf(61, false)));
}

} // namespace
