#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A committed fixture: tests/fixtures/<relative>.
std::filesystem::path fixture(std::string_view relative);
// A workbook saved by Excel, from the shared corpus beside the checkout. Tests that use it start
// with TULVERKAN_NEEDS_CORPUS() (support/Corpus.h).
std::filesystem::path corpus(std::string_view name);
// The folder of the corpus workbooks.
std::filesystem::path corpusFolder();
// Whether the corpus is there: a clone without it still passes, skipping what needs it.
bool haveCorpus();

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// The names of what a folder holds, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder);

// A fresh folder of the test's own, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }
    // Copies `source` into the folder as `name` (default: its own file name); returns the copy.
    std::filesystem::path copy(const std::filesystem::path& source, std::string_view name = {}) const;

private:
    std::filesystem::path m_path;
};

} // namespace testsupport
