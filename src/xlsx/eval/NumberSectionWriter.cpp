// The writer of number sections: digit placeholders 0 # ?, the decimal point, thousands and
// scaling commas, percent and scientific notation.

#include "eval/NumberFormatCode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <tuple>
#include <vector>

namespace xlsx::eval {

std::pair<std::string, std::string> fixedDigits(double magnitude, int decimals) {
    double scale = std::pow(10.0, decimals);
    double rounded = std::round(round15(std::fabs(magnitude) * scale)) / scale;
    if (!std::isfinite(rounded)) rounded = std::fabs(magnitude);
    std::string integer = "0", fraction(static_cast<std::size_t>(std::max(decimals, 0)), '0');
    if (rounded == 0) return {integer, fraction};
    // The application shows 15 significant digits and zeros after them, not the binary value's
    // further digits (12345678.9 with ten decimals is ...9000000000, not ...9000000004).
    char buffer[32];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::scientific, 14);
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    auto e = text.find('e');
    std::string digits(text.substr(0, 1));
    digits += text.substr(2, e - 2);
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
    // digits d1 d2 ... d15 stand for d1.d2...d15 x 10^exponent.
    if (exponent >= 0) {
        auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() < whole) digits.append(whole - digits.size(), '0');
        integer = digits.substr(0, whole);
        std::string rest = digits.substr(whole);
        for (std::size_t i = 0; i < fraction.size() && i < rest.size(); ++i)
            fraction[i] = rest[i];
    } else {
        auto zeros = static_cast<std::size_t>(-exponent - 1);
        std::string rest = std::string(zeros, '0') + digits;
        for (std::size_t i = 0; i < fraction.size() && i < rest.size(); ++i)
            fraction[i] = rest[i];
    }
    return {integer, fraction};
}

namespace {

std::string padded(int value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

// The mantissa digits and exponent text of scientific notation.
struct Scientific {
    std::string integer, fraction, exponent;
};

Scientific scientific(double x, const NumberLayout& layout, const FormatToken& mark) {
    int shift = 0;
    if (x != 0) {
        shift = static_cast<int>(std::floor(std::log10(x)));
        // The exponent is a multiple of the integer placeholders' count when there are several.
        int step = std::max(1, layout.integerDigits);
        if (layout.integerDigits > 1)
            shift = static_cast<int>(std::floor(static_cast<double>(shift) / step)) * step;
        else
            shift -= std::max(0, layout.integerDigits - 1);
    }
    auto digits = fixedDigits(x / std::pow(10.0, shift), layout.fractionDigits);
    if (digits.first.size() > static_cast<std::size_t>(std::max(1, layout.integerDigits)) &&
        layout.integerDigits <= 1) {
        ++shift;
        digits = fixedDigits(x / std::pow(10.0, shift), layout.fractionDigits);
    }
    std::string exponent(1, mark.text[0] == 'e' ? 'e' : 'E');
    exponent += shift < 0 ? "-" : (mark.text[1] == '+' ? "+" : "");
    exponent += padded(std::abs(shift) % 100000, std::clamp(layout.exponentDigits, 1, 8));
    return {digits.first, digits.second, exponent};
}

// What a placeholder shows where the number has no digit for it: 0 a zero, ? a blank, # nothing.
std::string emptyPlace(const FormatToken& token) {
    return token.text == "0" ? "0" : token.text == "?" ? " " : "";
}

std::string grouped(const std::string& run) {
    std::string out;
    std::size_t digitsLeft = 0;
    for (char ch : run)
        digitsLeft += ch >= '0' && ch <= '9';
    for (char ch : run) {
        bool digit = ch >= '0' && ch <= '9';
        if (digit && !out.empty() && out.back() >= '0' && out.back() <= '9' && digitsLeft % 3 == 0)
            out += ',';
        out += ch;
        digitsLeft -= digit;
    }
    return out;
}

} // namespace

std::string writeNumber(double value, const FormatSection& section, bool withSign) {
    const auto& tokens = section.tokens;
    const NumberLayout& layout = section.layout;
    double x = std::fabs(value) * std::pow(100.0, layout.percents) / std::pow(1000.0, layout.scaling);

    std::string intPart, fracPart, expText;
    if (layout.exponent < tokens.size()) {
        auto parts = scientific(x, layout, tokens[layout.exponent]);
        intPart = std::move(parts.integer);
        fracPart = std::move(parts.fraction);
        expText = std::move(parts.exponent);
    } else {
        std::tie(intPart, fracPart) = fixedDigits(x, layout.fractionDigits);
    }
    if (intPart == "0") intPart.clear();
    bool negative =
        withSign && value < 0 && (!intPart.empty() || fracPart.find_first_not_of('0') != std::string::npos);

    // Integer placeholders take digits from the right; the first one takes whatever is left over.
    std::vector<std::string> fill(tokens.size());
    const auto& places = layout.integerPlaces;
    std::size_t remaining = intPart.size();
    for (std::size_t j = places.size(); j-- > 0;) {
        std::size_t k = places[j];
        if (j == 0)
            fill[k] = remaining > 0 ? intPart.substr(0, remaining) : emptyPlace(tokens[k]);
        else if (remaining > 0)
            fill[k] = intPart.substr(--remaining, 1);
        else
            fill[k] = emptyPlace(tokens[k]);
    }
    // Without literals among them the placeholders make one run of digits, grouped by thousands.
    if (!places.empty() && !layout.literalsInside) {
        std::string run;
        for (auto k : places) {
            run += fill[k];
            fill[k].clear();
        }
        fill[places.front()] = layout.grouping ? grouped(run) : run;
    }
    // Fraction placeholders take digits from the left; # drops trailing zeros, ? shows a blank.
    std::size_t significant = fracPart.find_last_not_of('0');
    significant = significant == std::string::npos ? 0 : significant + 1;
    for (std::size_t index = 0; index < layout.fractionPlaces.size(); ++index) {
        std::size_t k = layout.fractionPlaces[index];
        char digit = index < fracPart.size() ? fracPart[index] : '0';
        fill[k] =
            index < significant || tokens[k].text == "0" ? std::string(1, digit) : emptyPlace(tokens[k]);
    }

    std::string out;
    if (negative) out += '-';
    bool exponentDone = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const auto& t = tokens[k];
        switch (t.type) {
        case TokenType::Digit:
            if (k > layout.exponent) {
                if (!exponentDone) out += expText;
                exponentDone = true;
            } else {
                out += fill[k];
            }
            break;
        case TokenType::Point:
            if (k == layout.point) out += '.';
            break;
        case TokenType::Percent:
            out += '%';
            break;
        case TokenType::Literal:
            out += t.text;
            break;
        case TokenType::Text:
            if (t.text == "General") out += numberText(std::fabs(value));
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace xlsx::eval
