#pragma once

#include <string_view>

namespace sheets {

// A cell's value as a spreadsheet application reports it. For a formula this is its cached result.
struct CellValue {
    enum class Kind { Empty, Text, Number, Boolean, DateTime, Error };

    Kind kind = Kind::Empty;
    // Number: the value. DateTime: the serial day number in the 1900 date system (1 = 1900-01-01,
    // as the spreadsheet counts it, fraction = time of day), whatever the workbook's own date system.
    // Boolean: 1 or 0.
    double number = 0;
    // Text: the text, unescaped UTF-8. Error: the error literal, such as "#N/A".
    // Points into the workbook's storage: valid until the workbook is next changed.
    std::string_view text;

    static CellValue empty() { return {}; }
    static CellValue ofText(std::string_view t) { return {Kind::Text, 0, t}; }
    static CellValue ofNumber(double n) { return {Kind::Number, n, {}}; }
    static CellValue ofBoolean(bool b) { return {Kind::Boolean, b ? 1.0 : 0.0, {}}; }
    static CellValue ofDateTime(double serial) { return {Kind::DateTime, serial, {}}; }
    static CellValue ofError(std::string_view literal) { return {Kind::Error, 0, literal}; }
};

} // namespace sheets
