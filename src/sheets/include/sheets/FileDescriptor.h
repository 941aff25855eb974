#pragma once

// An open file descriptor closed on every way out, for the layers that call the system directly.

#include <unistd.h>
#include <utility>

namespace sheets {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    // Hands the descriptor to a new owner.
    int release() { return std::exchange(m_fd, -1); }
    // Closes now, for callers that must see a failed close (of a written file, a failed write).
    int close() { return ::close(release()); }

private:
    int m_fd;
};

} // namespace sheets
