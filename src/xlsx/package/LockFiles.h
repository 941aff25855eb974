#pragma once

// The lock files that spreadsheet programs leave beside a workbook they have open: Excel's "~$NAME"
// and LibreOffice's ".~lock.NAME#". A run that holds an inventory writes the latter itself, in
// LibreOffice's format, so that the spreadsheet applications and other runs see the workbook in use.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace xlsx {

std::filesystem::path excelOwnerFile(const std::filesystem::path& workbook);
std::filesystem::path libreOfficeLockFile(const std::filesystem::path& workbook);

// One entry of a LibreOffice lock file: "name,login,host,dd.mm.yyyy hh:mm,profile URL;", where ',',
// ';' and '\' inside a field are escaped with '\'. LibreOffice shows the name (or the login) as
// whoever has the workbook open and takes an entry as its own only when login, host and profile URL
// are its own; ours has the URL field "tulverkan:pid=N", which no profile has.
struct LockEntry {
    std::string name;
    std::string login;
    std::string host;
    std::string since;
    std::string profileUrl;

    // The entry of this process, from now.
    static LockEntry ofThisProcess();
    // The first entry of a lock file's bytes; nullopt when they hold none.
    static std::optional<LockEntry> parse(std::string_view text);
    std::string serialize() const;

    // The process of ours that wrote the entry, on `host`; nullopt for another program's entry.
    std::optional<pid_t> runProcess() const;
};

// This machine's name, as lock entries carry it.
std::string thisHost();

// Why a workbook that another program has open is refused, naming its lock file.
std::string openElsewhere(std::string_view lockFileName);

// Throws sheets::LockedError, starting "Kan ikke lagre", when a lock file of another program sits
// beside `path`. The lock file of a hold that this process has taken on the workbook is passed over.
void refuseIfLocked(const std::filesystem::path& path);

// The lock files that holds of this process have made, by identity (not name): refuseIfLocked
// passes over these, and only these.
void noteHeldHere(dev_t device, ino_t inode);
void noteReleasedHere(dev_t device, ino_t inode);
bool heldHere(const std::filesystem::path& lockFile);

} // namespace xlsx
