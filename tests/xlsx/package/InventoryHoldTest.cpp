// The hold on a workbook opened for writing: its lock file, whom it refuses, which lock files it takes
// over, what it notices at save, and which leftovers it clears.

#include "package/InventoryHold.h"
#include "package/LockFiles.h"
#include "sheets/Error.h"
#include "support/Child.h"
#include "support/ErrorOf.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::namesIn;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

// The message of the sheets::LockedError that `action` throws; "" when it throws none.
std::string refusalOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const sheets::LockedError& error) {
        return error.what();
    }
    return "";
}

#define EXPECT_HAS(text, part) EXPECT_NE(std::string(text).find(part), std::string::npos) << (text)

struct Inventory {
    TempDir dir;
    fs::path book = dir / "Lager.xlsx";
    fs::path lock = dir / ".~lock.Lager.xlsx#";
    Inventory() { writeFile(book, "arbeidsboken slik den ble lest"); }
};

// The shape of a time in a lock entry: "10.12.2026 07:00" gives "99.99.9999 99:99".
std::string shapeOf(std::string text) {
    for (char& c : text)
        if (c >= '0' && c <= '9') c = '9';
    return text;
}

// A child process that holds the workbook until it is killed.
pid_t holdInChild(const fs::path& book) {
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        try {
            xlsx::InventoryHold hold(book);
            (void)!::write(ready[1], "x", 1);
            for (;;)
                ::pause();
        } catch (...) {
            ::_exit(1);
        }
    }
    ::close(ready[1]);
    char byte = 0;
    const bool held = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (!held) throw std::runtime_error("the child did not take the hold");
    return pid;
}

void killAndWait(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// A process id that no process has now.
pid_t goneProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

TEST(LockEntry, OursReadsBackWithItsProcessAndOthersAreNotOurs) {
    const auto text = xlsx::LockEntry::ofThisProcess().serialize();
    const auto ours = xlsx::LockEntry::parse(text);
    ASSERT_TRUE(ours) << text;
    EXPECT_EQ(ours->runProcess(), ::getpid());
    EXPECT_EQ(ours->host, xlsx::thisHost());
    EXPECT_EQ(shapeOf(ours->since), "99.99.9999 99:99");

    // Separators inside a field are escaped, as LibreOffice escapes them, and read back.
    const xlsx::LockEntry odd{"Nordmann, Ola; lager", "ola\\n", "vert", "01.02.2026 03:04",
                              "tulverkan:pid=12"};
    EXPECT_EQ(odd.serialize(), R"(Nordmann\, Ola\; lager,ola\\n,vert,01.02.2026 03:04,tulverkan:pid=12;)");
    // LibreOffice's own entries leave the name empty.
    const xlsx::LockEntry nameless{"", "ola", "vert", "01.02.2026 03:04", "file:///home/ola/.config/lo"};
    EXPECT_EQ(nameless.serialize(), ",ola,vert,01.02.2026 03:04,file:///home/ola/.config/lo;");
    const auto back = xlsx::LockEntry::parse(odd.serialize());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, odd.name);
    EXPECT_EQ(back->login, odd.login);
    EXPECT_EQ(back->runProcess(), 12);

    // LibreOffice's own entry, and URL fields that only look like ours.
    for (const char* other :
         {",ola,vert,10.12.2026 07:00,file:///home/ola/.config/libreoffice/4;",
          "T,ola,vert,10.12.2026 07:00,tulverkan:pid=12x;", "T,ola,vert,10.12.2026 07:00,tulverkan:pid=;",
          "T,ola,vert,10.12.2026 07:00,tulverkan:pid=-3;"}) {
        const auto entry = xlsx::LockEntry::parse(other);
        ASSERT_TRUE(entry) << other;
        EXPECT_FALSE(entry->runProcess()) << other;
    }
    // Cut short or of another shape: no entry at all.
    for (const char* broken :
         {"", "T,ola,vert,10.12.2026 07:00,tulverkan:pid=12", "ola,vert;", "a,b,c,d,e,f;"})
        EXPECT_FALSE(xlsx::LockEntry::parse(broken)) << broken;
}

