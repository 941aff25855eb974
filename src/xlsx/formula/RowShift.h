#pragma once

// The insertions made on one sheet, composed into one map from the rows as they were when the
// workbook was opened to the rows they are at now. References are rewritten once, at save, from it.

#include <cstdint>
#include <utility>
#include <vector>

namespace xlsx {

class RowShift {
public:
    // One row inserted at `row`, counted in the sheet's current numbering (after earlier insertions):
    // every row at or below it moves down one. Throws sheets::Error for a row outside the sheet.
    void insert(std::uint32_t row);
    bool empty() const { return m_thresholds.empty(); }

    // Where a row of the original numbering is now. May exceed the last row of a sheet (the caller
    // turns such a reference into #REF!).
    std::uint32_t map(std::uint32_t originalRow) const;

    // The other way: the original rows a current row is or lies between. {r, r} for a row that was
    // there, {r, r + 1} for one inserted between original rows r and r + 1 ({0, 1} above the first).
    std::pair<std::uint32_t, std::uint32_t> original(std::uint32_t currentRow) const;

private:
    // Original rows r0 from which each insertion moved rows, sorted: map(r) = r + count(r0 <= r).
    std::vector<std::uint32_t> m_thresholds;
};

} // namespace xlsx
