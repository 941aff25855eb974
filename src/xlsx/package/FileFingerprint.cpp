#include "package/FileFingerprint.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace xlsx {

std::optional<FileFingerprint> fingerprintOf(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() {
            const int error = errno;
            ::close(fd);
            errno = error;
        }
    } closer{fd};

    struct stat before {};
    if (::fstat(fd, &before) != 0) return std::nullopt;
    FileFingerprint print;
    print.size = static_cast<std::uint64_t>(before.st_size);
    print.modifiedNs = std::int64_t{before.st_mtim.tv_sec} * 1'000'000'000 + before.st_mtim.tv_nsec;
    uLong crc = ::crc32(0, nullptr, 0);
    // Small and left uninitialised: a buffer of the file's size would cost more in fresh pages than the
    // checksum itself.
    constexpr std::size_t kChunk = std::size_t{128} << 10;
    const std::unique_ptr<unsigned char[]> chunk(new unsigned char[kChunk]);
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk.get(), kChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        crc = ::crc32_z(crc, chunk.get(), static_cast<z_size_t>(n));
        total += static_cast<std::uint64_t>(n);
    }
    // A file written to while it is read was hashed in no state it was ever in; the size read then
    // differs from the size it is found with later, and the comparison fails, as it should.
    print.size = total;
    print.checksum = static_cast<std::uint32_t>(crc);
    return print;
}

} // namespace xlsx
