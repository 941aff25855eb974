#pragma once

// The values formulas compute with: what a cell holds (empty, number, text, boolean, error) and the
// error values of the spreadsheet application.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xlsx::eval {

enum class ErrorCode : std::uint8_t {
    Null,
    Div0,
    Value,
    Ref,
    Name,
    Num,
    NA,
    GettingData,
    Spill,
    Calc,
    Field,
    Blocked,
    Connect,
    Unknown,
    Busy,
};

// "#DIV/0!" for ErrorCode::Div0 ...
std::string_view errorLiteral(ErrorCode code);
// The error an error literal names, compared without regard to case; nullopt for anything else.
std::optional<ErrorCode> parseErrorLiteral(std::string_view literal);

struct Value {
    enum class Kind : std::uint8_t { Empty, Number, Text, Boolean, Error };

    Kind kind = Kind::Empty;
    ErrorCode error = ErrorCode::Null; // Error only
    double number = 0;                 // Number; Boolean as 1 or 0
    std::string text;                  // Text only, UTF-8

    static Value empty() { return {}; }
    static Value ofNumber(double n) { return {Kind::Number, ErrorCode::Null, n, {}}; }
    static Value ofText(std::string t) { return {Kind::Text, ErrorCode::Null, 0, std::move(t)}; }
    static Value ofBoolean(bool b) { return {Kind::Boolean, ErrorCode::Null, b ? 1.0 : 0.0, {}}; }
    static Value ofError(ErrorCode e) { return {Kind::Error, e, 0, {}}; }

    bool isEmpty() const { return kind == Kind::Empty; }
    bool isNumber() const { return kind == Kind::Number; }
    bool isText() const { return kind == Kind::Text; }
    bool isBoolean() const { return kind == Kind::Boolean; }
    bool isError() const { return kind == Kind::Error; }

    friend bool operator==(const Value&, const Value&) = default;
};

} // namespace xlsx::eval
