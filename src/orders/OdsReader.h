#pragma once

// OpenDocument spreadsheets (.ods), read-only, on the zip reader and pugixml: cell values from
// content.xml by office:value-type, the active sheet from settings.xml. Repeated rows and columns stay
// runs.

#include "containers/ZipReader.h"
#include "sheets/Workbook.h"

#include <memory>

namespace orders {

// The spreadsheet in `zip`, opened with names compared as stored. Throws sheets::Error naming the file
// (and the entry) and the cause.
std::unique_ptr<sheets::Workbook> readOds(const containers::ZipReader& zip);

} // namespace orders
