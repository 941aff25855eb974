#pragma once

// Number format codes as TEXT applies them: digit placeholders 0 # ?, decimal point, thousands
// separator and scaling commas, percent, scientific E+00, quoted and escaped literals, sections for
// positive; negative; zero; text, and the date and time codes (y m d h s, AM/PM, [h] [m] [s]).
// Codes are read as the application reads them in English settings.

#include "eval/Conversions.h"

#include <string>
#include <string_view>

namespace xlsx::eval {

// The number in the format. #VALUE! for what the application refuses (a date code for a negative
// number); throws NotComputable for codes this formatter does not know (conditions, fractions).
Got<std::string> formatNumber(double value, std::string_view code, bool date1904);

// A text in the format's text section ("@" stands for the text); the text itself when there is none.
std::string formatText(const std::string& text, std::string_view code);

} // namespace xlsx::eval
