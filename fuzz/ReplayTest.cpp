// Every input the fuzzer once broke the engine with, run again through the same harness. A
// regression crashes or aborts the test binary; a clean pass is the assertion.

#include "XlsxHarness.h"

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

std::vector<std::filesystem::path> inputs(const char* target) {
    std::vector<std::filesystem::path> found;
    const auto folder = std::filesystem::path(TULVERKAN_FUZZ_REGRESSIONS) / target;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

class XlsxRegression : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(XlsxRegression, PassesTheHarness) {
    std::ifstream in(GetParam(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_TRUE(in.good() || in.eof()) << GetParam();
    std::string pattern = (std::filesystem::temp_directory_path() / "replay-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    fuzz::exerciseXlsx(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pattern);
    EXPECT_TRUE(std::filesystem::is_empty(pattern));
    std::filesystem::remove_all(pattern);
}

INSTANTIATE_TEST_SUITE_P(Inputs, XlsxRegression, testing::ValuesIn(inputs("xlsx")),
                         [](const testing::TestParamInfo<std::filesystem::path>& info) {
                             std::string name = info.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(XlsxRegression);

} // namespace
