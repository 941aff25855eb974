#include "frontend/DefaultDir.h"

#include "sheets/Error.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace frontend {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr std::string_view kDelimiters = "\\:";
#else
constexpr std::string_view kDelimiters = "\\:/";
#endif

// The one platform-specific bit: where the running executable lives.
std::string executablePath() {
    std::error_code ec;
    auto path = fs::read_symlink("/proc/self/exe", ec);
    if (ec) throw sheets::Error("Kan ikke finne programfilen «/proc/self/exe»: " + ec.message());
    return path.string();
}

// HOME first, as the shell and every desktop program take it; the password database where a service
// or a scheduled job runs without it.
std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return found->pw_dir;
    throw sheets::Error("Finner ikke hjemmemappen din: HOME er ikke satt, og brukeren står ikke i "
                        "brukerdatabasen");
}

void dropSuffix(std::string& folder, std::string_view suffix) {
    if (folder.size() >= suffix.size() &&
        std::string_view(folder).substr(folder.size() - suffix.size()) == suffix)
        folder.resize(folder.size() - suffix.size());
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

} // namespace

std::string programFolderOf(std::string_view executablePath) {
    auto last = executablePath.find_last_of(kDelimiters);
    std::string folder(last == std::string_view::npos ? std::string_view()
                                                      : executablePath.substr(0, last + 1));
    dropSuffix(folder, "Win32\\Debug\\");
    dropSuffix(folder, "Win64\\Debug\\");
    return folder;
}

bool isInstalledFolder(const fs::path& programFolder, const fs::path& installedBinFolder) {
    if (programFolder.empty()) return false;
    if (!installedBinFolder.empty() && sameFolder(programFolder, installedBinFolder)) return true;
    // Installed by hand into a system prefix other than the one the build was configured for.
    const fs::path folder = programFolder.lexically_normal();
    const fs::path name = folder.has_filename() ? folder.filename() : folder.parent_path().filename();
    std::error_code ec;
    return folder.string().starts_with("/usr/") && name == "bin" && !fs::is_directory(folder / "Data", ec);
}

std::string userFolderOf(std::string_view home) {
    while (!home.empty() && home.back() == '/')
        home.remove_suffix(1);
    return std::string(home) + "/Tulverkan/";
}

std::string DefaultDir() {
    const std::string folder = programFolderOf(executablePath());
    // The home folder is asked for only here: a program that keeps its own folder needs none.
    if (!isInstalledFolder(folder, TULVERKAN_INSTALLED_BINDIR)) return folder;
    return userFolderOf(homeFolder());
}

std::string defaultInventoryPath(std::string_view defaultDir) {
    std::string path(defaultDir);
    path += "Data";
    path += static_cast<char>(fs::path::preferred_separator);
    path += "Tulverkan.xlsx";
    return path;
}

} // namespace frontend
