#include "support/TestPaths.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::filesystem::path fixture(std::string_view relative) {
    return std::filesystem::path(TULVERKAN_FIXTURES) / relative;
}

std::filesystem::path corpusFolder() {
    return std::filesystem::path(TULVERKAN_CORPUS) / "excel2007";
}

std::filesystem::path corpus(std::string_view name) {
    return corpusFolder() / name;
}

bool haveCorpus() {
    std::error_code error;
    return std::filesystem::is_directory(corpusFolder(), error);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tulverkan-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may have made files read-only or folders unwritable; give them back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path TempDir::copy(const std::filesystem::path& source, std::string_view name) const {
    auto target = m_path / (name.empty() ? source.filename() : std::filesystem::path(name));
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

} // namespace testsupport
