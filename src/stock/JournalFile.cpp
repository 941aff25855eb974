#include "stock/JournalFile.h"

#include "JournalCsv.h"
#include "sheets/FileDescriptor.h"
#include "sheets/SystemCause.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stock {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void fail(const std::string& action, const std::filesystem::path& path,
                       const std::string& cause) {
    throw JournalError(action + " loggen «" + path.string() + "»: " + cause, cause);
}

[[noreturn]] void fail(const std::string& action, const std::filesystem::path& path, int error) {
    fail(action, path, sheets::systemCause(error));
}

using sheets::FileDescriptor;

std::string readAll(const std::filesystem::path& path, int fd) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return text;
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Kan ikke lese", path, errno);
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

void writeAll(const std::filesystem::path& path, int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Kan ikke skrive", path, errno);
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

std::filesystem::path JournalFile::pathFor(const std::filesystem::path& inventory) {
    auto journal = inventory;
    journal.replace_filename(inventory.stem().string() + "-logg.csv");
    return journal;
}

std::string JournalFile::location(const std::filesystem::path& inventory) const {
    return pathFor(inventory).string();
}

JournalContents JournalFile::read(const std::filesystem::path& inventory) {
    const auto path = pathFor(inventory);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return {};
        fail("Kan ikke lese", path, errno);
    }
    std::string text = readAll(path, fd.get());
    if (std::string_view(text).starts_with(kByteOrderMark)) text.erase(0, kByteOrderMark.size());

    JournalContents contents;
    std::size_t at = 0;
    int line = 1;
    while (at < text.size()) {
        const std::size_t start = at;
        const auto record = journalcsv::nextRecord(text, at, line);
        if (record.blank() || journalcsv::isHeader(record)) continue;
        if (auto entry = journalcsv::parseEntry(record)) {
            contents.entries.push_back(std::move(*entry));
            continue;
        }
        if (contents.damagedLines++ == 0) contents.firstDamagedLine = record.line;
        // A stray quote must not swallow the lines after it: a damaged record spanning lines costs
        // only its first line, and reading goes on from the next.
        if (record.lastLine > record.line) {
            at = journalcsv::nextLine(text, start);
            line = record.line + 1;
        }
    }
    return contents;
}

void JournalFile::append(const std::filesystem::path& inventory, const std::vector<JournalEntry>& entries) {
    if (entries.empty()) return;
    const auto path = pathFor(inventory);
    // A journal marked read-only stays as it is, also for root, as the inventory does.
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && (status.st_mode & 0222) == 0)
        fail("Kan ikke skrive", path, "filen er skrivebeskyttet");
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0) fail("Kan ikke skrive", path, errno);
    if (::fstat(fd.get(), &status) != 0) fail("Kan ikke skrive", path, errno);

    std::string text;
    const bool created = status.st_size == 0;
    if (created) {
        text += kByteOrderMark;
        text += journalcsv::headerLine();
    } else {
        // A journal edited by hand may have lost its last line break: the first new line starts anew.
        char last = '\n';
        if (::pread(fd.get(), &last, 1, status.st_size - 1) == 1 && last != '\n') text += "\r\n";
    }
    for (const auto& entry : entries)
        text += journalcsv::entryLine(entry);
    // One write: another process appending at the same time cannot land inside these lines.
    writeAll(path, fd.get(), text);
    if (::fsync(fd.get()) != 0) fail("Kan ikke skrive", path, errno);
    if (fd.close() != 0) fail("Kan ikke skrive", path, errno);
    if (created) {
        // The new file's name is on disk only when its folder is.
        auto folder = path.parent_path();
        FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0) ::fsync(dir.get());
    }
}

} // namespace stock
