#include "DateText.h"

#include "sheets/DateSerial.h"

#include <charconv>

namespace orders {

namespace {

// Reads the digits at the front of `text` and drops them; nullopt when there are none.
std::optional<long> takeNumber(std::string_view& text) {
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

std::optional<double> takeDecimal(std::string_view& text) {
    double value = 0;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

bool take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

// "HH:MM:SS[.fff]" as a fraction of a day.
std::optional<double> takeTimeOfDay(std::string_view& text) {
    auto hours = takeNumber(text);
    if (!hours || !take(text, ':')) return std::nullopt;
    auto minutes = takeNumber(text);
    if (!minutes) return std::nullopt;
    double seconds = 0;
    if (take(text, ':')) {
        auto s = takeDecimal(text);
        if (!s) return std::nullopt;
        seconds = *s;
    }
    // In doubles: the digits may be many more than an hour has.
    return (static_cast<double>(*hours) * 3600 + static_cast<double>(*minutes) * 60 + seconds) / 86400.0;
}

} // namespace

std::optional<double> serialOfDateTimeText(std::string_view text) {
    if (text.size() >= 3 && text[2] == ':') {
        auto time = takeTimeOfDay(text);
        return time && text.empty() ? time : std::nullopt;
    }
    const bool negativeYear = take(text, '-');
    auto year = takeNumber(text);
    if (!year || !take(text, '-')) return std::nullopt;
    auto month = takeNumber(text);
    if (!month || !take(text, '-')) return std::nullopt;
    auto day = takeNumber(text);
    // Years past what any date type counts are no dates.
    if (!day || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *year < -32767 || *year > 32767)
        return std::nullopt;
    double serial = sheets::serialOfDate(negativeYear ? -*year : *year, *month, *day);
    if (take(text, 'T') || take(text, ' ')) {
        auto time = takeTimeOfDay(text);
        if (!time) return std::nullopt;
        serial += *time;
    }
    // A time zone (Z, +01:00) does not move the date: the spreadsheet has no zones.
    if (!text.empty() && text.front() != 'Z' && text.front() != '+' && text.front() != '-')
        return std::nullopt;
    return serial;
}

std::optional<double> serialOfDuration(std::string_view text) {
    const bool negative = take(text, '-');
    if (!take(text, 'P')) return std::nullopt;
    double days = 0;
    bool inTime = false;
    bool any = false;
    while (!text.empty()) {
        if (take(text, 'T')) {
            inTime = true;
            continue;
        }
        auto value = takeDecimal(text);
        if (!value || text.empty()) return std::nullopt;
        const char unit = text.front();
        text.remove_prefix(1);
        if (!inTime && unit == 'D')
            days += *value;
        else if (inTime && unit == 'H')
            days += *value / 24.0;
        else if (inTime && unit == 'M')
            days += *value / 1440.0;
        else if (inTime && unit == 'S')
            days += *value / 86400.0;
        else
            return std::nullopt; // years and months have no fixed length
        any = true;
    }
    if (!any) return std::nullopt;
    return negative ? -days : days;
}

} // namespace orders
