#pragma once

#include "OrderLine.h"
#include "Run.h"

namespace stock {

// Books the order line into run.OleWorkSheet2 (dimension count Dim): finds the equal stock line or
// creates one in sorted place, adds the ordered quantity and records the project.
void mergeStockLine(Run& run, const OrderLine& line, int Dim);

} // namespace stock
