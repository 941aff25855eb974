#pragma once

// Number format codes as TEXT applies them: digit placeholders 0 # ?, decimal point, thousands separator
// and scaling commas, percent, scientific E+00, quoted and escaped literals, sections for positive;
// negative; zero; text or sections chosen by conditions ([>=100]), colours (skipped), and the date and
// time codes (y m d h s, AM/PM, [h] [m] [s]). Codes are read as the application reads them in English
// settings; nothing depends on the process locale.

#include "eval/Conversions.h"
#include "eval/NumberFormatCode.h"

#include <string>
#include <string_view>
#include <vector>

namespace xlsx::eval {

class NumberFormat {
public:
    // Throws NotComputable for codes this formatter does not know (fractions, locale tags).
    explicit NumberFormat(std::string_view code);

    // The number in the format. #VALUE! for what the application refuses (a date code for a negative
    // number); throws NotComputable where the result would be a guess.
    Got<std::string> format(double value, bool date1904) const;
    // A text in the format's text section ("@" stands for the text); the text itself when there is none.
    std::string format(const std::string& text) const;

private:
    std::string m_code;
    std::vector<FormatSection> m_sections;
};

// NumberFormat(code).format(value, date1904).
Got<std::string> formatNumber(double value, std::string_view code, bool date1904);
// NumberFormat(code).format(text).
std::string formatText(const std::string& text, std::string_view code);

} // namespace xlsx::eval
