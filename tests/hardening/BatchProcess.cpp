#include "BatchProcess.h"

#include "support/Python.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace hardening {

namespace fs = std::filesystem;

pid_t startBatch(const fs::path& inventory, const fs::path& order, const fs::path& errors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const std::string errorFile = errors.empty() ? "/dev/null" : errors.string();
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

std::size_t contentHash(const fs::path& workbook) {
    std::size_t hash = 0;
    for (const auto& entry : testsupport::zipEntries(workbook))
        hash = hash * 1000003 ^ std::hash<std::string>{}(entry.name + '\0' + entry.data);
    return hash;
}

void makeLargeWorkload(const fs::path& folder) {
    const auto made = testsupport::runProcess({TULVERKAN_PYTHON,
                                               testsupport::fixture("hardening/make_fixtures.py").string(),
                                               "--large", folder.string()});
    if (made.exitCode != 0) throw std::runtime_error("make_fixtures.py --large: " + made.err);
}

SaveWatch::SaveWatch(const fs::path& folder) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (m_fd < 0 || inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
        throw std::runtime_error("inotify");
}

SaveWatch::~SaveWatch() {
    close(m_fd);
}

SaveWatch::Event SaveWatch::next(std::chrono::milliseconds timeout) {
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

} // namespace hardening
