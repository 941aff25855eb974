#pragma once

// A reference to the parts of a table by name, as formulas write it: Table1[Antall],
// Table1[[#This Row],[Meter]], [@Meter], Table1[[#Headers],[A]:[C]], Table1[#All]. Read once when the
// formula is compiled; where it points is decided when it is computed, since tables grow with rows
// inserted into them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xlsx::eval {

struct StructuredReference {
    // The rows it takes, as flags; none given means the data rows.
    static constexpr std::uint8_t Headers = 1, Data = 2, Totals = 4, ThisRow = 8;

    std::string table;                   // empty: the table the formula's cell lies in
    std::uint8_t items = 0;              // Headers, Data, Totals, ThisRow
    std::string firstColumn, lastColumn; // names with escapes removed; both empty: every column
};

// nullopt for a text that is not a table reference this grammar reads.
std::optional<StructuredReference> parseStructuredReference(std::string_view text);

} // namespace xlsx::eval
