#include "sheets/DefaultDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct Folder {
    const char* executable;
    const char* folder;
};

class DefaultDirOf : public ::testing::TestWithParam<Folder> {};

TEST_P(DefaultDirOf, KeepsTheFolderAndDropsTheDebugOutputFolders) {
    EXPECT_EQ(sheets::defaultDirOf(GetParam().executable), GetParam().folder) << GetParam().executable;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DefaultDirOf,
    ::testing::Values(Folder{"C:\\Prog\\Win32\\Debug\\app.exe", "C:\\Prog\\"},
                      Folder{"C:\\Prog\\Win64\\Debug\\app.exe", "C:\\Prog\\"},
                      Folder{"C:\\Prog\\app.exe", "C:\\Prog\\"},
                      Folder{"C:\\Prog\\win32\\debug\\app.exe", "C:\\Prog\\win32\\debug\\"},
                      // Win32 is dropped first, then Win64; not the other way round.
                      Folder{"C:\\X\\Win64\\Debug\\Win32\\Debug\\a.exe", "C:\\X\\"},
                      Folder{"C:\\X\\Win32\\Debug\\Win64\\Debug\\a.exe", "C:\\X\\Win32\\Debug\\"},
                      Folder{"Win32\\Debug\\a.exe", ""}, Folder{"n32\\Debug\\a.exe", "n32\\Debug\\"},
                      Folder{"C:app.exe", "C:"}, Folder{"app.exe", ""}, Folder{"", ""},
                      Folder{"/opt/tulverkan/bin/tulverkan", "/opt/tulverkan/bin/"},
                      Folder{"/home/u/Win32/Debug/tulverkan", "/home/u/Win32/Debug/"},
                      Folder{"/home/u/Win32\\Debug\\tulverkan", "/home/u/"}));

TEST(DefaultDir, IsTheFolderOfTheRunningExecutable) {
    auto folder = sheets::DefaultDir();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "sheets_tests")) << folder;
}

TEST(DefaultDir, ProposesTheInventoryInTheDataFolder) {
    EXPECT_EQ(sheets::defaultInventoryPath("/opt/tulverkan/"), "/opt/tulverkan/Data/Tulverkan.xlsx");
    EXPECT_EQ(sheets::defaultInventoryPath(""), "Data/Tulverkan.xlsx");
}

} // namespace
