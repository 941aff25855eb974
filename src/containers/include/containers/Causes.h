#pragma once

// Why a file or zip operation failed, in the user's words.

#include "sheets/SystemCause.h"

#include <string>
#include <zip.h>

namespace containers {

using sheets::systemCause;

// libzip's errors, with the system error behind a read or write where there is one.
std::string zipCause(zip_error_t* error);
std::string zipCause(int code);

} // namespace containers
