// Broken and hostile workbooks through the public engine: each is refused with a Norwegian message
// naming the file and the cause, or read safely, and the folder is never written to.

#include "Untouched.h"

#include "sheets/Error.h"
#include "support/Child.h"
#include "support/ErrorOf.h"
#include "support/Python.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

namespace fs = std::filesystem;
using testsupport::errorOf;
using testsupport::TempDir;
using testsupport::ZipEntry;

std::vector<ZipEntry> base() {
    return testsupport::zipEntries(testsupport::fixture("hardening/base.xlsx"));
}

std::string& entry(std::vector<ZipEntry>& entries, const std::string& name) {
    auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
    if (found == entries.end()) throw std::runtime_error("no entry " + name);
    return found->data;
}

std::vector<ZipEntry> without(std::vector<ZipEntry> entries, const std::string& name) {
    entries.erase(
        std::remove_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; }),
        entries.end());
    return entries;
}

std::vector<ZipEntry> replaced(std::vector<ZipEntry> entries, const std::string& name,
                               const std::string& from, const std::string& to) {
    auto& data = entry(entries, name);
    const auto at = data.find(from);
    if (at == std::string::npos) throw std::runtime_error("no " + from + " in " + name);
    data.replace(at, from.size(), to);
    return entries;
}

// The workbook part with its <sheets> element replaced.
std::vector<ZipEntry> sheetsReplaced(std::vector<ZipEntry> entries, const std::string& replacement) {
    auto& data = entry(entries, "xl/workbook.xml");
    const auto from = data.find("<sheets>");
    const auto to = data.find("</sheets>");
    if (from == std::string::npos || to == std::string::npos) throw std::runtime_error("no <sheets>");
    data.replace(from, to + 9 - from, replacement);
    return entries;
}

std::string zipBytes(const std::vector<ZipEntry>& entries) {
    TempDir dir;
    testsupport::writeZip(dir / "x.xlsx", entries);
    return testsupport::readFile(dir / "x.xlsx");
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

const std::string kSheet = "xl/worksheets/sheet2.xml"; // "Lager"
const std::string kStrings = "xl/sharedStrings.xml";

struct Case {
    std::string what;
    std::string bytes;
    std::string cause;
};

// Each case as the inventory (open for writing, edited, saved) and as an order (read only): the
// same refusal both ways, and the folder as it was.
void expectRefusedBothWays(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const auto path = dir / "Lager.xlsx";
        testsupport::writeFile(path, c.bytes);
        const auto before = hardening::snapshot(dir.path());
        EXPECT_REFUSED(errorOf([&] { hardening::openEditSave(path); }), path, c.cause);
        EXPECT_REFUSED(errorOf([&] { hardening::openAndRead(path); }), path, c.cause);
        EXPECT_EQ(hardening::snapshot(dir.path()), before);
    }
}

TEST(HostileInput, DamagedPackagesAreRefusedWithTheirCause) {
    const auto whole = zipBytes(base());
    std::vector<Case> cases{
        {"tom fil", "", "filen er tom"},
        {"tilfeldige byte", randomBytes(4096, 1), "ikke en .xlsx-arbeidsbok"},
        {"zip-signatur og så støy", "PK\x03\x04" + randomBytes(4096, 2), "skadet"},
        {"uten arbeidsbok", zipBytes(without(base(), "_rels/.rels")), "ingen arbeidsbok"},
        {"arbeidsbokdelen mangler", zipBytes(without(base(), "xl/workbook.xml")),
         "«xl/workbook.xml» mangler"},
        {"arkdelen mangler", zipBytes(without(base(), kSheet)), "arket «Lager» mangler"},
        {"arket peker ikke på noen del",
         zipBytes(replaced(base(), "xl/workbook.xml", "r:id=\"rId2\"", "r:id=\"rId99\"")), "peker ikke på"},
        {"ingen ark", zipBytes(sheetsReplaced(base(), "<sheets/>")), "ingen ark"},
    };
    for (std::size_t cut : {whole.size() / 2, whole.size() - 1, whole.size() - 22, std::size_t{30}})
        cases.push_back({"avkuttet ved " + std::to_string(cut), whole.substr(0, cut), "skadet"});
    expectRefusedBothWays(cases);
}

