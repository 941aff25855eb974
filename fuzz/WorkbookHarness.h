#pragma once

// What one fuzz input does to a workbook reader, shared by the fuzzers and the regression replay.

#include "sheets/Workbook.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace fuzz {

using Open = std::unique_ptr<sheets::Workbook> (*)(const std::filesystem::path&, sheets::OpenMode);

// Stores `data` as `file` and drives `open`'s workbook through the contract: open read-only and
// read every sheet, open read-write, write cells, insert rows, save twice, and open the saved file
// again. A sheets::Error is the expected answer to a bad file; anything else escaping (another
// exception, a crash, a sanitizer report), a failed save that changed the file, a file left beside
// it, or a saved file that no longer opens, is a fault and aborts. Leaves the folder empty.
void exercise(Open open, const std::uint8_t* data, std::size_t size, const std::filesystem::path& file);

// The engine on an inventory: Lager.xlsx in `folder`.
void exerciseXlsx(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder);
// The opener a run uses for orders, which sniffs the format: Bestilling.<extension> in `folder`.
void exerciseOrder(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder,
                   const char* extension);

} // namespace fuzz
