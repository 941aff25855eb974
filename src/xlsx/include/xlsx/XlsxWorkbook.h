#pragma once

// The engine's workbook: opens an .xlsx/.xlsm package, serves the contract, saves in place.

#include "sheets/Workbook.h"

#include <filesystem>
#include <memory>

namespace xlsx {

// Throws sheets::Error naming the file and the cause when it cannot be opened: no such file, a
// folder, not a workbook, encrypted, legacy or binary format (for writing), damaged parts.
// For writing, the workbook is held as sheets::Workbook describes: a lock file in LibreOffice's
// format (".~lock.NAME#") beside it with an OS lock on it, until the workbook is destroyed.
// sheets::LockedError when Excel's "~$NAME" or a lock file of another program or run is there; one
// left by a run whose process is gone from this machine is taken over.
std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode);

using Opener = sheets::OpenerOf<&openWorkbook>;

} // namespace xlsx
