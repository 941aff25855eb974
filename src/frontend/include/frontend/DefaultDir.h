#pragma once

// Where the front ends look for the inventory and the orders: the program's own folder when it was
// unpacked into a folder of its own (or runs from the build tree), the user's own Tulverkan folder when
// it is installed into the system, where its folder is not the user's and holds no Data/.

#include <filesystem>
#include <string>
#include <string_view>

namespace frontend {

// The program folder of an executable at `executablePath`: everything up to and including the last
// '\', ':' or (on POSIX) '/', then without a trailing "Win32\Debug\" and then without a trailing
// "Win64\Debug\" (both case-sensitive). Empty when the path has no delimiter.
std::string programFolderOf(std::string_view executablePath);

// Whether a program in `programFolder` was installed into the system rather than unpacked into a
// folder of its own: the folder is `installedBinFolder` (the bin folder of the prefix the build was
// configured for), or a folder named bin below /usr that has no Data/ in it.
bool isInstalledFolder(const std::filesystem::path& programFolder,
                       const std::filesystem::path& installedBinFolder);

// The user's own folder for Tulverkan below a home folder: home + "/Tulverkan/".
std::string userFolderOf(std::string_view home);

// The running program's folder for its data: userFolderOf(the user's home) when it is installed, else
// its program folder. Ends with a separator (or is empty). Throws sheets::Error when the platform cannot
// say where the executable is, or when an installed program finds no home folder for the user.
std::string DefaultDir();

// The proposed inventory workbook below a DefaultDir: folder + "Data" + separator + "Tulverkan.xlsx",
// with the platform's native separator.
std::string defaultInventoryPath(std::string_view defaultDir);

} // namespace frontend
