#include "package/Package.h"

#include "containers/Causes.h"
#include "containers/RawInflate.h"
#include "package/AtomicFile.h"
#include "package/FileSniff.h"
#include "package/LockFiles.h"
#include "package/ParallelDeflate.h"
#include "package/PartName.h"
#include "sheets/FileDescriptor.h"
#include "xml/Place.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace xlsx {

namespace {

using containers::systemCause;
using containers::zipCause;

bool isFolder(std::string_view name) {
    return !name.empty() && name.back() == '/';
}

[[noreturn]] void failOpen(const std::filesystem::path& path, const std::string& cause) {
    Place{path}.fail(kCannotOpen, cause);
}

[[noreturn]] void failSave(const std::filesystem::path& path, const std::string& cause) {
    Place{path}.fail(kCannotSave, cause);
}

using sheets::FileDescriptor;

// Checks the file before libzip sees it, so that the user learns what the file is when it is not
// a workbook package, then opens it from the same descriptor (no second lookup of the path).
std::unique_ptr<containers::ZipReader> openArchive(const std::filesystem::path& path) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) failOpen(path, "filen finnes ikke");
    if (error) failOpen(path, systemCause(error.value()));
    if (status.type() == std::filesystem::file_type::directory)
        failOpen(path, "det er en mappe, ikke en fil");
    if (status.type() != std::filesystem::file_type::regular) failOpen(path, "det er ikke en vanlig fil");

    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) failOpen(path, systemCause(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) failOpen(path, systemCause(errno));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size == 0) failOpen(path, "filen er tom");

    const FileKind kind = sniffFile(fd.get(), size);
    switch (kind) {
    case FileKind::EncryptedWorkbook:
        failOpen(path, "arbeidsboken er beskyttet med passord; fjern passordet i regnearkprogrammet "
                       "og lagre den på nytt");
    case FileKind::LegacyWorkbook:
        failOpen(path, "arbeidsboken er i det eldre .xls-formatet; åpne den i regnearkprogrammet og "
                       "lagre den som .xlsx");
    case FileKind::OtherCompoundFile:
        failOpen(path, "filen er et OLE-dokument uten arbeidsbok (for eksempel et tekstdokument), ikke en "
                       ".xlsx-arbeidsbok");
    case FileKind::DamagedCompoundFile:
        failOpen(path, "filen er en skadet OLE-fil, ikke en .xlsx-arbeidsbok");
    case FileKind::Zip:
    case FileKind::Other:
        break;
    }

    int code = 0;
    auto archive = containers::ZipReader::open(fd.release(), Place{path}, partKey, code);
    if (!archive) {
        if (kind != FileKind::Zip) failOpen(path, "filen er ikke en .xlsx-arbeidsbok (ikke et zip-arkiv)");
        failOpen(path,
                 code == ZIP_ER_NOZIP ? "zip-arkivet er skadet (innholdslisten mangler)" : zipCause(code));
    }
    return archive;
}

struct SourceRef {
    zip_source_t* source;
    ~SourceRef() { zip_source_free(source); }
};

struct ArchiveRef {
    zip_t* archive;
    ~ArchiveRef() {
        if (archive) zip_discard(archive);
    }
};

} // namespace

Package::Package(std::filesystem::path path) : m_path(std::move(path)), m_reader(openArchive(m_path)) {}

Package::~Package() = default;

std::optional<std::uint64_t> Package::original(const std::string& key) const {
    if (m_removed.count(key)) return std::nullopt;
    return m_reader->find(key);
}

bool Package::contains(std::string_view name) const {
    const auto k = partKey(name);
    if (isFolder(k)) return false;
    return m_written.count(k) || m_deflated.count(k) || original(k);
}

std::vector<std::string> Package::partNames() const {
    std::vector<std::string> names;
    const auto& entries = m_reader->names();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto k = partKey(entries[i]);
        if (!isFolder(k) && original(k) == i) names.push_back(entries[i]);
    }
    for (const auto& k : m_added)
        names.push_back(m_names.at(k));
    return names;
}

std::string Package::read(std::string_view name) const {
    const auto k = partKey(name);
    if (auto written = m_written.find(k); written != m_written.end()) return written->second;
    if (auto deflated = m_deflated.find(k); deflated != m_deflated.end()) {
        const DeflatedPart& part = deflated->second;
        auto data = containers::inflateExactly(part.data, part.size, part.crc);
        if (!data)
            Place{m_path}.withPart(std::string(name)).fail(kCannotRead, "delen kan ikke pakkes ut igjen");
        return std::move(*data);
    }
    const auto index = isFolder(k) ? std::nullopt : original(k);
    if (!index) Place{m_path}.withPart(std::string(name)).fail(kCannotRead, "delen finnes ikke");
    return m_reader->read(*index, name);
}

std::string Package::readAsOpened(std::string_view name) const {
    const auto k = partKey(name);
    const auto index = isFolder(k) ? std::nullopt : m_reader->find(k);
    if (!index) Place{m_path}.withPart(std::string(name)).fail(kCannotRead, "delen finnes ikke");
    return m_reader->read(*index, name);
}

