#include "xlsx/XlsxWorkbook.h"

#include "OpenpyxlView.h"
#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <vector>

using sheets::CellValue;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// Where openpyxl reads a cell wrongly, the right value. openpyxl decodes no _xHHHH_ escape except
// _x005F_ in shared strings, and none at all in inline strings; Excel decodes every one of them.
// It also turns serial 60 (Excel's 1900-02-29, which LibreOffice writes for its 1900-02-28) into
// the datetime of serial 59.
struct Correction {
    std::string_view fixture;
    Position at;
    char kind;
    std::string_view text;
};

const Correction corrections[] = {
    {"xlsxwriter/shared-strings-escapes.xlsx", {1, 5, 1}, 's', "tab\tog\x01kontroll"},
    {"handmade/no-dimension.xlsx", {1, 5, 1}, 's', "tab\tog\x01kontroll"},
    {"handmade/escapes.xlsx", {1, 1, 1}, 's', "Linje 1\r\nLinje 2"},
    {"handmade/escapes.xlsx", {1, 1, 2}, 's', "Linje 1\r\nLinje 2"},
    {"handmade/escapes.xlsx", {1, 2, 1}, 's', "\xC3\x86 og \xC3\xA6"},
    {"handmade/escapes.xlsx", {1, 2, 2}, 's', "\xC3\x86 og \xC3\xA6"},
    {"handmade/escapes.xlsx", {1, 3, 2}, 's', "_x0041_"},
    {"handmade/escapes.xlsx", {1, 5, 1}, 's', "tab\t"},
    {"handmade/escapes.xlsx", {1, 5, 2}, 's', "tab\t"},
    {"libreoffice/dates-times.xlsx", {1, 5, 2}, 'd', "60"},
    // A writer's placeholder 0 where the workbook asks for a full calculation on load: the result of
    // AVERAGE(TIMEVALUE(B1:B2)) over two times of 12:00 is 0.5.
    {"corpus/dynamic_array01.xlsx", {1, 1, 1}, 'n', "0.5"},
};

// Handmade files openpyxl cannot read (it finds no sheets in strict packages, and looks for styles
// only at xl/styles.xml): they hold the same workbook as the file they were rewritten from.
const std::map<std::string_view, std::string_view> readableSource = {
    {"handmade/strict-namespaces.xlsx", "xlsxwriter/dates-builtin-formats.xlsx"},
    {"handmade/relative-targets.xlsx", "xlsxwriter/dates-builtin-formats.xlsx"},
};

std::string relativeToFixtures(const fs::path& book) {
    return fs::relative(book, fixture("")).generic_string();
}

// The workbook openpyxl reads in place of `book`.
fs::path readable(const fs::path& book) {
    auto source = readableSource.find(relativeToFixtures(book));
    return source == readableSource.end() ? book : fixture(source->second);
}

BookView expectedView(const fs::path& book) {
    auto name = book.parent_path() == corpusFolder() ? "corpus/" + book.filename().string()
                                                     : relativeToFixtures(book);
    auto view = openpyxlView(readable(book));
    for (const auto& fix : corrections)
        if (fix.fixture == name) view.cells[fix.at] = {fix.kind, std::string(fix.text)};
    return view;
}

std::string describe(const CellValue& value) {
    switch (value.kind) {
    case CellValue::Kind::Empty:
        return "empty";
    case CellValue::Kind::Text:
        return "text \"" + std::string(value.text) + "\"";
    case CellValue::Kind::Number:
        return "number " + std::to_string(value.number);
    case CellValue::Kind::Boolean:
        return value.number != 0 ? "TRUE" : "FALSE";
    case CellValue::Kind::DateTime:
        return "date serial " + std::to_string(value.number);
    case CellValue::Kind::Error:
        return "error " + std::string(value.text);
    }
    return "?";
}

// An empty text (a formula giving "", an empty shared string) and an empty cell mean the same to
// the booking core; openpyxl shows neither consistently.
bool isBlank(const CellValue& value) {
    return value.kind == CellValue::Kind::Empty ||
           (value.kind == CellValue::Kind::Text && value.text.empty());
}

bool matches(const CellValue& ours, const CellView& theirs) {
    switch (theirs.kind) {
    case 'n':
        return ours.kind == CellValue::Kind::Number &&
               ours.number == std::strtod(theirs.text.c_str(), nullptr);
    case 's':
        return theirs.text.empty() ? isBlank(ours)
                                   : ours.kind == CellValue::Kind::Text && ours.text == theirs.text;
    case 'b':
        return ours.kind == CellValue::Kind::Boolean && ours.number == (theirs.text == "1" ? 1 : 0);
    case 'e':
        return ours.kind == CellValue::Kind::Error && ours.text == theirs.text;
    case 'd':
        // openpyxl rounds date-times to the millisecond (1.16e-8 of a day).
        return ours.kind == CellValue::Kind::DateTime &&
               std::abs(ours.number - std::strtod(theirs.text.c_str(), nullptr)) <= 1e-8;
    }
    return false;
}

std::string cellName(const std::string& sheet, int row, int column) {
    return sheet + "!" + cellRef(row, column);
}

// The formula cells openpyxl sees, "Sheet!B12".
std::set<std::string> formulaCells(const fs::path& path) {
    std::set<std::string> cells;
    std::istringstream lines(openpyxlDump(path, true));
    for (std::string line; std::getline(lines, line);)
        if (auto kind = line.find(":f:"); kind != std::string::npos) cells.insert(line.substr(0, kind));
    return cells;
}

