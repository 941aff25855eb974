#include "sheets/DateFormat.h"

#include "sheets/AsciiCase.h"

namespace sheets {

namespace {

bool isDatePart(char c) {
    return c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 's';
}

// [h], [hh], [mm], [ss]: one unit letter repeated.
bool isElapsedTime(std::string_view bracketed) {
    if (bracketed.empty() || bracketed.find_first_not_of(bracketed[0]) != std::string_view::npos)
        return false;
    char unit = toLowerAscii(bracketed[0]);
    return unit == 'h' || unit == 'm' || unit == 's';
}

} // namespace

bool isBuiltInDateTimeFormat(std::uint32_t id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

bool isDateTimeFormatCode(std::string_view code) {
    std::size_t i = 0;
    while (i < code.size()) {
        const char c = toLowerAscii(code[i]);
        if (c == '"' || c == '[') {
            const std::size_t close = code.find(c == '"' ? '"' : ']', i + 1);
            if (close == std::string_view::npos) return false;
            if (c == '[' && isElapsedTime(code.substr(i + 1, close - i - 1))) return true;
            i = close + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            i += 2; // the next character is a literal, a space width or a fill
        } else if (isDatePart(c)) {
            return true;
        } else {
            ++i;
        }
    }
    return false;
}

} // namespace sheets