TEST(InventoryHold, OneHoldAtATimeAndNothingLeftAfterIt) {
    Inventory inventory;
    {
        xlsx::InventoryHold hold(inventory.book);
        EXPECT_EQ(hold.lockFile(), inventory.lock);
        const auto entry = xlsx::LockEntry::parse(readFile(inventory.lock));
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->runProcess(), ::getpid());

        // A second hold is refused, in this process as in another, while the first lives.
        const auto here = refusalOf([&] { xlsx::InventoryHold second(inventory.book); });
        EXPECT_HAS(here, "Kan ikke åpne «" + inventory.book.string() +
                             "»: arbeidsboken brukes av en annen "
                             "Tulverkan-kjøring (prosess " +
                             std::to_string(::getpid()) + " på «" + xlsx::thisHost() + "», startet ");
        EXPECT_HAS(here, "vent til den er ferdig og prøv igjen");
        EXPECT_EQ(testsupport::inChild([&] {
                      return refusalOf([&] { xlsx::InventoryHold other(inventory.book); }).empty() ? 1 : 0;
                  }).exitCode,
                  0);

        // The save's check for other programs passes over our own lock file, and only over it.
        EXPECT_NO_THROW(xlsx::refuseIfLocked(inventory.book));
        EXPECT_EQ(namesIn(inventory.dir.path()),
                  (std::vector<std::string>{".~lock.Lager.xlsx#", "Lager.xlsx"}));
    }
    EXPECT_EQ(namesIn(inventory.dir.path()), std::vector<std::string>{"Lager.xlsx"});
    { xlsx::InventoryHold again(inventory.book); }
    EXPECT_EQ(namesIn(inventory.dir.path()), std::vector<std::string>{"Lager.xlsx"});
}

TEST(InventoryHold, ALockLeftByAKilledRunIsTakenOver) {
    Inventory inventory;
    const pid_t holder = holdInChild(inventory.book);
    const auto refused = refusalOf([&] { xlsx::InventoryHold hold(inventory.book); });
    EXPECT_HAS(refused, "(prosess " + std::to_string(holder) + " på «");
    killAndWait(holder);
    ASSERT_TRUE(fs::exists(inventory.lock));
    {
        xlsx::InventoryHold hold(inventory.book);
        const auto entry = xlsx::LockEntry::parse(readFile(inventory.lock));
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->runProcess(), ::getpid());
        // Taken over, it holds as a fresh one does.
        EXPECT_NE(refusalOf([&] { xlsx::InventoryHold second(inventory.book); }), "");
    }
    EXPECT_EQ(namesIn(inventory.dir.path()), std::vector<std::string>{"Lager.xlsx"});
}

