// The writer of date and time sections: y m d h s with their widths, month and day names, AM/PM,
// fractions of seconds and elapsed time ([h] [mm] [ss]). Names are the English ones.

#include "eval/DateSerial.h"
#include "eval/NotComputable.h"
#include "eval/NumberFormatCode.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace xlsx::eval {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};

std::string padded(long long value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

// A whole number of any size as digits, for elapsed hours past what an integer holds.
std::string wholeDigits(double value, std::size_t width) {
    auto digits = fixedDigits(value, 0).first;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

struct Moment {
    CivilDate date;
    double days = 0;         // whole days after rounding to what is shown
    double totalSeconds = 0; // for elapsed time
    long long hour = 0, minute = 0, second = 0;
    long long fraction = 0; // of the second, in units of 10^-fractionDigits
    int fractionDigits = 0;
};

} // namespace

Got<std::string> writeDateTime(double value, const FormatSection& section, bool date1904) {
    if (value < 0) return ErrorCode::Value;
    const auto& tokens = section.tokens;
    Moment m;
    bool ampm = false, showsDate = false;
    for (const auto& t : tokens) {
        if (t.type == TokenType::Date && t.text[0] == 's' && t.text.find('.') != std::string::npos)
            m.fractionDigits =
                std::max(m.fractionDigits, static_cast<int>(t.text.size() - t.text.find('.') - 1));
        ampm = ampm || t.type == TokenType::AmPm;
        showsDate = showsDate ||
                    (t.type == TokenType::Date && (t.text[0] == 'y' || t.text[0] == 'd' || t.text[0] == 'm'));
    }
    m.fractionDigits = std::min(m.fractionDigits, 3);
    // The time is rounded to what is shown; a day that rounds up to midnight is the next day.
    double unitsPerSecond = std::pow(10.0, m.fractionDigits);
    double totalUnits = std::round(round15(value * 86400.0 * unitsPerSecond));
    double units = std::fmod(totalUnits, 86400.0 * unitsPerSecond);
    m.days = (totalUnits - units) / (86400.0 * unitsPerSecond);
    // Whether a time this close to midnight shows the next day is not settled; it is not guessed.
    if (showsDate && m.days > std::floor(value))
        throw NotComputable("en dato vist med et klokkeslett rett før midnatt");
    auto date = dateOf(m.days, date1904);
    if (!date) return ErrorCode::Value;
    m.date = *date;
    auto secondsOfDay = static_cast<long long>(units / unitsPerSecond);
    m.fraction = static_cast<long long>(units - static_cast<double>(secondsOfDay) * unitsPerSecond);
    m.hour = secondsOfDay / 3600;
    m.minute = secondsOfDay / 60 % 60;
    m.second = secondsOfDay % 60;
    m.totalSeconds = totalUnits / unitsPerSecond;

    std::string out;
    for (const auto& t : tokens) {
        const std::string& code = t.text;
        switch (t.type) {
        case TokenType::Literal:
            out += code;
            break;
        case TokenType::Elapsed: {
            double whole = code[0] == 'h'   ? std::floor(m.totalSeconds / 3600)
                           : code[0] == 'm' ? std::floor(m.totalSeconds / 60)
                                            : std::floor(m.totalSeconds);
            out += wholeDigits(whole, code.size());
            break;
        }
        case TokenType::AmPm:
            if (code == "AM/PM")
                out += m.hour < 12 ? "AM" : "PM";
            else
                out += m.hour < 12 ? code.substr(0, 1) : code.substr(2, 1);
            break;
        case TokenType::Date:
            switch (code[0]) {
            case 'y':
                out += code.size() <= 2 ? padded(m.date.year % 100, 2) : std::to_string(m.date.year);
                break;
            case 'm': {
                auto name = kMonths[static_cast<std::size_t>(m.date.month - 1)];
                out += code.size() <= 2   ? padded(m.date.month, code.size())
                       : code.size() == 3 ? std::string(name.substr(0, 3))
                       : code.size() == 5 ? std::string(name.substr(0, 1))
                                          : std::string(name);
                break;
            }
            case 'd': {
                auto name = kDays[static_cast<std::size_t>(weekdayOf(m.days, date1904))];
                out += code.size() <= 2   ? padded(m.date.day, code.size())
                       : code.size() == 3 ? std::string(name.substr(0, 3))
                                          : std::string(name);
                break;
            }
            case 'h': {
                long long shown = ampm ? (m.hour % 12 == 0 ? 12 : m.hour % 12) : m.hour;
                out += padded(shown, std::min<std::size_t>(code.size(), 2));
                break;
            }
            case 'n':
                out += padded(m.minute, code.size());
                break;
            case 's': {
                auto point = code.find('.');
                auto width = point == std::string::npos ? code.size() : point;
                out += padded(m.second, std::min<std::size_t>(width, 2));
                if (point != std::string::npos) {
                    auto shown = static_cast<std::size_t>(code.size() - point - 1);
                    out += '.';
                    out += padded(m.fraction, static_cast<std::size_t>(m.fractionDigits))
                               .substr(0, std::min(shown, static_cast<std::size_t>(m.fractionDigits)));
                }
                break;
            }
            default:
                break;
            }
            break;
        default:
            out += code;
            break;
        }
    }
    return out;
}

} // namespace xlsx::eval
