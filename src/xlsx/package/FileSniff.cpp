#include "package/FileSniff.h"

#include "containers/OleReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>
#include <unistd.h>

namespace xlsx {

FileKind sniffFile(int fd, std::uint64_t size) {
    std::array<char, 8> head{};
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, head.size()));
    ssize_t n = 0;
    do
        n = ::pread(fd, head.data(), wanted, 0);
    while (n < 0 && errno == EINTR);
    if (n < 0) return FileKind::Other;
    const std::string_view start(head.data(), static_cast<std::size_t>(n));
    if (start.starts_with("PK")) return FileKind::Zip;
    if (!containers::hasOleSignature(start)) return FileKind::Other;
    const auto ole = containers::OleReader::open(fd);
    if (!ole) return FileKind::DamagedCompoundFile;
    switch (containers::contentOf(*ole)) {
    case containers::CompoundContent::EncryptedWorkbook:
        return FileKind::EncryptedWorkbook;
    case containers::CompoundContent::LegacyWorkbook:
        return FileKind::LegacyWorkbook;
    case containers::CompoundContent::Other:
        break;
    }
    return FileKind::OtherCompoundFile;
}

} // namespace xlsx
