#include "package/SaveLeftovers.h"

#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

namespace xlsx {

namespace {

constexpr std::size_t kRandomPart = 6; // mkostemp's XXXXXX

bool isTemporaryOf(std::string_view name, std::string_view workbookName) {
    const std::string_view start = name.substr(0, 1 + workbookName.size());
    if (start.size() != 1 + workbookName.size() || start[0] != '.' || start.substr(1) != workbookName)
        return false;
    std::string_view rest = name.substr(start.size());
    if (rest.starts_with(kSavingMark))
        rest.remove_prefix(kSavingMark.size());
    else if (rest.starts_with(kLockingMark))
        rest.remove_prefix(kLockingMark.size());
    else
        return false;
    if (rest.size() != kRandomPart) return false;
    for (char c : rest)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

std::string temporaryPattern(const std::filesystem::path& workbook, std::string_view mark) {
    // Appended, not "." + name: GCC 12 at -O2 and above reports a false overlap (-Wrestrict) there.
    return (workbook.parent_path() /
            std::string(".").append(workbook.filename().string()).append(mark).append(kRandomPart, 'X'))
        .string();
}

int removeSaveLeftovers(const std::filesystem::path& workbook) {
    const auto folder = workbook.parent_path().empty() ? std::filesystem::path(".") : workbook.parent_path();
    const std::string workbookName = workbook.filename().string();
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator entries(folder, error), end; !error && entries != end;
         entries.increment(error)) {
        const auto& path = entries->path();
        if (!isTemporaryOf(path.filename().string(), workbookName)) continue;
        // Never through a link: only the plain file by that name is ours.
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

} // namespace xlsx
