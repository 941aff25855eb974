#pragma once

// A number format code read into sections (positive; negative; zero; text, or sections chosen by
// conditions), each a list of tokens of one kind: General, a number with digit placeholders, a date
// or time, literal text only, or a text section. The writers of each kind are in their own files.

#include "eval/Conversions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx::eval {

enum class TokenType { Literal, Digit, Point, Comma, Percent, Exponent, Date, AmPm, Elapsed, Text };

struct FormatToken {
    TokenType type;
    // Literal: the text; Digit: "0" "#" "?"; Date: the code in lower case ("yyyy", "mm", "ss.00"),
    // minutes as "n" and "nn"; Elapsed: "h", "mm" ...; Exponent: "E+" or "e-"; AmPm: "AM/PM" or "a/p".
    std::string text;
};

// [<100], [>=0]: the numbers a section is for.
struct Condition {
    enum class Op { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual } op;
    double bound;
    bool holds(double value) const;
};

// Where the parts of a number section are, worked out once.
struct NumberLayout {
    std::size_t point = 0;    // index of the decimal point token, tokens.size() when none
    std::size_t exponent = 0; // index of the exponent token, tokens.size() when none
    int integerDigits = 0, fractionDigits = 0, exponentDigits = 0;
    int percents = 0; // each multiplies by 100
    int scaling = 0;  // commas after the last integer placeholder: each divides by 1000
    bool grouping = false;
    std::vector<std::size_t> integerPlaces, fractionPlaces; // indices of the digit placeholders
    bool literalsInside = false; // literals between the integer placeholders keep them apart
};

struct FormatSection {
    enum class Kind { General, Number, DateTime, Literal, Text } kind = Kind::General;
    std::optional<Condition> condition;
    std::vector<FormatToken> tokens;
    NumberLayout layout; // Number only
};

// The sections of a code; throws NotComputable for what this reader does not know (fractions,
// locale and calendar tags, a bracket it cannot read).
std::vector<FormatSection> parseFormatCode(std::string_view code);

// The writers, one per kind of section: the number's magnitude (with a minus sign when `withSign`
// and the shown number is not zero) and the date or time of a serial.
std::string writeNumber(double value, const FormatSection& section, bool withSign);
Got<std::string> writeDateTime(double serial, const FormatSection& section, bool date1904);

// The decimal digits of a magnitude, rounded to `decimals` places as the application shows them:
// integer and fraction digits. Never depends on the process locale.
std::pair<std::string, std::string> fixedDigits(double magnitude, int decimals);

} // namespace xlsx::eval
