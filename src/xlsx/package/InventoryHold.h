#pragma once

// A run's hold on the workbook it opened for writing, for as long as the open workbook lives: a lock
// file in LibreOffice's format beside it (the spreadsheet applications then open it read-only, and
// other runs are refused) with an OS lock on that file, and the fingerprint of the file as it was
// read, so that the save can tell when someone else has changed it meanwhile.

#include "package/FileFingerprint.h"
#include "xml/Place.h"

#include <filesystem>

namespace xlsx {

class InventoryHold {
public:
    // Takes the hold on `workbook`, an existing file. Throws sheets::LockedError naming the workbook
    // when another program or another run holds it. A lock file of a run whose process is gone from
    // this machine is taken over; one from another machine is not (there is no telling whether its
    // run still works). Throws sheets::Error when the lock file cannot be made; in a folder we may
    // not create files in the hold has none (nothing can be saved there either). Then removes the
    // temporaries that runs killed while saving left beside the workbook.
    explicit InventoryHold(const std::filesystem::path& workbook);
    ~InventoryHold();
    InventoryHold(const InventoryHold&) = delete;
    InventoryHold& operator=(const InventoryHold&) = delete;

    // Throws sheets::Error, starting "Kan ikke lagre", when the file is no longer the one read at
    // the start of the hold (or at the last noteSaved()): written, replaced, moved or deleted.
    void requireUnchanged() const;
    // Our own save has replaced the file: it is the one to compare with from now on.
    void noteSaved();

    // The lock file held; empty when the folder allowed none.
    const std::filesystem::path& lockFile() const { return m_lock.path; }

private:
    // The lock file while it is ours: removed, then its OS lock let go, when the hold ends.
    struct OwnedLock {
        OwnedLock() = default;
        OwnedLock(int fd, std::filesystem::path path);
        OwnedLock(OwnedLock&& other) noexcept;
        OwnedLock& operator=(OwnedLock&& other) noexcept;
        ~OwnedLock();
        void release();

        int fd = -1;
        std::filesystem::path path;
    };

    void take();
    [[noreturn]] void failChanged(int error) const;

    Place m_place;
    std::filesystem::path m_file; // the file itself, a link followed
    OwnedLock m_lock;
    FileFingerprint m_read;
};

} // namespace xlsx
