#pragma once

// xl/tables/tableN.xml: a table's name, the cells it covers and its columns, as the file has them.

#include "xml/Place.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

struct TableDefinition {
    std::string name; // displayName, as formulas write it
    // The whole table in the file's numbering: header row, data rows, totals row.
    std::uint32_t top = 1, left = 1, bottom = 1, right = 1;
    std::uint32_t headerRows = 1, totalsRows = 0;
    std::vector<std::string> columns;
};

// Throws sheets::Error naming the place for a part that is not a table or whose area is unreadable
// or does not match its columns.
TableDefinition readTablePart(std::string_view xml, const Place& place);

} // namespace xlsx
