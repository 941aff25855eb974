#pragma once

// Who runs this booking, where and when, as the journal records it.

#include <string>

namespace stock {

struct RunStamp {
    std::string time; // ISO 8601, local time with its offset: 2026-12-10T09:14:03+01:00
    std::string user; // the login name
    std::string host;
};

RunStamp stampNow();

} // namespace stock
