#include "eval/Conversions.h"

#include "eval/DateSerial.h"
#include "eval/NotComputable.h"
#include "eval/Utf8.h"
#include "xml/XmlText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace xlsx::eval {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// Digits at pos; false when there are none.
bool readDigits(std::string_view text, std::size_t& pos, long long& value, int maxDigits = 9) {
    std::size_t start = pos;
    value = 0;
    while (pos < text.size() && isDigit(text[pos]) && static_cast<int>(pos - start) < maxDigits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

std::optional<double> parsePlainNumber(std::string_view text) {
    bool negative = false;
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
        negative = true;
        text = trimBlanks(text.substr(1, text.size() - 2));
    }
    double scale = 1;
    if (!text.empty() && text.back() == '%') {
        scale = 0.01;
        text = trimBlanks(text.substr(0, text.size() - 1));
    }
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (negative) return std::nullopt;
        negative = text[pos] == '-';
        ++pos;
    }
    std::size_t mantissa = pos;
    std::size_t digits = 0;
    while (pos < text.size() && isDigit(text[pos]))
        ++pos, ++digits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos]))
            ++pos, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
        if (pos >= text.size() || !isDigit(text[pos])) return std::nullopt;
        while (pos < text.size() && isDigit(text[pos]))
            ++pos;
    }
    if (pos != text.size()) return std::nullopt;
    double value = 0;
    auto body = text.substr(mantissa);
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec != std::errc() || end != body.data() + body.size()) return std::nullopt;
    value *= scale;
    return negative ? -value : value;
}

// h:mm, h:mm:ss, h:mm:ss.fff with an optional AM/PM: the fraction of a day.
std::optional<double> parseTime(std::string_view text) {
    std::size_t pos = 0;
    long long hours = 0, minutes = 0, seconds = 0;
    if (!readDigits(text, pos, hours, 4) || pos >= text.size() || text[pos] != ':') return std::nullopt;
    ++pos;
    std::size_t minuteStart = pos;
    if (!readDigits(text, pos, minutes, 2) || pos - minuteStart != 2) return std::nullopt;
    double fraction = 0;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        std::size_t secondStart = pos;
        if (!readDigits(text, pos, seconds, 2) || pos - secondStart != 2) return std::nullopt;
        if (pos < text.size() && text[pos] == '.') {
            ++pos;
            double unit = 0.1;
            while (pos < text.size() && isDigit(text[pos])) {
                fraction += unit * (text[pos] - '0');
                unit /= 10;
                ++pos;
            }
        }
    }
    auto rest = trimBlanks(text.substr(pos));
    if (!rest.empty()) {
        bool am = rest == "AM" || rest == "am" || rest == "A" || rest == "a";
        bool pm = rest == "PM" || rest == "pm" || rest == "P" || rest == "p";
        if ((!am && !pm) || hours < 1 || hours > 12) return std::nullopt;
        hours = hours % 12 + (pm ? 12 : 0);
    }
    if (minutes > 59 || seconds > 59) return std::nullopt;
    return (static_cast<double>(hours * 3600 + minutes * 60 + seconds) + fraction) / 86400.0;
}

// yyyy-mm-dd with an optional time after a blank or 'T'.
std::optional<double> parseIsoDate(std::string_view text, bool date1904) {
    std::size_t pos = 0;
    long long year = 0, month = 0, day = 0;
    if (!readDigits(text, pos, year, 4) || pos != 4 || pos >= text.size() || text[pos] != '-')
        return std::nullopt;
    ++pos;
    std::size_t start = pos;
    if (!readDigits(text, pos, month, 2) || pos - start != 2 || pos >= text.size() || text[pos] != '-')
        return std::nullopt;
    ++pos;
    start = pos;
    if (!readDigits(text, pos, day, 2) || pos - start != 2) return std::nullopt;
    if (year < 1900 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(static_cast<int>(year), static_cast<int>(month)))
        return std::nullopt;
    auto serial = serialOf(year, month, day, date1904);
    if (!serial) return std::nullopt;
    if (pos == text.size()) return *serial;
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    auto time = parseTime(trimBlanks(text.substr(pos + 1)));
    if (!time) return std::nullopt;
    return *serial + *time;
}

