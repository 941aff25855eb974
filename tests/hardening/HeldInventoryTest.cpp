// The inventory held by the run that books into it: two runs at once never both save with one
// booking lost nor mix their journal lines, a run killed while it held the inventory does not keep it,
// nothing is saved over a file that changed under the run, and LibreOffice sees the held workbook in use.

#include "BatchProcess.h"
#include "Untouched.h"

#include "package/FileCalls.h"
#include "package/LockFiles.h"
#include "sheets/Error.h"
#include "stock/JournalFile.h"
#include "support/ErrorOf.h"
#include "support/Python.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using hardening::contentHash;
using hardening::startBatch;
using hardening::waitFor;
using testsupport::errorOf;
using testsupport::namesIn;
using testsupport::readFile;
using testsupport::TempDir;

// The shape of a time in a lock entry: "10.12.2026 07:00" gives "99.99.9999 99:99".
std::string shapeOf(std::string text) {
    for (char& c : text)
        if (c >= '0' && c <= '9') c = '9';
    return text;
}

bool exitedWith(int status, int code) {
    return WIFEXITED(status) && WEXITSTATUS(status) == code;
}

std::vector<fs::path> paths(std::initializer_list<fs::path> list) {
    return list;
}

// The orders of the runs in the inventory's journal, in the order they were written. Each run's
// lines are expected whole (every marked line of its order) and in one piece, numbered in turn.
std::vector<fs::path> journalledOrders(const fs::path& inventory) {
    constexpr std::size_t kMarkedLines = 200; // of each large order
    const auto contents = stock::JournalFile().read(inventory);
    EXPECT_EQ(contents.damagedLines, 0) << "line " << contents.firstDamagedLine;
    std::vector<fs::path> orders;
    for (std::size_t at = 0; at < contents.entries.size(); at += kMarkedLines) {
        const auto& first = contents.entries[at];
        EXPECT_EQ(first.run, static_cast<int>(orders.size()) + 1);
        const auto end = std::min(at + kMarkedLines, contents.entries.size());
        EXPECT_EQ(end - at, kMarkedLines) << "the last run's lines are cut short";
        for (std::size_t i = at; i < end; ++i) {
            const auto& entry = contents.entries[i];
            EXPECT_TRUE(entry.run == first.run && entry.orderFile == first.orderFile &&
                        entry.time == first.time)
                << "run " << first.run << " is broken up at journal entry " << i;
        }
        orders.push_back(first.orderFile);
    }
    return orders;
}

// The large workload, made once for the tests that run the batch tool on it, with the inventories
// that one run or two runs one after the other leave.
class LargeInventory : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = new TempDir;
        hardening::makeLargeWorkload(*s_work / "kilde");
    }
    static void TearDownTestSuite() {
        delete s_work;
        s_work = nullptr;
    }

    static fs::path original() { return *s_work / "kilde" / "Tulverkan.xlsx"; }
    static fs::path order(int which) {
        return *s_work / "kilde" / (which == 1 ? "Bestilling.xlsx" : "Bestilling-2.xlsx");
    }
    // A fresh copy of the inventory in a folder of its own.
    static fs::path freshCopy(const std::string& folderName) {
        const auto folder = *s_work / folderName;
        fs::create_directory(folder);
        fs::copy_file(original(), folder / "Tulverkan.xlsx");
        return folder / "Tulverkan.xlsx";
    }
    // The inventory after the orders were booked one after the other (made once).
    static std::size_t bookedInTurn(const std::vector<int>& orders) {
        std::string name = "i-tur";
        for (int which : orders)
            name += "-" + std::to_string(which);
        if (auto known = s_booked.find(name); known != s_booked.end()) return known->second;
        const auto inventory = freshCopy(name);
        for (int which : orders) {
            const auto start = Clock::now();
            const int status = waitFor(startBatch(inventory, order(which)));
            s_oneRun = Clock::now() - start;
            if (!exitedWith(status, 0)) throw std::runtime_error("a booking in turn failed");
        }
        return s_booked[name] = contentHash(inventory);
    }

    static TempDir* s_work;
    static std::map<std::string, std::size_t> s_booked;
    static Clock::duration s_oneRun; // the latest run in turn
};

TempDir* LargeInventory::s_work = nullptr;
std::map<std::string, std::size_t> LargeInventory::s_booked;
Clock::duration LargeInventory::s_oneRun{};

