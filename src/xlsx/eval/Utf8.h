#pragma once

// UTF-8 code points and their case, for the text functions and case-insensitive comparison.

#include <string>
#include <string_view>

namespace xlsx::eval {

// The code point at pos, moving pos past it; a byte that starts no valid sequence stands for itself.
char32_t nextCodePoint(std::string_view text, std::size_t& pos);
std::u32string codePoints(std::string_view text);
std::string toUtf8(const std::u32string& codePoints);

// Case mapping and letters of all of Unicode, independent of the process locale.
char32_t upperCase(char32_t codePoint);
char32_t lowerCase(char32_t codePoint);
bool isLetter(char32_t codePoint);

} // namespace xlsx::eval
