#pragma once

// Dates and times from the texts other formats store, as serials of the 1900 date system
// (sheets/DateSerial.h).

#include <optional>
#include <string_view>

namespace orders {

// "YYYY-MM-DD", optionally followed by "THH:MM:SS[.fff]" or " HH:MM:SS" and a time zone, which
// is ignored (the spreadsheet has none). Also a time alone, "HH:MM:SS", as a serial below 1.
std::optional<double> serialOfDateTimeText(std::string_view text);

// An ISO 8601 duration as OpenDocument stores a time: "PT12H30M15.5S", "P1DT2H", "-PT1H".
std::optional<double> serialOfDuration(std::string_view text);

} // namespace orders