std::string Package::noteWrite(std::string_view name) {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    auto k = partKey(name);
    if (!m_reader->find(k) && !m_written.count(k) && !m_deflated.count(k)) {
        m_names[k] = std::string(name);
        m_added.push_back(k);
    }
    m_removed.erase(k);
    m_written.erase(k);
    m_deflated.erase(k);
    return k;
}

void Package::write(std::string_view name, std::string data) {
    m_written[noteWrite(name)] = std::move(data);
}

void Package::writeDeflated(std::string_view name, DeflatedPart part) {
    m_deflated[noteWrite(name)] = std::move(part);
}

void Package::remove(std::string_view name) {
    const auto k = partKey(name);
    m_written.erase(k);
    m_deflated.erase(k);
    if (m_names.erase(k)) m_added.erase(std::find(m_added.begin(), m_added.end(), k));
    if (m_reader->find(k)) m_removed.insert(k);
}

void Package::discardChanges() {
    m_written.clear();
    m_deflated.clear();
    m_names.clear();
    m_added.clear();
    m_removed.clear();
}

namespace {

// A libzip source serving data that is already deflated: its stat names the method, sizes and CRC,
// so libzip writes the bytes as they are instead of compressing them again.
struct Precompressed {
    DeflatedPart owned;
    const DeflatedPart* part = &owned; // or a part the package keeps until the archive is closed
    std::size_t offset = 0;
    std::time_t mtime = std::time(nullptr);
    zip_error_t error{};
};

zip_int64_t precompressedCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<Precompressed*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->offset = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const std::size_t n = std::min<std::size_t>(length, source->part->data.size() - source->offset);
        std::memcpy(data, source->part->data.data() + source->offset, n);
        source->offset += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                      ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
        stat->size = source->part->size;
        stat->comp_size = source->part->data.size();
        stat->comp_method = ZIP_CM_DEFLATE;
        stat->crc = source->part->crc;
        stat->mtime = source->mtime;
        stat->encryption_method = ZIP_EM_NONE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&source->error, ZIP_ER_INVAL, 0);
        return -1;
    }
}

zip_source_t* precompressedSource(zip* archive, Precompressed* state) {
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function(archive, precompressedCallback, state);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

zip_source_t* precompressedSource(zip* archive, DeflatedPart part) {
    return precompressedSource(archive, new Precompressed{std::move(part)});
}

zip_source_t* keptPrecompressedSource(zip* archive, const DeflatedPart& kept) {
    auto* state = new Precompressed{};
    state->part = &kept;
    return precompressedSource(archive, state);
}

} // namespace

