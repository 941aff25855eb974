#include "support/ZipEntries.h"

#include <stdexcept>
#include <zip.h>

namespace testsupport {

namespace {

struct Archive {
    explicit Archive(const std::filesystem::path& path) {
        int error = 0;
        handle = zip_open(path.c_str(), ZIP_RDONLY, &error);
        if (!handle) throw std::runtime_error("not a zip: " + path.string());
    }
    ~Archive() { zip_discard(handle); }
    zip_t* handle;
};

} // namespace

std::vector<std::string> zipEntryNames(const std::filesystem::path& zipFile) {
    Archive archive(zipFile);
    std::vector<std::string> names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive.handle, 0); ++i)
        names.emplace_back(zip_get_name(archive.handle, static_cast<zip_uint64_t>(i), 0));
    return names;
}

std::optional<std::string> zipEntry(const std::filesystem::path& zipFile, const std::string& name) {
    Archive archive(zipFile);
    zip_stat_t st;
    if (zip_stat(archive.handle, name.c_str(), 0, &st) != 0) return std::nullopt;
    std::string bytes(st.size, '\0');
    zip_file_t* file = zip_fopen(archive.handle, name.c_str(), 0);
    if (!file) throw std::runtime_error("cannot read entry " + name);
    auto read = zip_fread(file, bytes.data(), bytes.size());
    zip_fclose(file);
    if (read != static_cast<zip_int64_t>(bytes.size())) throw std::runtime_error("short entry " + name);
    return bytes;
}

std::vector<ZipEntry> zipEntries(const std::filesystem::path& zipFile) {
    std::vector<ZipEntry> entries;
    for (const auto& name : zipEntryNames(zipFile))
        entries.push_back({name, zipEntry(zipFile, name).value()});
    return entries;
}

void writeZip(const std::filesystem::path& zipFile, const std::vector<ZipEntry>& entries) {
    int error = 0;
    zip_t* archive = zip_open(zipFile.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) throw std::runtime_error("cannot create " + zipFile.string());
    for (const auto& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive, entry.data.data(), entry.data.size(), 0);
        if (!source || zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            throw std::runtime_error("cannot add " + entry.name + " to " + zipFile.string());
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        throw std::runtime_error("cannot write " + zipFile.string());
    }
}

} // namespace testsupport
