#include "containers/OleReader.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace containers {

namespace {

struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, Unref>;

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

} // namespace

struct OleReader::Handles {
    GObjectPtr<GsfInput> file;
    GObjectPtr<GsfInfile> ole;

    // Takes the reference to `input`, whatever happens.
    static std::unique_ptr<Handles> of(GsfInput* input) {
        GObjectPtr<GsfInput> file(input);
        if (!file) return nullptr;
        GError* error = nullptr;
        GObjectPtr<GsfInfile> ole(gsf_infile_msole_new(file.get(), &error));
        if (error) g_error_free(error);
        if (!ole) return nullptr;
        // Braces, not make_unique: clang 14 (the fuzz build) cannot build an aggregate from parentheses.
        return std::unique_ptr<Handles>(new Handles{std::move(file), std::move(ole)});
    }
};

OleReader::OleReader(std::unique_ptr<Handles> handles) : m_handles(std::move(handles)) {}
OleReader::~OleReader() = default;

std::unique_ptr<OleReader> OleReader::open(const std::filesystem::path& path) {
    initialiseOnce();
    GError* error = nullptr;
    GsfInput* file = gsf_input_stdio_new(path.c_str(), &error);
    if (error) g_error_free(error);
    auto handles = Handles::of(file);
    return handles ? std::unique_ptr<OleReader>(new OleReader(std::move(handles))) : nullptr;
}

std::unique_ptr<OleReader> OleReader::open(int fd) {
    initialiseOnce();
    const int own = ::dup(fd);
    if (own < 0) return nullptr;
    FILE* stream = ::fdopen(own, "rb");
    if (!stream) {
        ::close(own);
        return nullptr;
    }
    // From here libgsf closes the stream when the input goes, also when it refuses the file.
    GsfInput* file = gsf_input_stdio_new_FILE("ole", stream, FALSE);
    if (!file) {
        std::fclose(stream);
        return nullptr;
    }
    auto handles = Handles::of(file);
    return handles ? std::unique_ptr<OleReader>(new OleReader(std::move(handles))) : nullptr;
}

bool OleReader::hasStream(const char* name) const {
    return GObjectPtr<GsfInput>(gsf_infile_child_by_name(m_handles->ole.get(), name)) != nullptr;
}

std::optional<std::string> OleReader::readStream(const char* name) const {
    GObjectPtr<GsfInput> stream(gsf_infile_child_by_name(m_handles->ole.get(), name));
    // A storage of that name is no stream.
    if (!stream || (GSF_IS_INFILE(stream.get()) && gsf_infile_num_children(GSF_INFILE(stream.get())) >= 0))
        return std::nullopt;
    const auto size = gsf_input_size(stream.get());
    if (size < 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    constexpr std::size_t kChunk = 1 << 16;
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t n = std::min(kChunk, bytes.size() - done);
        if (!gsf_input_read(stream.get(), n, reinterpret_cast<guint8*>(bytes.data() + done)))
            return std::nullopt;
        done += n;
    }
    return bytes;
}

bool hasOleSignature(std::string_view head) {
    static constexpr std::array<unsigned char, 8> kSignature{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    return head.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), head.begin(),
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

const char* legacyWorkbookStream(const OleReader& ole) {
    for (const char* name : {"Workbook", "Book"})
        if (ole.hasStream(name)) return name;
    return nullptr;
}

CompoundContent contentOf(const OleReader& ole) {
    if (ole.hasStream("EncryptedPackage")) return CompoundContent::EncryptedWorkbook;
    return legacyWorkbookStream(ole) ? CompoundContent::LegacyWorkbook : CompoundContent::Other;
}

std::optional<std::string> codePageToUtf8(std::string_view bytes, int codePage) {
    initialiseOnce();
    GIConv converter = gsf_msole_iconv_open_for_import(codePage);
    if (converter == reinterpret_cast<GIConv>(-1)) return std::nullopt;
    gsize written = 0;
    gchar* text = g_convert_with_iconv(bytes.data(), static_cast<gssize>(bytes.size()), converter, nullptr,
                                       &written, nullptr);
    g_iconv_close(converter);
    if (!text) return std::nullopt;
    std::string result(text, written);
    g_free(text);
    return result;
}

} // namespace containers
