#include "package/Package.h"

#include "package/ParallelDeflate.h"
#include "sheets/Error.h"
#include "support/Child.h"
#include "support/Corpus.h"
#include "support/ErrorOf.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <grp.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::errorOf;

namespace fs = std::filesystem;
using testsupport::TempDir;

struct RawEntry {
    std::string name;
    std::string compressed; // the entry's bytes as stored
    zip_uint64_t size = 0;
    zip_uint32_t crc = 0;
    zip_uint16_t method = 0;
    time_t mtime = 0;
};

// The entries of a zip file as libzip reads them without inflating anything.
std::vector<RawEntry> rawEntries(const fs::path& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) throw std::runtime_error("cannot open " + path.string());
    std::vector<RawEntry> entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        zip_stat_index(archive, index, 0, &stat);
        RawEntry entry{stat.name, std::string(stat.comp_size, '\0'), stat.size, stat.crc, stat.comp_method,
                       stat.mtime};
        zip_file_t* file = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
        if (!file || zip_fread(file, entry.compressed.data(), stat.comp_size) != zip_int64_t(stat.comp_size))
            throw std::runtime_error("cannot read " + entry.name);
        zip_fclose(file);
        entries.push_back(std::move(entry));
    }
    zip_discard(archive);
    return entries;
}

// What Python's zipfile makes of an entry: a reader we did not write.
std::string pythonRead(const fs::path& path, const std::string& name) {
    auto result = testsupport::runProcess(
        {TULVERKAN_PYTHON, "-c",
         "import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))",
         path.string(), name});
    if (result.exitCode != 0) throw std::runtime_error("zipfile failed: " + result.err);
    return result.out;
}

std::vector<std::string> pythonNames(const fs::path& path) {
    auto result = testsupport::runProcess(
        {TULVERKAN_PYTHON, "-c",
         "import sys, zipfile; print('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))", path.string()});
    std::vector<std::string> names;
    std::string line;
    for (char c : result.out) {
        if (c != '\n') {
            line += c;
        } else {
            names.push_back(std::exchange(line, {}));
        }
    }
    return names;
}

// A zip file made by Python's zipfile whose entries hold their own names.
void zipOfNames(const fs::path& path, const std::vector<std::string>& names) {
    std::vector<std::string> command{
        TULVERKAN_PYTHON, "-c",
        "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], 'w', "
        "zipfile.ZIP_DEFLATED); [z.writestr(n, n) for n in sys.argv[2:]]; z.close()",
        path.string()};
    command.insert(command.end(), names.begin(), names.end());
    auto made = testsupport::runProcess(command);
    if (made.exitCode != 0) throw std::runtime_error("zipfile failed: " + made.err);
}

std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Rewrites docProps/app.xml (or the first part) as itself; returns the part's name.
std::string rewriteOnePart(xlsx::Package& package) {
    auto names = package.partNames();
    std::string part = package.contains("docProps/app.xml") ? "docProps/app.xml" : names.front();
    package.write(part, package.read(part));
    return part;
}

TEST(PackageOpen, RefusesWhatIsNoWorkbookPackageWithItsReason) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    testsupport::writeFile(dir / "notes.xlsx", "Produkt;Grade\nHEA;S355\n");
    testsupport::writeFile(dir / "empty.xlsx", "");
    auto truncated = testsupport::readFile(testsupport::corpus("autofilter00.xlsx"));
    testsupport::writeFile(dir / "truncated.xlsx", truncated.substr(0, truncated.size() / 2));
    std::string badOle("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    testsupport::writeFile(dir / "bad-ole.xlsx", badOle + std::string(1024, '\0'));
    auto password = dir.copy(testsupport::fixture("package/password.xlsx"));
    auto legacy = dir.copy(testsupport::fixture("package/legacy.xls"));
    auto document = dir.copy(testsupport::fixture("orders/no-workbook.doc"), "document.xlsx");
    fs::create_directory(dir / "folder.xlsx");

    const std::vector<std::pair<fs::path, std::string>> cases{
        {dir / "missing.xlsx", "filen finnes ikke"},
        {dir / "folder.xlsx", "mappe"},
        {dir / "notes.xlsx", "ikke en .xlsx-arbeidsbok"},
        {dir / "empty.xlsx", "filen er tom"},
        {dir / "truncated.xlsx", "skadet"},
        {dir / "bad-ole.xlsx", "skadet OLE-fil"},
        {password, "fjern passordet"},
        {legacy, "lagre den som .xlsx"},
        {document, "OLE-dokument uten arbeidsbok"}, // not a legacy workbook either
    };
    const auto before = listing(dir.path());
    for (const auto& [path, cause] : cases) {
        SCOPED_TRACE(path.filename().string());
        const std::string bytes = fs::is_regular_file(path) ? testsupport::readFile(path) : "";
        const auto message = errorOf([&] { xlsx::Package package(path); });
        EXPECT_NE(message.find("«" + path.string() + "»"), std::string::npos) << message;
        EXPECT_NE(message.find(cause), std::string::npos) << message;
        EXPECT_NE(message.back(), '.');
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(testsupport::readFile(path), bytes);
        }
    }
    EXPECT_EQ(listing(dir.path()), before);
}

