#pragma once

// The process locale set, in C and C++ alike, to one whose decimal point is a comma (Norwegian, or
// German where only that is installed), as a Qt program or a user's environment may set it. Where
// none is installed a Norwegian one is compiled into a temporary folder. The C locale is back when
// the object goes.

#include "support/TestPaths.h"

#include <string>

namespace testsupport {

class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // Whether such a locale is in force; tests skip where it could not be had.
    bool active() const { return m_active; }
    const std::string& name() const { return m_name; }

private:
    TempDir m_folder;
    bool m_active = false;
    std::string m_name;
};

} // namespace testsupport
