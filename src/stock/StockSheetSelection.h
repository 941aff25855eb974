#pragma once

#include "Run.h"
#include "StockSheet.h"
#include "stock/OrderLine.h"

#include <optional>

namespace stock {

// Finds the product's sheet in run.OleWorkBook2 (names compared with a-z upper-cased, first match
// wins) and its dimension count Dim (1..3) from the header cell "overflate" in column 4, 5 or 6,
// applying the shifts for "Ø" and "Kranbane skinner" to `line`. nullopt after warning the user when
// the sheet or the header is missing.
std::optional<StockSheet> selectStockSheet(Run& run, OrderLine& line);

} // namespace stock