TEST(PackageRead, PartsAsZipfileReadsThemWithCaseInsensitiveNames) {
    TULVERKAN_NEEDS_CORPUS();
    const auto path = testsupport::corpus("tutorial01.xlsx");
    xlsx::Package package(path);
    EXPECT_EQ(package.partNames(), pythonNames(path));
    EXPECT_TRUE(package.contains("XL/Workbook.XML"));
    EXPECT_TRUE(package.contains("/xl/workbook.xml"));
    EXPECT_FALSE(package.contains("xl/workbook.xm"));
    EXPECT_EQ(package.read("XL/WORKSHEETS/SHEET1.XML"), pythonRead(path, "xl/worksheets/sheet1.xml"));
    EXPECT_EQ(package.read("[content_types].xml"), pythonRead(path, "[Content_Types].xml"));

    const auto message = errorOf([&] { package.read("xl/worksheets/sheet9.xml"); });
    EXPECT_NE(message.find("«xl/worksheets/sheet9.xml»"), std::string::npos) << message;
    EXPECT_NE(message.find("«" + path.string() + "»"), std::string::npos) << message;
    EXPECT_NE(message.find("finnes ikke"), std::string::npos) << message;
}

TEST(PackageRead, RefusesPartsThatInflateBeyondReason) {
    TempDir dir;
    auto bomb = dir / "bomb.xlsx";
    auto made =
        testsupport::runProcess({TULVERKAN_PYTHON, testsupport::fixture("package/make_fixtures.py").string(),
                                 "--bomb", bomb.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_LT(fs::file_size(bomb), 4u << 20);
    xlsx::Package package(bomb);
    EXPECT_NO_THROW(package.read("[Content_Types].xml"));
    auto message = errorOf([&] { package.read("xl/worksheets/sheet1.xml"); });
    EXPECT_NE(message.find("urimelig"), std::string::npos) << message;

    // An entry that declares less than it holds must not be inflated past what it declares.
    xlsx::Package lying(testsupport::fixture("package/understated-size.xlsx"));
    message = errorOf([&] { lying.read("xl/worksheets/sheet1.xml"); });
    EXPECT_NE(message.find("lengre enn"), std::string::npos) << message;
}

TEST(PackageEdit, WrittenRemovedAndNewPartsAreSavedInPlaceAndOrder) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(testsupport::corpus("autofilter00.xlsx"));
    const auto original = pythonNames(path);
    xlsx::Package package(path);

    package.write("xl/worksheets/sheet1.xml", "<worksheet/>");
    package.write("customXml/item1.xml", "<a/>");
    package.write("customXml/item2.xml", "<b/>");
    package.remove("docProps/core.xml");
    package.remove("customXml/item2.xml");
    package.remove("no/such/part.xml");
    EXPECT_TRUE(package.changed());
    EXPECT_EQ(package.read("XL/worksheets/sheet1.xml"), "<worksheet/>");
    EXPECT_FALSE(package.contains("docProps/core.xml"));
    EXPECT_FALSE(package.contains("customXml/item2.xml"));
    EXPECT_THROW(package.read("docProps/core.xml"), sheets::Error);

    auto expected = original;
    std::erase(expected, "docProps/core.xml");
    expected.push_back("customXml/item1.xml");
    EXPECT_EQ(package.partNames(), expected);
    package.save();
    EXPECT_FALSE(package.changed());
    EXPECT_EQ(pythonNames(path), expected);
    EXPECT_EQ(pythonRead(path, "xl/worksheets/sheet1.xml"), "<worksheet/>");
    EXPECT_EQ(pythonRead(path, "customXml/item1.xml"), "<a/>");
    // The package now reads from what it saved.
    EXPECT_EQ(package.read("customXml/item1.xml"), "<a/>");
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"autofilter00.xlsx"});
}

