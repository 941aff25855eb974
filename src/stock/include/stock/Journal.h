#pragma once

// The booking journal: every order line a saved run handled, kept beside the inventory, so that the
// next run can tell which lines of an order were booked before. The core reads and appends through
// this interface; JournalFile is the real one, tests keep theirs in memory.

#include "sheets/Error.h"
#include "stock/UpdateRun.h"

#include <filesystem>
#include <string>
#include <vector>

namespace stock {

// One order line as a saved run handled it.
struct JournalEntry {
    std::string time; // ISO 8601, local time with its offset: 2026-12-10T09:14:03+01:00
    std::string user;
    std::string host;
    int run = 0;           // one number per run, counting up in the journal
    std::string orderFile; // full path, as the run opened it
    std::string orderSheet;
    LineOutcome line;

    bool operator==(const JournalEntry&) const = default;
};

struct JournalContents {
    std::vector<JournalEntry> entries; // in the order they were written
    int damagedLines = 0;              // lines that did not parse, passed over
    int firstDamagedLine = 0;          // the line number in the file of the first of them
};

// A journal that cannot be read or written. what() names the journal and the cause; cause() is the
// cause alone, for a caller that names the journal in its own sentence.
class JournalError : public sheets::Error {
public:
    JournalError(const std::string& message, std::string cause) : Error(message), m_cause(std::move(cause)) {}
    const std::string& cause() const { return m_cause; }

private:
    std::string m_cause;
};

class Journal {
public:
    virtual ~Journal() = default;

    // The journal of `inventory` as the user knows it (its file), for messages.
    virtual std::string location(const std::filesystem::path& inventory) const = 0;
    // Its entries; none when there is no journal yet. Throws JournalError when it exists and cannot be
    // read.
    virtual JournalContents read(const std::filesystem::path& inventory) = 0;
    // Appends the entries in one piece and has them on disk before returning. Throws JournalError.
    virtual void append(const std::filesystem::path& inventory, const std::vector<JournalEntry>& entries) = 0;
};

} // namespace stock
