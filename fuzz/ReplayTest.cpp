// Every input the fuzzer once broke the engine with, run again through the same harness. A
// regression crashes or aborts the test binary; a clean pass is the assertion.

#include "WorkbookHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// One regression input: the fuzz target it came from and the file.
struct Input {
    std::string target;
    std::filesystem::path file;
};

std::vector<Input> inputs() {
    std::vector<Input> found;
    for (const char* target : {"xlsx", "xls", "ods"}) {
        const auto folder = std::filesystem::path(TULVERKAN_FUZZ_REGRESSIONS) / target;
        if (!std::filesystem::is_directory(folder)) continue;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (auto& file : files)
            found.push_back({target, std::move(file)});
    }
    return found;
}

void PrintTo(const Input& input, std::ostream* out) {
    *out << input.file;
}

class Regression : public testing::TestWithParam<Input> {};

TEST_P(Regression, PassesTheHarness) {
    const auto& input = GetParam();
    std::ifstream in(input.file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(in.bad()) << input.file;
    std::string pattern = (std::filesystem::temp_directory_path() / "replay-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (input.target == "xlsx")
        fuzz::exerciseXlsx(data, bytes.size(), pattern);
    else
        fuzz::exerciseOrder(data, bytes.size(), pattern, input.target == "xls" ? ".xls" : ".ods");
    EXPECT_TRUE(std::filesystem::is_empty(pattern));
    std::filesystem::remove_all(pattern);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Regression, testing::ValuesIn(inputs()),
                         [](const testing::TestParamInfo<Input>& info) {
                             std::string name = info.param.target + "_" + info.param.file.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Regression);

} // namespace
