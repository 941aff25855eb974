#include "containers/ZipReader.h"

#include "containers/Causes.h"
#include "containers/LargeBuffer.h"
#include "containers/RawInflate.h"

#include <zip.h>

#include <algorithm>
#include <unistd.h>
#include <utility>

namespace containers {

namespace {

// Limits against zip bombs: no entry may inflate beyond kMaxEntrySize, and beyond kRatioFloor an
// entry may not claim more than kMaxRatio times its compressed size (real sheet XML stays far below).
constexpr std::uint64_t kMaxEntrySize = std::uint64_t{1} << 30;
constexpr std::uint64_t kRatioFloor = std::uint64_t{8} << 20;
constexpr std::uint64_t kMaxRatio = 1000;

bool tooLarge(const zip_stat_t& stat) {
    return stat.size > kMaxEntrySize;
}

bool inflatesTooFar(const zip_stat_t& stat) {
    return stat.size > kRatioFloor && stat.size / std::max<zip_uint64_t>(stat.comp_size, 1) > kMaxRatio;
}

} // namespace

std::unique_ptr<ZipReader> ZipReader::open(int fd, sheets::Place place, NameKey key, int& error) {
    error = 0;
    zip* archive = zip_fdopen(fd, 0, &error);
    if (!archive) {
        ::close(fd); // zip_fdopen closes it only when it succeeds
        return nullptr;
    }
    return std::unique_ptr<ZipReader>(new ZipReader(archive, std::move(place), key));
}

std::unique_ptr<ZipReader> ZipReader::open(const std::filesystem::path& path, NameKey key, int& error) {
    error = 0;
    zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) return nullptr;
    return std::unique_ptr<ZipReader>(new ZipReader(archive, sheets::Place{path}, key));
}

ZipReader::ZipReader(zip* archive, sheets::Place place, NameKey key)
    : m_zip(archive), m_place(std::move(place)), m_key(key) {
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    m_names.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), 0);
        if (!name) {
            const std::string cause = zipCause(zip_get_error(m_zip));
            zip_discard(m_zip);
            m_place.fail(sheets::kCannotOpen, cause);
        }
        m_names.emplace_back(name);
        m_index.emplace(m_key(name), static_cast<std::uint64_t>(i)); // the first of equal names wins
    }
}

ZipReader::~ZipReader() {
    zip_discard(m_zip);
}

std::string nameAsStored(std::string_view name) {
    return std::string(name);
}

std::optional<std::uint64_t> ZipReader::find(std::string_view name) const {
    const auto found = m_index.find(m_key(name));
    if (found == m_index.end()) return std::nullopt;
    return found->second;
}

std::optional<std::uint64_t> ZipReader::declaredSize(std::uint64_t index) const {
    std::lock_guard lock(m_lock);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return std::nullopt;
    return stat.size;
}

std::optional<std::string> ZipReader::read(std::string_view name) const {
    const auto index = find(name);
    if (!index) return std::nullopt;
    return read(*index, name);
}

std::string ZipReader::read(std::uint64_t index, std::string_view partName) const {
    if (auto data = readDeflated(index)) return std::move(*data);
    std::lock_guard lock(m_lock);
    return readWithLibzip(index, partName);
}

std::optional<std::string> ZipReader::readDeflated(std::uint64_t index) const {
    zip_stat_t stat;
    std::string compressed;
    {
        std::lock_guard lock(m_lock);
        zip_stat_init(&stat);
        if (zip_stat_index(m_zip, index, 0, &stat) != 0) return std::nullopt;
        constexpr auto needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                                ZIP_STAT_ENCRYPTION_METHOD;
        if ((stat.valid & needed) != needed || stat.comp_method != ZIP_CM_DEFLATE ||
            stat.encryption_method != ZIP_EM_NONE || tooLarge(stat) || inflatesTooFar(stat))
            return std::nullopt;
        // Deflate never grows data by more than a few bytes per block: a larger claim is damage.
        if (stat.comp_size > stat.size + stat.size / 1000 + 1024) return std::nullopt;
        zip_file_t* file = zip_fopen_index(m_zip, index, ZIP_FL_COMPRESSED);
        if (!file) return std::nullopt;
        compressed.resize(stat.comp_size);
        std::size_t done = 0;
        while (done < compressed.size()) {
            const zip_int64_t n = zip_fread(file, compressed.data() + done, compressed.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        zip_fclose(file);
        if (done != compressed.size()) return std::nullopt;
    }
    return inflateExactly(compressed, stat.size, stat.crc);
}

std::string ZipReader::readWithLibzip(std::uint64_t index, std::string_view partName) const {
    auto fail = [&](const std::string& cause) -> void {
        m_place.withPart(std::string(partName)).fail(sheets::kCannotRead, cause);
    };
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, index, 0, &stat) != 0) fail(zipCause(zip_get_error(m_zip)));
    if (!(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE))
        fail("størrelsen på delen er ukjent");
    if (tooLarge(stat))
        fail("delen er urimelig stor (" + std::to_string(stat.size) +
             " byte utpakket); filen er skadet eller laget "
             "for å fylle minnet");
    if (inflatesTooFar(stat))
        fail("delen pakkes ut til urimelig mye (" + std::to_string(stat.size) + " byte fra " +
             std::to_string(stat.comp_size) + "); filen er skadet eller laget for å fylle minnet");

    zip_file_t* file = zip_fopen_index(m_zip, index, 0);
    if (!file) fail(zipCause(zip_get_error(m_zip)));
    struct FileRef {
        zip_file_t* file;
        ~FileRef() {
            if (file) zip_fclose(file);
        }
    } ref{file};

    std::string data;
    reserveLarge(data, stat.size);
    data.resize(stat.size);
    std::size_t done = 0;
    while (done < data.size()) {
        const zip_int64_t n = zip_fread(file, data.data() + done, data.size() - done);
        if (n < 0) fail(zipCause(zip_file_get_error(file)));
        if (n == 0) fail("delen er kortere enn zip-arkivet oppgir (skadet)");
        done += static_cast<std::size_t>(n);
    }
    // One byte more must hit the end: more data means the declared size lies, and reaching the end
    // is what makes libzip compare the checksum.
    char extra = 0;
    const zip_int64_t n = zip_fread(file, &extra, 1);
    if (n < 0) fail(zipCause(zip_file_get_error(file)));
    if (n > 0) fail("delen er lengre enn zip-arkivet oppgir (skadet)");
    const int closed = zip_fclose(std::exchange(ref.file, nullptr));
    if (closed != 0) fail(zipCause(closed));
    return data;
}

} // namespace containers
