#include "TextOrder.h"

#include <algorithm>

namespace stock {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The code point at `pos`; a malformed sequence gives its lead byte's value.
char32_t decodeAt(std::string_view s, std::size_t pos) {
    auto lead = static_cast<unsigned char>(s[pos]);
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (length <= 1 || pos + static_cast<std::size_t>(length) > s.size()) return lead;
    char32_t cp = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        auto c = static_cast<unsigned char>(s[pos + static_cast<std::size_t>(k)]);
        if (!isContinuation(c)) return lead;
        cp = (cp << 6) | (c & 0x3F);
    }
    return cp;
}

// Orders code points as their first UTF-16 code unit would: characters beyond U+FFFF start with a
// high surrogate (D800..DBFF), which sorts below U+E000..U+FFFF.
char32_t utf16Key(char32_t cp) {
    return (cp >= 0xE000 && cp <= 0xFFFF) ? cp + 0x200000 : cp;
}

} // namespace

bool textLess(std::string_view a, std::string_view b) {
    auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    auto pos = static_cast<std::size_t>(ia - a.begin());
    if (ib == b.end()) return false; // b is a prefix of a, or equal
    if (ia == a.end()) return true;  // a is a proper prefix of b
    // Back up to the start of the character that differs; the common prefix is shared by both.
    while (pos > 0 && isContinuation(static_cast<unsigned char>(a[pos])))
        --pos;
    char32_t ka = utf16Key(decodeAt(a, pos));
    char32_t kb = utf16Key(decodeAt(b, pos));
    if (ka != kb) return ka < kb;
    return static_cast<unsigned char>(*ia) < static_cast<unsigned char>(*ib);
}

} // namespace stock
