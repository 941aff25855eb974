#pragma once

// The journal as a file beside the inventory, `<name>-logg.csv` (Tulverkan-logg.csv for
// Tulverkan.xlsx), made to open in a spreadsheet application as Norwegian versions expect it: UTF-8
// with a byte-order mark, ';' between fields, a header line, one line per journal entry.

#include "stock/Journal.h"

namespace stock {

class JournalFile : public Journal {
public:
    static std::filesystem::path pathFor(const std::filesystem::path& inventory);

    std::string location(const std::filesystem::path& inventory) const override;
    // A line that does not parse is counted and passed over, never an error.
    JournalContents read(const std::filesystem::path& inventory) override;
    // Creates the file with its header when there is none; writes the lines with one call and syncs
    // them (and a new file's folder) to disk. Nothing is written for no entries.
    void append(const std::filesystem::path& inventory, const std::vector<JournalEntry>& entries) override;
};

} // namespace stock
