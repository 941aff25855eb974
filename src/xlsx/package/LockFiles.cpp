#include "package/LockFiles.h"

#include "sheets/Error.h"
#include "xml/Place.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace xlsx {

namespace {

constexpr std::string_view kOurUrl = "tulverkan:pid=";

std::string loginName() {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    if (const char* user = std::getenv("USER")) return user;
    return std::to_string(::geteuid());
}

std::string now() {
    const std::time_t time = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
    return text;
}

void appendEscaped(std::string& out, std::string_view field) {
    for (char c : field) {
        if (c == ',' || c == ';' || c == '\\') out += '\\';
        out += c;
    }
}

std::mutex heldMutex;
std::set<std::pair<dev_t, ino_t>> heldLocks;

} // namespace

std::filesystem::path excelOwnerFile(const std::filesystem::path& workbook) {
    return workbook.parent_path() / ("~$" + workbook.filename().string());
}

std::filesystem::path libreOfficeLockFile(const std::filesystem::path& workbook) {
    return workbook.parent_path() / (".~lock." + workbook.filename().string() + "#");
}

LockEntry LockEntry::ofThisProcess() {
    const std::string user = loginName();
    return {"Tulverkan (" + user + ")", user, thisHost(), now(),
            std::string(kOurUrl) + std::to_string(::getpid())};
}

std::optional<LockEntry> LockEntry::parse(std::string_view text) {
    std::vector<std::string> fields(1);
    bool ended = false;
    for (std::size_t i = 0; i < text.size() && !ended; ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size())
            fields.back() += text[++i];
        else if (c == ',')
            fields.emplace_back();
        else if (c == ';')
            ended = true;
        else
            fields.back() += c;
    }
    if (!ended || fields.size() != 5) return std::nullopt;
    return LockEntry{fields[0], fields[1], fields[2], fields[3], fields[4]};
}

std::string LockEntry::serialize() const {
    std::string out;
    for (const std::string* field : {&name, &login, &host, &since, &profileUrl}) {
        if (field != &name) out += ',';
        appendEscaped(out, *field);
    }
    out += ';';
    return out;
}

std::optional<pid_t> LockEntry::runProcess() const {
    if (!profileUrl.starts_with(kOurUrl)) return std::nullopt;
    const std::string_view digits = std::string_view(profileUrl).substr(kOurUrl.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) return std::nullopt;
    return pid;
}

std::string thisHost() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

std::string openElsewhere(std::string_view lockFileName) {
    return "arbeidsboken er åpen i et annet program (låsefilen " + inQuotes(lockFileName) +
           " finnes); lukk den der først og prøv igjen";
}

void refuseIfLocked(const std::filesystem::path& path) {
    const auto excel = excelOwnerFile(path);
    const auto libreOffice = libreOfficeLockFile(path);
    for (const auto& lock : {excel, libreOffice}) {
        std::error_code error; // a folder we cannot list has no lock we could see; the save fails later
        if (!std::filesystem::exists(lock, error)) continue;
        if (lock == libreOffice && heldHere(lock)) continue;
        throw sheets::LockedError(Place{path}.message(kCannotSave, openElsewhere(lock.filename().string())));
    }
}

void noteHeldHere(dev_t device, ino_t inode) {
    std::lock_guard guard(heldMutex);
    heldLocks.emplace(device, inode);
}

void noteReleasedHere(dev_t device, ino_t inode) {
    std::lock_guard guard(heldMutex);
    heldLocks.erase({device, inode});
}

bool heldHere(const std::filesystem::path& lockFile) {
    struct stat info {};
    if (::lstat(lockFile.c_str(), &info) != 0) return false;
    std::lock_guard guard(heldMutex);
    return heldLocks.count({info.st_dev, info.st_ino}) > 0;
}

} // namespace xlsx
