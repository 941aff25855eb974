#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

inline constexpr std::uint32_t kMaxRow = 1048576;
inline constexpr std::uint32_t kMaxColumn = 16384;

// A cell position, 1-based, always inside the sheet's limits.
class CellRef {
public:
    // Throws sheets::Error for row 0, column 0 or anything past the last row or column.
    CellRef(std::uint32_t row, std::uint32_t column);

    // "B12" (no '$', no sheet); nullopt for anything else.
    static std::optional<CellRef> parse(std::string_view text);

    std::uint32_t row() const { return m_row; }
    std::uint32_t column() const { return m_column; }
    std::string toString() const;

    friend bool operator==(const CellRef&, const CellRef&) = default;

private:
    std::uint32_t m_row;
    std::uint32_t m_column;
};

// "A" = 1 ... "XFD" = 16384; nullopt for anything else (lower case included).
std::optional<std::uint32_t> parseColumnName(std::string_view letters);
std::string columnName(std::uint32_t column);

} // namespace xlsx
