#include "package/FileSniff.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <unistd.h>
#include <vector>

namespace xlsx {

namespace {

constexpr std::array<unsigned char, 8> kOleMagic{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool readAt(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

enum class Compound { Encrypted, Other, Damaged };

// Looks through the directory of an OLE compound file for a stream named EncryptedPackage, which
// is how an encrypted workbook is stored. Every sector number is checked, every chain bounded.
Compound inspectCompound(int fd, std::uint64_t fileSize) {
    std::array<unsigned char, 512> header{};
    if (!readAt(fd, header.data(), header.size(), 0)) return Compound::Damaged;
    const unsigned shift = le16(&header[0x1E]);
    if (shift != 9 && shift != 12) return Compound::Damaged;
    const std::uint64_t sectorSize = std::uint64_t{1} << shift;
    const std::uint64_t sectors = fileSize / sectorSize; // sector n starts at (n + 1) * sectorSize
    const std::uint32_t fatCount = le32(&header[0x2C]);
    if (fatCount > sectors) return Compound::Damaged;
    const std::size_t perSector = sectorSize / 4;

    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(le32(&header[0x4C + 4 * i]));
    std::vector<unsigned char> sector(sectorSize);
    std::uint32_t difat = le32(&header[0x44]);
    for (std::uint64_t guard = 0; fatSectors.size() < fatCount; ++guard) {
        if (difat >= sectors || guard > sectors) return Compound::Damaged;
        if (!readAt(fd, sector.data(), sectorSize, (difat + 1) * sectorSize)) return Compound::Damaged;
        for (std::size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(le32(&sector[4 * i]));
        difat = le32(&sector[4 * (perSector - 1)]);
    }
    std::vector<std::uint32_t> fat;
    fat.reserve(fatSectors.size() * perSector);
    for (std::uint32_t s : fatSectors) {
        if (s >= sectors || !readAt(fd, sector.data(), sectorSize, (std::uint64_t{s} + 1) * sectorSize))
            return Compound::Damaged;
        for (std::size_t i = 0; i < perSector; ++i)
            fat.push_back(le32(&sector[4 * i]));
    }

    constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
    const std::u16string wanted = u"EncryptedPackage";
    std::uint32_t dir = le32(&header[0x30]);
    for (std::uint64_t guard = 0; dir != kEndOfChain; ++guard) {
        if (dir >= sectors || dir >= fat.size() || guard > fat.size()) return Compound::Damaged;
        if (!readAt(fd, sector.data(), sectorSize, (std::uint64_t{dir} + 1) * sectorSize))
            return Compound::Damaged;
        for (std::size_t entry = 0; entry + 128 <= sectorSize; entry += 128) {
            const unsigned char* e = &sector[entry];
            const std::size_t nameBytes = le16(e + 64);
            if (e[66] != 2 || nameBytes != 2 * (wanted.size() + 1)) continue; // 2: a stream
            bool same = true;
            for (std::size_t i = 0; i < wanted.size() && same; ++i)
                same = le16(e + 2 * i) == wanted[i];
            if (same) return Compound::Encrypted;
        }
        dir = fat[dir];
    }
    return Compound::Other;
}

} // namespace

FileKind sniffFile(int fd, std::uint64_t size) {
    std::array<unsigned char, 8> magic{};
    if (!readAt(fd, magic.data(), static_cast<std::size_t>(std::min<std::uint64_t>(size, magic.size())), 0))
        return FileKind::Other;
    if (size >= 2 && magic[0] == 'P' && magic[1] == 'K') return FileKind::Zip;
    if (size < magic.size() || magic != kOleMagic) return FileKind::Other;
    switch (inspectCompound(fd, size)) {
    case Compound::Encrypted:
        return FileKind::EncryptedWorkbook;
    case Compound::Other:
        return FileKind::LegacyWorkbook;
    case Compound::Damaged:
        break;
    }
    return FileKind::DamagedCompoundFile;
}

} // namespace xlsx
