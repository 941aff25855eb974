#include "package/FileCalls.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xlsx {

namespace {

FileCalls systemCalls;
FileCalls* current = &systemCalls;

} // namespace

int FileCalls::create(char* pattern) {
    return ::mkostemp(pattern, O_CLOEXEC);
}

ssize_t FileCalls::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int FileCalls::sync(int fd) {
    return ::fsync(fd);
}

int FileCalls::close(int fd) {
    return ::close(fd);
}

int FileCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int FileCalls::syncFolder(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

FileCalls& fileCalls() {
    return *current;
}

void setFileCalls(FileCalls* calls) {
    current = calls ? calls : &systemCalls;
}

} // namespace xlsx
