#pragma once

#include <optional>
#include <string_view>

namespace sheets {

// The tolerant number conversion of the booking: the first comma counts as a full stop; then
// leading spaces (U+0020 only), an optional sign, digits with an optional fraction (at least one
// digit in either part), an optional exponent (E or e, optional sign, at least one digit) and
// nothing else. Locale-independent and correctly rounded. A value too large for a double does not
// parse; one too small gives 0.
std::optional<double> parseReal(std::string_view St);

// parseReal's value, or 0 for text that does not parse.
double StrToReal(std::string_view St);

// Whether the text is a number by that grammar (the empty text is not).
bool isNumberText(std::string_view St);

} // namespace sheets
