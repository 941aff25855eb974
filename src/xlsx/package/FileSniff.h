#pragma once

// What a file is that may not be a workbook package, so that the user learns why it cannot be
// opened: a zip archive, or an OLE compound file holding an encrypted workbook, a legacy .xls
// workbook, something else or damage.

#include <cstdint>

namespace xlsx {

enum class FileKind { Zip, EncryptedWorkbook, LegacyWorkbook, OtherCompoundFile, DamagedCompoundFile, Other };

// Looks at the open file `fd` of `size` bytes. Its file offset may move.
FileKind sniffFile(int fd, std::uint64_t size);

} // namespace xlsx
