#pragma once

#include <string_view>

namespace stock {

// Ordinal "less than" of two UTF-8 texts by their UTF-16 code units: a proper prefix first, the
// empty text before all others. Differs from byte order only where a character beyond U+FFFF
// meets one in U+E000..U+FFFF (the surrogate pair sorts first).
bool textLess(std::string_view a, std::string_view b);

} // namespace stock
