#pragma once

#include "Run.h"
#include "StockSheet.h"
#include "stock/OrderLine.h"

namespace stock {

// Books the order line into its stock sheet: finds the equal stock line or creates one in sorted
// place, adds the ordered quantity and records the project.
void mergeStockLine(Run& run, const OrderLine& line, const StockSheet& stock);

} // namespace stock