// A formula's value is its current result: the cached one where it stands, else computed. openpyxl
// shows only cached results, so a computed result of a formula without one is not compared, and one
// that cannot be computed (the read refuses it) is counted apart.
void compareWithOpenpyxl(const fs::path& path) {
    auto expected = expectedView(path);
    auto formulas = formulaCells(readable(path));
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadOnly);
    ASSERT_EQ(book->sheetCount(), static_cast<int>(expected.sheets.size()));
    ASSERT_GE(expected.active, 1);
    EXPECT_EQ(&book->activeSheet(), &book->sheet(expected.active)) << "active sheet";

    int mismatches = 0;
    for (int index = 1; index <= book->sheetCount(); ++index) {
        const auto& view = expected.sheets[index - 1];
        auto& sheet = book->sheet(index);
        EXPECT_EQ(sheet.name(), view.name);
        if (view.kind != "worksheet") {
            EXPECT_THROW(sheet.cell(1, 1), sheets::Error) << view.kind << " " << view.name;
            continue;
        }
        // One row and column past openpyxl's extent, to catch cells read in the wrong place.
        for (int row = 1; row <= view.maxRow + 1; ++row) {
            for (int column = 1; column <= view.maxColumn + 1; ++column) {
                auto theirs = expected.cells.find({index, row, column});
                bool formula = formulas.contains(cellName(view.name, row, column));
                CellValue ours;
                try {
                    ours = sheet.cell(row, column);
                } catch (const sheets::Error& e) {
                    if (!formula || std::string(e.what()).find("kan ikke beregnes") == std::string::npos)
                        throw;
                    continue;
                }
                if (formula && theirs == expected.cells.end()) continue;
                bool same = theirs == expected.cells.end() ? isBlank(ours) : matches(ours, theirs->second);
                if (!same && ++mismatches <= 20) {
                    ADD_FAILURE() << cellName(view.name, row, column) << ": ours " << describe(ours)
                                  << ", openpyxl "
                                  << (theirs == expected.cells.end()
                                          ? std::string("empty")
                                          : std::string(1, theirs->second.kind) + " " + theirs->second.text);
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << path;
}

std::vector<fs::path> workbooksIn(const fs::path& folder) {
    std::vector<fs::path> books;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
        auto extension = entry.path().extension();
        if (extension == ".xlsx" || extension == ".xlsm") books.push_back(entry.path());
    }
    std::sort(books.begin(), books.end());
    return books;
}

const char* const producers[] = {"openpyxl", "xlsxwriter", "libreoffice", "handmade"};

std::vector<fs::path> fixtureBooks() {
    std::vector<fs::path> books;
    for (const char* producer : producers) {
        auto found = workbooksIn(fixture(producer));
        books.insert(books.end(), found.begin(), found.end());
    }
    return books;
}

std::string testName(const testing::TestParamInfo<fs::path>& info) {
    auto parent = info.param.parent_path().filename().string();
    std::string name = (parent == "excel2007" ? "" : parent + "_") + info.param.stem().string() +
                       (info.param.extension() == ".xlsm" ? "_xlsm" : "");
    for (auto& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class ReadFixture : public testing::TestWithParam<fs::path> {};

TEST_P(ReadFixture, EveryCellAsOpenpyxlReadsIt) {
    compareWithOpenpyxl(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Producers, ReadFixture, testing::ValuesIn(fixtureBooks()), testName);

class ReadCorpus : public testing::TestWithParam<fs::path> {};

TEST_P(ReadCorpus, EveryCellAsOpenpyxlReadsIt) {
    TULVERKAN_NEEDS_CORPUS();
    compareWithOpenpyxl(GetParam());
}

// Without the corpus the suite keeps one case, which skips and says why.
std::vector<fs::path> corpusBooks() {
    return haveCorpus() ? workbooksIn(corpusFolder()) : std::vector<fs::path>{corpusFolder()};
}

INSTANTIATE_TEST_SUITE_P(Excel2007, ReadCorpus, testing::ValuesIn(corpusBooks()), testName);

// The parameterised suites vanish silently when a folder is empty or moved; this one does not.
TEST(ReadFixtures, EveryProducerFolderAndTheCorpusHoldWorkbooks) {
    for (const char* producer : producers)
        EXPECT_GE(workbooksIn(fixture(producer)).size(), 5u) << producer;
    TULVERKAN_NEEDS_CORPUS();
    EXPECT_EQ(workbooksIn(corpusFolder()).size(), 99u);
}

// Not from openpyxl alone: the dump converts its datetimes back to serials, which could hide an epoch fault.
TEST(ReadFixtures, DateSerialsCountFromTheWorkbooksOwnEpoch) {
    // The same instants written into a 1900 and a 1904 workbook read as the same 1900 serial.
    auto plain = xlsx::openWorkbook(fixture("openpyxl/dates.xlsx"), sheets::OpenMode::ReadOnly);
    auto mac = xlsx::openWorkbook(fixture("openpyxl/date1904.xlsx"), sheets::OpenMode::ReadOnly);
    for (int row : {1, 2, 4, 6}) {
        auto a = plain->sheet(1).cell(row, 1);
        auto b = mac->sheet(1).cell(row, 1);
        ASSERT_EQ(a.kind, CellValue::Kind::DateTime) << row;
        ASSERT_EQ(b.kind, CellValue::Kind::DateTime) << row;
        EXPECT_NEAR(a.number, b.number, 1e-9) << row;
    }
    EXPECT_EQ(plain->sheet(1).cell(2, 1).number, 36525); // 1999-12-31
    EXPECT_EQ(mac->sheet(1).cell(1, 2).kind, CellValue::Kind::Number);
}

} // namespace
