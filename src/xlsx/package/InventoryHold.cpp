#include "package/InventoryHold.h"

#include "containers/Causes.h"
#include "package/LockFiles.h"
#include "package/SaveLeftovers.h"
#include "sheets/Error.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace xlsx {

namespace fs = std::filesystem;

namespace {

// Rounds of taking the lock file when it vanishes or is replaced under us; more mean that other
// runs take and drop it all the time.
constexpr int kAttempts = 10;

enum class OsLock { Taken, Busy, Unsupported };

// A lock on the whole file that belongs to this open file description, not to the process (so two
// holds in one process exclude each other too), and that the system lets go when the process ends,
// however it ends: a lock file whose lock can be had again has no living run behind it.
OsLock tryLock(int fd, bool exclusive) {
    struct flock lock {};
    lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return OsLock::Taken;
    if (errno == EAGAIN || errno == EACCES) return OsLock::Busy;
    if (errno == EINVAL) { // a kernel without locks of open file descriptions
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return OsLock::Taken;
        if (errno == EWOULDBLOCK) return OsLock::Busy;
    }
    return OsLock::Unsupported; // ENOLCK: a network file system without its lock service
}

bool processAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// What open(..., 0666) gives under this process's umask, as LibreOffice's lock files get; read, not
// set and set back, which would race with other threads.
mode_t creationMode() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:"))
            return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 0644;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Our lock file, whole and locked before anyone can see it: a temporary beside the workbook, then
// linked (or, over a stale one, renamed) to the lock file's name.
class Prepared {
public:
    Prepared() = default;
    ~Prepared() {
        if (!m_temp.empty()) ::unlink(m_temp.c_str());
        if (m_fd >= 0) ::close(m_fd);
    }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;

    // False with errno set when it cannot be made.
    bool make(const fs::path& workbook, std::string_view entry) {
        std::string pattern = temporaryPattern(workbook, kLockingMark);
        m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (m_fd < 0) return false;
        m_temp = pattern;
        // Synced, so that a run on another machine that opens the lock file reads the entry.
        if (::fchmod(m_fd, creationMode()) != 0 || !writeAll(m_fd, entry) || ::fsync(m_fd) != 0) return false;
        // Where the file system has no locks, the process id in the entry tells.
        tryLock(m_fd, true);
        return true;
    }
    const fs::path& temp() const { return m_temp; }
    // The lock file's name is now linked to it: the temporary name goes, the descriptor is handed on.
    int linked() {
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return std::exchange(m_fd, -1);
    }
    // It was renamed to the lock file's name.
    int renamed() {
        m_temp.clear();
        return std::exchange(m_fd, -1);
    }

private:
    int m_fd = -1;
    fs::path m_temp;
};

// An existing lock file, judged.
struct Found {
    enum class Verdict { Gone, OtherProgram, Running, OtherMachine, Stale };
    Verdict verdict = Verdict::Gone;
    std::optional<LockEntry> entry;
    int fd = -1; // a stale one stays open, and locked by us, until ours has replaced it

