#include "sheets/DefaultDir.h"

#include "sheets/Error.h"

#include <filesystem>
#include <system_error>

namespace sheets {

namespace {

#ifdef _WIN32
constexpr std::string_view kDelimiters = "\\:";
#else
constexpr std::string_view kDelimiters = "\\:/";
#endif

// The one platform-specific bit: where the running executable lives.
std::string executablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw Error("Kan ikke finne programfilen «/proc/self/exe»: " + ec.message());
    return path.string();
}

void dropSuffix(std::string& folder, std::string_view suffix) {
    if (folder.size() >= suffix.size() &&
        std::string_view(folder).substr(folder.size() - suffix.size()) == suffix)
        folder.resize(folder.size() - suffix.size());
}

} // namespace

std::string defaultDirOf(std::string_view executablePath) {
    auto last = executablePath.find_last_of(kDelimiters);
    std::string folder(last == std::string_view::npos ? std::string_view()
                                                      : executablePath.substr(0, last + 1));
    dropSuffix(folder, "Win32\\Debug\\");
    dropSuffix(folder, "Win64\\Debug\\");
    return folder;
}

std::string DefaultDir() {
    return defaultDirOf(executablePath());
}

std::string defaultInventoryPath(std::string_view defaultDir) {
    std::string path(defaultDir);
    path += "Data";
    path += static_cast<char>(std::filesystem::path::preferred_separator);
    path += "Tulverkan.xlsx";
    return path;
}

} // namespace sheets