TEST(PackageEdit, PartsWrittenDeflatedReadAsTheirTextAndAreStoredAsGiven) {
    TempDir dir;
    auto path = dir / "deflated.xlsx";
    zipOfNames(path, {"[Content_Types].xml", "xl/a.xml", "xl/b.xml"});
    std::string text;
    for (int row = 1; text.size() < (std::size_t{300} << 10); ++row)
        text += "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) + "\"><v>" +
                std::to_string(row * 7 % 1000) + "</v></c></row>";
    auto deflated = xlsx::deflateParallel(text, xlsx::kPartDeflateLevel);
    ASSERT_TRUE(deflated);
    const std::string compressed = deflated->data;

    xlsx::Package package(path);
    package.writeDeflated("xl/a.xml", *deflated);
    package.writeDeflated("xl/new.xml", *deflated);
    package.writeDeflated("xl/gone.xml", *deflated);
    package.remove("xl/gone.xml");
    // A later plain write replaces a deflated one.
    package.writeDeflated("xl/b.xml", *deflated);
    package.write("xl/b.xml", "plain");
    EXPECT_TRUE(package.changed());
    EXPECT_EQ(package.read("XL/A.xml"), text);
    EXPECT_EQ(package.read("xl/b.xml"), "plain");
    EXPECT_FALSE(package.contains("xl/gone.xml"));
    EXPECT_EQ(package.partNames(),
              (std::vector<std::string>{"[Content_Types].xml", "xl/a.xml", "xl/b.xml", "xl/new.xml"}));

    package.discardChanges();
    EXPECT_FALSE(package.changed());
    EXPECT_EQ(package.read("xl/a.xml"), "xl/a.xml");
    // And a later deflated write replaces a plain one.
    package.write("xl/a.xml", "plain");
    package.writeDeflated("xl/a.xml", *deflated);
    package.writeDeflated("xl/new.xml", std::move(*deflated));
    package.save();
    EXPECT_EQ(pythonNames(path),
              (std::vector<std::string>{"[Content_Types].xml", "xl/a.xml", "xl/b.xml", "xl/new.xml"}));
    EXPECT_EQ(pythonRead(path, "xl/a.xml"), text);
    EXPECT_EQ(pythonRead(path, "xl/new.xml"), text);
    EXPECT_EQ(pythonRead(path, "xl/b.xml"), "xl/b.xml");
    for (const auto& entry : rawEntries(path)) {
        if (entry.name != "xl/a.xml" && entry.name != "xl/new.xml") continue;
        EXPECT_EQ(entry.method, ZIP_CM_DEFLATE) << entry.name;
        EXPECT_EQ(entry.compressed, compressed) << entry.name << ": compressed again";
    }
}

TEST(PackageEdit, EntriesDifferingInCaseAloneAndSymbolicLinksSurviveASave) {
    TempDir dir;
    auto path = dir / "cases.xlsx";
    zipOfNames(path, {"[Content_Types].xml", "xl/a.xml", "XL/A.XML", "xl/b.xml"});
    fs::create_symlink("cases.xlsx", dir / "link.xlsx");
    xlsx::Package package(dir / "link.xlsx");
    EXPECT_EQ(package.read("XL/a.xml"), "xl/a.xml");
    package.write("xl/A.xml", "new");
    package.remove("xl/b.xml");
    package.save();
    EXPECT_TRUE(fs::is_symlink(dir / "link.xlsx"));
    EXPECT_EQ(pythonNames(path), (std::vector<std::string>{"[Content_Types].xml", "xl/a.xml", "XL/A.XML"}));
    EXPECT_EQ(pythonRead(path, "xl/a.xml"), "new");
    EXPECT_EQ(pythonRead(path, "XL/A.XML"), "XL/A.XML");
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"cases.xlsx", "link.xlsx"}));
}

TEST(PackageSave, WithoutChangesLeavesTheFileAlone) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(testsupport::corpus("autofilter00.xlsx"));
    struct stat before {};
    ::stat(path.c_str(), &before);
    xlsx::Package package(path);
    package.save();
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(testsupport::readFile(path), testsupport::readFile(testsupport::corpus("autofilter00.xlsx")));
}

TEST(PackageSave, RefusesWhileAnotherProgramHoldsTheLock) {
    TULVERKAN_NEEDS_CORPUS();
    for (const std::string lock : {"~$lager.xlsx", ".~lock.lager.xlsx#"}) {
        SCOPED_TRACE(lock);
        TempDir dir;
        auto path = dir.copy(testsupport::corpus("autofilter00.xlsx"), "lager.xlsx");
        testsupport::writeFile(dir / lock, "owner");
        const auto bytes = testsupport::readFile(path);
        xlsx::Package package(path);
        rewriteOnePart(package);
        try {
            package.save();
            ADD_FAILURE() << "saved despite " << lock;
        } catch (const sheets::LockedError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("«" + path.string() + "»"), std::string::npos) << message;
            EXPECT_NE(message.find("lukk den"), std::string::npos) << message;
        }
        EXPECT_EQ(testsupport::readFile(path), bytes);
        std::vector<std::string> expected{lock, "lager.xlsx"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listing(dir.path()), expected);
        EXPECT_TRUE(package.changed());
    }
}

