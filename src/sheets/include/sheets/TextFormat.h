#pragma once

#include <string>

namespace sheets {

// The user's locale as far as cell text needs it. The front ends fill it from the system locale;
// tests pass it explicitly.
struct TextFormat {
    std::string decimalSeparator = ",";
    // Short date pattern with dd, MM, yyyy (as the locale writes it, e.g. "dd.MM.yyyy").
    std::string shortDate = "dd.MM.yyyy";
};

} // namespace sheets
