#pragma once

// Case folding of the letters a-z and A-Z alone, the same in every locale: sheet names, part names,
// function names and file extensions compare this way. Every other byte stays as it is, so UTF-8
// text passes through unharmed.

#include <algorithm>
#include <string>
#include <string_view>

namespace sheets {

constexpr char toUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char toLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string toUpperAscii(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) { return toUpperAscii(c); });
    return result;
}

inline std::string toLowerAscii(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) { return toLowerAscii(c); });
    return result;
}

inline bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return toUpperAscii(x) == toUpperAscii(y); });
}

} // namespace sheets
