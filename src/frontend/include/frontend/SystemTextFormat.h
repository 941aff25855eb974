#pragma once

// The user's number and date format, shared by the window and the batch tool.

#include "sheets/TextFormat.h"

namespace frontend {

// The user's text format from QLocale::system(), which reads LC_ALL, LC_NUMERIC and LANG.
sheets::TextFormat systemTextFormat();

// Puts the C library's numeric locale back to "C". Call it right after creating the Qt application
// object: that applies the environment's locale, and the engine's number parsing and writing must not
// pick up a decimal comma from it. The user's format comes from systemTextFormat() instead.
void keepNumbersInCLocale();

} // namespace frontend
