#include "eval/Utf8.h"

#include "xml/XmlText.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace xlsx::eval {

namespace {

locale_t utf8Locale() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    auto c = static_cast<unsigned char>(text[pos]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra == 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        return c;
    }
    char32_t cp = c & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return c;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

std::u32string codePoints(std::string_view text) {
    std::u32string out;
    for (std::size_t pos = 0; pos < text.size();)
        out += nextCodePoint(text, pos);
    return out;
}

std::string toUtf8(const std::u32string& points) {
    std::string out;
    out.reserve(points.size());
    for (char32_t cp : points)
        xlsx::appendUtf8(out, cp);
    return out;
}

char32_t upperCase(char32_t cp) {
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8Locale()));
}

char32_t lowerCase(char32_t cp) {
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), utf8Locale()));
}

bool isLetter(char32_t cp) {
    return iswalpha_l(static_cast<wint_t>(cp), utf8Locale()) != 0;
}

} // namespace xlsx::eval
