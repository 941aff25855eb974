#pragma once

// A formula cell's identity while a workbook is edited: its sheet and the row and column it was read
// at. Rows inserted later move the cell, not its identity, so results and stale marks recorded under
// it stay with the formula. Packed into one number for hashing and for the evaluator's cell ids.

#include <cstdint>

namespace xlsx {

struct CellId {
    int sheet = 0;         // 0-based, in workbook order
    std::uint32_t row = 0; // as read, 1-based
    std::uint32_t column = 0;

    // Columns take 15 bits (16,384 needs the fifteenth), rows 25; the sheet sits above them.
    std::uint64_t key() const {
        return (static_cast<std::uint64_t>(sheet) << 40) | (static_cast<std::uint64_t>(row) << 15) | column;
    }
    static CellId fromKey(std::uint64_t key) {
        return {static_cast<int>(key >> 40), static_cast<std::uint32_t>((key >> 15) & 0x1FFFFFF),
                static_cast<std::uint32_t>(key & 0x7FFF)};
    }
    friend bool operator==(const CellId&, const CellId&) = default;
};

} // namespace xlsx