    Found() = default;
    Found(Found&& other) noexcept
        : verdict(other.verdict), entry(std::move(other.entry)), fd(std::exchange(other.fd, -1)) {}
    Found& operator=(Found&&) = delete;
    ~Found() {
        if (fd >= 0) ::close(fd);
    }
};

Found examine(const fs::path& lockFile) {
    Found found;
    // Opened for writing where we may, for an exclusive lock: of two runs that find the same stale
    // lock file, only one can take it over. A lock file we may only read gets a shared lock, which
    // still tells a living run from a dead one.
    bool writable = true;
    found.fd = ::open(lockFile.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (found.fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        writable = false;
        found.fd = ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (found.fd < 0) {
        found.verdict = errno == ENOENT ? Found::Verdict::Gone : Found::Verdict::OtherProgram;
        return found;
    }
    char bytes[4096];
    const ssize_t n = ::pread(found.fd, bytes, sizeof bytes, 0);
    if (n > 0) found.entry = LockEntry::parse(std::string_view(bytes, static_cast<std::size_t>(n)));
    const auto pid = found.entry ? found.entry->runProcess() : std::nullopt;
    if (!pid) {
        found.verdict = Found::Verdict::OtherProgram;
        return found;
    }
    if (found.entry->host != thisHost()) {
        found.verdict = Found::Verdict::OtherMachine;
        return found;
    }
    const OsLock lock = tryLock(found.fd, writable);
    if (lock == OsLock::Busy || (lock == OsLock::Unsupported && processAlive(*pid))) {
        found.verdict = Found::Verdict::Running;
        return found;
    }
    // Its run is gone. Unless the file was removed or replaced since we opened it (a run that ends
    // removes its lock file before it lets the lock go), it is ours to take over.
    struct stat held {};
    struct stat named {};
    const bool still =
        ::fstat(found.fd, &held) == 0 && ::lstat(lockFile.c_str(), &named) == 0 && sameFile(held, named);
    found.verdict = still ? Found::Verdict::Stale : Found::Verdict::Gone;
    return found;
}

[[noreturn]] void cannotMake(const Place& place, const std::string& lockName, int error) {
    place.fail(kCannotOpen,
               "kan ikke lage låsefilen " + inQuotes(lockName) + " (" + containers::systemCause(error) + ")");
}

std::string heldBy(const LockEntry& entry) {
    return "prosess " + std::to_string(*entry.runProcess()) + " på " + inQuotes(entry.host) + ", startet " +
           entry.since;
}

} // namespace

InventoryHold::OwnedLock::OwnedLock(int fd_, fs::path path_) : fd(fd_), path(std::move(path_)) {
    struct stat info {};
    if (::fstat(fd, &info) == 0) noteHeldHere(info.st_dev, info.st_ino);
}

InventoryHold::OwnedLock::OwnedLock(OwnedLock&& other) noexcept
    : fd(std::exchange(other.fd, -1)), path(std::move(other.path)) {
    other.path.clear();
}

InventoryHold::OwnedLock& InventoryHold::OwnedLock::operator=(OwnedLock&& other) noexcept {
    if (this != &other) {
        release();
        fd = std::exchange(other.fd, -1);
        path = std::move(other.path);
        other.path.clear();
    }
    return *this;
}

InventoryHold::OwnedLock::~OwnedLock() {
    release();
}

void InventoryHold::OwnedLock::release() {
    if (fd < 0) return;
    // Removed while still locked, so that no run can find it unlocked and take it over; and only
    // when the name still leads to ours.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0) {
        if (::lstat(path.c_str(), &named) == 0 && sameFile(held, named)) ::unlink(path.c_str());
        noteReleasedHere(held.st_dev, held.st_ino);
    }
    ::close(std::exchange(fd, -1));
    path.clear();
}

InventoryHold::InventoryHold(const fs::path& workbook) : m_place{workbook}, m_file(workbook) {
    std::error_code error;
    if (fs::is_symlink(workbook, error)) {
        // The file a save replaces is the one the link leads to; the lock goes beside it.
        auto target = fs::canonical(workbook, error);
        if (!error) m_file = std::move(target);
    }
    const auto excel = excelOwnerFile(m_file);
    if (fs::exists(excel, error))
        throw sheets::LockedError(m_place.message(kCannotOpen, openElsewhere(excel.filename().string())));
    take();
    const auto read = fingerprintOf(m_file);
    if (!read) m_place.fail(kCannotOpen, containers::systemCause(errno));
    m_read = *read;
    if (!m_lock.path.empty()) removeSaveLeftovers(m_file);
}

InventoryHold::~InventoryHold() = default;

void InventoryHold::take() {
    const fs::path lockFile = libreOfficeLockFile(m_file);
    const std::string lockName = lockFile.filename().string();
    const std::string entry = LockEntry::ofThisProcess().serialize();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        Prepared ours;
        const bool made = ours.make(m_file, entry);
        if (!made && errno != EACCES && errno != EPERM && errno != EROFS)
            cannotMake(m_place, lockName, errno);
        if (made) {
            if (::link(ours.temp().c_str(), lockFile.c_str()) == 0) {
                m_lock = OwnedLock(ours.linked(), lockFile);
                return;
            }
            const int linkError = errno;
            if (linkError == ENOENT) continue; // our temporary went: a run that holds the workbook cleared it
            if (linkError != EEXIST) {
                // A file system without hard links: the lock file is made in place. Until its entry is
                // written another run finds none of ours in it and refuses, which is safe.
                const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                if (fd >= 0) {
                    tryLock(fd, true);
                    OwnedLock lock(fd, lockFile);
                    if (!writeAll(fd, entry) || ::fsync(fd) != 0) cannotMake(m_place, lockName, errno);
                    m_lock = std::move(lock);
                    return;
                }
                if (errno != EEXIST) cannotMake(m_place, lockName, errno);
            }
        }

        const Found found = examine(lockFile);
        switch (found.verdict) {
        case Found::Verdict::Gone:
            if (!made) return; // nothing to take, and nothing can be saved here: the save says so
            continue;
        case Found::Verdict::Stale:
            if (!made) return;
            // Renamed over the stale one: the name never leads to no lock file, or to an unlocked one.
            if (::rename(ours.temp().c_str(), lockFile.c_str()) == 0) {
                m_lock = OwnedLock(ours.renamed(), lockFile);
                return;
            }
            if (errno == ENOENT) continue;
            cannotMake(m_place, lockName, errno);
        case Found::Verdict::OtherProgram:
            throw sheets::LockedError(m_place.message(kCannotOpen, openElsewhere(lockName)));
        case Found::Verdict::Running:
            throw sheets::LockedError(m_place.message(
                kCannotOpen, "arbeidsboken brukes av en annen Tulverkan-kjøring (" + heldBy(*found.entry) +
                                 "); vent til den er ferdig og prøv igjen"));
        case Found::Verdict::OtherMachine:
            throw sheets::LockedError(m_place.message(
                kCannotOpen, "arbeidsboken brukes av en Tulverkan-kjøring på en annen maskin (" +
                                 heldBy(*found.entry) +
                                 "); vent til den er ferdig og prøv igjen, eller slett låsefilen " +
                                 inQuotes(lockName) + " hvis den kjøringen ikke finnes lenger"));
        }
    }
    throw sheets::LockedError(
        m_place.message(kCannotOpen, "låsefilen " + inQuotes(lockName) +
                                         " tas og slippes hele tiden av andre; prøv igjen om litt"));
}