void Package::buildArchive(zip* out) const {
    zip* const in = m_reader->archive();
    const auto& entries = m_reader->names();
    auto fail = [&](const std::string& cause) -> void { failSave(m_path, cause); };
    // The sheets written, which dominate the save, are deflated on every core beforehand and handed
    // over as they are.
    std::vector<std::string_view> large;
    for (const auto& [key, data] : m_written)
        if (data.size() >= kParallelDeflateFrom) large.push_back(data);
    auto deflated = deflateParts(large, kPartDeflateLevel);
    // A part written deflated already goes in as it is.
    auto addWritten = [&](const std::string& name, const std::string& key) -> zip_int64_t {
        zip_source_t* source = nullptr;
        bool deflatedHere = true; // libzip must not compress it again
        if (auto kept = m_deflated.find(key); kept != m_deflated.end()) {
            source = keptPrecompressedSource(out, kept->second);
        } else if (const std::string& data = m_written.at(key); data.size() >= kParallelDeflateFrom) {
            auto at = std::find_if(large.begin(), large.end(),
                                   [&](std::string_view part) { return part.data() == data.data(); });
            auto& part = deflated[static_cast<std::size_t>(at - large.begin())];
            if (!part) fail("komprimeringen feilet (zlib)");
            source = precompressedSource(out, std::move(*part));
        } else {
            source = zip_source_buffer(out, data.data(), data.size(), 0);
            deflatedHere = false;
        }
        if (!source) fail(zipCause(zip_get_error(out)));
        const zip_int64_t added = zip_file_add(out, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (added < 0) {
            zip_source_free(source);
            fail(zipCause(zip_get_error(out)));
        }
        if (!deflatedHere && zip_set_file_compression(out, static_cast<zip_uint64_t>(added), ZIP_CM_DEFLATE,
                                                      kPartDeflateLevel) != 0)
            fail(zipCause(zip_get_error(out)));
        return added;
    };

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto k = partKey(entries[i]);
        // Names are looked up case-insensitively, so only the first of entries whose names differ
        // in case alone is ever read, written or removed; the others are copied as they are.
        const bool first = m_reader->find(k) == i;
        if (first && m_removed.count(k)) continue;
        const zip_uint64_t from = i;
        zip_int64_t added = 0;
        if (first && (m_written.count(k) || m_deflated.count(k))) {
            added = addWritten(entries[i], k);
        } else {
            // start 0 and length -1: the compressed bytes are copied as they are, not recompressed.
            zip_source_t* source = zip_source_zip(out, in, from, 0, 0, -1);
            if (!source) fail(zipCause(zip_get_error(out)));
            const char* raw = zip_get_name(in, from, ZIP_FL_ENC_RAW);
            // A name that is not plain UTF-8 goes back as the bytes it was stored with.
            const bool asStored = raw && entries[i] != raw;
            added = zip_file_add(out, asStored ? raw : entries[i].c_str(), source,
                                 asStored ? ZIP_FL_ENC_CP437 : ZIP_FL_ENC_GUESS);
            if (added < 0) {
                zip_source_free(source);
                fail(zipCause(zip_get_error(out)));
            }
            // libzip would deflate a stored entry (pictures often are) unless told to keep it stored.
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(in, from, 0, &stat) != 0) fail(zipCause(zip_get_error(in)));
            if ((stat.valid & ZIP_STAT_COMP_METHOD) && stat.comp_method == ZIP_CM_STORE &&
                zip_set_file_compression(out, static_cast<zip_uint64_t>(added), ZIP_CM_STORE, 0) != 0)
                fail(zipCause(zip_get_error(out)));
            for (zip_flags_t where : {ZIP_FL_LOCAL, ZIP_FL_CENTRAL}) {
                const zip_int16_t fields = zip_file_extra_fields_count(in, from, where);
                for (zip_int16_t f = 0; f < fields; ++f) {
                    zip_uint16_t id = 0;
                    zip_uint16_t length = 0;
                    const zip_uint8_t* data =
                        zip_file_extra_field_get(in, from, static_cast<zip_uint16_t>(f), &id, &length, where);
                    if (!data || id == 0x0001 || id == 0x6375 || id == 0x7075)
                        continue; // libzip writes these
                    if (zip_file_extra_field_set(out, static_cast<zip_uint64_t>(added), id,
                                                 ZIP_EXTRA_FIELD_NEW, data, length, where) != 0)
                        fail(zipCause(zip_get_error(out)));
                }
            }
        }
        const auto to = static_cast<zip_uint64_t>(added);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(in, from, 0, &system, &attributes) == 0 &&
            zip_file_set_external_attributes(out, to, 0, system, attributes) != 0)
            fail(zipCause(zip_get_error(out)));
        zip_uint32_t commentLength = 0;
        const char* comment = zip_file_get_comment(in, from, &commentLength, ZIP_FL_ENC_RAW);
        if (comment && commentLength > 0 &&
            zip_file_set_comment(out, to, comment, static_cast<zip_uint16_t>(commentLength), 0) != 0)
            fail(zipCause(zip_get_error(out)));
    }
    for (const auto& k : m_added)
        addWritten(m_names.at(k), k);

    int commentLength = 0;
    const char* comment = zip_get_archive_comment(in, &commentLength, ZIP_FL_ENC_RAW);
    if (comment && commentLength > 0 &&
        zip_set_archive_comment(out, comment, static_cast<zip_uint16_t>(commentLength)) != 0)
        fail(zipCause(zip_get_error(out)));
}

void Package::save(const std::function<void()>& beforeReplace) {
    refuseIfLocked(m_path);
    if (!changed()) return;
    if (partNames().empty()) failSave(m_path, "pakken ville bli tom");

    AtomicFile file(m_path, Place{m_path});

    // The new package is assembled in memory (it is compressed, so a fraction of the sheet data),
    // then written to the temporary with plain system calls whose errors we can name.
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &zipError);
    if (!buffer) failSave(m_path, zipCause(&zipError));
    SourceRef bufferRef{buffer};
    zip_source_keep(buffer); // the archive drops one reference when it is closed
    ArchiveRef out{zip_open_from_source(buffer, ZIP_TRUNCATE, &zipError)};
    if (!out.archive) {
        zip_source_free(buffer);
        failSave(m_path, zipCause(&zipError));
    }
    buildArchive(out.archive);
    if (zip_close(out.archive) != 0) failSave(m_path, zipCause(zip_get_error(out.archive)));
    out.archive = nullptr;

    file.begin();
    if (zip_source_open(buffer) != 0) failSave(m_path, zipCause(zip_source_error(buffer)));
    std::vector<char> chunk(std::size_t{1} << 20);
    for (;;) {
        const zip_int64_t n = zip_source_read(buffer, chunk.data(), chunk.size());
        if (n < 0) {
            zip_source_close(buffer);
            failSave(m_path, zipCause(zip_source_error(buffer)));
        }
        if (n == 0) break;
        file.write(chunk.data(), static_cast<std::size_t>(n));
    }
    zip_source_close(buffer);
    file.commit(beforeReplace);

    m_reader = openArchive(m_path);
    discardChanges();
}

} // namespace xlsx
