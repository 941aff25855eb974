#pragma once

// The engine names where a failure happened as every reader does, and spells it without the
// contract's namespace.

#include "sheets/Place.h"

namespace xlsx {

using sheets::inQuotes;
using sheets::kCannotOpen;
using sheets::kCannotRead;
using sheets::kCannotSave;
using sheets::kCannotWrite;
using sheets::Place;

} // namespace xlsx
