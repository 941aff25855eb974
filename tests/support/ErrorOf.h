#pragma once

#include "sheets/Error.h"

#include <functional>
#include <string>

namespace testsupport {

// The message of the sheets::Error that `action` throws, or "" when it throws none.
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const sheets::Error& error) {
        return error.what();
    }
    return "";
}

} // namespace testsupport
