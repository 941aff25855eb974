#pragma once

// The engine's workbook: opens an .xlsx/.xlsm package, serves the contract, saves in place.

#include "sheets/Workbook.h"

#include <filesystem>
#include <memory>

namespace xlsx {

// Throws sheets::Error naming the file and the cause when it cannot be opened: no such file, a
// folder, not a workbook, encrypted, legacy or binary format (for writing), damaged parts.
std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode);

using Opener = sheets::OpenerOf<&openWorkbook>;

} // namespace xlsx
