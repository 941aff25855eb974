#include "stock/JournalFile.h"

#include "support/Python.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using stock::JournalEntry;
using stock::JournalFile;
using Kind = stock::LineOutcome::Kind;
using Rows = std::vector<std::vector<std::string>>;

JournalEntry entry(int run, int row, Kind kind) {
    JournalEntry e;
    e.time = "2026-12-10T09:14:03+01:00";
    e.user = "lager1";
    e.host = "kontor-pc";
    e.run = run;
    e.orderFile = "/data/Bestillinger/Bestilling.xlsx";
    e.orderSheet = "Bestilling";
    e.line.order = {row, "HEA", "S355J2", "200", "", "", "Blank", "6,5", "2", "2317 Kai 4"};
    e.line.kind = kind;
    e.line.stockSheet = "HEA";
    e.line.stockRow = 8;
    e.line.quantityBefore = "8";
    e.line.quantityAfter = "10";
    return e;
}

// Texts a user can type into an order, and the journal's own that need quoting.
JournalEntry awkward() {
    JournalEntry e = entry(1, 12, Kind::NotBooked);
    e.line.order.Produkt = "=HYPERLINK(\"http://x\";\"klikk\")";
    e.line.order.Grade = "-3";
    e.line.order.H = "'+1";
    e.line.order.Overflate = "Sandblåst ÆØÅ";
    e.line.order.A = "3 stk";
    e.line.stockSheet = "";
    e.line.stockRow = 0;
    e.line.warnings = "Antall \"3 stk\" på rad 12 er ikke et tall!\nHEA er bokført med 0; se ordren.";
    e.line.quantityBefore = "";
    e.line.quantityAfter = "";
    return e;
}

const std::string kHeaderLine =
    "Tidspunkt;Bruker;Maskin;Kjøring;Bestillingsfil;Ark;Rad;Produkt;Grade;H;B;T;"
    "Overflate;Meter;Antall;Prosjekt;Lagerark;Lagerrad;Utfall;Advarsel;Beholdning før;"
    "Beholdning etter";

// The fields of `line` between `separator`s.
std::vector<std::string> fields(const std::string& line, char separator = '|') {
    std::vector<std::string> all(1);
    for (char c : line)
        if (c == separator)
            all.emplace_back();
        else
            all.back() += c;
    return all;
}

// The journal as Python's csv module reads it with ';' between fields.
Rows readWithPython(const fs::path& journal) {
    const char* script = "import csv, sys\n"
                         "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                         "    for row in csv.reader(f, delimiter=';'):\n"
                         "        sys.stdout.write('\\x1f'.join(row) + '\\x1e')\n";
    auto result = testsupport::runProcess({TULVERKAN_PYTHON, "-c", script, journal.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    Rows rows;
    std::istringstream records(result.out);
    for (std::string record; std::getline(records, record, '\x1e');) {
        auto& row = rows.emplace_back();
        std::istringstream fields(record);
        for (std::string field; std::getline(fields, field, '\x1f');)
            row.push_back(field);
        if (!record.empty() && record.back() == '\x1f') row.emplace_back();
    }
    return rows;
}

TEST(JournalFile, BesideTheInventoryNamedAfterIt) {
    EXPECT_EQ(JournalFile::pathFor("/data/Tulverkan.xlsx"), fs::path("/data/Tulverkan-logg.csv"));
    EXPECT_EQ(JournalFile::pathFor("/data/lager.2026.xlsm"), fs::path("/data/lager.2026-logg.csv"));
}

// What a spreadsheet application or a script sees: UTF-8 with a byte-order mark, a header, ';'
// between fields, quotes where a field needs them, and no text that opens as a formula.
TEST(JournalFile, PythonsCsvModuleReadsItFieldByField) {
    testsupport::TempDir dir;
    const auto inventory = dir / "Tulverkan.xlsx";
    JournalFile journal;
    journal.append(inventory, {entry(1, 10, Kind::Found), awkward()});
    journal.append(inventory, {entry(2, 10, Kind::CreatedInInsertedRow)});
    const auto path = dir / "Tulverkan-logg.csv";
    const std::string bytes = testsupport::readFile(path);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3, bytes.find('\n') - 2), kHeaderLine + "\r\n");

    const std::string first =
        "2026-12-10T09:14:03+01:00|lager1|kontor-pc|1|/data/Bestillinger/Bestilling.xlsx|Bestilling|";
    const Rows expected = {
        fields(kHeaderLine, ';'),
        fields(first + "10|HEA|S355J2|200|||Blank|6,5|2|2317 Kai 4|HEA|8|funnet||8|10"),
        fields(
            first +
            "12|'=HYPERLINK(\"http://x\";\"klikk\")|-3|''+1|||Sandblåst ÆØÅ|6,5|3 stk|2317 Kai 4|||"
            "ikke bokført|Antall \"3 stk\" på rad 12 er ikke et tall!\nHEA er bokført med 0; se ordren.||"),
        fields("2026-12-10T09:14:03+01:00|lager1|kontor-pc|2|/data/Bestillinger/"
               "Bestilling.xlsx|Bestilling|10|HEA|"
               "S355J2|200|||Blank|6,5|2|2317 Kai 4|HEA|8|ny linje, rad satt inn||8|10"),
    };
    EXPECT_EQ(readWithPython(path), expected);
}

