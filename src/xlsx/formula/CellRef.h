#pragma once

// Cell positions: the sheet's limits, the self-validating CellRef, and the one way column letters
// and cell names are read and written.

#include "sheets/AsciiCase.h"
#include "sheets/Workbook.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

inline constexpr std::uint32_t kMaxRow = sheets::kMaxRow;
inline constexpr std::uint32_t kMaxColumn = sheets::kMaxColumn;

// The one message for a position outside the sheet, naming what is wrong and the limits:
// "rad 0 er utenfor arket (gyldig er rad 1 til 1048576)".
std::string outOfSheet(std::int64_t row, std::int64_t column);

// A cell position, 1-based, always inside the sheet's limits.
class CellRef {
public:
    // Throws sheets::Error with outOfSheet's text for a position outside the sheet.
    CellRef(std::int64_t row, std::int64_t column);
    // The position, or nullopt outside the sheet.
    static std::optional<CellRef> at(std::int64_t row, std::int64_t column);
    // "B12" (no '$', no sheet, upper-case letters); nullopt for anything else.
    static std::optional<CellRef> parse(std::string_view text);

    std::uint32_t row() const { return m_row; }
    std::uint32_t column() const { return m_column; }
    std::string toString() const;

    friend bool operator==(const CellRef&, const CellRef&) = default;

private:
    struct Valid {};
    CellRef(std::uint32_t row, std::uint32_t column, Valid) : m_row(row), m_column(column) {}

    std::uint32_t m_row;
    std::uint32_t m_column;
};

// One to three column letters at text[pos] ("A" = 1 ... "XFD" = 16384): moves `pos` past them and
// returns the column; nullopt (pos unchanged) for no letter, a fourth letter, or a column past XFD.
// Lower-case letters count only with `anyCase` (formulas); parts write upper case.
// Inline: every cell reference read, in a part or a formula, starts here.
inline std::optional<std::uint32_t> readColumnLetters(std::string_view text, std::size_t& pos,
                                                      bool anyCase = false) {
    std::size_t end = pos;
    std::uint32_t column = 0;
    for (; end < text.size(); ++end) {
        const char c = anyCase ? sheets::toUpperAscii(text[end]) : text[end];
        if (c < 'A' || c > 'Z') break;
        if (end - pos == 3) return std::nullopt;
        column = column * 26 + static_cast<std::uint32_t>(c - 'A' + 1);
    }
    if (end == pos || column > kMaxColumn) return std::nullopt;
    pos = end;
    return column;
}
std::string columnName(std::uint32_t column);
// "B12"; "B2:D5" for an area of more than one cell.
std::string cellName(std::uint32_t row, std::uint32_t column);
std::string areaName(std::uint32_t firstRow, std::uint32_t firstColumn, std::uint32_t lastRow,
                     std::uint32_t lastColumn);

} // namespace xlsx
