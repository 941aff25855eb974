#include "OleFile.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-utils.h>

#include <mutex>
#include <utility>

namespace orders {

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

struct OleFile::Handles {
    GObjectPtr<GsfInput> file;
    GObjectPtr<GsfInfile> ole;
};

OleFile::OleFile(std::unique_ptr<Handles> handles) : m_handles(std::move(handles)) {}
OleFile::~OleFile() = default;

std::unique_ptr<OleFile> OleFile::open(const std::filesystem::path& path) {
    initialiseOnce();
    GError* error = nullptr;
    GObjectPtr<GsfInput> file(gsf_input_stdio_new(path.c_str(), &error));
    if (error) g_error_free(std::exchange(error, nullptr));
    if (!file) return nullptr;
    GObjectPtr<GsfInfile> ole(gsf_infile_msole_new(file.get(), &error));
    if (error) g_error_free(error);
    if (!ole) return nullptr;
    // Braces, not make_unique: clang 14 (the fuzz build) cannot build an aggregate from parentheses.
    return std::unique_ptr<OleFile>(
        new OleFile(std::unique_ptr<Handles>(new Handles{std::move(file), std::move(ole)})));
}

bool OleFile::hasStream(const char* name) const {
    return GObjectPtr<GsfInput>(gsf_infile_child_by_name(m_handles->ole.get(), name)) != nullptr;
}

std::optional<std::string> OleFile::readStream(const char* name) const {
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

} // namespace orders
