#include "formula/CellRef.h"

#include "sheets/AsciiCase.h"
#include "sheets/Error.h"
#include "sheets/Place.h"

#include <charconv>

namespace xlsx {

namespace {

bool inSheet(std::int64_t value, std::uint32_t limit) {
    return value >= 1 && value <= limit;
}

} // namespace

std::string outOfSheet(std::int64_t row, std::int64_t column) {
    return sheets::outOfSheet(row, column, kMaxRow, kMaxColumn);
}

CellRef::CellRef(std::int64_t row, std::int64_t column)
    : m_row(static_cast<std::uint32_t>(row)), m_column(static_cast<std::uint32_t>(column)) {
    if (!inSheet(row, kMaxRow) || !inSheet(column, kMaxColumn)) throw sheets::Error(outOfSheet(row, column));
}

std::optional<CellRef> CellRef::at(std::int64_t row, std::int64_t column) {
    if (!inSheet(row, kMaxRow) || !inSheet(column, kMaxColumn)) return std::nullopt;
    return CellRef(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), Valid{});
}

std::optional<CellRef> CellRef::parse(std::string_view text) {
    std::size_t pos = 0;
    auto column = readColumnLetters(text, pos);
    if (!column || pos == text.size() || text[pos] == '0') return std::nullopt;
    std::uint32_t row = 0;
    auto digits = text.substr(pos);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), row);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return at(row, *column);
}

std::string CellRef::toString() const {
    return cellName(m_row, m_column);
}

std::string columnName(std::uint32_t column) {
    std::string name;
    while (column > 0) {
        --column;
        name.insert(name.begin(), static_cast<char>('A' + column % 26));
        column /= 26;
    }
    return name;
}

std::string cellName(std::uint32_t row, std::uint32_t column) {
    return columnName(column) + std::to_string(row);
}

std::string areaName(std::uint32_t firstRow, std::uint32_t firstColumn, std::uint32_t lastRow,
                     std::uint32_t lastColumn) {
    std::string name = cellName(firstRow, firstColumn);
    if (firstRow != lastRow || firstColumn != lastColumn) {
        // Appended piece by piece: GCC 12 reports a false overlap (-Wrestrict) for ":" + string.
        name += ':';
        name += cellName(lastRow, lastColumn);
    }
    return name;
}

} // namespace xlsx
