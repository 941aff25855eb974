#pragma once

// The system calls by which a save reaches the disk, in one place: the atomic replacement of a
// workbook makes every one of them through here, so that tests can make each fail in turn (and
// fill the disk) and see that the original stays as it was.

#include <cstddef>
#include <sys/types.h>

namespace xlsx {

class FileCalls {
public:
    virtual ~FileCalls() = default;

    // Each as the system call it stands for: -1 (or a short write) with errno set on failure.
    // mkostemp with O_CLOEXEC.
    virtual int create(char* pattern);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    // fsync of the written temporary.
    virtual int sync(int fd);
    // close, where some file systems (NFS) report writes that failed late.
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    // Opens the folder and flushes it to the disk, making a rename in it durable.
    virtual int syncFolder(const char* folder);
};

// The calls saves make: the system's, unless a test has put others in their place.
FileCalls& fileCalls();
// Puts `calls` in place of the system's; nullptr puts the system's back. For tests, between saves.
void setFileCalls(FileCalls* calls);

} // namespace xlsx
