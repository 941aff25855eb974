// Every system call by which a save reaches the disk fails in turn, and the disk fills at several
// points: the save reports it in Norwegian naming the file, the original stays byte for byte, no
// temporary is left, and saving again writes what the first attempt would have, once.

#include "Untouched.h"

#include "package/FileCalls.h"
#include "support/ErrorOf.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;
using testsupport::errorOf;
using testsupport::TempDir;

enum class Call { Create, Write, Sync, Close, Rename, SyncFolder };
constexpr std::array kCalls{Call::Create, Call::Write,  Call::Sync,
                            Call::Close,  Call::Rename, Call::SyncFolder};

const char* nameOf(Call call) {
    switch (call) {
    case Call::Create:
        return "create";
    case Call::Write:
        return "write";
    case Call::Sync:
        return "sync";
    case Call::Close:
        return "close";
    case Call::Rename:
        return "rename";
    case Call::SyncFolder:
        return "syncFolder";
    }
    return "?";
}

// The system's calls, except that the `nth` call of kind `failing` (counted from 1) fails with
// `error`; with `diskBytes` set, writes stop there with ENOSPC, the last one short. Counts every call.
class FailingCalls : public xlsx::FileCalls {
public:
    FailingCalls(Call failing, int nth, int error) : m_failing(failing), m_nth(nth), m_error(error) {}
    static FailingCalls fullDiskAfter(std::size_t bytes) {
        FailingCalls calls(Call::Write, 0, ENOSPC);
        calls.m_diskBytes = bytes;
        return calls;
    }

    int create(char* pattern) override { return fails(Call::Create) ? -1 : FileCalls::create(pattern); }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (fails(Call::Write)) return -1;
        if (m_diskBytes) {
            if (m_written >= *m_diskBytes) {
                m_injected = true;
                errno = ENOSPC;
                return -1;
            }
            size = std::min(size, *m_diskBytes - m_written);
        }
        const ssize_t n = FileCalls::write(fd, data, size);
        if (n > 0) m_written += static_cast<std::size_t>(n);
        return n;
    }
    int sync(int fd) override { return fails(Call::Sync) ? -1 : FileCalls::sync(fd); }
    // A close that fails has closed the descriptor all the same, as the system's does.
    int close(int fd) override {
        const int closed = FileCalls::close(fd);
        return fails(Call::Close) ? -1 : closed;
    }
    int rename(const char* from, const char* to) override {
        return fails(Call::Rename) ? -1 : FileCalls::rename(from, to);
    }
    int syncFolder(const char* folder) override {
        return fails(Call::SyncFolder) ? -1 : FileCalls::syncFolder(folder);
    }

    int count(Call call) const { return m_counts[static_cast<std::size_t>(call)]; }
    bool injected() const { return m_injected; }

private:
    bool fails(Call call) {
        if (++m_counts[static_cast<std::size_t>(call)] != m_nth || call != m_failing) return false;
        m_injected = true;
        errno = m_error;
        return true;
    }

    Call m_failing;
    int m_nth;
    int m_error;
    std::optional<std::size_t> m_diskBytes;
    std::size_t m_written = 0;
    std::array<int, kCalls.size()> m_counts{};
    bool m_injected = false;
};

// Puts the calls in place for one scope.
struct UsingCalls {
    explicit UsingCalls(xlsx::FileCalls& calls) { xlsx::setFileCalls(&calls); }
    ~UsingCalls() { xlsx::setFileCalls(nullptr); }
};

// The run's edits on the base workbook: a row inserted at 3 on "Lager" (the defined name Beholdning
// covers Lager!$A$1:$A$5) and a text written, shared strings and all.
void edit(sheets::Workbook& book) {
    auto& lager = book.sheet(2);
    lager.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
    lager.setText(3, 1, "S960");
}

