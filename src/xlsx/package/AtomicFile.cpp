#include "package/AtomicFile.h"

#include "containers/Causes.h"
#include "package/FileCalls.h"
#include "package/SaveLeftovers.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace xlsx {

AtomicFile::AtomicFile(const std::filesystem::path& path, Place place)
    : m_place(std::move(place)), m_target(path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) m_target = std::filesystem::canonical(path, error);
    if (error) fail(error.value());
    struct stat original {};
    if (::stat(m_target.c_str(), &original) != 0) fail(errno);
    // The folder first: without it nothing can be saved there. Then the file's own mark, which counts
    // also for root; a folder that lets us rename over a file we may not write is no permission to
    // replace it.
    m_folder = m_target.parent_path().empty() ? std::filesystem::path(".") : m_target.parent_path();
    if (::access(m_folder.c_str(), W_OK) != 0 && errno == EACCES)
        m_place.fail(kCannotSave, "mappen kan ikke skrives");
    if ((original.st_mode & 0222) == 0 || (::access(m_target.c_str(), W_OK) != 0 && errno == EACCES))
        m_place.fail(kCannotSave, "filen er skrivebeskyttet");
    m_mode = original.st_mode & 07777;
    m_owner = original.st_uid;
    m_group = original.st_gid;
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temp.empty() && !m_committed) ::unlink(m_temp.c_str());
}

void AtomicFile::fail(int error) const {
    m_place.fail(kCannotSave, containers::systemCause(error));
}

void AtomicFile::begin() {
    std::string pattern = temporaryPattern(m_target, kSavingMark);
    // mkostemp opens with O_EXCL, so an existing file of that name is never reused.
    m_fd = fileCalls().create(pattern.data());
    if (m_fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) m_place.fail(kCannotSave, "mappen kan ikke skrives");
        fail(error);
    }
    m_temp = pattern;
    if (::fchmod(m_fd, m_mode) != 0) fail(errno);
    if (m_owner != ::geteuid() || m_group != ::getegid()) {
        if (::fchown(m_fd, m_owner, m_group) != 0) {
            // Only the owner's own group or root may hand a file over; a user saving someone
            // else's workbook becomes its owner, as with any editor that saves by renaming.
        }
    }
}

void AtomicFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = fileCalls().write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::commit(const std::function<void()>& beforeRename) {
    if (fileCalls().sync(m_fd) != 0) fail(errno);
    if (fileCalls().close(std::exchange(m_fd, -1)) != 0) fail(errno);
    if (beforeRename) beforeRename();
    if (fileCalls().rename(m_temp.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        m_place.fail(kCannotSave, "kan ikke erstatte filen (" + containers::systemCause(error) + ")");
    }
    m_committed = true;

    // The rename is durable once the folder is flushed. The new workbook is in place already, so a
    // folder that cannot be flushed (some file systems cannot flush one) is no failed save: saying so
    // would have the user save again, or give up, over a file that holds what they saved.
    fileCalls().syncFolder(m_folder.c_str());
}

} // namespace xlsx
