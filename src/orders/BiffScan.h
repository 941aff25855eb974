#pragma once

// A BIFF5 or BIFF8 workbook stream read whole by a walk over its records: the version, encryption,
// date system, active tab, the name and kind of each sheet, and the value of every cell (the shared
// texts, numbers typed as dates by their number format, booleans, errors, the stored results of
// formulas). Memory follows the cells present, never the dimensions a sheet declares.

#include "sheets/CellValue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orders {

struct BiffCell {
    int row;                 // 1-based
    int column;              // 1-based
    sheets::CellValue value; // a Text value's text is BiffWorkbook::texts[text]
    std::uint32_t text = 0;
};

struct BiffSheet {
    std::string name;
    std::uint32_t offset = 0; // of its BOF record in the stream
    std::uint8_t type = 0;    // 0 worksheet, 1 macro sheet, 2 chart, 6 module
    bool complete = false;    // its records were read up to its EOF
    std::vector<BiffCell> cells;
};

struct BiffWorkbook {
    // 5 or 8; 0 when the stream does not start with a BIFF5 or BIFF8 workbook globals BOF.
    int version = 0;
    bool encrypted = false; // a FILEPASS record: everything after it is scrambled
    // Why the stream cannot be read as it stands, in words for the user; empty when it can.
    std::string damage;
    bool date1904 = false;
    int activeTab = 0; // 0-based, in sheet order
    int codePage = 1252;
    std::vector<std::string> texts; // UTF-8: the shared texts, then those of single cells
    std::vector<BiffSheet> sheets;
};

// Stops at a FILEPASS record (encrypted) or a version it does not know. A worksheet cut short or a
// cell naming a shared text that is not there is told in `damage`.
BiffWorkbook scanBiff(std::string_view stream);

} // namespace orders