// What the edits give, once: the name one row longer, the rows below one further down.
void expectEditedOnce(const fs::path& path) {
    const auto workbook = testsupport::zipEntry(path, "xl/workbook.xml").value_or("");
    EXPECT_NE(workbook.find(">Lager!$A$1:$A$6<"), std::string::npos) << workbook;
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadOnly);
    auto& lager = book->sheet(2);
    EXPECT_EQ(lager.cell(2, 1).text, "S235");
    EXPECT_EQ(lager.cell(3, 1).text, "S960");
    EXPECT_EQ(lager.cell(4, 1).text, "S275");
    EXPECT_EQ(lager.cell(10, 1).text, "S690");
    EXPECT_EQ(lager.cell(11, 1).kind, sheets::CellValue::Kind::Empty);
}

struct Attempt {
    std::string message;
    bool injected;
};

// Edits a fresh copy and saves it through `calls`; when that fails, checks that nothing changed and
// saves again through the system's calls.
Attempt saveThrough(FailingCalls calls, const std::string& cause) {
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
    // Taken while the workbook is open: its lock file belongs there until the book goes.
    const auto before = hardening::snapshot(dir.path());
    edit(*book);
    Attempt attempt;
    {
        UsingCalls using_(calls);
        attempt.message = errorOf([&] { book->save(); });
        attempt.injected = calls.injected();
    }
    if (!attempt.message.empty()) {
        EXPECT_REFUSED(attempt.message, path, cause);
        EXPECT_EQ(hardening::snapshot(dir.path()), before) << "the original changed or a temporary is left";
        book->save();
    }
    EXPECT_EQ(hardening::snapshot(dir.path()).size(), before.size()) << "a temporary is left";
    expectEditedOnce(path);
    return attempt;
}

TEST(FaultsDuringSave, EachCallFailingInTurnLeavesTheOriginalAndASecondSaveWorks) {
    FailingCalls counting(Call::Create, 0, 0);
    {
        TempDir dir;
        const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        edit(*book);
        UsingCalls using_(counting);
        book->save();
    }
    int injected = 0;
    for (Call call : kCalls) {
        ASSERT_GE(counting.count(call), 1) << nameOf(call) << " is not made through the seam";
        for (int nth = 1; nth <= counting.count(call); ++nth) {
            SCOPED_TRACE(std::string(nameOf(call)) + " #" + std::to_string(nth));
            const auto attempt = saveThrough(FailingCalls(call, nth, EIO), "inn/ut-feil på disken");
            EXPECT_TRUE(attempt.injected);
            injected += attempt.injected;
            // The new file is in place once renamed; a folder that cannot be flushed fails nothing.
            EXPECT_EQ(attempt.message.empty(), call == Call::SyncFolder) << attempt.message;
        }
    }
    RecordProperty("faultsInjected", injected);
}

TEST(FaultsDuringSave, AFullDiskLeavesTheOriginalWhereverItFills) {
    const auto size = fs::file_size(testsupport::fixture("hardening/base.xlsx"));
    for (std::size_t bytes : {std::size_t{0}, std::size_t{1}, std::size_t{512}, size / 2, size - 1}) {
        SCOPED_TRACE(std::to_string(bytes) + " bytes free");
        const auto attempt = saveThrough(FailingCalls::fullDiskAfter(bytes), "disken er full");
        EXPECT_TRUE(attempt.injected);
        EXPECT_FALSE(attempt.message.empty());
    }
}

// Without any fault: the defined name is shifted once even when the save is the second of the book.
TEST(FaultsDuringSave, AFailedSaveBeforeWritingIsTriedAgainFromTheSameState) {
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("hardening/base.xlsx"), "Lager.xlsx");
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
    edit(*book);
    // A lock file of another program refuses the save before anything is staged.
    testsupport::writeFile(dir / "~$Lager.xlsx", "annen bruker");
    EXPECT_NE(errorOf([&] { book->save(); }), "");
    fs::remove(dir / "~$Lager.xlsx");
    FailingCalls calls(Call::Rename, 1, EIO);
    {
        UsingCalls using_(calls);
        EXPECT_NE(errorOf([&] { book->save(); }), "");
    }
    book->save();
    expectEditedOnce(path);
}

} // namespace
