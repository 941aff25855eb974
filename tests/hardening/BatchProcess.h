#pragma once

// The batch tool as a real process, for the tests that kill it or run two at once, and what its
// runs leave in a folder.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hardening {

// Starts tulverkan-batch INVENTORY ORDER; its stderr goes to `errors` (nowhere when empty).
pid_t startBatch(const std::filesystem::path& inventory, const std::filesystem::path& order,
                 const std::filesystem::path& errors = {});
// Waits for the process; its wait status.
int waitFor(pid_t pid);

// What the workbook holds: every entry's name and uncompressed bytes (zip timestamps aside).
std::size_t contentHash(const std::filesystem::path& workbook);

// Writes the large inventory (20 sheets of 2,000 stock lines) and its orders into `folder`:
// Tulverkan.xlsx, Bestilling.xlsx (200 marked lines) and Bestilling-2.xlsx (the same lines with other
// quantities and projects).
void makeLargeWorkload(const std::filesystem::path& folder);

// Watches a folder for a save's temporary file being created and renamed over "Tulverkan.xlsx".
class SaveWatch {
public:
    explicit SaveWatch(const std::filesystem::path& folder);
    ~SaveWatch();
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    enum class Event { None, TemporaryCreated, Renamed };

    // The next event within `timeout`, or None.
    Event next(std::chrono::milliseconds timeout);

private:
    int m_fd;
    std::vector<Event> m_pending;
};

} // namespace hardening
