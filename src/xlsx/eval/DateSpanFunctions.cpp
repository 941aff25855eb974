// Spans between dates and working days: DAYS, DAYS360, DATEDIF, YEARFRAC, WEEKNUM, ISOWEEKNUM,
// NETWORKDAYS and WORKDAY; dates and times read from text: DATEVALUE and TIMEVALUE.

#include "eval/DateSerial.h"
#include "eval/Evaluation.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace xlsx::eval {

namespace {

struct Day {
    double serial; // whole days
    CivilDate date;
};

// A date argument: its whole days, #NUM! outside the date system, #VALUE! for what is no number.
Got<Day> dayArgument(Call& c, std::size_t i) {
    auto serial = c.number(i);
    if (!serial) return *serial.error;
    double whole = std::floor(*serial);
    auto date = dateOf(whole, c.ev.date1904());
    if (!date) return ErrorCode::Num;
    return Day{whole, *date};
}

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool lastOfFebruary(const CivilDate& d) {
    return d.month == 2 && d.day == (isLeap(d.year) ? 29 : 28);
}

double days360(CivilDate a, CivilDate b, bool european) {
    if (european) {
        a.day = std::min(a.day, 30);
        b.day = std::min(b.day, 30);
    } else {
        if (a.day == 31 || lastOfFebruary(a)) a.day = 30;
        if (b.day == 31 && a.day >= 30) b.day = 30;
    }
    return (b.year - a.year) * 360.0 + (b.month - a.month) * 30.0 + (b.day - a.day);
}

// DAYS(end, start): numbers as they are, fractions of a day included; a date written as text counts
// from its day's start.
Operand fnDays(Call& c) {
    double serials[2] = {0, 0};
    for (std::size_t i = 0; i < 2; ++i) {
        Value v = c.value(i);
        auto n = toNumber(v, c.ev.date1904());
        if (!n) return Operand::ofError(*n.error);
        if (!dateOf(std::floor(*n), c.ev.date1904())) return Operand::ofError(ErrorCode::Num);
        serials[i] = v.isText() ? std::floor(*n) : *n;
    }
    return numberResult(serials[0] - serials[1]);
}

Operand fnDays360(Call& c) {
    auto start = dayArgument(c, 0), end = dayArgument(c, 1);
    if (!start) return Operand::ofError(*start.error);
    if (!end) return Operand::ofError(*end.error);
    auto european = c.boolean(2, false);
    if (!european) return Operand::ofError(*european.error);
    if (!*european) {
        // The US method moves an end on the 31st to the 1st of the next month unless the start is
        // on the 30th or 31st.
        CivilDate a = start->date, b = end->date;
        if (a.day == 31 || lastOfFebruary(a)) a.day = 30;
        if (b.day == 31) {
            if (a.day < 30) {
                b.day = 1;
                if (++b.month > 12) {
                    b.month = 1;
                    ++b.year;
                }
            } else {
                b.day = 30;
            }
        }
        return numberResult((b.year - a.year) * 360.0 + (b.month - a.month) * 30.0 + (b.day - a.day));
    }
    return numberResult(days360(start->date, end->date, true));
}

Operand fnDatedif(Call& c) {
    auto start = dayArgument(c, 0), end = dayArgument(c, 1);
    if (!start) return Operand::ofError(*start.error);
    if (!end) return Operand::ofError(*end.error);
    auto unit = c.text(2);
    if (!unit) return Operand::ofError(*unit.error);
    if (start->serial > end->serial) return Operand::ofError(ErrorCode::Num);
    const CivilDate& a = start->date;
    const CivilDate& b = end->date;
    int months = (b.year - a.year) * 12 + (b.month - a.month) - (b.day < a.day ? 1 : 0);
    std::string u;
    for (char ch : *unit)
        u += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    if (u == "Y") return Operand::ofNumber(months / 12);
    if (u == "M") return Operand::ofNumber(months);
    if (u == "D") return numberResult(end->serial - start->serial);
    if (u == "YM") return Operand::ofNumber(months % 12);
    if (u == "MD") {
        if (b.day >= a.day) return Operand::ofNumber(b.day - a.day);
        int month = b.month == 1 ? 12 : b.month - 1;
        int year = b.month == 1 ? b.year - 1 : b.year;
        return Operand::ofNumber(daysInMonth(year, month) - a.day + b.day);
    }
    if (u == "YD") {
        bool sameYear = b.month > a.month || (b.month == a.month && b.day >= a.day);
        int year = sameYear ? b.year : b.year - 1;
        int day = std::min(a.day, daysInMonth(year, a.month));
        auto from = serialOf(year, a.month, day, c.ev.date1904());
        if (!from) return Operand::ofError(ErrorCode::Num);
        return numberResult(end->serial - *from);
    }
    return Operand::ofError(ErrorCode::Num);
}

Operand fnYearfrac(Call& c) {
    auto first = dayArgument(c, 0), second = dayArgument(c, 1);
    if (!first) return Operand::ofError(*first.error);
    if (!second) return Operand::ofError(*second.error);
    auto basis = c.number(2, 0);
    if (!basis) return Operand::ofError(*basis.error);
    double b = std::trunc(*basis);
    if (b < 0 || b > 4) return Operand::ofError(ErrorCode::Num);
    Day start = *first, end = *second;
    if (start.serial > end.serial) std::swap(start, end);
    double days = end.serial - start.serial;
    const CivilDate& a = start.date;
    const CivilDate& e = end.date;
    switch (static_cast<int>(b)) {
    case 0: {
        // 30/360 as the application counts it: the first matching rule applies.
        CivilDate x = a, y = e;
        if (x.day == 31 && y.day == 31) {
            x.day = y.day = 30;
        } else if (x.day == 31) {
            x.day = 30;
        } else if (x.day == 30 && y.day == 31) {
            y.day = 30;
        } else if (lastOfFebruary(x) && lastOfFebruary(y)) {
            x.day = y.day = 30;
        } else if (lastOfFebruary(x)) {
            x.day = 30;
        }
        return numberResult(((y.year - x.year) * 360.0 + (y.month - x.month) * 30.0 + (y.day - x.day)) / 360);
    }
    case 1: {
        bool withinAYear =
            a.year == e.year ||
            (e.year == a.year + 1 && (a.month > e.month || (a.month == e.month && a.day >= e.day)));
        if (withinAYear) {
            double length = 365;
            if (a.year == e.year) {
                length = isLeap(a.year) ? 366 : 365;
            } else {
                bool feb29 = (isLeap(a.year) && a.month <= 2) ||
                             (isLeap(e.year) && (e.month > 2 || (e.month == 2 && e.day == 29)));
                length = feb29 ? 366 : 365;
            }
            return numberResult(days / length);
        }
        double total = 0;
        for (int year = a.year; year <= e.year; ++year)
            total += isLeap(year) ? 366 : 365;
        return numberResult(days / (total / (e.year - a.year + 1)));
    }
    case 2:
        return numberResult(days / 360);
    case 3:
        return numberResult(days / 365);
    default:
        return numberResult(days360(a, e, true) / 360);
    }
}

// The weekday (0 = Sunday) a week starts on for WEEKNUM's return types; -1 for ISO weeks.
std::optional<int> weekStart(double type) {
    int t = static_cast<int>(type);
    if (type != t) return std::nullopt;
    if (t == 1 || t == 17) return 0;
    if (t == 2 || t == 11) return 1;
    if (t >= 12 && t <= 16) return t - 10;
    if (t == 21) return -1;
    return std::nullopt;
}

double isoWeek(const Day& day, bool date1904) {
    int weekday = (weekdayOf(day.serial, date1904) + 6) % 7; // 0 = Monday
    // The week's Thursday decides its year.
    double thursday = day.serial - weekday + 3;
    auto date = dateOf(thursday, date1904);
    if (!date) return 1;
    auto january1 = serialOf(date->year, 1, 1, date1904);
    if (!january1) return 1;
    return std::floor((thursday - *january1) / 7) + 1;
}

Operand fnWeeknum(Call& c) {
    auto day = dayArgument(c, 0);
    if (!day) return Operand::ofError(*day.error);
    auto type = c.integer(1);
    if (c.omitted(1)) type = 1.0;
    if (!type) return Operand::ofError(*type.error);
    auto first = weekStart(*type);
    if (!first) return Operand::ofError(ErrorCode::Num);
    if (*first < 0) return numberResult(isoWeek(*day, c.ev.date1904()));
    auto january1 = serialOf(day->date.year, 1, 1, c.ev.date1904());
    if (!january1) return Operand::ofError(ErrorCode::Num);
    int offset = (weekdayOf(*january1, c.ev.date1904()) - *first + 7) % 7;
    return numberResult(std::floor((day->serial - *january1 + offset) / 7) + 1);
}

Operand fnIsoWeeknum(Call& c) {
    auto day = dayArgument(c, 0);
    if (!day) return Operand::ofError(*day.error);
    return numberResult(isoWeek(*day, c.ev.date1904()));
}

// The holidays of the optional argument, as whole days.
Got<std::set<double>> holidays(Call& c, std::size_t i) {
    std::set<double> days;
    if (c.omitted(i)) return days;
    std::optional<ErrorCode> error;
    c.ev.forEachCell(c.arg(i), [&](const CellSeen& seen) {
        if (error) return;
        if (seen.value.isError()) {
            error = seen.value.error;
        } else if (seen.value.isNumber()) {
            days.insert(std::floor(seen.value.number));
        } else if (seen.direct || seen.value.isText()) {
            auto n = toNumber(seen.value, c.ev.date1904());
            if (!n)
                error = *n.error;
            else
                days.insert(std::floor(*n));
        }
    });
    if (error) return *error;
    return days;
}

bool workday(double serial, const std::set<double>& off, bool date1904) {
    int weekday = weekdayOf(serial, date1904);
    return weekday != 0 && weekday != 6 && !off.contains(serial);
}

Operand fnNetworkdays(Call& c) {
    auto start = dayArgument(c, 0), end = dayArgument(c, 1);
    if (!start) return Operand::ofError(*start.error);
    if (!end) return Operand::ofError(*end.error);
    auto off = holidays(c, 2);
    if (!off) return Operand::ofError(*off.error);
    double from = std::min(start->serial, end->serial), to = std::max(start->serial, end->serial);
    // Whole weeks at once, the rest day by day.
    double weeks = std::floor((to - from + 1) / 7);
    double count = weeks * 5;
    for (double d = from + weeks * 7; d <= to; ++d)
        if (workday(d, {}, c.ev.date1904())) ++count;
    for (double h : *off)
        if (h >= from && h <= to && workday(h, {}, c.ev.date1904())) --count;
    return numberResult(start->serial <= end->serial ? count : -count);
}

Operand fnWorkday(Call& c) {
    auto start = dayArgument(c, 0);
    if (!start) return Operand::ofError(*start.error);
    auto days = c.integer(1);
    if (!days) return Operand::ofError(*days.error);
    auto off = holidays(c, 2);
    if (!off) return Operand::ofError(*off.error);
    double step = *days < 0 ? -1 : 1;
    double left = std::fabs(*days);
    if (left > 2958465) return Operand::ofError(ErrorCode::Num);
    double serial = start->serial;
    double last = fromDate1900(kMaxSerial1900, c.ev.date1904());
    while (left > 0) {
        serial += step;
        if (serial < 0 || serial > last) return Operand::ofError(ErrorCode::Num);
        if (workday(serial, *off, c.ev.date1904())) --left;
    }
    return numberResult(serial);
}

// The serial a date or time text stands for; only texts are read.
Got<double> dateTimeText(Call& c) {
    Value v = c.value(0);
    if (v.isError()) return v.error;
    if (!v.isText()) return ErrorCode::Value;
    auto serial = parseDateTimeText(v.text, c.ev.date1904());
    if (!serial) return ErrorCode::Value;
    return *serial;
}

// A text with a time alone holds no date.
Operand fnDatevalue(Call& c) {
    auto serial = dateTimeText(c);
    if (!serial) return Operand::ofError(*serial.error);
    if (*serial < 1) return Operand::ofError(ErrorCode::Value);
    return numberResult(std::floor(*serial));
}

Operand fnTimevalue(Call& c) {
    auto serial = dateTimeText(c);
    if (!serial) return Operand::ofError(*serial.error);
    return numberResult(*serial - std::floor(*serial));
}

} // namespace

const std::vector<FunctionDef>& dateSpanFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"DAYS", 2, 2, "V", fnDays, true},           {"DAYS360", 2, 3, "V", fnDays360, true},
        {"DATEDIF", 3, 3, "V", fnDatedif, true},     {"YEARFRAC", 2, 3, "V", fnYearfrac, true},
        {"WEEKNUM", 1, 2, "V", fnWeeknum, true},     {"ISOWEEKNUM", 1, 1, "V", fnIsoWeeknum, true},
        {"NETWORKDAYS", 2, 3, "VVR", fnNetworkdays}, {"WORKDAY", 2, 3, "VVR", fnWorkday},
        {"DATEVALUE", 1, 1, "V", fnDatevalue, true}, {"TIMEVALUE", 1, 1, "V", fnTimevalue, true},
    };
    return functions;
}

} // namespace xlsx::eval
