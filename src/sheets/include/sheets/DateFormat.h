#pragma once

// Which number formats show a number as a date or time, for the readers of every workbook format.

#include <cstdint>
#include <string_view>

namespace sheets {

// Built-in number formats 14-22 and 45-47 are dates and times.
bool isBuiltInDateTimeFormat(std::uint32_t id);

// A number format code shows a date or time when it has d, m, y, h or s outside quoted text,
// escaped characters, space widths (_x), fills (*x) and [brackets]; the elapsed-time brackets [h],
// [mm], [ss] count as time.
bool isDateTimeFormatCode(std::string_view code);

} // namespace sheets