TEST(HostileInput, DamagedSheetXmlIsRefusedNamingTheSheet) {
    const std::string sheetData = "</sheetData>";
    auto inject = [&](const std::string& rows) {
        return zipBytes(replaced(base(), kSheet, sheetData, rows + sheetData));
    };
    expectRefusedBothWays({
        {"rad etter siste rad", inject("<row r=\"1048577\"><c r=\"A1048577\"><v>1</v></c></row>"), "1048577"},
        {"kolonne etter siste kolonne", inject("<row r=\"20\"><c r=\"XFE20\"><v>1</v></c></row>"), "XFE20"},
        {"cellereferanse som ikke kan leses", inject("<row r=\"20\"><c r=\"1A\"><v>1</v></c></row>"), "1A"},
        {"radnummer som ikke kan leses", inject("<row r=\"x\"><c><v>1</v></c></row>"), "radnummer «x»"},
        {"avkuttet XML", zipBytes(replaced(base(), kSheet, sheetData, "<row r=\"20\"><c r=\"A20\"><v>1</v>")),
         "arket «Lager»"},
    });
}

TEST(HostileInput, DuplicateSheetNamesAreRefused) {
    // Names are compared as the application compares them: "LAGER" and "Lager" are the same sheet.
    expectRefusedBothWays({
        {"to ark med samme navn",
         zipBytes(replaced(base(), "xl/workbook.xml", "name=\"Oversikt\"", "name=\"LAGER\"")), "«Lager»"},
    });
}

// A document type declaration may define entities that expand a few bytes into gigabytes, or read
// other files; package parts may not carry one, and nothing in it is ever expanded.
TEST(HostileInput, DocumentTypeDeclarationsAreNeverExpanded) {
    std::string dtd = "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\">";
    for (char name = 'b'; name <= 'j'; ++name)
        dtd += std::string("<!ENTITY ") + name + " \"" + [&] {
            std::string ten;
            for (int i = 0; i < 10; ++i)
                ten += std::string("&") + static_cast<char>(name - 1) + ";";
            return ten;
        }() + "\">";
    dtd += "<!ENTITY ekstern SYSTEM \"file:///etc/passwd\">]>";
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    auto inSheet = base();
    entry(inSheet, kSheet).insert(declaration.size(), dtd);
    inSheet = replaced(
        inSheet, kSheet, "</sheetData>",
        "<row r=\"20\"><c r=\"A20\" t=\"inlineStr\"><is><t>&j;&ekstern;</t></is></c></row></sheetData>");
    auto inStrings = base();
    entry(inStrings, kStrings).insert(declaration.size(), dtd);
    inStrings = replaced(inStrings, kStrings, "<t>Kvalitet</t>", "<t>&j;&ekstern;</t>");
    auto inWorkbook = base();
    entry(inWorkbook, "xl/workbook.xml").insert(declaration.size(), dtd);

    for (const auto& [what, bytes] :
         std::vector<std::pair<std::string, std::string>>{{"i arket", zipBytes(inSheet)},
                                                          {"i tekstene", zipBytes(inStrings)},
                                                          {"i arbeidsboken", zipBytes(inWorkbook)}}) {
        SCOPED_TRACE(what);
        TempDir dir;
        const auto path = dir / "Lager.xlsx";
        testsupport::writeFile(path, bytes);
        const auto before = hardening::snapshot(dir.path());
        for (auto mode : {sheets::OpenMode::ReadOnly, sheets::OpenMode::ReadWrite}) {
            const auto message = errorOf([&] {
                auto book = xlsx::openWorkbook(path, mode);
                for (int row = 1; row <= 20; ++row) {
                    const auto value = book->sheet(2).cell(row, 1);
                    EXPECT_EQ(value.text.find("aaaaaaaaaa"), std::string::npos);
                    EXPECT_EQ(value.text.find("root:"), std::string::npos);
                }
            });
            EXPECT_REFUSED(message, path, "DTD");
        }
        EXPECT_EQ(hardening::snapshot(dir.path()), before);
    }
}

