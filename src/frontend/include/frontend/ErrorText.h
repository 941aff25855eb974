#pragma once

// How a failure that ends a run is shown to the user, by the window's error display and by the batch
// tool alike.

#include <string>

namespace frontend {

// The application title, the caption of the error display.
inline constexpr const char* kApplicationTitle = "Tulverkan";

// A failure's message as the error display shows it: a full stop appended when the code of its last
// character is greater than that of the full stop (so not after '.', '!', ')' or a blank).
std::string errorText(const std::string& message);

// The same on one terminal line: "Tulverkan: " + errorText, line breaks turned into blanks.
std::string errorLine(const std::string& message);

} // namespace frontend