// The second run starts at a random moment of the first one's run, or just after it: each pair ends
// with both bookings in the inventory (one run after the other), or with one run refused at opening
// and the other's booking alone in it. Never two successes with one booking lost.
TEST_F(LargeInventory, TwoRunsAtOnceNeverLoseABooking) {
    int pairs = 20;
    if (const char* wanted = std::getenv("TULVERKAN_PAIRS")) pairs = std::atoi(wanted);

    const std::size_t onlyFirst = bookedInTurn({1});
    // How long one run takes, measured again on the pairs: on a busy machine that changes, and the
    // second run is to start anywhere in the first one's run or just after it.
    Clock::duration oneRun = s_oneRun;
    const std::size_t onlySecond = bookedInTurn({2});
    const std::size_t firstThenSecond = bookedInTurn({1, 2});
    const std::size_t secondThenFirst = bookedInTurn({2, 1});
    const std::size_t untouched = contentHash(original());
    ASSERT_EQ(
        std::set<std::size_t>({untouched, onlyFirst, onlySecond, firstThenSecond, secondThenFirst}).size(),
        5u);

    std::mt19937 random(20240311);
    int bothSaved = 0;
    int refused = 0;
    int bookingsFound = 0;
    for (int pair = 0; pair < pairs; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        const auto inventory = freshCopy("par" + std::to_string(pair));
        const auto folder = inventory.parent_path();
        const int first = pair % 2 == 0 ? 1 : 2;
        const int second = 3 - first;
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(oneRun * 5 / 4).count();
        const auto start = Clock::now();
        const pid_t firstRun = startBatch(inventory, order(first), folder / "feil-1");
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (span + 1)));
        const pid_t secondRun = startBatch(inventory, order(second), folder / "feil-2");
        const auto secondStarted = Clock::now();
        const int firstStatus = waitFor(firstRun);
        // Only a first run that was still working tells how long one takes now.
        if (exitedWith(firstStatus, 0) && Clock::now() - secondStarted > std::chrono::milliseconds(20))
            oneRun = Clock::now() - start;
        const int secondStatus = waitFor(secondRun);
        const std::size_t result = contentHash(inventory);

        const bool firstSaved = exitedWith(firstStatus, 0);
        const bool secondSaved = exitedWith(secondStatus, 0);
        const auto journalled = journalledOrders(inventory);
        if (firstSaved && secondSaved) {
            ++bothSaved;
            bookingsFound += 2 * (result == firstThenSecond || result == secondThenFirst);
            EXPECT_TRUE(result == firstThenSecond || result == secondThenFirst) << "a booking was lost";
            // The journal tells the runs in the order they saved.
            ASSERT_EQ(journalled.size(), 2u);
            EXPECT_EQ(result == firstThenSecond ? paths({order(1), order(2)}) : paths({order(2), order(1)}),
                      journalled);
        } else if (firstSaved != secondSaved) {
            ++refused;
            const int saved = firstSaved ? first : second;
            const std::string errors = readFile(folder / (firstSaved ? "feil-2" : "feil-1"));
            EXPECT_TRUE(exitedWith(firstSaved ? secondStatus : firstStatus, 1));
            EXPECT_NE(errors.find("«" + inventory.string() +
                                  "»: arbeidsboken brukes av en annen Tulverkan-kjøring"),
                      std::string::npos)
                << errors;
            bookingsFound += result == (saved == 1 ? onlyFirst : onlySecond);
            EXPECT_EQ(result, saved == 1 ? onlyFirst : onlySecond);
            EXPECT_EQ(journalled, paths({order(saved)}));
        } else {
            ADD_FAILURE() << "neither run saved: " << readFile(folder / "feil-1")
                          << readFile(folder / "feil-2");
        }
        // Neither run leaves its lock file or a temporary behind.
        EXPECT_EQ(namesIn(folder),
                  (std::vector<std::string>{"Tulverkan-logg.csv", "Tulverkan.xlsx", "feil-1", "feil-2"}));
        fs::remove_all(folder);
    }
    std::cout << pairs << " pairs of runs (" << 2 * pairs << " runs): " << bothSaved << " pairs both saved, "
              << refused << " runs refused, " << bookingsFound << " of " << 2 * bothSaved + refused
              << " saved bookings found in the inventory\n";
    RecordProperty("pairs", pairs);
    RecordProperty("bothSaved", bothSaved);
    RecordProperty("refused", refused);
    RecordProperty("bookingsFound", bookingsFound);
}

