#include "batch/Batch.h"

#include "support/Csv.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;

struct BatchRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

BatchRun runBatch(const std::vector<std::string>& args) {
    QStringList list{QStringLiteral("tulverkan-batch")};
    for (const auto& arg : args)
        list << QString::fromStdString(arg);
    std::ostringstream out;
    std::ostringstream err;
    BatchRun run;
    run.exitCode = batch::runBatch(list, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The sample workbooks, made once per test program by the script the run command uses.
const fs::path& samples() {
    static TempDir folder;
    static bool made = false;
    if (!made) {
        auto result = testsupport::runProcess(
            {TULVERKAN_PYTHON, TULVERKAN_SAMPLES "/make_samples.py", folder.path().string()});
        if (result.exitCode != 0) throw std::runtime_error("make_samples.py failed: " + result.err);
        made = true;
    }
    return folder.path();
}

// Lines of `dump` that are missing from it, each "Sheet!A1:kind:value".
std::vector<std::string> missingLines(const std::string& dump, const std::vector<std::string>& lines) {
    std::vector<std::string> missing;
    for (const auto& line : lines)
        if (("\n" + dump).find("\n" + line + "\n") == std::string::npos) missing.push_back(line);
    return missing;
}

const std::string kWarning = "Feil: Ark UNP ikke funnet i tulverkan!\n";
const std::string kSummary = "Bokført 9 bestillingslinjer: 5 nye lagerlinjer, 4 rader satt inn, 1 advarsel";

class BatchOnSamples : public ::testing::Test {
protected:
    TempDir m_dir;
    fs::path m_inventory = m_dir.copy(samples() / "Tulverkan.xlsx");
    fs::path m_order = m_dir.copy(samples() / "Bestilling.xlsx");
};

TEST_F(BatchOnSamples, BooksTheMarkedLinesAndSavesTheInventory) {
    const std::string orderBefore = readFile(m_order);
    auto run = runBatch({m_inventory.string(), m_order.string()});
    ASSERT_EQ(run.exitCode, batch::kDone) << run.err;
    EXPECT_EQ(run.err, kWarning);
    EXPECT_EQ(run.out, kSummary + "\n");
    EXPECT_EQ(readFile(m_order), orderBefore);

    const std::string values = testsupport::openpyxlDump(m_inventory);
    EXPECT_EQ(missingLines(values,
                           {
                               // existing lines: quantity added, project replaced
                               "HEA!G8:n:14.0",
                               "HEA!K8:s:2317 Kai 4",
                               "Ø!H4:n:18.0",
                               "Ø!L4:s:2320 Lagerhall",
                               "Kranbane skinner!H4:n:4.0",
                               "Flattstål!H4:n:20.0",
                               // the unmarked line is left alone
                               "HEA!G5:n:3.0",
                               // a new line in a row inserted between lines of its grade
                               "HEA!A10:s:HEA",
                               "HEA!B10:s:S355J2",
                               "HEA!C10:s:240",
                               "HEA!D10:s:Blank",
                               "HEA!F10:n:12.0",
                               "HEA!G10:n:2.0",
                               "HEA!K10:s:2317 Kai 4",
                               "HEA!P10:s:Automatisk opprettet",
                               "HEA!C11:n:260.0",
                               // new lines after the last: rows inserted over the end of the list,
                               // which moves down with the totals, untouched
                               "HEA!C13:s:320",
                               "HEA!G13:n:2.0",
                               "HEA!B14:s:S460M",
                               "HEA!G14:n:1.0",
                               "HEA!A15:s:Slutt på listen: nye linjer kommer over denne raden",
                               "HEA!A16:s:Sum",
                               // a new grade sorting first: a row inserted at row 3
                               "RHS!B3:s:S275J2H",
                               "RHS!C3:s:80",
                               "RHS!D3:s:40",
                               "RHS!E3:s:4",
                               "RHS!H3:n:6.0",
                               "RHS!I3:n:10.0",
                               "RHS!R3:s:Automatisk opprettet",
                               "RHS!B4:s:S355J2H",
                               // an empty sheet: written into row 3
                               "IPE!A3:s:IPE",
                               "IPE!C3:s:200",
                               "IPE!G3:n:3.0",
                               "IPE!P3:s:Automatisk opprettet",
                           }),
              std::vector<std::string>{});
    EXPECT_EQ(values.find("IPE!A4:"), std::string::npos);
    EXPECT_EQ(values.find("HEA!A17:"), std::string::npos);

    // References follow the inserted rows, on the sheet and from the overview; the totals count the
    // lines inserted over the end of the list.
    EXPECT_EQ(missingLines(testsupport::openpyxlDump(m_inventory, true),
                           {"HEA!I11:f:=F11*G11*H11", "HEA!G16:f:=SUM(G2:G15)", "Oversikt!C4:f:='HEA'!$I$16",
                            "Oversikt!B4:f:=COUNTA('HEA'!B2:B15)", "Oversikt!B8:f:=COUNTA('RHS'!B2:B8)"}),
              std::vector<std::string>{});
}

// The samples take any number of bookings: the same order again adds to the lines the first booking
// made, and the end of the list and the totals stay where the first booking moved them.
TEST_F(BatchOnSamples, BookedAgainAddsToTheSameLines) {
    ASSERT_EQ(runBatch({m_inventory.string(), m_order.string()}).exitCode, batch::kDone);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(runBatch({"--again", m_inventory.string(), m_order.string()}).exitCode, batch::kDone);
    const std::string values = testsupport::openpyxlDump(m_inventory);
    EXPECT_EQ(missingLines(values, {"HEA!G8:n:26.0", "HEA!C10:s:240", "HEA!G10:n:6.0", "HEA!C13:s:320",
                                    "HEA!G13:n:6.0", "HEA!G14:n:3.0", "HEA!A16:s:Sum", "HEA!G16:n:65.0",
                                    "IPE!G3:n:9.0", "RHS!I3:n:30.0"}),
              std::vector<std::string>{});
    EXPECT_EQ(values.find("HEA!A17:"), std::string::npos);
    EXPECT_EQ(values.find("IPE!A4:"), std::string::npos);
}

// What a LibreOffice user sees on opening the booked samples: every formula shows what recalculating
// gives, on the booked sheets and on the overview that refers to them across inserted rows.
TEST_F(BatchOnSamples, LibreOfficeShowsCurrentResults) {
    if (testsupport::soffice().empty()) GTEST_SKIP() << "LibreOffice is not installed";
    ASSERT_EQ(runBatch({m_inventory.string(), m_order.string()}).exitCode, batch::kDone);
    const fs::path shown = m_dir / "vist";
    const fs::path recalculated = m_dir / "beregnet";
    auto first = testsupport::runPythonScript("libreoffice_csv.py", {m_inventory.string(), shown.string()});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    auto second = testsupport::runPythonScript("libreoffice_csv.py",
                                               {m_inventory.string(), recalculated.string(), "--recalc"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    for (const char* sheet : {"Oversikt", "HEA", "IPE", "Ø", "Kranbane skinner", "RHS", "Flattstål"}) {
        const std::string csv = std::string(sheet) + ".csv";
        std::string where;
        EXPECT_TRUE(testsupport::sameCsv(readFile(shown / csv), readFile(recalculated / csv), &where))
            << sheet << ", " << where;
    }
}

// The sample order booked a second time: refused with the question's text unless the options say
// what to do, and then done as they say; the journal has every line of every saved run.
TEST_F(BatchOnSamples, BookingTheSameOrderAgainIsRefusedUnlessToldWhatToDo) {
    ASSERT_EQ(runBatch({m_inventory.string(), m_order.string()}).exitCode, batch::kDone);
    const fs::path journal = m_dir / "Tulverkan-logg.csv";
    const std::string inventoryOnce = readFile(m_inventory);
    const std::string journalOnce = readFile(journal);
    EXPECT_EQ(std::count(journalOnce.begin(), journalOnce.end(), '\n'), 1 + 10) << "the header and 10 lines";

    auto refused = runBatch({m_inventory.string(), m_order.string()});
    EXPECT_EQ(refused.exitCode, batch::kNotDone);
    EXPECT_EQ(refused.out, "");
    const std::string question =
        "Tulverkan: 9 av 10 merkede linjer i «Bestilling.xlsx» er bokført i denne lagerfilen "
        "før, sist ";
    EXPECT_EQ(refused.err.substr(0, question.size()), question) << refused.err;
    const std::string choices = ". Ingenting er bokført. Velg --again (bokfør alle 10 linjene på nytt) eller "
                                "--new-only (bokfør bare den ene nye linjen).\n";
    ASSERT_GE(refused.err.size(), choices.size());
    EXPECT_EQ(refused.err.substr(refused.err.size() - choices.size()), choices) << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_EQ(readFile(m_inventory), inventoryOnce) << "nothing saved";
    EXPECT_EQ(readFile(journal), journalOnce);

    // Only the product without a sheet was not booked: it is the one new line, and warns again.
    auto newOnly = runBatch({"--new-only", m_inventory.string(), m_order.string()});
    EXPECT_EQ(newOnly.exitCode, batch::kDone) << newOnly.err;
    EXPECT_NE(newOnly.err.find("--new-only: bokfør bare den ene nye linjen.\n" + kWarning), std::string::npos)
        << newOnly.err;
    EXPECT_EQ(newOnly.out,
              "Bokført 0 bestillingslinjer: 0 nye lagerlinjer, 0 rader satt inn, 1 advarsel, 9 linjer "
              "bokført før hoppet over\n");
    const std::string valuesOnce = [&] {
        TempDir once;
        testsupport::writeFile(once / "Tulverkan.xlsx", inventoryOnce);
        return testsupport::openpyxlDump(once / "Tulverkan.xlsx");
    }();
    EXPECT_EQ(testsupport::openpyxlDump(m_inventory), valuesOnce) << "nothing new booked";

    auto again = runBatch({"--again", m_inventory.string(), m_order.string()});
    EXPECT_EQ(again.exitCode, batch::kDone) << again.err;
    EXPECT_EQ(again.out, "Bokført 9 bestillingslinjer: 0 nye lagerlinjer, 0 rader satt inn, 1 advarsel\n");
    EXPECT_EQ(missingLines(testsupport::openpyxlDump(m_inventory), {"HEA!G8:n:20.0", "HEA!G13:n:4.0"}),
              std::vector<std::string>{});
    const std::string journalText = readFile(journal);
    EXPECT_EQ(std::count(journalText.begin(), journalText.end(), '\n'), 1 + 10 + 1 + 10);
}

// The journal never stops a booking: a line damaged by hand is passed over with one warning, and a
// journal marked read-only is a warning after the save.
TEST_F(BatchOnSamples, ADamagedOrReadOnlyJournalIsAWarningAndTheBookingStands) {
    ASSERT_EQ(runBatch({m_inventory.string(), m_order.string()}).exitCode, batch::kDone);
    const fs::path journal = m_dir / "Tulverkan-logg.csv";
    testsupport::writeFile(journal, readFile(journal) + "rettet for hånd;uten resten av feltene\r\n");
    fs::permissions(journal, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string journalBefore = readFile(journal);
    const std::string inventoryBefore = readFile(m_inventory);

    auto run = runBatch({"--again", m_inventory.string(), m_order.string()});
    EXPECT_EQ(run.exitCode, batch::kDone) << run.err;
    const std::string damaged = "Feil: Loggen «" + journal.string() +
                                "» har 1 linje som ikke kan leses (linje 12); den er hoppet over.\n";
    const std::string readOnly = "Feil: Bokføringen er lagret, men loggen «" + journal.string() +
                                 "» kunne ikke skrives: filen er skrivebeskyttet.\n";
    EXPECT_EQ(run.err.substr(0, damaged.size()), damaged) << run.err;
    ASSERT_GE(run.err.size(), readOnly.size());
    EXPECT_EQ(run.err.substr(run.err.size() - readOnly.size()), readOnly) << run.err;
    EXPECT_NE(readFile(m_inventory), inventoryBefore) << "the booking was saved";
    EXPECT_EQ(readFile(journal), journalBefore);
}

TEST_F(BatchOnSamples, DryRunSavesNothing) {
    const std::string before = readFile(m_inventory);
    auto run = runBatch({"--dry-run", m_inventory.string(), m_order.string()});
    ASSERT_EQ(run.exitCode, batch::kDone) << run.err;
    EXPECT_EQ(run.err, kWarning);
    EXPECT_EQ(run.out, kSummary + " (prøvekjøring: ingenting er lagret)\n");
    EXPECT_EQ(readFile(m_inventory), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()), 2)
        << "nothing left beside the two workbooks";
}

TEST_F(BatchOnSamples, NoInventoryFileAtThePath) {
    for (const fs::path& inventory : {m_dir / "Mangler.xlsx", m_dir.path()}) {
        auto run = runBatch({inventory.string(), m_order.string()});
        EXPECT_EQ(run.exitCode, batch::kNotDone);
        EXPECT_EQ(run.err, "Finner ikke lagerfilen: " + inventory.string() + "\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(fs::exists(m_dir / "Mangler.xlsx"));
}

TEST_F(BatchOnSamples, FailuresEndTheRunWithTheInventoryUnchanged) {
    const std::string before = readFile(m_inventory);
    testsupport::writeFile(m_dir / "notater.xlsx", "ikke en arbeidsbok\n");
    const fs::path missing = m_dir / "Finnes ikke.xlsx";
    const fs::path notAWorkbook = m_dir / "notater.xlsx";
    struct Case {
        fs::path inventory, order, named;
    };
    for (const auto& c : {Case{m_inventory, missing, missing}, Case{m_inventory, notAWorkbook, notAWorkbook},
                          Case{notAWorkbook, m_order, notAWorkbook}}) {
        auto run = runBatch({c.inventory.string(), c.order.string()});
        EXPECT_EQ(run.exitCode, batch::kNotDone) << run.err;
        EXPECT_EQ(run.err.rfind("Tulverkan: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.named.filename().string() + "»"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(readFile(m_inventory), before);
    }
}

TEST_F(BatchOnSamples, InventoryOpenInAnotherProgram) {
    const std::string before = readFile(m_inventory);
    testsupport::writeFile(m_dir / "~$Tulverkan.xlsx", "lås");
    auto run = runBatch({m_inventory.string(), m_order.string()});
    EXPECT_EQ(run.exitCode, batch::kNotDone);
    // The refusal may come at opening or at saving, after the walk has warned.
    const std::string last = run.err.substr(run.err.rfind('\n', run.err.size() - 2) + 1);
    EXPECT_EQ(last.rfind("Tulverkan: ", 0), 0u) << run.err;
    EXPECT_NE(last.find("Tulverkan.xlsx»"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(m_inventory), before);
}

// Orders arrive as .xls and .ods too; the inventory stays .xlsx, and one of another format is left alone.
TEST(BatchFormats, BooksAnXlsOrderAndRefusesAnOdsInventory) {
    TempDir dir;
    const fs::path inventory =
        dir.copy(testsupport::fixture("stock/cases/book-and-create/inventory.xlsx"), "Tulverkan.xlsx");
    const fs::path order =
        dir.copy(testsupport::fixture("orders/cases/book-and-create.xls"), "Bestilling.xls");
    auto run = runBatch({inventory.string(), order.string()});
    ASSERT_EQ(run.exitCode, batch::kDone) << run.err;
    EXPECT_EQ(testsupport::openpyxlDump(inventory),
              readFile(testsupport::fixture("stock/cases/book-and-create/expected.txt")));

    const fs::path odsInventory =
        dir.copy(testsupport::fixture("orders/cases/book-and-create.ods"), "Lager.ods");
    const std::string before = readFile(odsInventory);
    auto refused = runBatch({odsInventory.string(), order.string()});
    EXPECT_EQ(refused.exitCode, batch::kNotDone);
    EXPECT_NE(refused.err.find("lagre den som .xlsx i regnearkprogrammet først.\n"), std::string::npos)
        << refused.err;
    EXPECT_EQ(readFile(odsInventory), before);
}

TEST(BatchUsage, BadUsageExitsWithTwoAndTheUsage) {
    struct Case {
        std::vector<std::string> args;
        std::string problem;
    };
    const std::vector<Case> cases{
        {{}, "mangler LAGERFIL og BESTILLINGSFIL"},
        {{"lager.xlsx"}, "mangler BESTILLINGSFIL"},
        {{"lager.xlsx", "bestilling.xlsx", "mer.xlsx"}, "for mange argumenter"},
        {{"--tørrkjøring", "lager.xlsx", "bestilling.xlsx"}, "ukjent valg «--tørrkjøring»"},
        {{"-n", "lager.xlsx", "bestilling.xlsx"}, "ukjent valg «-n»"},
        {{"--dry-run=ja", "lager.xlsx", "bestilling.xlsx"}, "ugyldige argumenter"},
        {{"--again", "--new-only", "lager.xlsx", "bestilling.xlsx"},
         "--again og --new-only kan ikke brukes sammen"},
    };
    for (const auto& c : cases) {
        auto run = runBatch(c.args);
        EXPECT_EQ(run.exitCode, batch::kBadUsage) << c.problem;
        EXPECT_EQ(run.err.rfind("tulverkan-batch: " + c.problem + "\n", 0), 0u) << run.err;
        EXPECT_NE(
            run.err.find("Bruk: tulverkan-batch [--dry-run] [--again | --new-only] LAGERFIL BESTILLINGSFIL"),
            std::string::npos);
        EXPECT_EQ(run.out, "");
    }
}

TEST(BatchUsage, HelpAndPathsThatLookLikeOptions) {
    auto help = runBatch({"--help"});
    EXPECT_EQ(help.exitCode, batch::kDone);
    EXPECT_EQ(help.out.rfind("Bruk: tulverkan-batch", 0), 0u);
    EXPECT_EQ(help.err, "");

    // After "--" everything is a file, even text that starts with a dash.
    TempDir dir;
    const std::string inventory = (dir / "-lager.xlsx").string();
    auto run = runBatch({"--", inventory, "-b.xlsx"});
    EXPECT_EQ(run.exitCode, batch::kNotDone);
    EXPECT_EQ(run.err, "Finner ikke lagerfilen: " + inventory + "\n");
}

TEST(BatchSummary, CountsWithSingularAndPlural) {
    auto result = [](std::vector<std::pair<bool, bool>> lines, int warnings) {
        stock::UpdateResult r;
        r.outcome = stock::UpdateResult::Outcome::Done;
        for (auto [created, inserted] : lines) {
            stock::Booking b;
            b.created = created;
            b.rowInserted = inserted;
            r.bookings.push_back(b);
        }
        r.warnings.assign(warnings, "Ark X ikke funnet i tulverkan!");
        return r;
    };
    EXPECT_EQ(batch::summaryLine(result({}, 0), false),
              "Bokført 0 bestillingslinjer: 0 nye lagerlinjer, 0 rader satt inn, 0 advarsler");
    EXPECT_EQ(batch::summaryLine(result({{true, true}}, 1), false),
              "Bokført 1 bestillingslinje: 1 ny lagerlinje, 1 rad satt inn, 1 advarsel");
    EXPECT_EQ(
        batch::summaryLine(result({{false, false}, {true, false}, {true, true}, {true, true}}, 2), false),
        "Bokført 4 bestillingslinjer: 3 nye lagerlinjer, 2 rader satt inn, 2 advarsler");
    EXPECT_EQ(batch::summaryLine(result({{false, false}}, 0), true),
              "Bokført 1 bestillingslinje: 0 nye lagerlinjer, 0 rader satt inn, 0 advarsler "
              "(prøvekjøring: ingenting er lagret)");
}

// The real executable, with the locale in the environment as a scheduled job would have it.
class BatchExecutable : public BatchOnSamples {
protected:
    BatchRun runExe(const std::string& locale, const std::vector<std::string>& args) {
        std::optional<std::string> saved;
        if (const char* old = std::getenv("LC_ALL")) saved = old;
        setenv("LC_ALL", locale.c_str(), 1);
        std::vector<std::string> argv{TULVERKAN_BATCH_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        auto result = testsupport::runProcess(argv);
        if (saved)
            setenv("LC_ALL", saved->c_str(), 1);
        else
            unsetenv("LC_ALL");
        return {result.exitCode, result.out, result.err};
    }
};

TEST_F(BatchExecutable, BooksTheSamples) {
    auto run = runExe("nb_NO.UTF-8", {m_inventory.string(), m_order.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, kWarning);
    EXPECT_EQ(run.out, kSummary + "\n");
    EXPECT_EQ(missingLines(testsupport::openpyxlDump(m_inventory), {"HEA!G8:n:14.0", "Ø!H4:n:18.0"}),
              std::vector<std::string>{});
}

TEST_F(BatchExecutable, CellTextFollowsTheLocale) {
    // A tube diameter typed as the text 60,3 meets the stock line of diameter 60.3 only where numbers
    // are written with a decimal comma.
    const fs::path order = m_dir / "Tekstmål.xlsx";
    const char* script =
        "import sys, openpyxl\n"
        "b = openpyxl.Workbook(); s = b.active\n"
        "for c, v in [(2, '\u00d8'), (3, 'S235JRH'), (4, '60,3'), (6, 4), (7, 'Blank'), (8, 6),\n"
        "             (9, 1), (11, '2330'), (14, 'x')]:\n"
        "    s.cell(row=10, column=c, value=v)\n"
        "b.save(sys.argv[1])\n";
    ASSERT_EQ(testsupport::runProcess({TULVERKAN_PYTHON, "-c", script, order.string()}).exitCode, 0);
    const std::string dryRun = " (prøvekjøring: ingenting er lagret)\n";
    auto norwegian = runExe("nb_NO.UTF-8", {"--dry-run", m_inventory.string(), order.string()});
    EXPECT_EQ(norwegian.out,
              "Bokført 1 bestillingslinje: 0 nye lagerlinjer, 0 rader satt inn, 0 advarsler" + dryRun)
        << norwegian.err;
    auto plain = runExe("C", {"--dry-run", m_inventory.string(), order.string()});
    EXPECT_EQ(plain.out, "Bokført 1 bestillingslinje: 1 ny lagerlinje, 1 rad satt inn, 0 advarsler" + dryRun)
        << plain.err;
}

TEST_F(BatchExecutable, BadUsage) {
    auto run = runExe("nb_NO.UTF-8", {m_inventory.string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("Bruk: tulverkan-batch"), std::string::npos) << run.err;
}

} // namespace
