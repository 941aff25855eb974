// The batch tool killed with SIGKILL while it saves a large inventory, again and again: after every
// kill the inventory opens and is the complete old or the complete new workbook, never a mix or a
// broken file.

#include "BatchProcess.h"

#include "sheets/Error.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using hardening::contentHash;
using hardening::SaveWatch;
using hardening::startBatch;
using hardening::waitFor;
using testsupport::TempDir;

bool temporaryLeft(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".lagres-") != std::string::npos) return true;
    return false;
}

TEST(KillDuringSave, TheInventoryIsAlwaysTheCompleteOldOrNewWorkbook) {
    int kills = 50;
    if (const char* wanted = std::getenv("TULVERKAN_KILLS")) kills = std::atoi(wanted);

    TempDir work;
    hardening::makeLargeWorkload(work / "kilde");
    const auto original = work / "kilde" / "Tulverkan.xlsx";
    const auto order = work / "kilde" / "Bestilling.xlsx";
    const auto oldHash = contentHash(original);

    // One save that runs to the end: the new workbook, and how long the save's writing takes.
    fs::create_directory(work / "fasit");
    fs::copy_file(original, work / "fasit" / "Tulverkan.xlsx");
    Clock::duration writing{};
    {
        SaveWatch watch(work / "fasit");
        const pid_t pid = startBatch(work / "fasit" / "Tulverkan.xlsx", order);
        std::optional<Clock::time_point> created;
        for (SaveWatch::Event event;
             (event = watch.next(std::chrono::seconds(120))) != SaveWatch::Event::None;) {
            if (event == SaveWatch::Event::TemporaryCreated) created = Clock::now();
            if (event == SaveWatch::Event::Renamed) {
                ASSERT_TRUE(created);
                writing = Clock::now() - *created;
                break;
            }
        }
        const int status = waitFor(pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const auto newHash = contentHash(work / "fasit" / "Tulverkan.xlsx");
    ASSERT_NE(newHash, oldHash);

    std::mt19937 random(20240311);
    int sawOld = 0;
    int sawNew = 0;
    int temporariesLeft = 0;
    int finishedFirst = 0;
    for (int kill = 0; kill < kills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const auto folder = work / ("forsøk" + std::to_string(kill));
        fs::create_directory(folder);
        const auto inventory = folder / "Tulverkan.xlsx";
        fs::copy_file(original, inventory);
        SaveWatch watch(folder);
        const pid_t pid = startBatch(inventory, order);
        // Most kills land while the new file is written, synced and renamed; the rest somewhere
        // before, while the booking runs and the package is put together.
        if (kill % 3 != 2) {
            while (watch.next(std::chrono::seconds(120)) != SaveWatch::Event::TemporaryCreated) {
            }
            const auto span = std::chrono::duration_cast<std::chrono::microseconds>(writing * 5 / 4);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % (span.count() + 1)));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 400));
        }
        ::kill(pid, SIGKILL);
        const int status = waitFor(pid);
        if (WIFEXITED(status)) ++finishedFirst;

        std::size_t hash = 0;
        ASSERT_NO_THROW(hash = contentHash(inventory));
        EXPECT_TRUE(hash == oldHash || hash == newHash);
        sawOld += hash == oldHash;
        sawNew += hash == newHash;
        EXPECT_NO_THROW({
            auto book = xlsx::openWorkbook(inventory, sheets::OpenMode::ReadOnly);
            for (int sheet = 1; sheet <= book->sheetCount(); ++sheet)
                book->sheet(sheet).cell(3, 1);
        });
        temporariesLeft += temporaryLeft(folder);
        fs::remove_all(folder);
    }
    std::cout << kills << " kills: " << sawOld << " old, " << sawNew << " new workbooks, " << temporariesLeft
              << " temporaries left by a kill, " << finishedFirst << " runs finished before the kill\n";
    EXPECT_EQ(sawOld + sawNew, kills);
}

} // namespace