TEST(HostileInput, PartsThatInflateBeyondReasonAreRefused) {
    TempDir work;
    auto bomb = work / "bomb.xlsx";
    auto made = testsupport::runProcess({TULVERKAN_PYTHON,
                                         testsupport::fixture("hardening/make_fixtures.py").string(),
                                         "--bomb", bomb.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    // One shared string of 100 MB: deflate packs it a thousandfold.
    const auto huge =
        replaced(base(), kStrings, "<t>Kvalitet</t>", "<t>" + std::string(100 << 20, 'x') + "</t>");
    expectRefusedBothWays({
        {"zip-bombe", testsupport::readFile(bomb), "urimelig"},
        {"tekst på 100 MB", zipBytes(huge), "urimelig"},
    });
}

// A long text that packs too poorly to count as a bomb is read, in memory proportional to it.
TEST(HostileInput, ALongTextIsReadInBoundedMemory) {
    constexpr std::size_t kSize = 24 << 20;
    std::mt19937 random(3);
    std::string text(kSize, 'a');
    for (char& c : text)
        c = static_cast<char>('a' + random() % 16);
    TempDir dir;
    const auto path = dir / "Lager.xlsx";
    testsupport::writeFile(path,
                           zipBytes(replaced(base(), kStrings, "<t>Kvalitet</t>", "<t>" + text + "</t>")));
    const auto small = dir / "Liten.xlsx";
    testsupport::writeFile(small, zipBytes(base()));

    auto read = [](const fs::path& book) {
        auto run = testsupport::inChild([&] {
            auto workbook = xlsx::openWorkbook(book, sheets::OpenMode::ReadOnly);
            return workbook->sheet(2).cell(1, 1).text.size() >= 8 ? 0 : 1;
        });
        EXPECT_EQ(run.exitCode, 0) << book;
        return run.peakKiB;
    };
    const long baseline = read(small);
    const long peak = read(path);
    // The package part, the parsed text and a copy or two; not tens of copies.
    EXPECT_LT(peak - baseline, static_cast<long>(6 * kSize / 1024)) << "baseline " << baseline << " KiB";
}

// Zip entries are looked up by name and never unpacked onto the disk: names that climb out of the
// folder or start at the root are kept as they are and create nothing.
TEST(HostileInput, EntryNamesOutsideThePackageCreateNothing) {
    auto entries = base();
    entries.push_back({"../../utenfor.txt", "ut"});
    entries.push_back({"/tmp/tulverkan-absolutt.txt", "rot"});
    entries.push_back({"xl/../../oppover.xml", "<x/>"});
    TempDir outer;
    fs::create_directories(outer / "a" / "b");
    const auto path = outer / "a" / "b" / "Lager.xlsx";
    testsupport::writeZip(path, entries);

    EXPECT_EQ(errorOf([&] { hardening::openEditSave(path); }), "");
    EXPECT_EQ(errorOf([&] { hardening::openAndRead(path); }), "");
    EXPECT_EQ(hardening::snapshot(outer.path()),
              (std::map<std::string, std::string>{{"a", "(ikke en fil)"}}));
    EXPECT_EQ(hardening::snapshot(outer / "a"), (std::map<std::string, std::string>{{"b", "(ikke en fil)"}}));
    EXPECT_FALSE(fs::exists("/tmp/tulverkan-absolutt.txt"));
    auto names = testsupport::zipEntryNames(path);
    for (const auto& odd : {"../../utenfor.txt", "/tmp/tulverkan-absolutt.txt", "xl/../../oppover.xml"})
        EXPECT_NE(std::find(names.begin(), names.end(), odd), names.end()) << odd;

    // A sheet whose relationship climbs out of the package is a missing part, not a file on disk.
    testsupport::writeZip(path, replaced(base(), "xl/_rels/workbook.xml.rels", "worksheets/sheet2.xml",
                                         "../../../../../../etc/passwd"));
    const auto before = hardening::snapshot(outer / "a" / "b");
    EXPECT_REFUSED(errorOf([&] { hardening::openAndRead(path); }), path, "mangler");
    EXPECT_EQ(hardening::snapshot(outer / "a" / "b"), before);
}

} // namespace
