#pragma once

// The evaluator spells the contract's date arithmetic without its namespace.

#include "sheets/DateSerial.h"

namespace xlsx::eval {

using sheets::CivilDate;
using sheets::dateOf;
using sheets::daysInMonth;
using sheets::fromDate1900;
using sheets::kMaxSerial1900;
using sheets::serialOf;
using sheets::weekdayOf;

} // namespace xlsx::eval