TEST(JournalFile, ReadsBackWhatItWrote) {
    testsupport::TempDir dir;
    const auto inventory = dir / "Tulverkan.xlsx";
    JournalFile journal;
    EXPECT_TRUE(journal.read(inventory).entries.empty()) << "no journal yet";
    const std::vector<JournalEntry> written = {entry(1, 10, Kind::Found), awkward(),
                                               entry(1, 13, Kind::Created)};
    journal.append(inventory, written);
    journal.append(inventory, {});
    auto contents = journal.read(inventory);
    EXPECT_EQ(contents.entries, written);
    EXPECT_EQ(contents.damagedLines, 0);
}

// A journal beside an inventory, with the line of one run.
class JournalWithALine : public ::testing::Test {
protected:
    JournalWithALine() { journal.append(inventory, {entry(1, 10, Kind::Found)}); }

    testsupport::TempDir dir;
    fs::path inventory = dir / "Tulverkan.xlsx";
    fs::path path = JournalFile::pathFor(inventory);
    JournalFile journal;
};

// A journal edited by hand: lines that do not parse are counted and passed over, and the next run
// appends after them, on a line of its own.
TEST_F(JournalWithALine, DamagedLinesArePassedOverAndCounted) {
    std::string text = testsupport::readFile(path);
    text += "Her har noen skrevet en merknad\r\n";
    text += "\r\n";
    text += "2026-12-11T10:00:00+01:00;lager1;pc;x;/b.xlsx;B;10;HEA;S;1;;;Blank;6;1;P;HEA;3;funnet;;1;2\r\n";
    text += "2026-12-11T10:00:00+01:00;lager1;pc;2;/b.xlsx;B;10;HEA;S;1;;;Blank;6;1;P;HEA;3;borte;;1;2\r\n";
    text += "2026-12-11T10:00:00+01:00;lager1;pc;2;/b.xlsx;B;10;HEA;S;1;;;Blank;6;1;\"P;HEA";
    testsupport::writeFile(path, text);
    journal.append(inventory, {entry(3, 11, Kind::Created)});

    auto contents = journal.read(inventory);
    ASSERT_EQ(contents.entries.size(), 2u);
    EXPECT_EQ(contents.entries[0], entry(1, 10, Kind::Found));
    EXPECT_EQ(contents.damagedLines, 4);
    EXPECT_EQ(contents.firstDamagedLine, 3);
    // The stray quote of the last hand-made line does not swallow the line appended after it.
    EXPECT_EQ(contents.entries[1], entry(3, 11, Kind::Created));
}

TEST_F(JournalWithALine, AJournalThatCannotBeWrittenSaysWhyAndStaysAsItWas) {
    const std::string before = testsupport::readFile(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    try {
        journal.append(inventory, {entry(2, 10, Kind::Found)});
        ADD_FAILURE() << "a read-only journal was written";
    } catch (const stock::JournalError& e) {
        EXPECT_EQ(e.cause(), "filen er skrivebeskyttet");
        EXPECT_EQ(std::string(e.what()),
                  "Kan ikke skrive loggen «" + path.string() + "»: filen er skrivebeskyttet");
    }
    EXPECT_EQ(testsupport::readFile(path), before);
    EXPECT_EQ(journal.read(inventory).entries.size(), 1u) << "a read-only journal is still read";
}

} // namespace