bool containsWordFrom(std::string_view folded, std::initializer_list<std::string_view> words) {
    for (auto word : words)
        if (folded.find(word) != std::string_view::npos) return true;
    return false;
}

// Whether another language's settings could read the text as a number or a date: digits with
// separators (12,5  1 000  3/4  15.01.2024  kr 5) or with a month name.
bool readsAsNumberElsewhere(std::string_view text) {
    bool digit = false, other = false;
    for (unsigned char c : text) {
        if (isDigit(static_cast<char>(c))) {
            digit = true;
        } else if (!(c == ' ' || c == ',' || c == '.' || c == ':' || c == '/' || c == '-' || c == '+' ||
                     c == '(' || c == ')' || c == '%' || c == '$' || c == '\'' || c >= 0x80)) {
            other = true;
        }
    }
    if (!digit) return false;
    if (!other) return true;
    auto folded = foldCase(text);
    return containsWordFrom(folded, {"JAN", "FEB", "MAR", "APR", "MAY", "MAI", "JUN", "JUL", "AUG", "SEP",
                                     "OCT", "OKT", "NOV", "DEC", "DES", "KR",  "AM",  "PM",  "EUR", "NOK"});
}

} // namespace

std::optional<double> parseNumberText(std::string_view text, bool date1904) {
    text = trimBlanks(text);
    if (text.empty()) return std::nullopt;
    if (auto number = parsePlainNumber(text)) return number;
    if (auto date = parseIsoDate(text, date1904)) return date;
    return parseTime(text);
}

std::optional<double> parseDateTimeText(std::string_view text, bool date1904) {
    text = trimBlanks(text);
    if (auto date = parseIsoDate(text, date1904)) return date;
    if (auto time = parseTime(text)) return time;
    bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
    if (!digitsOnly && readsAsNumberElsewhere(text))
        throw NotComputable("teksten «" + std::string(text) +
                            "» lest som dato (hvordan den leses, avhenger av språkinnstillingene)");
    return std::nullopt;
}

Got<double> toNumber(const Value& value, bool date1904) {
    switch (value.kind) {
    case Value::Kind::Empty:
        return 0.0;
    case Value::Kind::Number:
    case Value::Kind::Boolean:
        return value.number;
    case Value::Kind::Error:
        return value.error;
    case Value::Kind::Text:
        break;
    }
    if (auto number = parseNumberText(value.text, date1904)) return *number;
    if (readsAsNumberElsewhere(value.text))
        throw NotComputable("teksten «" + value.text +
                            "» brukt som tall (hvordan den leses, avhenger av språkinnstillingene)");
    return ErrorCode::Value;
}

std::string numberText(double value) {
    if (value == 0) return "0";
    double magnitude = std::fabs(value);
    // The application and its look-alikes agree on plain notation in this span; outside it they
    // differ, and the text would be a guess.
    if (magnitude < 1e-5 || magnitude >= 1e15)
        throw NotComputable("et svært stort eller svært lite tall gjort om til tekst");
    char buffer[64];
    int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    int decimals = std::max(0, 14 - exponent);
    // to_chars, not printf: the text must not follow the process locale's decimal separator.
    auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, written.ptr);
    // Rounding may have carried into one more integer digit (9.99999999999999999 -> 10.000...).
    if (auto point = text.find('.'); point != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

Got<std::string> toText(const Value& value) {
    switch (value.kind) {
    case Value::Kind::Empty:
        return std::string();
    case Value::Kind::Number:
        return numberText(value.number);
    case Value::Kind::Boolean:
        return std::string(value.number != 0 ? "TRUE" : "FALSE");
    case Value::Kind::Error:
        return value.error;
    case Value::Kind::Text:
        break;
    }
    return value.text;
}

Got<bool> toBoolean(const Value& value) {
    switch (value.kind) {
    case Value::Kind::Empty:
        return false;
    case Value::Kind::Number:
    case Value::Kind::Boolean:
        return value.number != 0;
    case Value::Kind::Error:
        return value.error;
    case Value::Kind::Text:
        break;
    }
    if (equalFolded(value.text, "TRUE")) return true;
    if (equalFolded(value.text, "FALSE")) return false;
    return ErrorCode::Value;
}

double round15(double value) {
    if (value == 0 || !std::isfinite(value)) return value;
    int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    int shift = 14 - exponent;
    if (shift > 300 || shift < -300) return value;
    double scale = std::pow(10.0, std::abs(shift));
    return shift >= 0 ? std::round(value * scale) / scale : std::round(value / scale) * scale;
}

bool approxEqual(double a, double b) {
    if (a == b) return true;
    if (a == 0 || b == 0 || (a < 0) != (b < 0)) return false;
    double difference = std::fabs(a - b);
    constexpr double e48 = 1.0 / (16777216.0 * 16777216.0);
    return difference < std::fabs(a) * e48 && difference < std::fabs(b) * e48;
}

double approxAdd(double a, double b) {
    if (((a < 0 && b > 0) || (a > 0 && b < 0)) && approxEqual(a, -b)) return 0.0;
    return a + b;
}

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool ascii = true;
    for (unsigned char c : text)
        if (c >= 0x80) ascii = false;
    if (ascii) {
        for (char c : text)
            out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        return out;
    }
    for (std::size_t pos = 0; pos < text.size();)
        xlsx::appendUtf8(out, upperCase(nextCodePoint(text, pos)));
    return out;
}

