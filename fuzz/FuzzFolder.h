#pragma once

#include <filesystem>

namespace fuzz {

// A folder of the fuzzer process's own for the input file, removed when the process exits.
const std::filesystem::path& workFolder();

} // namespace fuzz
