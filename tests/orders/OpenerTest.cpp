#include "OrderFixtures.h"

#include "orders/Opener.h"
#include "sheets/Error.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <functional>

namespace orderstest {
namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;

// The message of the error opening `path` throws, "" when it opens.
std::string openError(const fs::path& path, sheets::OpenMode mode) {
    try {
        orders::openWorkbook(path, mode);
    } catch (const sheets::Error& e) {
        return e.what();
    }
    return "";
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Refusal {
    fs::path file;
    std::string cause; // a part of the message
};

// Files that are not workbooks we can read, each refused for reading and for writing with a message
// that names the file and what it is, and left as they were, with nothing beside them.
TEST(Opener, RefusesWhatItCannotReadNamingFileAndFormat) {
    TempDir dir;
    testsupport::writeFile(dir / "tilfeldig.xls", std::string("\x01\x02\x03\x00 ikke noe kjent", 20));
    testsupport::writeFile(dir / "avkuttet.xls",
                           std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\x7F'));
    const std::vector<Refusal> refusals = {
        {orderFixture("binary.xlsb"), "binært format (.xlsb)"},
        {testsupport::fixture("package/password.xlsx"), "beskyttet med passord"},
        {orderFixture("password.xls"), "beskyttet med passord"},
        {orderFixture("password.ods"), "beskyttet med passord"},
        {orderFixture("no-workbook.doc"), "OLE-dokument uten arbeidsbok"},
        {orderFixture("order.csv"), "tekstfil (for eksempel .csv)"},
        {orderFixture("biff4-workbook.xls"), "gammelt .xls-format (BIFF4-arbeidsbok med flere ark)"},
        {dir / "tilfeldig.xls", "ikke en arbeidsbok (.xlsx, .xlsm, .xls eller .ods)"},
        {dir / "avkuttet.xls", "skadet OLE-fil"},
        {orderFixture("cut-short.xls"), "filen er skadet: arket «Bestilling» slutter for tidlig"},
    };
    for (const auto& refusal : refusals) {
        TempDir work;
        const auto file = work.copy(refusal.file);
        const auto before = readFile(file);
        const auto message = openError(file, sheets::OpenMode::ReadOnly);
        EXPECT_NE(message.find(refusal.cause), std::string::npos) << message;
        EXPECT_NE(message.find("«" + file.string() + "»"), std::string::npos) << message;
        EXPECT_NE(message.back(), '.') << message;
        // For writing, an .xls or .ods is refused as such before it is looked into.
        EXPECT_NE(openError(file, sheets::OpenMode::ReadWrite).find("«" + file.string() + "»"),
                  std::string::npos);
        EXPECT_EQ(readFile(file), before) << file;
        EXPECT_EQ(filesIn(work.path()), std::vector<std::string>{file.filename().string()});
    }
}

// The inventory is written, and only .xlsx/.xlsm can be: .xls and .ods are refused at opening,
// whatever their names, before anything is read from them.
TEST(Opener, XlsAndOdsAreNotOpenedForWriting) {
    for (const char* fixture : {"kinds.xls", "kinds.ods", "biff2.xls"}) {
        TempDir work;
        const auto file = work.copy(orderFixture(fixture), "Tulverkan.xlsx");
        const auto before = readFile(file);
        const auto message = openError(file, sheets::OpenMode::ReadWrite);
        const std::string format = fs::path(fixture).extension().string();
        EXPECT_EQ(message, "Kan ikke åpne «" + file.string() + "»: arbeidsboken er i " + format +
                               "-formatet, som bare kan leses her, ikke endres; lagre den som .xlsx i "
                               "regnearkprogrammet først");
        EXPECT_EQ(readFile(file), before);
        EXPECT_EQ(filesIn(work.path()), std::vector<std::string>{"Tulverkan.xlsx"});
    }
}

// The content decides, never the name.
TEST(Opener, FormatByContentNotByName) {
    TempDir work;
    const auto xlsxAsXls = work.copy(caseOrder("book-and-create"), "bestilling.xls");
    const auto xlsAsXlsx = work.copy(orderFixture("cases/book-and-create.xls"), "bestilling.xlsx");
    const auto odsAsXls = work.copy(orderFixture("cases/book-and-create.ods"), "bestilling.ods.xls");
    for (const auto& file : {xlsxAsXls, xlsAsXlsx, odsAsXls}) {
        auto book = orders::openWorkbook(file, sheets::OpenMode::ReadOnly);
        EXPECT_EQ(book->activeSheet().cell(10, 2).text, "HEA") << file;
    }
    auto writable = orders::openWorkbook(xlsxAsXls, sheets::OpenMode::ReadWrite);
    writable->activeSheet().setText(1, 1, "endret");
    writable->save();
    EXPECT_EQ(orders::openWorkbook(xlsxAsXls, sheets::OpenMode::ReadOnly)->activeSheet().cell(1, 1).text,
              "endret");
}

// Refusals and reading failures are worded as the engine words them for a workbook opened read-only,
// naming the sheet where there is one.
TEST(Opener, ReadOnlyWorkbooksRefuseEveryChange) {
    for (const char* fixture : {"kinds.xls", "kinds.ods"}) {
        TempDir work;
        const auto file = work.copy(orderFixture(fixture));
        const auto before = readFile(file);
        auto book = orders::openWorkbook(file, sheets::OpenMode::ReadOnly);
        auto& sheet = book->activeSheet();
        const std::string inFile = " i «" + file.string() + "»: ";
        const std::string onSheet = "arket «" + sheet.name() + "»" + inFile;
        const std::string cause =
            "arbeidsboken er i " + file.extension().string() + "-formatet og er åpnet bare for lesing";
        for (auto change : std::vector<std::function<void()>>{
                 [&] { sheet.setText(1, 1, "x"); }, [&] { sheet.setNumber(1, 1, 1); },
                 [&] { sheet.insertRow(2, sheets::CopyOrigin::FromLeftOrAbove); }})
            EXPECT_EQ(testsupport::errorOf(change), "Kan ikke skrive til " + onSheet + cause);
        EXPECT_EQ(testsupport::errorOf([&] { book->save(); }),
                  "Kan ikke lagre «" + file.string() + "»: " + cause);
        EXPECT_EQ(testsupport::errorOf([&] { sheet.cell(0, 2); }),
                  "Kan ikke lese " + onSheet + "rad 0 er utenfor arket (gyldig er rad 1 til " +
                      (file.extension() == ".xls" ? "65536" : "1048576") + ")");
        EXPECT_EQ(testsupport::errorOf([&] { book->sheet(99); }),
                  "Kan ikke lese «" + file.string() + "»: arbeidsboken har ikke noe ark nummer 99");
        EXPECT_EQ(readFile(file), before);
    }
}

// What the engine says of files that are no workbook at all still reaches the user.
TEST(Opener, MissingFilesAndFoldersAsTheEngineSaysIt) {
    TempDir work;
    EXPECT_NE(openError(work / "borte.xls", sheets::OpenMode::ReadOnly).find("filen finnes ikke"),
              std::string::npos);
    EXPECT_NE(openError(work.path(), sheets::OpenMode::ReadOnly).find("mappe"), std::string::npos);
    testsupport::writeFile(work / "tom.xls", "");
    EXPECT_NE(openError(work / "tom.xls", sheets::OpenMode::ReadOnly).find("tom"), std::string::npos);
}

} // namespace
} // namespace orderstest
