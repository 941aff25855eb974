#pragma once

#include <stdexcept>
#include <string>

namespace sheets {

// The one exception root of the program. Its message is Norwegian, names the file (and sheet or cell
// where that helps) and the cause, and does not end in a full stop: the top-level display adds it.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The workbook is open in another program; the caller may ask the user to close it and try again.
class LockedError : public Error {
public:
    using Error::Error;
};

} // namespace sheets
