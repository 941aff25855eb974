#pragma once

#include "sheets/Workbook.h"

#include <cstdint>

namespace xlsx {

// One row inserted on a sheet, in the sheet's numbering at the time of the insertion.
struct RowInsertion {
    std::uint32_t row;
    sheets::CopyOrigin origin;
    // The row whose formats the new row took, in the numbering after the insertion.
    std::uint32_t originRow() const {
        return origin == sheets::CopyOrigin::FromLeftOrAbove ? row - 1 : row + 1;
    }
};

} // namespace xlsx