void InventoryHold::failChanged(int error) const {
    if (error == ENOENT)
        m_place.fail(kCannotSave,
                     "arbeidsboken er flyttet eller slettet etter at den ble åpnet her; ingenting "
                     "er lagret");
    if (error != 0) m_place.fail(kCannotSave, containers::systemCause(error));
    m_place.fail(kCannotSave, "arbeidsboken er endret av noen andre etter at den ble åpnet her; ingenting er "
                              "lagret, bokfør bestillingen på nytt");
}

void InventoryHold::requireUnchanged() const {
    struct stat now {};
    if (::stat(m_file.c_str(), &now) != 0) failChanged(errno);
    const std::int64_t modified = std::int64_t{now.st_mtim.tv_sec} * 1'000'000'000 + now.st_mtim.tv_nsec;
    // Size and time settle most cases without reading the file again.
    if (static_cast<std::uint64_t>(now.st_size) != m_read.size || modified != m_read.modifiedNs)
        failChanged(0);
    const auto found = fingerprintOf(m_file);
    if (!found) failChanged(errno);
    if (*found != m_read) failChanged(0);
}

void InventoryHold::noteSaved() {
    // A file we cannot read back right after writing it keeps the old fingerprint, and a later save
    // is refused rather than made blind.
    if (const auto saved = fingerprintOf(m_file)) m_read = *saved;
}

} // namespace xlsx
