#pragma once

// The benchmarks' clocks: wall time since a moment, and the CPU time the process has used, which on
// a busy machine is closer to the work done than wall time.

#include <chrono>
#include <sys/resource.h>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return sec(usage.ru_utime) + sec(usage.ru_stime);
}

} // namespace bench
