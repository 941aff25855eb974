#include "ZipArchive.h"

#include "ReadOnlyWorkbook.h"
#include "sheets/Error.h"

#include <zip.h>

#include <algorithm>

namespace orders {

ZipArchive::ZipArchive(const std::filesystem::path& path, const char* formatName)
    : m_path(path), m_formatName(formatName) {
    int code = 0;
    m_zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!m_zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        std::string cause = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw sheets::Error("Kan ikke lese " + std::string(formatName) + "-arbeidsboken " + quoted(path) +
                            ": zip-arkivet kan ikke åpnes (" + cause + ")");
    }
}

ZipArchive::~ZipArchive() {
    if (m_zip) zip_discard(m_zip);
}

std::optional<std::string> ZipArchive::read(const char* name, std::size_t limit) const {
    zip_int64_t index = zip_name_locate(m_zip, name, 0);
    if (index < 0) return std::nullopt;
    auto fail = [&](const std::string& cause) {
        throw sheets::Error("Kan ikke lese " + std::string(m_formatName) + "-arbeidsboken " + quoted(m_path) +
                            ": " + name + " " + cause);
    };
    zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
    if (!file) fail(std::string("kan ikke leses (") + zip_strerror(m_zip) + ")");
    std::string text;
    zip_stat_t stat;
    // The declared size spares the string its doublings; it is not trusted beyond that.
    if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_SIZE))
        text.reserve(static_cast<std::size_t>(std::min<zip_uint64_t>(stat.size, limit)));
    char buffer[1 << 16];
    zip_int64_t n;
    // Read to the end rather than trusting the declared size, which a damaged archive may understate.
    while ((n = zip_fread(file, buffer, sizeof buffer)) > 0) {
        if (text.size() + static_cast<std::size_t>(n) > limit) {
            zip_fclose(file);
            fail("er for stor");
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const bool damaged = n < 0;
    std::string cause = damaged ? zip_file_strerror(file) : "";
    zip_fclose(file);
    if (damaged) fail("er skadet (" + cause + ")");
    return text;
}

bool ZipArchive::isEncrypted() const {
    auto manifest = read("META-INF/manifest.xml");
    return manifest && manifest->find(":encryption-data") != std::string::npos;
}

std::optional<std::string> zipMimeType(const std::filesystem::path& path) {
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) return std::nullopt;
    std::optional<std::string> type;
    if (zip_file_t* file = zip_fopen(archive, "mimetype", 0)) {
        char buffer[128];
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n > 0) type.emplace(buffer, static_cast<std::size_t>(n));
        zip_fclose(file);
    }
    zip_discard(archive);
    return type;
}

} // namespace orders
