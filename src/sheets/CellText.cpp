#include "sheets/CellText.h"

#include "sheets/DateSerial.h"
#include "sheets/Error.h"

#include <array>
#include <charconv>
#include <cmath>

namespace sheets {

namespace {

void appendPadded(long value, int width, std::string& out) {
    std::array<char, 24> digits{};
    auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value < 0 ? -value : value).ptr;
    if (value < 0) out += '-';
    for (auto n = end - digits.data(); n < width; ++n)
        out += '0';
    out.append(digits.data(), end);
}

// Days as the spreadsheet counts them in the 1900 system. From 61 on they agree with the platform's
// count; below that the spreadsheet counts the non-existent 1900-02-29 as day 60, which we show as it
// does, and before day 1, which it has no date for, the platform's dates stand.
CivilDate civilDate(long days) {
    if (days >= 1 && days <= 60) return *dateOf(static_cast<double>(days), false);
    return platformDate(days);
}

void appendDate(const CivilDate& date, const std::string& pattern, std::string& out) {
    for (std::size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if (c == 'd') {
            appendPadded(date.day, run >= 2 ? 2 : 1, out);
        } else if (c == 'M') {
            appendPadded(date.month, run >= 2 ? 2 : 1, out);
        } else if (c == 'y') {
            if (run <= 2)
                appendPadded(((date.year % 100) + 100) % 100, 2, out);
            else
                appendPadded(date.year, 4, out);
        } else {
            out.append(pattern, i, run);
        }
        i += run;
    }
}

void appendTime(long seconds, std::string& out) {
    appendPadded(seconds / 3600, 2, out);
    out += ':';
    appendPadded(seconds / 60 % 60, 2, out);
    out += ':';
    appendPadded(seconds % 60, 2, out);
}

} // namespace

std::string_view trimCellText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

void appendNumberText(double value, const TextFormat& format, std::string& out) {
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-NAN" : "NAN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-INF" : "INF";
        return;
    }
    // A whole number of at most 15 digits shows all its digits and nothing else, which is what the
    // general path below gives too, at a fraction of the cost: most key cells of a stock line are
    // such numbers.
    if (showsAsWholeNumber(value)) {
        std::array<char, 24> digits{};
        const auto whole = static_cast<long long>(value);
        if (std::signbit(value)) out += '-';
        auto end =
            std::to_chars(digits.data(), digits.data() + digits.size(), whole < 0 ? -whole : whole).ptr;
        out.append(digits.data(), end);
        return;
    }
    // Scientific with 14 decimals rounds to 15 significant digits exactly as %.15G does; the choice
    // between fixed and exponent form and the dropping of zeros follow from the exponent.
    constexpr int precision = 15;
    std::array<char, 40> sci{};
    auto end = std::to_chars(sci.data(), sci.data() + sci.size(), value, std::chars_format::scientific,
                             precision - 1)
                   .ptr;
    std::string_view text(sci.data(), static_cast<std::size_t>(end - sci.data()));
    if (text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
    }
    auto e = text.find('e');
    std::array<char, precision> digits{};
    digits[0] = text[0];
    for (int k = 1; k < precision; ++k)
        digits[k] = text[static_cast<std::size_t>(k) + 1];
    int exponent = 0;
    auto expText = text.substr(e + 1);
    if (expText.front() == '+') expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);

    int significant = precision;
    while (significant > 1 && digits[significant - 1] == '0')
        --significant;

    if (exponent < -4 || exponent >= precision) {
        out += digits[0];
        if (significant > 1) {
            out += format.decimalSeparator;
            out.append(digits.data() + 1, digits.data() + significant);
        }
        out += 'E';
        out += exponent < 0 ? '-' : '+';
        appendPadded(exponent < 0 ? -exponent : exponent, 2, out);
        return;
    }
    if (exponent < 0) {
        out += '0';
        out += format.decimalSeparator;
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits.data(), digits.data() + significant);
        return;
    }
    const int intCount = exponent + 1;
    out.append(digits.data(), digits.data() + intCount);
    if (significant > intCount) {
        out += format.decimalSeparator;
        out.append(digits.data() + intCount, digits.data() + significant);
    }
}

void appendDateTimeText(double serial, const TextFormat& format, std::string& out) {
    // Outside the years 100..9999 the platform has no date; show the number rather than fail.
    if (!(serial > -657435.0 && serial < 2958466.0)) {
        appendNumberText(serial, format, out);
        return;
    }
    // The platform counts negative serials as days before day 0 with the fraction as a positive
    // time of day; rounding is to the second, which may carry into the next day.
    const bool negative = serial < 0;
    const long total = std::lround(std::fabs(serial) * 86400.0);
    const long days = (negative ? -1 : 1) * (total / 86400);
    const long seconds = total % 86400;
    if (days == 0) {
        appendTime(seconds, out);
        return;
    }
    appendDate(civilDate(days), format.shortDate, out);
    if (seconds != 0) {
        out += ' ';
        appendTime(seconds, out);
    }
}

std::string_view cellText(const CellValue& value, const TextFormat& format, std::string& scratch) {
    scratch.clear();
    switch (value.kind) {
    case CellValue::Kind::Empty:
        return {};
    case CellValue::Kind::Text:
        return trimCellText(value.text);
    case CellValue::Kind::Number:
        appendNumberText(value.number, format, scratch);
        break;
    case CellValue::Kind::DateTime:
        appendDateTimeText(value.number, format, scratch);
        break;
    case CellValue::Kind::Boolean:
        scratch = value.number != 0 ? "-1" : "0";
        break;
    case CellValue::Kind::Error:
        throw Error("Could not convert variant of type (Dispatch) into type (OleStr)");
    }
    return trimCellText(scratch);
}

std::string cellText(const CellValue& value, const TextFormat& format) {
    std::string scratch;
    return std::string(cellText(value, format, scratch));
}

} // namespace sheets
