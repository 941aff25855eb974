// An inventory the save cannot or must not replace: the run's work is refused with a Norwegian
// message naming the file and the cause, and the file and its folder stay exactly as they were.

#include "Untouched.h"

#include "sheets/Error.h"
#include "support/Child.h"
#include "support/ErrorOf.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::errorOf;
using testsupport::TempDir;

// The message's check as an exit code, for the child: 0 when it names the file and the cause.
int refusedWith(const std::string& message, const fs::path& path, const std::string& cause) {
    if (message.find("«" + path.string() + "»") == std::string::npos) return 1;
    if (message.find(cause) == std::string::npos) return 2;
    return message.back() == '.' ? 3 : 0;
}

TEST(UnwritableInventory, AReadOnlyFileIsNotReplaced) {
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto before = hardening::snapshot(dir.path());
    // The file's own mark counts even for root, who could write it anyway.
    EXPECT_REFUSED(errorOf([&] { hardening::openEditSave(path); }), path, "skrivebeskyttet");
    EXPECT_EQ(hardening::snapshot(dir.path()), before);
}

TEST(UnwritableInventory, SomeoneElsesReadOnlyFileIsNotReplacedThroughTheFolder) {
    // The folder lets everyone create and rename files, so renaming over the workbook would work.
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
    fs::permissions(dir.path(), fs::perms::all);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    const auto before = hardening::snapshot(dir.path());
    EXPECT_EQ(testsupport::asNobody([&] {
                  return refusedWith(errorOf([&] { hardening::openEditSave(path); }), path,
                                     "skrivebeskyttet");
              }).exitCode,
              0);
    EXPECT_EQ(hardening::snapshot(dir.path()), before);
}

TEST(UnwritableInventory, AReadOnlyFolderIsReported) {
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
    fs::permissions(path, fs::perms::all);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    const auto before = hardening::snapshot(dir.path());
    EXPECT_EQ(testsupport::asNobody([&] {
                  return refusedWith(errorOf([&] { hardening::openEditSave(path); }), path,
                                     "mappen kan ikke skrives");
              }).exitCode,
              0);
    EXPECT_EQ(hardening::snapshot(dir.path()), before);
}

TEST(UnwritableInventory, AWorkbookOpenInAnotherProgramIsNotSaved) {
    for (const std::string lock : {"~$Lager.xlsx", ".~lock.Lager.xlsx#"}) {
        SCOPED_TRACE(lock);
        TempDir dir;
        const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
        testsupport::writeFile(dir / lock, "annen bruker");
        const auto before = hardening::snapshot(dir.path());
        std::string message = "(ingen feil)";
        try {
            hardening::openEditSave(path);
        } catch (const sheets::LockedError& error) {
            message = error.what();
        }
        EXPECT_REFUSED(message, path, "åpen i et annet program");
        EXPECT_NE(message.find(lock), std::string::npos) << message;
        EXPECT_EQ(hardening::snapshot(dir.path()), before);
    }
}

} // namespace
