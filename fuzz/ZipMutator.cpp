#include "ZipMutator.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace fuzz {

namespace {

struct Entry {
    std::string name;
    std::string data;
};

bool unpack(const std::uint8_t* data, std::size_t size, std::vector<Entry>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
    if (!source) return false;
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        zip_source_free(source);
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    bool ok = count > 0 && count < 512;
    for (zip_int64_t i = 0; ok && i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_SIZE) || stat.size > (1u << 20)) {
            ok = false;
            break;
        }
        Entry entry{stat.name ? stat.name : "", std::string(stat.size, '\0')};
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        ok = file && zip_fread(file, entry.data.data(), entry.data.size()) ==
                         static_cast<zip_int64_t>(entry.data.size());
        if (file) zip_fclose(file);
        entries.push_back(std::move(entry));
    }
    zip_discard(archive);
    return ok;
}

bool pack(const std::vector<Entry>& entries, std::string& out) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer) return false;
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    bool ok = archive != nullptr;
    for (const auto& entry : entries) {
        if (!ok) break;
        zip_source_t* source = zip_source_buffer(archive, entry.data.data(), entry.data.size(), 0);
        zip_int64_t index = source ? zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_GUESS) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            ok = false;
        } else {
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
        }
    }
    if (archive && (!ok || zip_close(archive) != 0)) {
        zip_discard(archive);
        ok = false;
    }
    if (ok && zip_source_open(buffer) == 0) {
        char chunk[65536];
        zip_int64_t n;
        while ((n = zip_source_read(buffer, chunk, sizeof chunk)) > 0)
            out.append(chunk, static_cast<std::size_t>(n));
        ok = n == 0;
        zip_source_close(buffer);
    } else {
        ok = false;
    }
    zip_source_free(buffer);
    return ok;
}

} // namespace

std::size_t mutateEntry(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    std::vector<Entry> entries;
    if (!unpack(data, size, entries)) return 0;
    std::minstd_rand random(seed);
    // The parts readers work on (sheets, workbook, shared strings; an OpenDocument's content and
    // styles) get most mutations.
    std::vector<std::size_t> likely;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& name = entries[i].name;
        if ((name.find("xl/") == 0 && name.find("theme") == std::string::npos) || name == "content.xml" ||
            name == "styles.xml" || name == "mimetype")
            likely.push_back(i);
    }
    const auto& pool = likely.empty() || random() % 4 == 0 ? std::vector<std::size_t>() : likely;
    const std::size_t pick = pool.empty() ? random() % entries.size() : pool[random() % pool.size()];
    auto& entry = entries[pick];

    switch (random() % 16) {
    case 0: { // rename
        std::string name = entry.name;
        name.resize(std::max<std::size_t>(name.size(), 1) + 16);
        name.resize(
            LLVMFuzzerMutate(reinterpret_cast<std::uint8_t*>(name.data()), entry.name.size(), name.size()));
        if (name.empty() || name.find('\0') != std::string::npos) return 0;
        entry.name = std::move(name);
        break;
    }
    case 1: // drop an entry
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(pick));
        if (entries.empty()) return 0;
        break;
    case 2: // duplicate one
        entries.push_back(entry);
        break;
    default: {
        std::string& bytes = entry.data;
        const std::size_t original = bytes.size();
        bytes.resize(original + 4096);
        bytes.resize(LLVMFuzzerMutate(reinterpret_cast<std::uint8_t*>(bytes.data()), original, bytes.size()));
        break;
    }
    }

    std::string packed;
    if (!pack(entries, packed) || packed.size() > maxSize) return 0;
    std::memcpy(data, packed.data(), packed.size());
    return packed.size();
}

std::size_t mutatePackage(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    if (seed % 4 != 0) {
        if (std::size_t mutated = mutateEntry(data, size, maxSize, seed / 4)) return mutated;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

} // namespace fuzz
