#pragma once

// Replaces a file so that it is never seen half-written: the new bytes go to a temporary file in
// the same folder (with the original's permissions, and its owner where the system allows), which
// is flushed, renamed over the original, and the folder flushed. Until the rename the original is
// untouched; a temporary that is not committed is removed. Every system call that writes goes
// through FileCalls.

#include "xml/Place.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <sys/types.h>

namespace xlsx {

class AtomicFile {
public:
    // A link is saved through, into the file it points to, rather than replaced. Failures are
    // sheets::Error naming `place`.
    AtomicFile(const std::filesystem::path& path, Place place);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Makes the temporary file.
    void begin();
    void write(const char* data, std::size_t size);
    // Flushes the temporary, runs `beforeRename` (which may throw: the original then stays) and renames
    // the temporary over the original; then flushes the folder, whose failure is not reported (the
    // new file is in place by then).
    void commit(const std::function<void()>& beforeRename = {});

private:
    [[noreturn]] void fail(int error) const;

    Place m_place;
    std::filesystem::path m_target;
    std::filesystem::path m_folder;
    mode_t m_mode = 0;
    uid_t m_owner = 0;
    gid_t m_group = 0;
    std::filesystem::path m_temp;
    int m_fd = -1;
    bool m_committed = false;
};

} // namespace xlsx
