#pragma once

// The temporaries a run makes beside a workbook while it saves it (".NAME.lagres-XXXXXX") or takes
// its lock file (".NAME.laases-XXXXXX"). A run killed meanwhile leaves them behind; the next run that
// holds the workbook removes them, since no other run can be making them while it holds it.

#include <filesystem>
#include <string>
#include <string_view>

namespace xlsx {

inline constexpr std::string_view kSavingMark = ".lagres-";
inline constexpr std::string_view kLockingMark = ".laases-";

// The mkostemp pattern of such a temporary for `workbook`, in its folder.
std::string temporaryPattern(const std::filesystem::path& workbook, std::string_view mark);

// Removes the temporaries of `workbook` from its folder; a name that only looks like one (other
// length, other characters, not a plain file) is left alone. Returns how many were removed.
int removeSaveLeftovers(const std::filesystem::path& workbook);

} // namespace xlsx
