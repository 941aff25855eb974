#pragma once

// Opens any workbook a user may pick, deciding its format from the content, never from the name:
// .xlsx and .xlsm through the engine (read and write), .xls and .ods read-only.

#include "sheets/Workbook.h"

#include <filesystem>
#include <memory>

namespace orders {

// An OLE compound file with a Workbook or Book stream is read as .xls (BIFF8 and BIFF5, and the
// bare BIFF2-4 worksheets of the oldest versions); a zip whose mimetype is the OpenDocument
// spreadsheet type as .ods; any other zip goes to the engine. .xls and .ods open only for reading:
// asked for writing, they are refused before anything is read. Throws sheets::Error naming the file
// and the cause for encrypted workbooks, OLE files without a workbook, BIFF versions that cannot be
// read, text files such as .csv and anything else that is not a workbook.
std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode);

using Opener = sheets::OpenerOf<&openWorkbook>;

} // namespace orders
