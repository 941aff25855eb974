#pragma once

// Dates and times as the spreadsheet's serial day numbers of the 1900 date system (1 = 1900-01-01,
// 60 = the 1900-02-29 it counts, fraction = time of day), from the texts other formats store.

#include <optional>
#include <string_view>

namespace orders {

// The serial of a calendar date; days before 1900-03-01 are one lower than the count from
// 1899-12-30, because the spreadsheet counts a 1900-02-29 that never was.
double serialOfDate(int year, unsigned month, unsigned day);

// "YYYY-MM-DD", optionally followed by "THH:MM:SS[.fff]" or " HH:MM:SS" and a time zone, which
// is ignored (the spreadsheet has none). Also a time alone, "HH:MM:SS", as a serial below 1.
std::optional<double> serialOfDateTimeText(std::string_view text);

// An ISO 8601 duration as OpenDocument stores a time: "PT12H30M15.5S", "P1DT2H", "-PT1H".
std::optional<double> serialOfDuration(std::string_view text);

} // namespace orders
