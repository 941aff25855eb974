#pragma once

#include "sheets/CellValue.h"
#include "sheets/TextFormat.h"

#include <cmath>
#include <string>
#include <string_view>

namespace sheets {

// A cell value as the booking sees it: trimmed text. Empty cells give "", text itself, numbers as
// "%.15G" writes them with the format's decimal separator and no grouping (12.5 gives "12,5", 1e20
// gives "1E+20"), date/time serials as the short date plus " HH:mm:ss" when there is a time of day
// (a serial below 1 gives the time alone), booleans "-1" and "0". An error value throws
// sheets::Error: it cannot be made text.
//
// Text cells give a view of value.text (no copy); other kinds are written into `scratch` and the view
// points there. The view is valid until `scratch` is next used or the workbook changes.
std::string_view cellText(const CellValue& value, const TextFormat& format, std::string& scratch);
std::string cellText(const CellValue& value, const TextFormat& format);

// Appends a number as "%.15G" would in the C locale, with format.decimalSeparator for the point.
// Independent of the process locale.
void appendNumberText(double value, const TextFormat& format, std::string& out);

// Whether appendNumberText shows the number as its whole digits and nothing else (a whole number of
// at most 15 digits), so that its text reads back as the number itself.
inline bool showsAsWholeNumber(double value) {
    return std::fabs(value) < 1e15 && value == std::trunc(value);
}

// Appends a date/time serial of the 1900 date system (1 = 1900-01-01, 60 = the 1900-02-29 the
// spreadsheet counts) as described for cellText.
void appendDateTimeText(double serial, const TextFormat& format, std::string& out);

// The text up to its first U+0000, without code units up to U+0020 at either end.
std::string_view trimCellText(std::string_view text);

} // namespace sheets