// A lock file nobody holds an OS lock on, judged by what it says.
TEST(InventoryHold, ALockFileIsStaleOnlyWhenItsRunIsProvablyGone) {
    const std::string host = xlsx::thisHost();
    const std::string since = ",01.02.2026 03:04,tulverkan:pid=";
    struct Case {
        std::string what;
        std::string lockFile;
        std::string bytes;
        std::string refusal; // "" when the lock is taken over
    };
    const std::vector<Case> cases{
        {"a run of ours whose process is gone", ".~lock.Lager.xlsx#",
         "Tulverkan (ola),ola," + host + since + std::to_string(goneProcess()) + ";", ""},
        // The process id is in use again, by a process that holds no lock on the file.
        {"a run of ours whose process id was reused", ".~lock.Lager.xlsx#",
         "Tulverkan (ola),ola," + host + since + std::to_string(::getppid()) + ";", ""},
        {"a run on another machine", ".~lock.Lager.xlsx#",
         "Tulverkan (ola),ola,annen-maskin" + since + "4242;",
         "arbeidsboken brukes av en Tulverkan-kjøring på en annen maskin (prosess 4242 på «annen-maskin», "
         "startet 01.02.2026 03:04); vent til den er ferdig og prøv igjen, eller slett låsefilen "
         "«.~lock.Lager.xlsx#» hvis den kjøringen ikke finnes lenger"},
        {"LibreOffice", ".~lock.Lager.xlsx#",
         ",ola," + host + ",01.02.2026 03:04,file:///home/ola/.config/lo;",
         "arbeidsboken er åpen i et annet program (låsefilen «.~lock.Lager.xlsx#» finnes); lukk den der "
         "først "
         "og prøv igjen"},
        // A lock file whose entry is not written yet, as a run on a file system without links makes it.
        {"an empty lock file", ".~lock.Lager.xlsx#", "",
         "åpen i et annet program (låsefilen «.~lock.Lager.xlsx#»"},
        {"Excel", "~$Lager.xlsx", "ola", "åpen i et annet program (låsefilen «~$Lager.xlsx» finnes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Inventory inventory;
        writeFile(inventory.dir / c.lockFile, c.bytes);
        const auto before = namesIn(inventory.dir.path());
        if (c.refusal.empty()) {
            {
                xlsx::InventoryHold hold(inventory.book);
                EXPECT_EQ(xlsx::LockEntry::parse(readFile(inventory.lock))->runProcess(), ::getpid());
            }
            EXPECT_EQ(namesIn(inventory.dir.path()), std::vector<std::string>{"Lager.xlsx"});
        } else {
            const auto refused = refusalOf([&] { xlsx::InventoryHold hold(inventory.book); });
            EXPECT_HAS(refused, "Kan ikke åpne «" + inventory.book.string() + "»: ");
            EXPECT_HAS(refused, c.refusal);
            EXPECT_EQ(readFile(inventory.dir / c.lockFile), c.bytes);
            EXPECT_EQ(namesIn(inventory.dir.path()), before);
        }
    }
}

void setModified(const fs::path& file, const struct stat& like) {
    const timespec times[2] = {like.st_atim, like.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

TEST(InventoryHold, NoticesTheFileChangedUnderIt) {
    Inventory inventory;
    const std::string original = readFile(inventory.book);
    struct stat read {};
    ASSERT_EQ(::stat(inventory.book.c_str(), &read), 0);
    xlsx::InventoryHold hold(inventory.book);
    EXPECT_NO_THROW(hold.requireUnchanged());
    const std::string changed =
        "Kan ikke lagre «" + inventory.book.string() +
        "»: arbeidsboken er endret av noen andre etter at den ble åpnet her; ingenting "
        "er lagret, bokfør bestillingen på nytt";

    // Rewritten in place to the same size, its time put back: only the content tells.
    std::string other = original;
    other[0] = 'A';
    writeFile(inventory.book, other);
    setModified(inventory.book, read);
    EXPECT_EQ(testsupport::errorOf([&] { hold.requireUnchanged(); }), changed);
    // The same bytes and time again: the file as it was read.
    writeFile(inventory.book, original);
    setModified(inventory.book, read);
    EXPECT_NO_THROW(hold.requireUnchanged());

    // Replaced by another program's save.
    writeFile(inventory.dir / "ny", original + " og mer");
    fs::rename(inventory.dir / "ny", inventory.book);
    EXPECT_EQ(testsupport::errorOf([&] { hold.requireUnchanged(); }), changed);
    // After our own save the file on disk is the one to compare with.
    hold.noteSaved();
    EXPECT_NO_THROW(hold.requireUnchanged());

    fs::rename(inventory.book, inventory.dir / "flyttet.xlsx");
    EXPECT_EQ(testsupport::errorOf([&] { hold.requireUnchanged(); }),
              "Kan ikke lagre «" + inventory.book.string() +
                  "»: arbeidsboken er flyttet eller slettet etter at den ble åpnet her; ingenting er lagret");
}

TEST(InventoryHold, ClearsTheTemporariesOfKilledRunsAndNothingElse) {
    Inventory inventory;
    const std::vector<std::string> leftovers{".Lager.xlsx.lagres-a1B2c3", ".Lager.xlsx.laases-Zz9Yy8"};
    const std::vector<std::string> lookalikes{".Lager.xlsx.lagres-a1B2c",  ".Lager.xlsx.lagres-a1B2c3d",
                                              ".Lager.xlsx.lagres-a1-2c3", ".Annet.xlsx.lagres-a1B2c3",
                                              "Lager.xlsx.lagres-a1B2c3",  ".Lager.xlsx.kopi-a1B2c3"};
    for (const auto& name : leftovers)
        writeFile(inventory.dir / name, "halvferdig");
    for (const auto& name : lookalikes)
        writeFile(inventory.dir / name, "noe annet");
    fs::create_directory(inventory.dir / ".Lager.xlsx.lagres-mappe1");
    fs::create_symlink(inventory.book, inventory.dir / ".Lager.xlsx.lagres-lenke1");

    // Refused, a run touches nothing: the holder may be saving.
    writeFile(inventory.dir / "~$Lager.xlsx", "ola");
    const auto before = namesIn(inventory.dir.path());
    EXPECT_NE(refusalOf([&] { xlsx::InventoryHold hold(inventory.book); }), "");
    EXPECT_EQ(namesIn(inventory.dir.path()), before);
    fs::remove(inventory.dir / "~$Lager.xlsx");

    { xlsx::InventoryHold hold(inventory.book); }
    auto expected = lookalikes;
    expected.insert(expected.end(), {".Lager.xlsx.lagres-mappe1", ".Lager.xlsx.lagres-lenke1", "Lager.xlsx"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(inventory.dir.path()), expected);
    EXPECT_EQ(readFile(inventory.book), "arbeidsboken slik den ble lest");
}

} // namespace
