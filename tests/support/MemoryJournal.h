#pragma once

// The booking journal in memory, for tests of the booking core: what a run reads is `entries` (with
// the damaged lines the test says the file had), what it appends is added to them.

#include "stock/Journal.h"
#include "stock/JournalFile.h"

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class MemoryJournal : public stock::Journal {
public:
    std::vector<stock::JournalEntry> entries;
    int damagedLines = 0;
    int firstDamagedLine = 0;
    // Causes: read() or append() throws JournalError with it.
    std::optional<std::string> readFailure;
    std::optional<std::string> writeFailure;
    int reads = 0;
    int appends = 0;
    std::filesystem::path appendedFor; // the inventory of the last append

    std::string location(const std::filesystem::path& inventory) const override {
        return stock::JournalFile::pathFor(inventory).string();
    }
    stock::JournalContents read(const std::filesystem::path& inventory) override {
        ++reads;
        if (readFailure)
            throw stock::JournalError("Kan ikke lese loggen «" + location(inventory) + "»: " + *readFailure,
                                      *readFailure);
        return {entries, damagedLines, firstDamagedLine};
    }
    void append(const std::filesystem::path& inventory,
                const std::vector<stock::JournalEntry>& added) override {
        if (writeFailure)
            throw stock::JournalError(
                "Kan ikke skrive loggen «" + location(inventory) + "»: " + *writeFailure, *writeFailure);
        ++appends;
        appendedFor = inventory;
        entries.insert(entries.end(), added.begin(), added.end());
    }
};

} // namespace testsupport
