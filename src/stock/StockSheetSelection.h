#pragma once

#include "OrderLine.h"
#include "Run.h"

namespace stock {

// Finds the product's sheet in run.OleWorkBook2 (names compared with a-z upper-cased, first match
// wins), sets run.OleWorkSheet2 and returns the sheet's dimension count Dim (1..3) from the header
// cell "overflate" in column 4, 5 or 6, applying the shifts for "Ø" and "Kranbane skinner" to
// `line`. Returns 0 after warning the user when the sheet or the header is missing.
int selectStockSheet(Run& run, OrderLine& line);

} // namespace stock