// Two runs started at once, the one refused started again when the other is done, as its message
// tells the user: both bookings are saved and the journal holds each run's lines whole, in the order
// the runs saved, never one run's lines among the other's.
TEST_F(LargeInventory, TwoRunsAtOnceBothJournalledInTurn) {
    const std::size_t firstThenSecond = bookedInTurn({1, 2});
    const std::size_t secondThenFirst = bookedInTurn({2, 1});
    std::mt19937 random(20261210);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto inventory = freshCopy("logg" + std::to_string(round));
        const auto folder = inventory.parent_path();
        const auto delay = std::chrono::milliseconds(random() % 50);
        pid_t runs[2] = {startBatch(inventory, order(1), folder / "feil-1"), 0};
        std::this_thread::sleep_for(delay);
        runs[1] = startBatch(inventory, order(2), folder / "feil-2");
        int statuses[2] = {waitFor(runs[0]), waitFor(runs[1])};
        for (int i = 0; i < 2; ++i) {
            if (exitedWith(statuses[i], 0)) continue;
            const auto errors = folder / ("feil-" + std::to_string(i + 1));
            ASSERT_NE(readFile(errors).find("arbeidsboken brukes av en annen Tulverkan-kjøring"),
                      std::string::npos)
                << readFile(errors);
            statuses[i] = waitFor(startBatch(inventory, order(i + 1), errors));
            ASSERT_TRUE(exitedWith(statuses[i], 0)) << readFile(errors);
        }
        const std::size_t result = contentHash(inventory);
        ASSERT_TRUE(result == firstThenSecond || result == secondThenFirst) << "a booking was lost";
        EXPECT_EQ(journalledOrders(inventory),
                  result == firstThenSecond ? paths({order(1), order(2)}) : paths({order(2), order(1)}));
        fs::remove_all(folder);
    }
}

// Killed while it writes the new file, a run leaves its lock file and its temporary: the next run
// takes the lock over, clears the temporary, books, and leaves neither.
TEST_F(LargeInventory, ARunKilledWhileSavingKeepsNothing) {
    const std::size_t booked = bookedInTurn({1});
    fs::path inventory;
    pid_t killed = 0;
    for (int attempt = 0; attempt < 5 && killed == 0; ++attempt) {
        inventory = freshCopy("drept" + std::to_string(attempt));
        hardening::SaveWatch watch(inventory.parent_path());
        const pid_t pid = startBatch(inventory, order(1));
        while (watch.next(std::chrono::seconds(120)) != hardening::SaveWatch::Event::TemporaryCreated) {
        }
        ::kill(pid, SIGKILL);
        const int status = waitFor(pid);
        // The kill may land after the rename; that run held and let go as any other.
        if (WIFSIGNALED(status) && namesIn(inventory.parent_path()).size() == 3) killed = pid;
    }
    ASSERT_NE(killed, 0) << "no kill landed while the new file was written";
    const auto folder = inventory.parent_path();
    const auto left = namesIn(folder);
    EXPECT_EQ(left[0], ".Tulverkan.xlsx.lagres-" + left[0].substr(left[0].size() - 6));
    EXPECT_EQ(left[1], ".~lock.Tulverkan.xlsx#");
    EXPECT_EQ(xlsx::LockEntry::parse(readFile(folder / left[1]))->runProcess(), killed);
    EXPECT_EQ(contentHash(inventory), contentHash(original()));

    const int status = waitFor(startBatch(inventory, order(1), folder.parent_path() / "feil"));
    EXPECT_TRUE(exitedWith(status, 0)) << readFile(folder.parent_path() / "feil");
    EXPECT_EQ(contentHash(inventory), booked);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Tulverkan-logg.csv", "Tulverkan.xlsx"}));
}

// The booking's edits on the base workbook.
void edit(sheets::Workbook& book) {
    book.sheet(2).insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
    book.sheet(2).setText(3, 1, "S960");
}

// Someone else's save: another workbook renamed over ours.
void replaceWith(const fs::path& path, const fs::path& other) {
    fs::copy_file(other, path.string() + ".annen");
    fs::rename(path.string() + ".annen", path);
}

