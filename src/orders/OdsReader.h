#pragma once

// OpenDocument spreadsheets (.ods), read-only, on libzip and pugixml: cell values from content.xml
// by office:value-type, the active sheet from settings.xml. Repeated rows and columns stay runs.

#include "sheets/Workbook.h"

#include <filesystem>
#include <memory>

namespace orders {

std::unique_ptr<sheets::Workbook> readOds(const std::filesystem::path& path);

} // namespace orders
