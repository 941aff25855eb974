#pragma once

#include <string>

namespace sheets {

// Why a file operation failed, in the user's words: an errno value as "disken er full", "ingen
// tilgang" ...; others as "systemfeil (<the system's text>)".
std::string systemCause(int error);

} // namespace sheets
