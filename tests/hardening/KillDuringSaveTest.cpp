// The batch tool killed with SIGKILL while it saves a large inventory, again and again: after every
// kill the inventory opens and is the complete old or the complete new workbook, never a mix or a
// broken file.

#include "sheets/Error.h"
#include "support/Python.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::TempDir;

// What the workbook holds: every entry's name and uncompressed bytes (zip timestamps aside).
std::size_t contentHash(const fs::path& workbook) {
    std::size_t hash = 0;
    for (const auto& entry : testsupport::zipEntries(workbook))
        hash = hash * 1000003 ^ std::hash<std::string>{}(entry.name + '\0' + entry.data);
    return hash;
}

pid_t startBatch(const fs::path& inventory, const fs::path& order) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string exe = TULVERKAN_BATCH_EXE;
    std::string inventoryArg = inventory.string();
    std::string orderArg = order.string();
    char* argv[] = {exe.data(), inventoryArg.data(), orderArg.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + exe);
    return pid;
}

// Watches a folder for the save's temporary file being created and renamed over the workbook.
class SaveWatch {
public:
    explicit SaveWatch(const fs::path& folder) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd < 0 || inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
            throw std::runtime_error("inotify");
    }
    ~SaveWatch() { close(m_fd); }
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    enum class Event { None, TemporaryCreated, Renamed };

    // The next event within `timeout`, or None.
    Event next(std::chrono::milliseconds timeout) {
        if (m_pending.empty()) {
            pollfd waiting{m_fd, POLLIN, 0};
            if (poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0) return Event::None;
            alignas(inotify_event) char buffer[4096];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                std::string name = event->len ? event->name : "";
                if ((event->mask & IN_CREATE) && name.find(".lagres-") != std::string::npos)
                    m_pending.push_back(Event::TemporaryCreated);
                else if ((event->mask & IN_MOVED_TO) && name == "Tulverkan.xlsx")
                    m_pending.push_back(Event::Renamed);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            if (m_pending.empty()) return Event::None;
        }
        const Event event = m_pending.front();
        m_pending.erase(m_pending.begin());
        return event;
    }

private:
    int m_fd;
    std::vector<Event> m_pending;
};

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

bool temporaryLeft(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".lagres-") != std::string::npos) return true;
    return false;
}

TEST(KillDuringSave, TheInventoryIsAlwaysTheCompleteOldOrNewWorkbook) {
    int kills = 50;
    if (const char* wanted = std::getenv("TULVERKAN_KILLS")) kills = std::atoi(wanted);

    TempDir work;
    const auto made = testsupport::runProcess({TULVERKAN_PYTHON,
                                               testsupport::fixture("hardening/make_fixtures.py").string(),
                                               "--large", (work / "kilde").string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
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
