#pragma once

// How the spreadsheet application turns one kind of value into another, compares values and handles
// text: numbers from text in arithmetic, text from numbers, case-insensitive comparison, lengths in
// UTF-16 code units as the application counts them.

#include "eval/FormulaValue.h"

#include <optional>
#include <string>
#include <string_view>

namespace xlsx::eval {

// A value or the error that stands in for it.
template <typename T> struct Got {
    T value{};
    std::optional<ErrorCode> error;

    Got(T v) : value(std::move(v)) {}
    Got(ErrorCode e) : error(e) {}
    explicit operator bool() const { return !error.has_value(); }
    const T& operator*() const { return value; }
    const T* operator->() const { return &value; }
};

// A text as a number, the way arithmetic reads it: an optional sign, digits with an optional '.'
// fraction and exponent, a trailing '%', blanks around, (5) for -5; ISO dates (2024-01-31, with an
// optional time) and times (13:45, 1:45:30 PM). nullopt for anything else.
std::optional<double> parseNumberText(std::string_view text, bool date1904);

// A date or time written as text (yyyy-mm-dd with an optional time, h:mm[:ss] [AM/PM]) as a serial;
// nullopt for other texts. Throws NotComputable for a text another language's settings would read as
// a date (15.01.2024, 1/5, 5 Jan).
std::optional<double> parseDateTimeText(std::string_view text, bool date1904);

// The number a value stands for in arithmetic: empty 0, booleans 1 and 0, texts as parseNumberText
// reads them, else #VALUE!. A text that reads as a number only in some languages' settings (12,5 or
// 1 000 or 3/4) throws NotComputable: the application would read it by the user's settings.
Got<double> toNumber(const Value& value, bool date1904);
// Empty "", numbers as the General format shows them, booleans TRUE and FALSE.
Got<std::string> toText(const Value& value);
// Numbers: not 0; texts TRUE and FALSE in any case; empty FALSE; other texts #VALUE!.
Got<bool> toBoolean(const Value& value);

// A number as text in the General format: up to 15 significant digits, scientific notation for very
// large and very small magnitudes.
std::string numberText(double value);

// Rounded to 15 significant digits: what the application shows, and where it decides.
double round15(double value);
// Equal within the last bits of 15 significant digits.
bool approxEqual(double a, double b);
// a + b, exactly 0 where the operands cancel within that precision (0.1+0.2-0.3).
double approxAdd(double a, double b);

// Text compared without regard to case, as the application does for = and lookups.
std::string foldCase(std::string_view text);
bool equalFolded(std::string_view a, std::string_view b);
// Order of two texts regardless of case: negative, 0, positive. Throws NotComputable where the order
// depends on the language's collation (the first difference is not between letters a-z or digits).
int compareTexts(std::string_view a, std::string_view b);

// -1, 0, 1 for a before, equal to, after b in the application's order for =, <, >: numbers before
// texts before booleans; an empty value counts as 0, "" or FALSE beside the other kind. Errors are
// the caller's to handle first.
int compareValues(const Value& a, const Value& b);
// Whether a = b holds, which never depends on the collation.
bool equalValues(const Value& a, const Value& b);

// Lengths and positions in UTF-16 code units, as the application counts characters.
std::size_t utf16Length(std::string_view text);
// The bytes of the code units [first, first + count) (clamped to the text).
std::string_view utf16Slice(std::string_view text, std::size_t first, std::size_t count);
// Byte offset of code unit `unit` (clamped to the end).
std::size_t utf16ToByte(std::string_view text, std::size_t unit);
// Code unit index of byte offset `byte`.
std::size_t byteToUtf16(std::string_view text, std::size_t byte);

// The longest text a cell may hold.
inline constexpr std::size_t kMaxTextLength = 32767;

} // namespace xlsx::eval
