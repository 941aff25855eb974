#pragma once

#include <string>

namespace sheets {

// Appends code point `cp` (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

} // namespace sheets
