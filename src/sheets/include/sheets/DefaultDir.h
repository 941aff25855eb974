#pragma once

#include <string>
#include <string_view>

namespace sheets {

// The application folder of an executable at `executablePath`: everything up to and including the
// last '\', ':' or (on POSIX) '/', then without a trailing "Win32\Debug\" and then without a trailing
// "Win64\Debug\" (both case-sensitive). Empty when the path has no delimiter.
std::string defaultDirOf(std::string_view executablePath);

// The running program's folder, defaultDirOf(its executable). Throws sheets::Error when the
// platform cannot say where the executable is.
std::string DefaultDir();

// The proposed inventory workbook below an application folder: folder + "Data" + separator +
// "Tulverkan.xlsx", with the platform's native separator.
std::string defaultInventoryPath(std::string_view defaultDir);

} // namespace sheets
