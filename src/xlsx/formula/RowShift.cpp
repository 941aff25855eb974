#include "formula/RowShift.h"

#include "formula/CellRef.h"
#include "sheets/Error.h"

#include <algorithm>
#include <string>

namespace xlsx {

void RowShift::insert(std::uint32_t row) {
    if (row < 1 || row > kMaxRow) throw sheets::Error(outOfSheet(row, 1));
    // The rows that move are those now at `row` or below; being monotonic, map() makes that every
    // original row from the smallest one now at or below `row`.
    std::uint32_t low = 1, high = row;
    while (low < high) {
        std::uint32_t middle = low + (high - low) / 2;
        if (map(middle) >= row)
            high = middle;
        else
            low = middle + 1;
    }
    m_thresholds.insert(std::upper_bound(m_thresholds.begin(), m_thresholds.end(), low), low);
}

std::uint32_t RowShift::map(std::uint32_t originalRow) const {
    if (originalRow == 0) return 0;
    auto moved =
        std::upper_bound(m_thresholds.begin(), m_thresholds.end(), originalRow) - m_thresholds.begin();
    return originalRow + static_cast<std::uint32_t>(moved);
}

std::pair<std::uint32_t, std::uint32_t> RowShift::original(std::uint32_t currentRow) const {
    // The last original row at or above currentRow; map() never lowers a row, so it is at most that.
    std::uint32_t low = 0, high = currentRow;
    while (low < high) {
        std::uint32_t middle = low + (high - low + 1) / 2;
        if (map(middle) <= currentRow)
            low = middle;
        else
            high = middle - 1;
    }
    if (map(low) == currentRow && low > 0) return {low, low};
    return {low, low + 1};
}

} // namespace xlsx
