#pragma once

#include "sheets/AsciiCase.h"

#include <string>
#include <string_view>

namespace xlsx {

// Part names compare case-insensitively (ASCII) and without the leading '/' of URIs: the key a
// part is found by.
inline std::string partKey(std::string_view name) {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    return sheets::toLowerAscii(name);
}

} // namespace xlsx
