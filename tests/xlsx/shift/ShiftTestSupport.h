#pragma once

// Shared by the frame and part shifter tests: parts out of real packages, attribute values read back
// with pugixml, and the per-sheet insertions a shifter is given.

#include "formula/ReferenceShifter.h"
#include "formula/RowShift.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace shifttest {

// The entry's bytes; throws when the package has no such entry.
std::string partOf(const std::filesystem::path& workbook, const std::string& entry);

// Values of `attribute` on every element with local name `element`, in document order; with a null
// attribute, the texts of those elements.
std::vector<std::string> values(const std::string& xml, std::string_view element,
                                const char* attribute = nullptr);

// Sheets in workbook order with the rows inserted on each (in the order inserted).
class Sheets {
public:
    explicit Sheets(std::vector<std::pair<std::string, std::vector<std::uint32_t>>> sheets);
    Sheets(const Sheets&) = delete;
    Sheets& operator=(const Sheets&) = delete;

    // nullptr when the sheet got no rows.
    const xlsx::RowShift* shift(std::string_view sheet) const;
    xlsx::ShiftContext context(std::string_view formulaSheet = {}) const;

private:
    std::vector<std::string> m_order;
    std::map<std::string, xlsx::RowShift> m_shifts;
};

} // namespace shifttest
