#pragma once

// Runs a piece of a test in a forked child: for what must not touch the test process (dropping
// root, resource limits, being killed) or what must be measured on its own (peak memory).

#include <functional>

namespace testsupport {

struct ChildResult {
    int exitCode = -1; // the body's return value; 98 when it threw, 128 + signal when killed
    long peakKiB = 0;  // the child's peak resident memory
};

// Runs `body` in a forked child and waits for it; the child never returns into the tests.
ChildResult inChild(const std::function<int()>& body);

// As inChild, but the body runs as the unprivileged user nobody when the tests run as root (root
// writes regardless of permission bits). 97 when the user cannot be changed.
ChildResult asNobody(const std::function<int()>& body);

} // namespace testsupport
