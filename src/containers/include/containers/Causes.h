#pragma once

// Why a file or zip operation failed, in the user's words.

#include <string>
#include <zip.h>

namespace containers {

// errno values: "disken er full", "ingen tilgang" ...; others as "systemfeil (<strerror>)".
std::string systemCause(int error);
// libzip's errors, with the system error behind a read or write where there is one.
std::string zipCause(zip_error_t* error);
std::string zipCause(int code);

} // namespace containers
