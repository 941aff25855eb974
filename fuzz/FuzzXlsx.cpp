// libFuzzer target: hostile .xlsx packages through the engine's public contract.

#include "XlsxHarness.h"
#include "ZipMutator.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// One folder per fuzzer process, removed at exit. Never destroyed, so the exit handler can use it.
const std::filesystem::path& workFolder() {
    static const auto* folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-xlsx-XXXXXX").string();
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::exerciseXlsx(data, size, workFolder());
    return 0;
}

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    // One in four mutations works on the raw bytes, so the zip layer itself is fuzzed as well.
    if (seed % 4 != 0) {
        if (std::size_t mutated = fuzz::mutateEntry(data, size, maxSize, seed / 4)) return mutated;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
