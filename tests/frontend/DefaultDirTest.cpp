#include "frontend/DefaultDir.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct Folder {
    const char* executable;
    const char* folder;
};

class ProgramFolderOf : public ::testing::TestWithParam<Folder> {};

TEST_P(ProgramFolderOf, KeepsTheFolderAndDropsTheDebugOutputFolders) {
    EXPECT_EQ(frontend::programFolderOf(GetParam().executable), GetParam().folder) << GetParam().executable;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ProgramFolderOf,
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

TEST(IsInstalledFolder, TheConfiguredBinFolderOrASystemBinFolderWithoutData) {
    testsupport::TempDir dir;
    const fs::path bin = dir / "prefix" / "bin";
    fs::create_directories(bin / "Data");
    fs::create_directories(dir / "unpacked" / "Data");

    // The bin folder the build was configured for, however the path is spelt, even with a Data/ in it.
    EXPECT_TRUE(frontend::isInstalledFolder(bin.string() + "/", bin));
    EXPECT_TRUE(frontend::isInstalledFolder(dir / "prefix" / "." / "bin", bin));
    fs::create_directory_symlink(bin, dir / "link");
    EXPECT_TRUE(frontend::isInstalledFolder((dir / "link").string() + "/", bin));

    // A folder of its own, with or without Data/, and the same named bin outside /usr.
    EXPECT_FALSE(frontend::isInstalledFolder((dir / "unpacked").string() + "/", bin));
    EXPECT_FALSE(frontend::isInstalledFolder((dir / "prefix").string() + "/", bin));
    EXPECT_FALSE(frontend::isInstalledFolder(bin.string() + "/", dir / "elsewhere" / "bin"));
    EXPECT_FALSE(frontend::isInstalledFolder("", bin));

    // Installed by hand into /usr while configured for another prefix; but not any folder below /usr.
    EXPECT_TRUE(frontend::isInstalledFolder("/usr/bin/", dir / "elsewhere" / "bin"));
    EXPECT_TRUE(frontend::isInstalledFolder("/usr/local/bin/", ""));
    EXPECT_FALSE(frontend::isInstalledFolder("/usr/lib/", ""));
    EXPECT_FALSE(frontend::isInstalledFolder("/usr/binaries/", ""));
}

TEST(UserFolderOf, TulverkanInTheHomeFolder) {
    EXPECT_EQ(frontend::userFolderOf("/home/kari"), "/home/kari/Tulverkan/");
    EXPECT_EQ(frontend::userFolderOf("/home/kari/"), "/home/kari/Tulverkan/");
    EXPECT_EQ(frontend::userFolderOf("/"), "/Tulverkan/");
}

// This test program runs from the build tree, never from the install prefix: its own folder.
TEST(DefaultDir, IsTheFolderOfTheRunningExecutableInTheBuildTree) {
    auto folder = frontend::DefaultDir();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::is_regular_file(folder + "frontend_tests")) << folder;
}

TEST(DefaultDir, ProposesTheInventoryInTheDataFolder) {
    EXPECT_EQ(frontend::defaultInventoryPath("/opt/tulverkan/"), "/opt/tulverkan/Data/Tulverkan.xlsx");
    EXPECT_EQ(frontend::defaultInventoryPath("/home/kari/Tulverkan/"),
              "/home/kari/Tulverkan/Data/Tulverkan.xlsx");
    EXPECT_EQ(frontend::defaultInventoryPath(""), "Data/Tulverkan.xlsx");
}

} // namespace
