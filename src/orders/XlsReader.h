#pragma once

// .xls workbooks, read-only: BIFF5 and BIFF8 as the record walk of BiffScan reads them, the bare
// worksheets of the older versions through FreeXL.

#include "BiffScan.h"

#include "sheets/Workbook.h"

#include <filesystem>
#include <memory>

namespace orders {

// A BIFF5 or BIFF8 workbook whose stream has been walked into `biff` (not encrypted, not damaged).
std::unique_ptr<sheets::Workbook> readXls(const std::filesystem::path& path, BiffWorkbook biff);

// A bare BIFF2, BIFF3 or BIFF4 worksheet (no compound file), through FreeXL alone: texts, numbers and
// dates by FreeXL's rule; formula cells read as empty, booleans as the numbers 1 and 0.
std::unique_ptr<sheets::Workbook> readLegacyXls(const std::filesystem::path& path);

} // namespace orders
