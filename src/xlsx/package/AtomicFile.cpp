#include "package/AtomicFile.h"

#include "package/Causes.h"

#include <cerrno>
#include <fcntl.h>
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
    m_mode = original.st_mode & 07777;
    m_owner = original.st_uid;
    m_group = original.st_gid;
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temp.empty() && !m_committed) ::unlink(m_temp.c_str());
}

void AtomicFile::fail(int error) const {
    m_place.fail(kCannotSave, systemCause(error));
}

void AtomicFile::begin() {
    // Appended, not "." + name: GCC 12 at -O2 and above reports a false overlap (-Wrestrict) there.
    std::string pattern =
        (m_target.parent_path() / std::string(".").append(m_target.filename().string()).append(".lagres-XXXXXX"))
            .string();
    // mkostemp opens with O_EXCL, so an existing file of that name is never reused.
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
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
        ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::commit() {
    if (::fsync(m_fd) != 0) fail(errno);
    if (::close(std::exchange(m_fd, -1)) != 0) fail(errno);
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        m_place.fail(kCannotSave, "kan ikke erstatte filen (" + systemCause(error) + ")");
    }
    m_committed = true;

    // The rename is only durable once the folder is flushed; some file systems cannot flush one.
    const int folder = ::open(m_target.parent_path().empty() ? "." : m_target.parent_path().c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = folder >= 0 && (::fsync(folder) == 0 || errno == EINVAL);
    const int error = errno;
    if (folder >= 0) ::close(folder);
    if (!flushed)
        m_place.fail(kCannotSave, "arbeidsboken er skrevet, men mappen kan ikke tømmes til disken (" +
                                      systemCause(error) + ")");
}

} // namespace xlsx
