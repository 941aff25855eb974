#pragma once

// Where in a workbook something is read or changed, so that a failure tells the user where: the
// workbook file, the sheet by the name on its tab, the part where no sheet says it, and the cell
// where there is one. Every reader composes its failures through one, whatever the file's format.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace sheets {

// What could not be done, as a failure's message starts.
inline constexpr std::string_view kCannotOpen = "Kan ikke åpne";
inline constexpr std::string_view kCannotRead = "Kan ikke lese";
inline constexpr std::string_view kCannotWrite = "Kan ikke skrive til";
inline constexpr std::string_view kCannotSave = "Kan ikke lagre";

// «text», as messages quote file, sheet and part names.
std::string inQuotes(std::string_view text);

// The cause for a position outside a sheet of `lastRow` rows and `lastColumn` columns:
// "rad 0 er utenfor arket (gyldig er rad 1 til 1048576)".
std::string outOfSheet(std::int64_t row, std::int64_t column, std::int64_t lastRow, std::int64_t lastColumn);

struct Place {
    Place() = default;
    explicit Place(std::filesystem::path workbook) : file(std::move(workbook)) {}

    std::filesystem::path file;
    std::string sheet; // the name on the sheet's tab; empty for what belongs to no sheet
    std::string part;  // the zip entry; empty for a sheet's own worksheet part and for the file

    Place withSheet(std::string name) const;
    Place withPart(std::string name) const;

    // «/data/Tulverkan.xlsx», arket «HEA» i «/data/Tulverkan.xlsx», «xl/styles.xml» i «...» or
    // «xl/tables/table1.xml» på arket «HEA» i «...».
    std::string describe() const;
    // "<action> <describe()>[, celle <cell>]: <cause>", e.g. "Kan ikke lese arket «HEA» i
    // «/data/Tulverkan.xlsx», celle B3: ugyldig tall «x»". No full stop: the display adds one.
    std::string message(std::string_view action, std::string_view cause, std::string_view cell = {}) const;
    // Throws sheets::Error with message().
    [[noreturn]] void fail(std::string_view action, std::string_view cause, std::string_view cell = {}) const;
};

} // namespace sheets
