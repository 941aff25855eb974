#include "RunStamp.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <pwd.h>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace stock {

namespace {

std::string localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return {};
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0) return {};
    // %z gives +0100; ISO 8601's extended form, which the date and time follow, wants +01:00.
    const std::string_view whole(text);
    std::string stamp(whole.substr(0, whole.size() - 2));
    stamp += ':';
    stamp += whole.substr(whole.size() - 2);
    return stamp;
}

std::string loginName() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    for (const char* name : {"USER", "LOGNAME"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return {};
}

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

} // namespace

RunStamp stampNow() {
    return {localTime(), loginName(), hostName()};
}

} // namespace stock