// The saves' calls, except that the file is changed by someone else while the new one is written.
class ChangedWhileSaving : public xlsx::FileCalls {
public:
    ChangedWhileSaving(fs::path workbook, fs::path other)
        : m_workbook(std::move(workbook)), m_other(std::move(other)) {}
    int sync(int fd) override {
        replaceWith(m_workbook, m_other);
        return FileCalls::sync(fd);
    }

private:
    fs::path m_workbook;
    fs::path m_other;
};

TEST(HeldInventory, NothingIsSavedOverAFileChangedUnderTheRun) {
    const auto other = testsupport::fixture("hardening/protected-xlsxwriter.xlsx");
    for (const bool whileSaving : {false, true}) {
        SCOPED_TRACE(whileSaving ? "while the save writes" : "before the save");
        TempDir dir;
        const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
        std::string message;
        {
            auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
            edit(*book);
            ChangedWhileSaving calls(path, other);
            if (whileSaving) {
                xlsx::setFileCalls(&calls);
            } else {
                replaceWith(path, other);
            }
            message = errorOf([&] { book->save(); });
            xlsx::setFileCalls(nullptr);
            // Tried again, the save is refused again: the file is still not the one the run read.
            EXPECT_EQ(errorOf([&] { book->save(); }), message);
        }
        EXPECT_EQ(message,
                  "Kan ikke lagre «" + path.string() +
                      "»: arbeidsboken er endret av noen andre etter at den ble åpnet her; ingenting er "
                      "lagret, bokfør bestillingen på nytt");
        EXPECT_EQ(readFile(path), readFile(other));
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"Lager.xlsx"});
    }
}

// A run's lock file has the shape of the one LibreOffice writes, and LibreOffice opens the workbook
// read-only while a run holds it; a lock file LibreOffice wrote refuses a run.
TEST(HeldInventory, LibreOfficeAndARunSeeEachOthersLockFiles) {
    if (testsupport::soffice().empty()) GTEST_SKIP() << "LibreOffice is not installed";
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
    const auto lockFile = dir / ".~lock.Lager.xlsx#";

    const auto written = testsupport::runPythonScript("libreoffice_lock.py", {"write", path.string()});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    std::istringstream lines(written.out);
    std::string opened;
    std::string theirMode;
    std::getline(lines, opened);
    std::getline(lines, theirMode);
    const std::string theirs = written.out.substr(opened.size() + theirMode.size() + 2);
    EXPECT_EQ(opened, "editable asked 0");
    ASSERT_FALSE(fs::exists(lockFile));

    {
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        const std::string ours = readFile(lockFile);
        // One entry of five fields, closed by ';' and nothing after it: each reads back to its very
        // bytes. The same login, machine and time format as LibreOffice's.
        const auto their = xlsx::LockEntry::parse(theirs);
        const auto our = xlsx::LockEntry::parse(ours);
        ASSERT_TRUE(their && our);
        EXPECT_EQ(their->serialize(), theirs);
        EXPECT_EQ(our->serialize(), ours);
        EXPECT_EQ(our->login, their->login);
        EXPECT_EQ(our->host, their->host);
        EXPECT_EQ(shapeOf(their->since), "99.99.9999 99:99");
        EXPECT_EQ(shapeOf(our->since), shapeOf(their->since));
        EXPECT_FALSE(their->runProcess());
        struct stat info {};
        ASSERT_EQ(::stat(lockFile.c_str(), &info), 0);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%o", info.st_mode & 07777);
        EXPECT_EQ(mode, theirMode);

        const auto whileHeld = testsupport::runPythonScript("libreoffice_lock.py", {"open", path.string()});
        ASSERT_EQ(whileHeld.exitCode, 0) << whileHeld.err;
        EXPECT_EQ(whileHeld.out, "read-only asked 1\n");
    }

    testsupport::writeFile(lockFile, theirs);
    const auto before = hardening::snapshot(dir.path());
    const auto refused = errorOf([&] { hardening::openEditSave(path); });
    EXPECT_EQ(refused,
              "Kan ikke åpne «" + path.string() +
                  "»: arbeidsboken er åpen i et annet program (låsefilen «.~lock.Lager.xlsx#» finnes); "
                  "lukk den der først og prøv igjen");
    EXPECT_EQ(hardening::snapshot(dir.path()), before);
}

} // namespace
