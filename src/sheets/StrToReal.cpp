#include "sheets/StrToReal.h"

#include <array>
#include <charconv>
#include <string>

namespace sheets {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal position of the first significant digit, saturated: > 0 means the value is far above 1.
long magnitude(std::string_view intDigits, std::string_view fracDigits, long exponent) {
    auto firstInt = intDigits.find_first_not_of('0');
    if (firstInt != std::string_view::npos)
        return static_cast<long>(intDigits.size() - firstInt) - 1 + exponent;
    auto firstFrac = fracDigits.find_first_not_of('0');
    if (firstFrac == std::string_view::npos) return 0;
    return -static_cast<long>(firstFrac) - 1 + exponent;
}

} // namespace

std::optional<double> parseReal(std::string_view St) {
    std::size_t i = 0;
    while (i < St.size() && St[i] == ' ')
        ++i;
    bool negative = false;
    if (i < St.size() && (St[i] == '+' || St[i] == '-')) negative = St[i++] == '-';
    const std::size_t numberStart = i;

    std::size_t intBegin = i;
    while (i < St.size() && isDigit(St[i]))
        ++i;
    std::string_view intDigits = St.substr(intBegin, i - intBegin);
    std::string_view fracDigits;
    bool point = false;
    bool commaSeen = false;
    // Only the first comma counts as a full stop, and only spaces, a sign and digits precede this
    // position, so a comma here is the first one. A later comma breaks the parse.
    if (i < St.size() && (St[i] == '.' || St[i] == ',')) {
        point = true;
        commaSeen = St[i] == ',';
        std::size_t fracBegin = ++i;
        while (i < St.size() && isDigit(St[i]))
            ++i;
        fracDigits = St.substr(fracBegin, i - fracBegin);
    }
    if (intDigits.empty() && fracDigits.empty()) return std::nullopt;
    long exponent = 0;
    if (i < St.size() && (St[i] == 'e' || St[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < St.size() && (St[i] == '+' || St[i] == '-')) expNegative = St[i++] == '-';
        std::size_t expBegin = i;
        while (i < St.size() && isDigit(St[i])) {
            if (exponent < 1'000'000'000L) exponent = exponent * 10 + (St[i] - '0');
            ++i;
        }
        if (i == expBegin) return std::nullopt;
        if (expNegative) exponent = -exponent;
    }
    if (i != St.size()) return std::nullopt;

    // from_chars reads the validated text; the comma has to become a full stop for it, which needs
    // a copy only when a comma is there (short texts stay on the stack).
    std::string_view digits = St.substr(numberStart);
    std::array<char, 128> local;
    std::string heap;
    const char* first = digits.data();
    if (point && commaSeen) {
        char* out = local.data();
        if (digits.size() > local.size()) {
            heap.assign(digits);
            out = heap.data();
        } else {
            digits.copy(out, digits.size());
        }
        out[intDigits.size()] = '.';
        first = out;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(first, first + digits.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (magnitude(intDigits, fracDigits, exponent) > 0) return std::nullopt;
        value = 0;
    } else if (ec != std::errc() || end != first + digits.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

double StrToReal(std::string_view St) {
    return parseReal(St).value_or(0.0);
}

bool isNumberText(std::string_view St) {
    return parseReal(St).has_value();
}

} // namespace sheets
