#include "formula/CellRef.h"

#include "sheets/Error.h"

#include <charconv>

namespace xlsx {

CellRef::CellRef(std::uint32_t row, std::uint32_t column) : m_row(row), m_column(column) {
    if (row < 1 || row > kMaxRow)
        throw sheets::Error("Ugyldig radnummer " + std::to_string(row) + " (gyldig er 1 til 1048576)");
    if (column < 1 || column > kMaxColumn)
        throw sheets::Error("Ugyldig kolonnenummer " + std::to_string(column) + " (gyldig er 1 til 16384)");
}

std::optional<std::uint32_t> parseColumnName(std::string_view letters) {
    if (letters.empty() || letters.size() > 3) return std::nullopt;
    std::uint32_t column = 0;
    for (char c : letters) {
        if (c < 'A' || c > 'Z') return std::nullopt;
        column = column * 26 + static_cast<std::uint32_t>(c - 'A' + 1);
    }
    if (column > kMaxColumn) return std::nullopt;
    return column;
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

std::optional<CellRef> CellRef::parse(std::string_view text) {
    std::size_t split = 0;
    while (split < text.size() && text[split] >= 'A' && text[split] <= 'Z')
        ++split;
    auto column = parseColumnName(text.substr(0, split));
    if (!column || split == text.size() || text[split] == '0') return std::nullopt;
    std::uint32_t row = 0;
    auto digits = text.substr(split);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), row);
    if (ec != std::errc() || end != digits.data() + digits.size() || row < 1 || row > kMaxRow)
        return std::nullopt;
    return CellRef(row, *column);
}

std::string CellRef::toString() const {
    return columnName(m_column) + std::to_string(m_row);
}

} // namespace xlsx
