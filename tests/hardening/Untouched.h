#pragma once

// What the hardening tests check after every refused or failed attempt: the engine said why in
// Norwegian, named the file, and left the folder exactly as it was.

#include <filesystem>
#include <map>
#include <string>

namespace hardening {

// Every entry of a folder with the size and hash of its bytes (folders as such).
std::map<std::string, std::string> snapshot(const std::filesystem::path& folder);

// Opens the workbook for writing, reads every sheet, writes a cell and inserts a row on each
// worksheet that takes them, and saves: what a booking run does to an inventory.
void openEditSave(const std::filesystem::path& path);
// Opens the workbook read-only and reads every sheet: what a run does to an order.
void openAndRead(const std::filesystem::path& path);

} // namespace hardening

// Checks that the message names `path` and contains `cause`, without a final full stop.
#define EXPECT_REFUSED(message, path, cause)                                                                 \
    do {                                                                                                     \
        const std::string& refusal_ = (message);                                                             \
        EXPECT_NE(refusal_.find("«" + (path).string() + "»"), std::string::npos) << refusal_;                \
        EXPECT_NE(refusal_.find(cause), std::string::npos) << refusal_;                                      \
        EXPECT_FALSE(refusal_.empty() || refusal_.back() == '.') << refusal_;                                \
    } while (false)
