#pragma once

// The grammar of one A1-style reference as it stands in a formula: an optional sheet prefix
// (Sheet1!, 'My sheet'!, Ark1:Ark3!, [1]Sheet1!, '/path/[Book.xlsx]Sheet'!) and an area (B2, $A$1:B5,
// A:$C, 3:$10). Shared by the tokenizer, which finds references, and the shifter, which rewrites them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

enum class AreaKind {
    Cell,    // B2
    Range,   // A1:B5
    Columns, // A:C (rows unused)
    Rows,    // 3:10 (columns unused)
};

// One corner of an area; for Columns only the column is used, for Rows only the row.
struct AreaCorner {
    std::uint32_t row = 0;
    std::uint32_t column = 0;
    bool absoluteRow = false;
    bool absoluteColumn = false;
};

// An area; for a single cell `last` equals `first`. Corners stay in the order written (B5:A1 too).
struct Area {
    AreaKind kind = AreaKind::Cell;
    AreaCorner first;
    AreaCorner last;
};

// Reads an area starting at text[pos]. On success moves `pos` past it. The area must end where an
// identifier could not go on: "A1B" or "LOG10(" is no area. Column letters may be lower case.
std::optional<Area> parseArea(std::string_view text, std::size_t& pos);

// The area in the file's spelling (upper-case columns, '$' where absolute).
std::string formatArea(const Area& area);
// The same, appended to `out`.
void appendArea(std::string& out, const Area& area);

// The sheets a prefix names. Sheet names are unquoted ('It''s' gives It's).
struct SheetSpan {
    bool external = false; // names another workbook: [1]Sheet1, '/path/[Book.xlsx]Sheet'
    std::string first;
    std::string last; // equals first unless 3-D
};

// `prefix` without its '!': Sheet1, 'My sheet', Ark1:Ark3, 'Ark 1:Ark 3', [1]Sheet1.
SheetSpan parseSheetPrefix(std::string_view prefix);

// A reference token split into its parts.
struct ParsedReference {
    std::string_view prefix; // including the '!'; empty for an unqualified reference
    SheetSpan sheets;
    Area area;
};

// Splits the text of a Reference token; nullopt for anything else.
std::optional<ParsedReference> parseReference(std::string_view token);

// Characters of identifiers (names, functions, unquoted sheet names). A table, since every formula
// scanned asks for each of its characters.
namespace detail {
inline constexpr std::uint8_t kNameStart = 1, kNameChar = 2;
inline constexpr std::array<std::uint8_t, 256> kNameClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '\\' || c >= 0x80;
        bool inside = start || (c >= '0' && c <= '9') || c == '.' || c == '?';
        classes[static_cast<std::size_t>(c)] =
            static_cast<std::uint8_t>((start ? kNameStart : 0) | (inside ? kNameChar : 0));
    }
    return classes;
}();
} // namespace detail

inline bool isNameStart(char c) {
    return detail::kNameClasses[static_cast<unsigned char>(c)] & detail::kNameStart;
}
inline bool isNameChar(char c) {
    return detail::kNameClasses[static_cast<unsigned char>(c)] & detail::kNameChar;
}

} // namespace xlsx
