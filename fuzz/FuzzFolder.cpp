#include "FuzzFolder.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace fuzz {

// Never destroyed, so that the exit handler can still use it.
const std::filesystem::path& workFolder() {
    static const auto* folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        auto* made = new std::filesystem::path(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(workFolder(), ignored);
        });
        return made;
    }();
    return *folder;
}

} // namespace fuzz
