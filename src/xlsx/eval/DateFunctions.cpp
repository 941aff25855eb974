// Date and time functions over serial day numbers in the workbook's date system.

#include "eval/DateSerial.h"
#include "eval/Evaluation.h"

#include <cmath>

namespace xlsx::eval {

namespace {

double maxSerial(Call& c) {
    return fromDate1900(kMaxSerial1900, c.ev.date1904());
}

double nowInWorkbook(Call& c) {
    return fromDate1900(c.ev.now(), c.ev.date1904());
}

Operand fnToday(Call& c) {
    return Operand::ofNumber(std::floor(nowInWorkbook(c)));
}

Operand fnNow(Call& c) {
    return Operand::ofNumber(nowInWorkbook(c));
}

Operand fnDate(Call& c) {
    auto year = c.integer(0), month = c.integer(1), day = c.integer(2);
    if (!year) return Operand::ofError(*year.error);
    if (!month) return Operand::ofError(*month.error);
    if (!day) return Operand::ofError(*day.error);
    double y = *year;
    if (y >= 0 && y < 1900) y += 1900; // two-digit and short years count from 1900
    if (y < 0 || y >= 10000 || std::fabs(*month) > 1e6 || std::fabs(*day) > 1e8)
        return Operand::ofError(ErrorCode::Num);
    auto serial = serialOf(static_cast<long long>(y), static_cast<long long>(*month),
                           static_cast<long long>(*day), c.ev.date1904());
    if (!serial) return Operand::ofError(ErrorCode::Num);
    return Operand::ofNumber(*serial);
}

Operand fnTime(Call& c) {
    auto hour = c.integer(0), minute = c.integer(1), second = c.integer(2);
    if (!hour) return Operand::ofError(*hour.error);
    if (!minute) return Operand::ofError(*minute.error);
    if (!second) return Operand::ofError(*second.error);
    if (*hour > 32767 || *minute > 32767 || *second > 32767) return Operand::ofError(ErrorCode::Num);
    double total = *hour * 3600 + *minute * 60 + *second;
    if (total < 0) return Operand::ofError(ErrorCode::Num);
    return Operand::ofNumber(std::fmod(total, 86400.0) / 86400.0);
}

// The date of a serial argument; #NUM! for negatives and beyond 9999, #VALUE! for what is no number.
Got<CivilDate> dateArgument(Call& c, std::size_t i) {
    auto serial = c.number(i);
    if (!serial) return *serial.error;
    auto date = dateOf(*serial, c.ev.date1904());
    if (!date) return ErrorCode::Num;
    return *date;
}

enum class Part { Year, Month, Day };

Operand datePart(Call& c, Part part) {
    auto date = dateArgument(c, 0);
    if (!date) return Operand::ofError(*date.error);
    switch (part) {
    case Part::Year:
        return Operand::ofNumber(date->year);
    case Part::Month:
        return Operand::ofNumber(date->month);
    case Part::Day:
        return Operand::ofNumber(date->day);
    }
    return Operand::ofError(ErrorCode::Value);
}

Operand fnYear(Call& c) {
    return datePart(c, Part::Year);
}
Operand fnMonth(Call& c) {
    return datePart(c, Part::Month);
}
Operand fnDay(Call& c) {
    return datePart(c, Part::Day);
}

// Seconds into the day of a serial, rounded to the nearest second as the application shows times.
Got<long long> secondOfDay(Call& c) {
    auto serial = c.number(0);
    if (!serial) return *serial.error;
    if (*serial < 0 || *serial >= maxSerial(c) + 1) return ErrorCode::Num;
    double fraction = *serial - std::floor(*serial);
    auto seconds = static_cast<long long>(std::round(round15(fraction * 86400.0)));
    return seconds % 86400;
}

Operand fnHour(Call& c) {
    auto s = secondOfDay(c);
    if (!s) return Operand::ofError(*s.error);
    return Operand::ofNumber(static_cast<double>(*s / 3600));
}

Operand fnMinute(Call& c) {
    auto s = secondOfDay(c);
    if (!s) return Operand::ofError(*s.error);
    return Operand::ofNumber(static_cast<double>(*s / 60 % 60));
}

Operand fnSecond(Call& c) {
    auto s = secondOfDay(c);
    if (!s) return Operand::ofError(*s.error);
    return Operand::ofNumber(static_cast<double>(*s % 60));
}

Operand fnWeekday(Call& c) {
    auto serial = c.number(0);
    if (!serial) return Operand::ofError(*serial.error);
    auto type = c.integer(1);
    if (c.omitted(1)) type = 1.0;
    if (!type) return Operand::ofError(*type.error);
    if (*serial < 0 || *serial >= maxSerial(c) + 1) return Operand::ofError(ErrorCode::Num);
    int day = weekdayOf(*serial, c.ev.date1904()); // 0 = Sunday
    int t = static_cast<int>(*type);
    // The day that counts as 1: 1 and 17 Sunday, 2 and 11 Monday, 12-16 Tuesday to Sunday; 3 counts
    // from 0 on Monday.
    int first = 0;
    if (t == 1 || t == 17)
        first = 0;
    else if (t == 2 || t == 11 || t == 3)
        first = 1;
    else if (t >= 12 && t <= 16)
        first = t - 10;
    else
        return Operand::ofError(ErrorCode::Num);
    int number = (day - first + 7) % 7 + (t == 3 ? 0 : 1);
    return Operand::ofNumber(number);
}

Operand shiftMonths(Call& c, bool toMonthEnd) {
    auto start = c.number(0);
    if (!start) return Operand::ofError(*start.error);
    auto months = c.integer(1);
    if (!months) return Operand::ofError(*months.error);
    auto date = dateOf(*start, c.ev.date1904());
    if (!date || std::fabs(*months) > 120000) return Operand::ofError(ErrorCode::Num);
    long long total =
        static_cast<long long>(date->year) * 12 + (date->month - 1) + static_cast<long long>(*months);
    long long year = total >= 0 ? total / 12 : (total - 11) / 12;
    int month = static_cast<int>(total - year * 12) + 1;
    if (year < 1900 || year > 9999) return Operand::ofError(ErrorCode::Num);
    // The application's February 1900 has 29 days.
    int last =
        year == 1900 && month == 2 && !c.ev.date1904() ? 29 : daysInMonth(static_cast<int>(year), month);
    int day = toMonthEnd ? last : std::min(date->day == 0 ? 1 : date->day, last);
    auto serial = serialOf(year, month, day, c.ev.date1904());
    if (!serial) return Operand::ofError(ErrorCode::Num);
    return Operand::ofNumber(*serial);
}

Operand fnEDate(Call& c) {
    return shiftMonths(c, false);
}
Operand fnEOMonth(Call& c) {
    return shiftMonths(c, true);
}

} // namespace

const std::vector<FunctionDef>& dateFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"TODAY", 0, 0, "V", fnToday, false},    {"NOW", 0, 0, "V", fnNow, false},
        {"DATE", 3, 3, "V", fnDate, true},       {"TIME", 3, 3, "V", fnTime, true},
        {"YEAR", 1, 1, "V", fnYear, true},       {"MONTH", 1, 1, "V", fnMonth, true},
        {"DAY", 1, 1, "V", fnDay, true},         {"HOUR", 1, 1, "V", fnHour, true},
        {"MINUTE", 1, 1, "V", fnMinute, true},   {"SECOND", 1, 1, "V", fnSecond, true},
        {"WEEKDAY", 1, 2, "V", fnWeekday, true}, {"EDATE", 2, 2, "V", fnEDate, true},
        {"EOMONTH", 2, 2, "V", fnEOMonth, true},
    };
    return functions;
}

} // namespace xlsx::eval
