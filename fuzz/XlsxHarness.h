#pragma once

// What one fuzz input does to the engine, shared by the fuzzer and the regression replay.

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace fuzz {

// Stores `data` as a workbook in `folder` and drives the engine through its public contract: open
// read-only and read every sheet, open read-write, write cells, insert a row, save, and open the
// saved file again. A sheets::Error is the expected answer to a bad file; anything else escaping
// (another exception, a crash, a sanitizer report), or a saved file that no longer opens, is a fault.
// Leaves `folder` empty.
void exerciseXlsx(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder);

} // namespace fuzz
