#include "sheets/DateSerial.h"

#include <cmath>

namespace sheets {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp + (mp < 10 ? 3 : -9);
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

const long long kDay1899_12_30 = daysFromCivil(1899, 12, 30);
const long long kDay1899_12_31 = daysFromCivil(1899, 12, 31);
const long long kDay1904_01_01 = daysFromCivil(1904, 1, 1);

} // namespace

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
    return days[month - 1];
}

double serialOfDate(long long year, long long month, long long day) {
    const long long days = daysFromCivil(year, month, day) - kDay1899_12_30;
    // Before March 1900 the application counts one day fewer: its February 1900 has 29 days.
    return static_cast<double>(days < 61 ? days - 1 : days);
}

std::optional<double> serialOf(long long year, long long month, long long day, bool date1904) {
    // Months run over into years; days are counted from the first of the month.
    long long months = year * 12 + (month - 1);
    long long y = months >= 0 ? months / 12 : (months - 11) / 12;
    long long m = months - y * 12 + 1;
    // Year 10000 may still reach back into 9999 through a day of 0 or less.
    if (y < 0 || y > 10000) return std::nullopt;
    double serial =
        date1904 ? static_cast<double>(daysFromCivil(y, m, 1) - kDay1904_01_01) : serialOfDate(y, m, 1);
    // Days run on from the first of the month in the application's own count.
    serial += static_cast<double>(day - 1);
    if (serial < 0 || serial > kMaxSerial1900 - (date1904 ? kDays1900To1904 : 0)) return std::nullopt;
    return serial;
}

std::optional<CivilDate> dateOf(double serial, bool date1904) {
    if (!(serial >= 0)) return std::nullopt;
    auto whole = static_cast<long long>(std::floor(serial));
    if (date1904) {
        if (whole > kMaxSerial1900 - kDays1900To1904) return std::nullopt;
        return civilFromDays(kDay1904_01_01 + whole);
    }
    if (whole > kMaxSerial1900) return std::nullopt;
    if (whole == 0) return CivilDate{1900, 1, 0};
    if (whole == 60) return CivilDate{1900, 2, 29};
    if (whole < 60) return civilFromDays(kDay1899_12_31 + whole);
    return civilFromDays(kDay1899_12_30 + whole);
}

CivilDate platformDate(long long days) {
    return civilFromDays(kDay1899_12_30 + days);
}

int weekdayOf(double serial, bool date1904) {
    // Serial 1 of the 1900 system is a Sunday there (the fictitious leap day shifts January and
    // February 1900 by one), and the 1904 system starts on a Friday.
    auto whole = static_cast<long long>(std::floor(toDate1900(serial, date1904)));
    return static_cast<int>(((whole + 6) % 7 + 7) % 7);
}

} // namespace sheets
