#pragma once

// The user's number and date format, shared by the window and the batch tool.

#include "sheets/TextFormat.h"

namespace frontend {

// The user's text format from QLocale::system(), which reads LC_ALL, LC_NUMERIC and LANG.
sheets::TextFormat systemTextFormat();

// Puts the C library's numeric locale back to "C". Call it right after creating the Qt application
// object, which applies the environment's locale. The engine and the order readers' own code read and
// write numbers without the C library; the pin stays for the libraries the order readers call (FreeXL,
// libgsf), which are not known to be free of it. The user's format comes from systemTextFormat().
void keepNumbersInCLocale();

} // namespace frontend