bool equalFolded(std::string_view a, std::string_view b) {
    return foldCase(a) == foldCase(b);
}

int compareTexts(std::string_view a, std::string_view b) {
    auto x = foldCase(a), y = foldCase(b);
    std::size_t i = 0;
    while (i < x.size() && i < y.size() && x[i] == y[i])
        ++i;
    if (i == x.size() || i == y.size()) return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    auto plain = [](char c) { return isDigit(c) || (c >= 'A' && c <= 'Z'); };
    if (!plain(x[i]) || !plain(y[i]))
        throw NotComputable("en sammenligning av tekstene «" + std::string(a) + "» og «" + std::string(b) +
                            "», der rekkefølgen avhenger av språkinnstillingene");
    return x[i] < y[i] ? -1 : 1;
}

int compareValues(const Value& a, const Value& b) {
    auto rank = [](Value::Kind kind) {
        switch (kind) {
        case Value::Kind::Number:
            return 0;
        case Value::Kind::Text:
            return 1;
        case Value::Kind::Boolean:
            return 2;
        default:
            return 3;
        }
    };
    if (a.isEmpty() && b.isEmpty()) return 0;
    if (a.isEmpty() || b.isEmpty()) {
        const Value& other = a.isEmpty() ? b : a;
        Value stand;
        if (other.isText())
            stand = Value::ofText("");
        else if (other.isBoolean())
            stand = Value::ofBoolean(false);
        else
            stand = Value::ofNumber(0);
        return a.isEmpty() ? compareValues(stand, b) : compareValues(a, stand);
    }
    if (a.kind != b.kind) return rank(a.kind) < rank(b.kind) ? -1 : 1;
    if (a.isText()) return compareTexts(a.text, b.text);
    if (a.isNumber() && approxEqual(a.number, b.number)) return 0;
    return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
}

bool equalValues(const Value& a, const Value& b) {
    if (a.isText() && b.isText()) return equalFolded(a.text, b.text);
    if ((a.isText() && b.isEmpty()) || (a.isEmpty() && b.isText()))
        return (a.isText() ? a.text : b.text).empty();
    return compareValues(a, b) == 0;
}

std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < text.size();)
        units += nextCodePoint(text, pos) >= 0x10000 ? 2 : 1;
    return units;
}

std::size_t utf16ToByte(std::string_view text, std::size_t unit) {
    std::size_t units = 0, pos = 0;
    while (pos < text.size() && units < unit)
        units += nextCodePoint(text, pos) >= 0x10000 ? 2 : 1;
    return pos;
}

std::size_t byteToUtf16(std::string_view text, std::size_t byte) {
    std::size_t units = 0, pos = 0;
    while (pos < text.size() && pos < byte)
        units += nextCodePoint(text, pos) >= 0x10000 ? 2 : 1;
    return units;
}

std::string_view utf16Slice(std::string_view text, std::size_t first, std::size_t count) {
    auto begin = utf16ToByte(text, first);
    auto rest = text.substr(begin);
    return rest.substr(0, utf16ToByte(rest, count));
}

} // namespace xlsx::eval
