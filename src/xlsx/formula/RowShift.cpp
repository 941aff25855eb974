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
    if (currentRow == 0) return {0, 1};
    // With k thresholds at or below it, original row r is now at r + k. Threshold i (0-based) is at
    // m_thresholds[i] + i + 1 when counted with the i before it, which grows with i: the last one
    // at or above currentRow gives k, and with it the row.
    std::size_t low = 0, high = m_thresholds.size();
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        if (m_thresholds[middle] + middle + 1 <= currentRow)
            low = middle + 1;
        else
            high = middle;
    }
    const auto row = static_cast<std::uint32_t>(currentRow - low);
    // A further threshold at that very row would put it below currentRow: currentRow was inserted.
    if (low < m_thresholds.size() && m_thresholds[low] == row) return {row - 1, row};
    return {row, row};
}

} // namespace xlsx
