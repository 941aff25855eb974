#pragma once

// What a walk over the records of a BIFF5 or BIFF8 workbook stream gives that FreeXL does not: the
// version, encryption, date system, active tab, the kind of each sheet, and every cell value that is
// not a plain text constant (numbers typed as dates by their number format, booleans, errors, the
// stored results of formulas, and the BIFF5 texts with formatting runs that FreeXL skips).

#include "sheets/CellValue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orders {

struct BiffCell {
    int row;                 // 1-based
    int column;              // 1-based
    sheets::CellValue value; // a Text value's text is `text`, set when the cell is kept
    std::string text;
};

struct BiffSheet {
    std::uint32_t offset = 0; // of its BOF record in the stream
    std::uint8_t type = 0;    // 0 worksheet, 1 macro sheet, 2 chart, 6 module
    std::vector<BiffCell> cells;
};

struct BiffWorkbook {
    // 5 or 8; 0 when the stream does not start with a BIFF5 or BIFF8 workbook globals BOF.
    int version = 0;
    bool encrypted = false; // a FILEPASS record: everything after it is scrambled
    bool date1904 = false;
    int activeTab = 0; // 0-based, in sheet order
    int codePage = 1252;
    std::vector<BiffSheet> sheets;
};

// Stops at a FILEPASS record (encrypted) or a version it does not know; a stream cut short or a
// record running past its end ends the walk with what was read.
BiffWorkbook scanBiff(std::string_view stream);

} // namespace orders