TEST(PackageSave, ReportsAnUnwritableFolderAndLeavesTheOriginal) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(testsupport::corpus("autofilter00.xlsx"));
    const auto bytes = testsupport::readFile(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    auto attempt = [&] {
        xlsx::Package package(path);
        rewriteOnePart(package);
        const auto message = errorOf([&] { package.save(); });
        return message.find("mappen kan ikke skrives") != std::string::npos &&
                       message.find("«" + path.string() + "»") != std::string::npos
                   ? 0
                   : 1;
    };
    if (geteuid() == 0) {
        // Root writes regardless of permission bits; nobody (65534) cannot.
        const int status = testsupport::inChild([&] {
                               if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                                   return 3;
                               if (access(dir.path().c_str(), W_OK) == 0) return 4;
                               return attempt();
                           }).exitCode;
        ASSERT_EQ(status, 0);
    } else {
        fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
        if (access(dir.path().c_str(), W_OK) == 0) GTEST_SKIP() << "the folder stays writable";
        EXPECT_EQ(attempt(), 0);
        fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    EXPECT_EQ(testsupport::readFile(path), bytes);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"autofilter00.xlsx"});
}

TEST(PackageSave, AWriteFailureRemovesTheTemporaryAndLeavesTheOriginal) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(testsupport::corpus("autofilter00.xlsx"));
    const auto bytes = testsupport::readFile(path);
    // Writes past RLIMIT_FSIZE fail with EFBIG once SIGXFSZ no longer kills the writer.
    const int status = testsupport::inChild([&] {
                           rlimit limit{64 * 1024, 64 * 1024};
                           if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
                           std::signal(SIGXFSZ, SIG_IGN);
                           xlsx::Package package(path);
                           std::mt19937 random(7);
                           std::string noise(2 << 20, '\0');
                           for (char& c : noise)
                               c = static_cast<char>(random());
                           package.write("xl/media/noise.bin", std::move(noise));
                           const auto message = errorOf([&] { package.save(); });
                           return message.find("filen blir større") != std::string::npos ? 0 : 1;
                       }).exitCode;
    ASSERT_EQ(status, 0);
    EXPECT_EQ(testsupport::readFile(path), bytes);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"autofilter00.xlsx"});
}

TEST(PackageSave, EveryCorpusWorkbookKeepsItsUntouchedEntriesByteForByte) {
    TULVERKAN_NEEDS_CORPUS();
    std::vector<fs::path> workbooks;
    for (const auto& entry : fs::directory_iterator(testsupport::corpusFolder()))
        if (entry.path().extension() == ".xlsx") workbooks.push_back(entry.path());
    std::sort(workbooks.begin(), workbooks.end());
    ASSERT_GT(workbooks.size(), 50u);

    for (std::size_t n = 0; n < workbooks.size(); ++n) {
        SCOPED_TRACE(workbooks[n].filename().string());
        TempDir dir;
        auto path = dir.copy(workbooks[n]);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        const auto before = rawEntries(path);

        xlsx::Package package(path);
        const auto part = rewriteOnePart(package);
        const auto data = package.read(part);
        package.save();

        const auto after = rawEntries(path);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            SCOPED_TRACE(before[i].name);
            EXPECT_EQ(after[i].name, before[i].name);
            EXPECT_EQ(after[i].size, before[i].size);
            EXPECT_EQ(after[i].crc, before[i].crc);
            if (before[i].name == part) continue;
            EXPECT_EQ(after[i].method, before[i].method);
            EXPECT_EQ(after[i].mtime, before[i].mtime);
            EXPECT_TRUE(after[i].compressed == before[i].compressed);
        }
        EXPECT_EQ(xlsx::Package(path).read(part), data);
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(listing(dir.path()), std::vector<std::string>{workbooks[n].filename().string()});

        // Other readers see the same workbook: a sample, as each check starts Python.
        if (n % 33 == 0) {
            const auto tool =
                testsupport::corpusFolder().parent_path().parent_path() / "tools" / "xlsx-entries";
            auto entries = testsupport::runProcess(
                {TULVERKAN_PYTHON, tool.string(), workbooks[n].string(), path.string()});
            EXPECT_EQ(entries.exitCode, 0) << entries.out << entries.err;
            EXPECT_EQ(pythonRead(path, part), data);
            EXPECT_EQ(testsupport::openpyxlDump(path), testsupport::openpyxlDump(workbooks[n]));
        }
    }
}

} // namespace
