#include "parts/WorksheetPart.h"

#include "formula/CellRef.h"
#include "parts/SharedStrings.h"
#include "parts/Styles.h"
#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/ErrorOf.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zip.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <tuple>

namespace {

using testsupport::errorOf;

using sheets::CopyOrigin;
using xlsx::SaveHooks;
using xlsx::WorksheetPart;

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                          "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";

std::string sheetXml(std::string_view rows, std::string_view before = "<dimension ref=\"A1\"/>",
                     std::string_view after = "") {
    return kHead + std::string(before) + "<sheetData>" + std::string(rows) + "</sheetData>" +
           std::string(after) + "</worksheet>";
}

// Styles: 0 General, 1 built-in date 14, 2 "0.00", 3 "[h]:mm", 4 and 5 General (fills differ in real files).
const std::string kStyles =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts count=\"2\">"
    "<numFmt numFmtId=\"164\" formatCode=\"0.00\"/><numFmt numFmtId=\"165\" formatCode=\"[h]:mm\"/></numFmts>"
    "<cellXfs count=\"6\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf "
    "numFmtId=\"165\"/>"
    "<xf numFmtId=\"0\"/><xf numFmtId=\"0\"/></cellXfs></styleSheet>";

const std::string kStrings =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" "
    "uniqueCount=\"2\"><si><t>null</t></si><si><t>en</t></si></sst>";

const xlsx::Place kBook("lager.xlsx");
const xlsx::Place kSheet = kBook.withSheet("Lager");

struct Sheet {
    xlsx::SharedStrings strings;
    xlsx::Styles styles;
    std::unique_ptr<WorksheetPart> part;

    explicit Sheet(const std::string& xml, bool date1904 = false)
        : strings(kStrings, kBook.withPart("xl/sharedStrings.xml")),
          styles(kStyles, kBook.withPart("xl/styles.xml")),
          part(std::make_unique<WorksheetPart>(xml, kSheet, strings, styles, date1904)) {}

    WorksheetPart& operator*() { return *part; }
    WorksheetPart* operator->() { return part.get(); }

    // The part as saved, read again by a fresh WorksheetPart over the same strings.
    std::unique_ptr<WorksheetPart> reopened(const SaveHooks& hooks = {}) {
        std::string xml = part->serialize(hooks);
        pugi::xml_document document;
        EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
        return std::make_unique<WorksheetPart>(xml, kSheet, strings, styles, false);
    }
};

// A cell as one short text: "s:abc", "n:1.5", "d:45000", "b:1", "e:#N/A", "-" for empty.
std::string show(const sheets::CellValue& value) {
    using Kind = sheets::CellValue::Kind;
    auto number = [](double n) {
        char buffer[32];
        snprintf(buffer, sizeof buffer, "%.17g", n);
        return std::string(buffer);
    };
    switch (value.kind) {
    case Kind::Empty:
        return "-";
    case Kind::Text:
        return "s:" + std::string(value.text);
    case Kind::Number:
        return "n:" + number(value.number);
    case Kind::DateTime:
        return "d:" + number(value.number);
    case Kind::Boolean:
        return "b:" + number(value.number);
    case Kind::Error:
        return "e:" + std::string(value.text);
    }
    return "?";
}

std::string show(const WorksheetPart& part, std::uint32_t row, std::uint32_t column) {
    return show(part.cell({row, column}));
}

// Every formula by cell name ("B4"), as forEachFormula reports it.
std::map<std::string, std::string> formulasOf(const WorksheetPart& part) {
    std::map<std::string, std::string> all;
    part.forEachFormula([&](std::uint32_t r, std::uint32_t c, std::string_view f) {
        all[xlsx::columnName(c) + std::to_string(r)] = f;
    });
    return all;
}

TEST(WorksheetPartRead, EveryCellTypeAndNumberForm) {
    Sheet sheet(sheetXml(
        "<row r=\"1\">"
        "<c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" t=\"str\"><v>tekst</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>inline</t></is></c><c r=\"D1\" t=\"b\"><v>1</v></c>"
        "<c r=\"E1\" t=\"b\"><v>0</v></c><c r=\"F1\" t=\"e\"><v>#N/A</v></c>"
        "<c r=\"G1\" t=\"n\"><v>2.5</v></c><c r=\"H1\"><v>7</v></c>"
        "<c r=\"I1\" t=\"d\"><v>2024-03-01T12:00:00</v></c><c r=\"J1\" t=\"d\"><v>1900-01-01</v></c>"
        "<c r=\"K1\" s=\"4\"/><c r=\"L1\" t=\"s\"><v>0</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><v>-1.5</v></c><c r=\"B2\"><v>1E3</v></c><c r=\"C2\"><v>1.5e-07</v></c>"
        "<c r=\"D2\"><v>.5</v></c><c r=\"E2\"><v>+2</v></c><c r=\"F2\"><v> 3 </v></c>"
        "<c r=\"G2\"><v>-0</v></c><c r=\"H2\"><v>5.</v></c></row>"));
    std::vector<std::string> first, second;
    for (std::uint32_t c = 1; c <= 12; ++c)
        first.push_back(show(*sheet, 1, c));
    for (std::uint32_t c = 1; c <= 8; ++c)
        second.push_back(show(*sheet, 2, c));
    EXPECT_EQ(first, (std::vector<std::string>{"s:en", "s:tekst", "s:inline", "b:1", "b:0", "e:#N/A", "n:2.5",
                                               "n:7", "d:45352.5", "d:1", "-", "s:null"}));
    EXPECT_EQ(second, (std::vector<std::string>{"n:-1.5", "n:1000", "n:1.4999999999999999e-07", "n:0.5",
                                                "n:2", "n:3", "n:-0", "n:5"}));
    EXPECT_EQ(show(*sheet, 3, 1), "-");
    EXPECT_EQ(show(*sheet, 1, 13), "-");
}

TEST(WorksheetPartRead, RowsAndCellsWithoutReferenceFollowThePreviousOne) {
    Sheet sheet(
        sheetXml("<row><c><v>1</v></c><c><v>2</v></c></row>"
                 "<row r=\"5\"><c r=\"C5\"><v>3</v></c><c><v>4</v></c></row><row><c><v>5</v></c></row>"));
    EXPECT_EQ(show(*sheet, 1, 1), "n:1");
    EXPECT_EQ(show(*sheet, 1, 2), "n:2");
    EXPECT_EQ(show(*sheet, 5, 3), "n:3");
    EXPECT_EQ(show(*sheet, 5, 4), "n:4");
    EXPECT_EQ(show(*sheet, 6, 1), "n:5");
    EXPECT_EQ(show(*sheet, 2, 1), "-");

    // Saved again after an insertion, rows and cells that follow others implicitly must still land right.
    sheet->insertRow(2, CopyOrigin::FromLeftOrAbove);
    sheet->setNumber({7, 2}, 6);
    auto again = sheet.reopened();
    EXPECT_EQ(show(*again, 1, 2), "n:2");
    EXPECT_EQ(show(*again, 6, 4), "n:4");
    EXPECT_EQ(show(*again, 7, 1), "n:5");
    EXPECT_EQ(show(*again, 7, 2), "n:6");
    EXPECT_EQ(show(*again, 2, 1), "-");
}

TEST(WorksheetPartRead, PrefixesQuotesWhitespaceAndAttributeOrder) {
    std::string xml =
        "<?xml version='1.0'?>\n<!-- made elsewhere -->\n"
        "<x:worksheet xmlns:x='http://purl.oclc.org/ooxml/spreadsheetml/main'>\n  <x:sheetData>\n"
        "    <x:row  spans = '1:2'   r = '3' >\n"
        "      <x:c t='s' r='B3'  s='0' >\n        <x:v> 1 </x:v>\n      </x:c>\n"
        "      <x:c s=\"2\" r=\"C3\"><x:f>1+1</x:f><x:v>2</x:v></x:c>\n"
        "      <x:c r='D3' "
        "t='inlineStr'><x:is><x:r><x:t>a</x:t></x:r><x:r><x:rPr><x:b/></x:rPr><x:t>b</x:t></x:r>"
        "</x:is></x:c>\n    </x:row>\n  </x:sheetData>\n</x:worksheet>\n";
    Sheet sheet(xml);
    EXPECT_EQ(show(*sheet, 3, 2), "s:en");
    EXPECT_EQ(show(*sheet, 3, 3), "n:2");
    EXPECT_EQ(show(*sheet, 3, 4), "s:ab");
    EXPECT_EQ(sheet->serialize({}), xml);

    sheet->setNumber({3, 5}, 9);
    auto again = sheet.reopened();
    EXPECT_EQ(show(*again, 3, 5), "n:9");
    EXPECT_EQ(show(*again, 3, 4), "s:ab");
    EXPECT_NE(sheet->serialize({}).find("<x:c r=\"E3\"><x:v>9</x:v></x:c>"), std::string::npos);
}

TEST(WorksheetPartRead, InlineAndRichTextWithEscapes) {
    Sheet sheet(sheetXml(
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a &amp; b&#10;c&#x41;&lt;&quot;</t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t>x_x0041__x000D_y_x005F_x0041_</t></is></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><r><t xml:space=\"preserve\"> rik </t></r><r><t>tekst</t></r>"
        "<rPh sb=\"0\" eb=\"1\"><t>FONETISK</t></rPh><phoneticPr fontId=\"1\"/></is></c>"
        "<c r=\"D1\" t=\"inlineStr\"><is><t><![CDATA[<rå>]]> og\r\nmer</t></is></c>"
        "<c r=\"E1\" t=\"str\"><f>\"_x0001_\"</f><v>_xD83D__xDE00_</v></c>"
        "<c r=\"F1\" t=\"inlineStr\"><is><t/></is></c></row>"));
    EXPECT_EQ(show(*sheet, 1, 1), "s:a & b\ncA<\"");
    EXPECT_EQ(show(*sheet, 1, 2), "s:xA\ry_x0041_");
    EXPECT_EQ(show(*sheet, 1, 3), "s: rik tekst");
    EXPECT_EQ(show(*sheet, 1, 4), "s:<rå> og\nmer");
    EXPECT_EQ(show(*sheet, 1, 5), "s:\xF0\x9F\x98\x80");
    EXPECT_EQ(show(*sheet, 1, 6), "s:");
}

TEST(WorksheetPartRead, FormulasGiveTheirCachedResult) {
    Sheet sheet(
        sheetXml("<row r=\"1\"><c r=\"A1\"><f>1/0</f><v>3</v></c><c r=\"B1\" t=\"str\"><f>\"a\"&amp;\"b\"</f>"
                 "<v>ab</v></c><c r=\"C1\" t=\"b\"><f>TRUE()</f><v>1</v></c><c r=\"D1\" t=\"e\"><f>1/0</f>"
                 "<v>#DIV/0!</v></c><c r=\"E1\"><f>NOW()</f></c><c r=\"F1\" t=\"str\"><f>A1</f></c></row>"));
    EXPECT_EQ(show(*sheet, 1, 1), "n:3");
    EXPECT_EQ(show(*sheet, 1, 2), "s:ab");
    EXPECT_EQ(show(*sheet, 1, 3), "b:1");
    EXPECT_EQ(show(*sheet, 1, 4), "e:#DIV/0!");
    EXPECT_EQ(show(*sheet, 1, 5), "-");
    EXPECT_EQ(show(*sheet, 1, 6), "-");
    std::vector<std::string> formulas;
    sheet->forEachFormula([&](std::uint32_t r, std::uint32_t c, std::string_view f) {
        formulas.push_back(std::to_string(r) + "," + std::to_string(c) + ":" + std::string(f));
    });
    EXPECT_EQ(formulas, (std::vector<std::string>{"1,1:1/0", "1,2:\"a\"&\"b\"", "1,3:TRUE()", "1,4:1/0",
                                                  "1,5:NOW()", "1,6:A1"}));
}

// What makes a row one the booking must not write over: values and formulas, even one showing
// nothing; formats alone and empty texts do not count.
TEST(WorksheetPartRead, RowHasContentWhenACellHoldsAValueOrAFormula) {
    const std::string strings = "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                "<si><t></t></si><si><t>Sum</t></si></sst>";
    xlsx::SharedStrings shared(strings, kBook.withPart("xl/sharedStrings.xml"));
    xlsx::Styles styles(kStyles, kBook.withPart("xl/styles.xml"));
    WorksheetPart part(
        sheetXml(
            "<row r=\"1\" s=\"4\" customFormat=\"1\"><c r=\"A1\" s=\"2\"/><c r=\"B1\" s=\"4\"/></row>"
            "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\" t=\"inlineStr\"><is><t></t></is></c>"
            "</row>"
            "<row r=\"3\"><c r=\"Z3\" t=\"s\"><v>1</v></c></row>"
            "<row r=\"4\"><c r=\"B4\" t=\"str\"><f>IF(A1&gt;1,\"x\",\"\")</f><v></v></c></row>"
            "<row r=\"5\"><c r=\"C5\"><v>0</v></c></row>"
            "<row r=\"6\"><c r=\"C6\" t=\"b\"><v>0</v></c></row>"),
        kSheet, shared, styles, false);
    std::vector<bool> content;
    for (std::uint32_t row = 1; row <= 7; ++row)
        content.push_back(part.rowHasContent(row));
    EXPECT_EQ(content, (std::vector<bool>{false, false, true, true, true, true, false}));
    part.insertRow(3, CopyOrigin::FromLeftOrAbove);
    EXPECT_FALSE(part.rowHasContent(3));
    EXPECT_TRUE(part.rowHasContent(4));
    part.setText({3, 2}, "S235");
    EXPECT_TRUE(part.rowHasContent(3));
    part.setText({3, 2}, "");
    EXPECT_FALSE(part.rowHasContent(3));
}

TEST(WorksheetPartRead, DateAndTimeStylesIn1900And1904) {
    std::string xml =
        sheetXml("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45000</v></c><c r=\"B1\" s=\"3\"><v>1.25</v></c>"
                 "<c r=\"C1\" s=\"2\"><v>45000</v></c><c r=\"D1\" t=\"d\" s=\"1\"><v>2024-01-01</v></c>"
                 "<c r=\"E1\" s=\"9\"><v>5</v></c><c r=\"F1\" t=\"d\"><v>12:30:00</v></c></row>");
    Sheet system1900(xml);
    EXPECT_EQ(show(*system1900, 1, 1), "d:45000");
    EXPECT_EQ(show(*system1900, 1, 2), "d:1.25");
    EXPECT_EQ(show(*system1900, 1, 3), "n:45000");
    EXPECT_EQ(show(*system1900, 1, 4), "d:45292");
    EXPECT_EQ(show(*system1900, 1, 5), "n:5"); // a style the part does not have is General
    EXPECT_EQ(show(*system1900, 1, 6), "d:0.52083333333333337");
    Sheet system1904(xml, true);
    EXPECT_EQ(show(*system1904, 1, 1), "d:46462");
    EXPECT_EQ(show(*system1904, 1, 3), "n:45000");
    EXPECT_EQ(show(*system1904, 1, 4), "d:45292"); // an ISO date is a date in any system
}

TEST(WorksheetPartRead, FaultsNameTheSheetAndTheCell) {
    auto load = [](const std::string& xml) { return errorOf([&] { Sheet sheet(xml); }); };
    const std::string read = "Kan ikke lese arket «Lager» i «lager.xlsx»";
    const std::pair<std::string, std::string> cases[] = {
        {sheetXml("<row r=\"2\"><c r=\"B2\"><v>abc</v></c></row>"),
         ", celle B2: ugyldig tall «abc» (posisjon "},
        {sheetXml("<row r=\"2\"><c r=\"B2\"><v>1</v></row>"), ", celle B2: "},
        {sheetXml("<row r=\"3\"/><row r=\"2\"/>"), ": rad 2 står etter rad 3"},
        {sheetXml("<row r=\"1\"><c r=\"C1\"/><c r=\"B1\"/></row>"), ": celle B1 står etter C1"},
        {sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>x</v></c></row>"),
         ", celle A1: ugyldig indeks «x» til delte tekster"},
        {sheetXml("<row r=\"1\"><c r=\"XFE1\"/></row>"), ": ugyldig cellereferanse «XFE1»"},
        {sheetXml("<row r=\"1048577\"/>"), ": rad 1048577 er utenfor arket (gyldig er rad 1 til 1048576)"},
        {kHead + "<sheetData><row r=\"1\">", ": "},
        {kHead + "</worksheet>", ": fant ikke <sheetData>"},
        {sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&bogus;</t></is></c></row>"),
         ", celle A1: ugyldig tekst"},
    };
    for (const auto& [xml, cause] : cases) {
        const auto message = load(xml);
        EXPECT_EQ(message.rfind(read + cause, 0), 0u) << message;
    }

    // A shared string the part does not have is found when the cell is read.
    Sheet sheet(sheetXml("<row r=\"4\"><c r=\"C4\" t=\"s\"><v>7</v></c></row>"));
    EXPECT_EQ(errorOf([&] {
                  sheet->cell({4, 3});
              }),
              read + ", celle C4: delt tekst nummer 7 finnes ikke (arbeidsboken har 2 delte tekster)");
}

TEST(WorksheetPartWrite, ValuesKeepTheStyleReplaceTheFormulaAndStayText) {
    Sheet sheet(sheetXml("<row r=\"1\"><c r=\"A1\" s=\"2\" t=\"str\"><f>B1</f><v>x</v></c>"
                         "<c r=\"B1\" s=\"1\"><v>3</v></c><c r=\"C1\" s=\"5\"/></row>"));
    sheet->setText({1, 1}, "200");
    sheet->setNumber({1, 2}, 45001.5);
    sheet->setText({1, 3}, "  blanke  ");
    EXPECT_EQ(show(*sheet, 1, 1), "s:200");
    EXPECT_EQ(show(*sheet, 1, 2), "d:45001.5"); // the date style stays
    auto again = sheet.reopened();
    EXPECT_EQ(show(*again, 1, 1), "s:200");
    EXPECT_EQ(show(*again, 1, 2), "d:45001.5");
    EXPECT_EQ(show(*again, 1, 3), "s:  blanke  ");
    std::string xml = sheet->serialize({});
    EXPECT_EQ(xml.find("<f>"), std::string::npos);
    EXPECT_NE(xml.find("<c r=\"A1\" s=\"2\" t=\"s\"><v>2</v></c>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"C1\" s=\"5\" t=\"s\">"), std::string::npos) << xml;
    bool formulaSeen = false;
    sheet->forEachFormula([&](std::uint32_t, std::uint32_t, std::string_view) { formulaSeen = true; });
    EXPECT_FALSE(formulaSeen);
}

TEST(WorksheetPartWrite, NewCellsTakeTheRowStyleThenTheColumnStyle) {
    Sheet sheet(sheetXml("<row r=\"2\" s=\"4\" customFormat=\"1\"><c r=\"A2\"><v>1</v></c></row>"
                         "<row r=\"3\" s=\"4\"><c r=\"A3\"><v>1</v></c></row>",
                         "<dimension ref=\"A2:A3\"/><cols><col min=\"2\" max=\"3\" width=\"9\" style=\"5\"/>"
                         "<col min=\"4\" max=\"4\" style=\"1\"/></cols>"));
    sheet->setNumber({2, 2}, 1);   // row style wins
    sheet->setNumber({3, 2}, 1);   // row without customFormat: column style
    sheet->setNumber({7, 3}, 1);   // new row: column style
    sheet->setNumber({7, 4}, 100); // column with a date style
    sheet->setNumber({7, 5}, 1);   // no style anywhere
    std::string xml = sheet->serialize({});
    EXPECT_NE(xml.find("<c r=\"B2\" s=\"4\"><v>1</v></c>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"B3\" s=\"5\"><v>1</v></c>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<row r=\"7\"><c r=\"C7\" s=\"5\"><v>1</v></c><c r=\"D7\" s=\"1\"><v>100</v></c>"
                       "<c r=\"E7\"><v>1</v></c></row>"),
              std::string::npos)
        << xml;
    EXPECT_EQ(show(*sheet, 7, 4), "d:100");
}

TEST(WorksheetPartWrite, RowsAndCellsGoInSortedPlaceAndUntouchedRowsKeepTheirBytes) {
    const std::string row2 =
        "<row r=\"2\" spans=\"2:4\" ht=\"20\" customHeight=\"1\"><c r=\"B2\"><v>2</v></c>"
        "<c r=\"D2\"><v>4</v></c><extLst><ext uri=\"x\"/></extLst></row>";
    const std::string row9 = "<row r=\"9\"><c r=\"A9\" s=\"1\" cm=\"1\"><v>9</v></c></row>";
    Sheet sheet(sheetXml(row2 + "\n" + row9));
    sheet->setNumber({5, 1}, 5);
    sheet->setNumber({1, 3}, 1);
    sheet->setNumber({2, 3}, 3);
    sheet->setNumber({2, 1}, 1);
    sheet->setNumber({12, 2}, 12);
    std::string xml = sheet->serialize({});
    EXPECT_NE(xml.find("\n" + row9), std::string::npos) << xml;
    // The changed row: cells in column order, extLst last, the span hint gone.
    EXPECT_NE(
        xml.find("<row r=\"2\" ht=\"20\" customHeight=\"1\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>2</v></c>"
                 "<c r=\"C2\"><v>3</v></c><c r=\"D2\"><v>4</v></c><extLst><ext uri=\"x\"/></extLst></row>"),
        std::string::npos)
        << xml;
    std::vector<std::size_t> at;
    for (std::string r : {"<row r=\"1\"", "<row r=\"2\"", "<row r=\"5\"", "<row r=\"9\"", "<row r=\"12\""})
        at.push_back(xml.find(r));
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && at.front() != std::string::npos) << xml;
    EXPECT_NE(xml.find("<dimension ref=\"A1:D12\"/>"), std::string::npos) << xml;
    auto again = sheet.reopened();
    for (auto [r, c, v] : std::vector<std::tuple<int, int, std::string>>{{1, 3, "n:1"},
                                                                         {2, 1, "n:1"},
                                                                         {2, 2, "n:2"},
                                                                         {2, 3, "n:3"},
                                                                         {2, 4, "n:4"},
                                                                         {5, 1, "n:5"},
                                                                         {9, 1, "d:9"},
                                                                         {12, 2, "n:12"}})
        EXPECT_EQ(show(*again, r, c), v) << r << "," << c;
}

TEST(WorksheetPartWrite, NumbersInShortestFormAndTextsThatNeedEscapes) {
    Sheet sheet(sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    sheet->setNumber({1, 1}, 0.1 + 0.2);
    sheet->setNumber({1, 2}, 1e21);
    sheet->setNumber({1, 3}, -1.5e-7);
    sheet->setText({1, 4}, "a<b>&\"c\"\x01\x0b");
    sheet->setText({1, 5}, "_x0041_ og _x005f_");
    EXPECT_EQ(errorOf([&] {
                  sheet->setNumber({1, 6}, std::nan(""));
              }),
              "Kan ikke skrive til arket «Lager» i «lager.xlsx», celle F1: verdien er ikke et endelig tall");
    EXPECT_NE(errorOf([&] { sheet->setNumber({1, 6}, INFINITY); }), "");
    auto again = sheet.reopened();
    EXPECT_EQ(again->cell({1, 1}).number, 0.1 + 0.2);
    EXPECT_EQ(again->cell({1, 2}).number, 1e21);
    EXPECT_EQ(again->cell({1, 3}).number, -1.5e-7);
    EXPECT_EQ(show(*again, 1, 4), "s:a<b>&\"c\"\x01\x0b");
    EXPECT_EQ(show(*again, 1, 5), "s:_x0041_ og _x005f_");
    EXPECT_EQ(show(*again, 1, 6), "-");
    EXPECT_NE(sheet->serialize({}).find("<v>0.30000000000000004</v>"), std::string::npos);
}

TEST(WorksheetPartWrite, WritingOverASharedMasterGivesTheGroupItsOwnFormulas) {
    Sheet sheet(sheetXml(
        "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"shared\" ref=\"B1:B3\" si=\"0\">"
        "A1*2</f><v>2</v></c></row><row r=\"2\"><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row>"
        "<row r=\"3\"><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row>"));
    sheet->setNumber({1, 2}, 7);
    EXPECT_EQ(formulasOf(*sheet), (std::map<std::string, std::string>{{"B2", "A2*2"}, {"B3", "A3*2"}}));
    std::string xml = sheet->serialize({});
    EXPECT_EQ(xml.find("shared"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"B3\"><f>A3*2</f><v>0</v></c>"), std::string::npos) << xml;
}

TEST(WorksheetPartWrite, CellsOfAnArrayFormulaAreRefused) {
    std::string xml =
        sheetXml("<row r=\"1\"><c r=\"A1\"><f t=\"array\" ref=\"A1:A2\">B1:B2*2</f><v>2</v></c></row>"
                 "<row r=\"2\"><c r=\"A2\"><v>4</v></c></row><row r=\"3\"><c r=\"A3\"><f t=\"array\" "
                 "ref=\"A3\">1</f><v>1</v></c></row>");
    Sheet sheet(xml);
    EXPECT_EQ(errorOf([&] {
                  sheet->setNumber({2, 1}, 1);
              }),
              "Kan ikke skrive til arket «Lager» i «lager.xlsx», celle A2: cellen hører til matriseformelen "
              "i A1:A2");
    EXPECT_NE(errorOf([&] { sheet->setText({1, 1}, "x"); }), "");
    EXPECT_EQ(sheet->serialize({}), xml);
    sheet->setNumber({3, 1}, 5); // a one-cell array is an ordinary formula
    EXPECT_EQ(show(*sheet, 3, 1), "n:5");
}

TEST(WorksheetPartSave, HooksRewriteFormulasDropResultsAndEditTheFrame) {
    std::string xml = sheetXml("<row r=\"1\"><c r=\"A1\" t=\"str\"><f>\"&lt;\"&amp;B1</f><v>&lt;x</v></c>"
                               "<c r=\"B1\"><f>C1</f><v>1</v></c><c r=\"C1\"><v>1</v></c></row>",
                               "<dimension ref=\"A1:C1\"/>",
                               "<mergeCells count=\"1\"><mergeCell ref=\"A5:B5\"/></mergeCells>");
    Sheet sheet(xml);
    std::vector<std::string> seen;
    std::string frameSeen;
    SaveHooks unchanged;
    unchanged.rewriteFormula = [&](std::uint32_t, std::uint32_t,
                                   std::string_view f) -> std::optional<std::string> {
        seen.emplace_back(f);
        return std::nullopt;
    };
    unchanged.dropCachedResult = [](std::uint32_t, std::uint32_t) { return false; };
    unchanged.rewriteFrame = [&](std::string_view frame) -> std::optional<std::string> {
        frameSeen = frame;
        return std::nullopt;
    };
    EXPECT_EQ(sheet->serialize(unchanged), xml);
    EXPECT_EQ(seen, (std::vector<std::string>{"\"<\"&B1", "C1"}));
    pugi::xml_document frame;
    ASSERT_TRUE(frame.load_string(frameSeen.c_str())) << frameSeen;
    EXPECT_TRUE(frame.child("worksheet").child("sheetData").first_child().empty());
    EXPECT_TRUE(frame.child("worksheet").child("mergeCells"));

    SaveHooks edits;
    edits.rewriteFormula = [](std::uint32_t, std::uint32_t,
                              std::string_view f) -> std::optional<std::string> {
        if (f == "C1") return std::string("C1&\"<\"");
        return std::nullopt;
    };
    edits.dropCachedResult = [](std::uint32_t, std::uint32_t column) { return column == 1; };
    edits.rewriteFrame = [](std::string_view frame) -> std::optional<std::string> {
        std::string edited(frame);
        edited.replace(edited.find("A5:B5"), 5, "A6:B6");
        return edited;
    };
    std::string saved = sheet->serialize(edits);
    EXPECT_NE(saved.find("<c r=\"A1\"><f>\"&lt;\"&amp;B1</f></c>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<c r=\"B1\"><f>C1&amp;\"&lt;\"</f><v>1</v></c>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<mergeCell ref=\"A6:B6\"/>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<c r=\"C1\"><v>1</v></c>"), std::string::npos) << saved;
    auto again = sheet.reopened(edits);
    EXPECT_EQ(show(*again, 1, 1), "-");
    EXPECT_FALSE(sheet->dirty());

    SaveHooks losing;
    losing.rewriteFrame = [](std::string_view) -> std::optional<std::string> {
        return kHead + "</worksheet>";
    };
    EXPECT_NE(errorOf([&] { sheet->serialize(losing); }).find("sheetData"), std::string::npos);
}

TEST(WorksheetPartSave, ComputedResultsAreSavedWithTheirTypeAndTheRestKeepTheirBytes) {
    Sheet sheet(sheetXml(
        "<row r=\"1\"><c r=\"A1\"><f>1+1</f></c><c r=\"B1\" t=\"str\"><f>\"a\"</f><v>a</v></c>"
        "<c r=\"C1\"><f>1=1</f><v>0</v></c><c r=\"D1\"><f>1/0</f></c><c r=\"E1\"><f>2*3</f><v>6</v></c>"
        "<c r=\"F1\"><f>X()</f><v>1</v></c></row>"));
    EXPECT_FALSE(sheet->formulaAt({1, 1})->storedResult);
    EXPECT_TRUE(sheet->formulaAt({1, 5})->storedResult);
    const std::map<std::uint32_t, xlsx::eval::Value> results = {
        {1, xlsx::eval::Value::ofNumber(2.5)},
        {2, xlsx::eval::Value::ofText("x<y & \"z\"")},
        {3, xlsx::eval::Value::ofBoolean(true)},
        {4, xlsx::eval::Value::ofError(xlsx::eval::ErrorCode::Div0)}};
    SaveHooks hooks;
    hooks.computedResult = [&](std::uint32_t row, std::uint32_t column) -> const xlsx::eval::Value* {
        auto found = results.find(column);
        return row == 1 && found != results.end() ? &found->second : nullptr;
    };
    hooks.dropCachedResult = [](std::uint32_t row, std::uint32_t column) { return row == 1 && column == 6; };
    EXPECT_EQ(show(sheet->cell({1, 2}, results.at(2))), "s:x<y & \"z\"");
    auto xml = sheet->serialize(hooks);
    for (std::string cell :
         {"<c r=\"A1\"><f>1+1</f><v>2.5</v></c>",
          "<c r=\"B1\" t=\"str\"><f>\"a\"</f><v>x&lt;y &amp; \"z\"</v></c>",
          "<c r=\"C1\" t=\"b\"><f>1=1</f><v>1</v></c>", "<c r=\"D1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>",
          "<c r=\"E1\"><f>2*3</f><v>6</v></c>", "<c r=\"F1\"><f>X()</f></c>"})
        EXPECT_NE(xml.find(cell), std::string::npos) << cell << " in " << xml;
    EXPECT_FALSE(sheet->dirty()) << "results are the workbook's, not the part's";
    EXPECT_EQ(
        sheet->serialize({}),
        sheetXml(
            "<row r=\"1\"><c r=\"A1\"><f>1+1</f></c><c r=\"B1\" t=\"str\"><f>\"a\"</f><v>a</v></c>"
            "<c r=\"C1\"><f>1=1</f><v>0</v></c><c r=\"D1\"><f>1/0</f></c><c r=\"E1\"><f>2*3</f><v>6</v></c>"
            "<c r=\"F1\"><f>X()</f><v>1</v></c></row>"));
    auto again = sheet.reopened(hooks);
    EXPECT_EQ(show(*again, 1, 3), "b:1");
    EXPECT_EQ(show(*again, 1, 4), "e:#DIV/0!");
}

TEST(WorksheetPartFormulas, FormulaCellsKeepTheRowTheyWereReadAtAndReadResultsByTheirStyle) {
    Sheet sheet(
        sheetXml("<row r=\"2\"><c r=\"A2\" s=\"1\"><f>1+1</f><v>2</v></c><c r=\"B2\"><v>3</v></c></row>"));
    sheet->insertRow(1, CopyOrigin::FromLeftOrAbove);
    auto formula = sheet->formulaAt({3, 1});
    ASSERT_TRUE(formula);
    EXPECT_EQ(formula->originalRow, 2u);
    EXPECT_TRUE(formula->storedResult);
    EXPECT_FALSE(sheet->formulaAt({3, 2})) << "a value, not a formula";
    std::optional<WorksheetPart::FormulaCell> found;
    EXPECT_EQ(show(sheet->valueOrFormula({3, 2}, found)), "n:3");
    EXPECT_FALSE(found);
    EXPECT_EQ(show(sheet->valueOrFormula({3, 1}, found)), "-") << "the workbook says what a formula gives";
    EXPECT_TRUE(found && found->originalRow == 2 && found->storedResult);
    EXPECT_FALSE(sheet->formulaAt({2, 1})) << "the inserted row";
    std::uint32_t originalRow = 0;
    auto cell = sheet->sourceCell(3, 1, true, originalRow);
    EXPECT_EQ(cell.formula, "1+1");
    EXPECT_EQ(originalRow, 2u);
    EXPECT_FALSE(cell.current) << "whether a result is current is the workbook's to say";
    auto bare = sheet->sourceCell(3, 1, false, originalRow);
    EXPECT_TRUE(bare.formula.empty());
    EXPECT_EQ(bare.anchorColumn, 1u) << "a formula cell without its text still says it is one";
    EXPECT_EQ(bare.number, 2);
    // Style 1 is a date format: a computed number reads as a date, as a stored one does.
    EXPECT_EQ(show(sheet->cell({3, 1}, xlsx::eval::Value::ofNumber(45000))), "d:45000");
    EXPECT_EQ(show(sheet->cell({3, 1}, xlsx::eval::Value::ofText(""))), "-");
    EXPECT_EQ(show(*sheet, 3, 1), "d:2") << "the stored result is untouched";
}

TEST(WorksheetPartSave, EmptySheetDataGrowsAndShrinksBack) {
    std::string xml = kHead + "<dimension ref=\"A1\"/><sheetData/><pageMargins left=\"0.7\"/></worksheet>";
    Sheet sheet(xml);
    EXPECT_EQ(sheet->serialize({}), xml);
    sheet->setText({3, 2}, "ny");
    std::string saved = sheet->serialize({});
    EXPECT_NE(
        saved.find("<dimension ref=\"B3\"/><sheetData><row r=\"3\"><c r=\"B3\" t=\"s\"><v>2</v></c></row>"
                   "</sheetData><pageMargins"),
        std::string::npos)
        << saved;
    EXPECT_EQ(show(*sheet.reopened(), 3, 2), "s:ny");
}

std::string formattedSheet() {
    return sheetXml(
        "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
        "<row r=\"2\" s=\"4\" customFormat=\"1\" ht=\"30\" customHeight=\"1\" outlineLevel=\"1\" "
        "hidden=\"1\"><c r=\"A2\" s=\"1\"><v>2</v></c><c r=\"B2\" s=\"4\"><v>2</v></c>"
        "<c r=\"C2\" s=\"2\" t=\"s\"><v>0</v></c></row>"
        "<row r=\"3\" spans=\"1:2\"><c r=\"A3\" s=\"5\"><v>3</v></c><c r=\"B3\"><f>A3+1</f><v>4</v></c>"
        "</row>");
}

TEST(WorksheetPartInsert, RowsThatOnlyMovedKeepTheirBytesButTheirNumbers) {
    const std::string row =
        "<row r=\"2\" spans=\"1:3\"  x14ac:dyDescent=\"0.25\">"
        "<c s=\"1\" r=\"A2\"><v>1</v></c>\n  <c r=\"B2\" t=\"inlineStr\"><is><t> r=\"2\"</t></is></c>"
        "<c r=\"C2\" t=\"s\"><v>0</v></c><extLst><ext uri=\"x\"/></extLst></row>";
    Sheet sheet(sheetXml("<row r=\"1\"><c r=\"A1\"><v>0</v></c></row>" + row));
    sheet->insertRow(1, CopyOrigin::FromLeftOrAbove);
    std::string moved = row;
    for (auto [from, to] : {std::pair{"r=\"2\" spans", "r=\"3\" spans"},
                            {"r=\"A2\"", "r=\"A3\""},
                            {"r=\"B2\"", "r=\"B3\""},
                            {"r=\"C2\"", "r=\"C3\""}})
        moved.replace(moved.find(from), std::string_view(from).size(), to);
    auto xml = sheet->serialize({});
    EXPECT_NE(xml.find(moved), std::string::npos) << xml;
    auto again = sheet.reopened();
    EXPECT_EQ(show(*again, 3, 2), "s: r=\"2\"");
    EXPECT_EQ(show(*again, 2, 1), "n:0");
    EXPECT_EQ(show(*again, 1, 1), "-");
}

TEST(WorksheetPartInsert, PositionsAreLiveAndFormatsComeFromAbove) {
    Sheet sheet(formattedSheet());
    sheet->insertRow(3, CopyOrigin::FromLeftOrAbove);
    EXPECT_EQ(show(*sheet, 2, 1), "d:2");
    EXPECT_EQ(show(*sheet, 3, 1), "-");
    EXPECT_EQ(show(*sheet, 4, 1), "n:3");
    EXPECT_EQ(show(*sheet, 4, 2), "n:4");
    sheet->setNumber({3, 2}, 8);
    std::string xml = sheet->serialize({});
    // Row style, height and outline level come along, hidden does not; cells keep their style only.
    EXPECT_NE(
        xml.find("<row r=\"3\" s=\"4\" customFormat=\"1\" ht=\"30\" customHeight=\"1\" outlineLevel=\"1\">"
                 "<c r=\"A3\" s=\"1\"/><c r=\"B3\" s=\"4\"><v>8</v></c><c r=\"C3\" s=\"2\"/></row>"),
        std::string::npos)
        << xml;
    // The moved row keeps its bytes but for the numbers.
    EXPECT_NE(
        xml.find("<row r=\"4\" spans=\"1:2\"><c r=\"A4\" s=\"5\"><v>3</v></c><c r=\"B4\"><f>A3+1</f><v>4</v>"
                 "</c></row>"),
        std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<dimension ref=\"A1:C4\"/>"), std::string::npos) << xml;
    EXPECT_EQ(formulasOf(*sheet), (std::map<std::string, std::string>{{"B4", "A3+1"}}));
}

TEST(WorksheetPartInsert, FormatsComeFromBelowOrFromNowhere) {
    Sheet sheet(formattedSheet());
    sheet->insertRow(2, CopyOrigin::FromRightOrBelow);
    std::string xml = sheet->serialize({});
    EXPECT_NE(
        xml.find("<row r=\"2\" s=\"4\" customFormat=\"1\" ht=\"30\" customHeight=\"1\" outlineLevel=\"1\">"
                 "<c r=\"A2\" s=\"1\"/><c r=\"C2\" s=\"2\"/></row><row r=\"3\" s=\"4\""),
        std::string::npos)
        << xml;
    sheet->insertRow(1, CopyOrigin::FromLeftOrAbove);   // nothing above row 1
    sheet->insertRow(10, CopyOrigin::FromRightOrBelow); // nothing below the data
    xml = sheet->serialize({});
    EXPECT_NE(xml.find("<sheetData><row r=\"2\"><c r=\"A2\"><v>1</v></c></row>"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("<row r=\"10\""), std::string::npos) << xml;
    EXPECT_EQ(show(*sheet, 5, 1), "n:3");
}

TEST(WorksheetPartInsert, RefusalsLeaveEverythingAsItWas) {
    std::string lastRowCell = sheetXml("<row r=\"5\"><c r=\"A5\"><v>1</v></c></row>"
                                       "<row r=\"1048576\"><c r=\"C1048576\"><v>1</v></c></row>");
    Sheet full(lastRowCell);
    std::string message = errorOf([&] { full->insertRow(5, CopyOrigin::FromLeftOrAbove); });
    EXPECT_EQ(message, "Kan ikke sette inn rad 5 i arket «Lager» i «lager.xlsx»: celle C1048576 ville bli "
                       "skjøvet ut av arket");
    EXPECT_EQ(show(*full, 5, 1), "n:1");
    EXPECT_FALSE(full->dirty());
    EXPECT_EQ(full->serialize({}), lastRowCell);

    Sheet formatted(sheetXml("<row r=\"1048576\" s=\"4\" customFormat=\"1\"/>"));
    EXPECT_NE(errorOf([&] { formatted->insertRow(1, CopyOrigin::FromLeftOrAbove); }), "");
    Sheet plainLast(sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048576\" ht=\"12\"/>"));
    plainLast->insertRow(1, CopyOrigin::FromLeftOrAbove); // an unformatted empty row may go
    EXPECT_EQ(show(*plainLast, 2, 1), "n:1");
    EXPECT_EQ(plainLast->serialize({}).find("1048576"), std::string::npos);

    std::string array =
        sheetXml("<row r=\"2\"><c r=\"A2\"><f t=\"array\" ref=\"A2:B4\">C2:D4</f><v>1</v></c></row>"
                 "<row r=\"4\"><c r=\"B4\"><v>1</v></c></row>"
                 "<row r=\"6\"><c r=\"A6\"><f t=\"shared\" ref=\"A6:A7\" si=\"0\">C6</f><v>1</v></c></row>"
                 "<row r=\"7\"><c r=\"A7\"><f t=\"shared\" si=\"0\"/><v>1</v></c></row>");
    Sheet cut(array);
    for (std::uint32_t row : {3u, 4u})
        EXPECT_NE(errorOf([&] { cut->insertRow(row, CopyOrigin::FromLeftOrAbove); }).find("A2:B4"),
                  std::string::npos);
    EXPECT_EQ(cut->serialize({}), array);
    cut->insertRow(2, CopyOrigin::FromLeftOrAbove); // above the array: it moves
    cut->insertRow(6, CopyOrigin::FromLeftOrAbove);
    std::string xml = cut->serialize({});
    EXPECT_NE(xml.find("<c r=\"A3\"><f t=\"array\" ref=\"A3:B5\">C2:D4</f>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"A8\"><f t=\"shared\" ref=\"A8:A9\" si=\"0\">C6</f>"), std::string::npos)
        << xml;
    EXPECT_NE(errorOf([&] { cut->insertRow(4, CopyOrigin::FromLeftOrAbove); }), "");
    cut->insertRow(6, CopyOrigin::FromLeftOrAbove); // just below the array's last row
    EXPECT_NE(cut->serialize({}).find("ref=\"A3:B5\""), std::string::npos);
}

TEST(WorksheetPartInsert, ASharedGroupTheRowCutsBecomesPerCellFormulas) {
    Sheet sheet(sheetXml(
        "<row r=\"2\"><c r=\"C2\"><f t=\"shared\" ref=\"C2:D4\" si=\"3\">A2+$B$1</f><v>1</v></c>"
        "<c r=\"D2\"><f t=\"shared\" si=\"3\"/><v>1</v></c></row>"
        "<row r=\"3\"><c r=\"C3\"><f t=\"shared\" si=\"3\"/><v>1</v></c>"
        "<c r=\"D3\"><f t=\"shared\" si=\"3\"/><v>1</v></c></row>"
        "<row r=\"4\"><c r=\"C4\"><f t=\"shared\" si=\"3\"/><v>1</v></c><c r=\"D4\"><v>5</v></c></row>"));
    auto before = formulasOf(*sheet);
    EXPECT_EQ(
        before,
        (std::map<std::string, std::string>{
            {"C2", "A2+$B$1"}, {"D2", "B2+$B$1"}, {"C3", "A3+$B$1"}, {"D3", "B3+$B$1"}, {"C4", "A4+$B$1"}}));
    sheet->insertRow(3, CopyOrigin::FromLeftOrAbove);
    auto after = formulasOf(*sheet);
    // Each cell keeps the formula it had; the references in them move at save, through the hook.
    EXPECT_EQ(
        after,
        (std::map<std::string, std::string>{
            {"C2", "A2+$B$1"}, {"D2", "B2+$B$1"}, {"C4", "A3+$B$1"}, {"D4", "B3+$B$1"}, {"C5", "A4+$B$1"}}));
    std::vector<std::string> hooked;
    SaveHooks hooks;
    hooks.rewriteFormula = [&](std::uint32_t, std::uint32_t,
                               std::string_view f) -> std::optional<std::string> {
        hooked.emplace_back(f);
        return std::nullopt;
    };
    std::string xml = sheet->serialize(hooks);
    EXPECT_EQ(hooked.size(), 5u);
    EXPECT_EQ(xml.find("shared"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"D4\"><f>B3+$B$1</f><v>1</v></c>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"C2\"><f>A2+$B$1</f><v>1</v></c>"), std::string::npos) << xml;
    EXPECT_EQ(show(*sheet.reopened(), 5, 4), "n:5");
}

TEST(WorksheetPartInsert, ASharedGroupWhoseReferencesTheRowSplitsBecomesPerCellFormulas) {
    // B2:B5 read A20:A23, one row each. A row at 22 moves A22 and A23 but not A20 and A21: no one master
    // formula can say that any more.
    std::string rows =
        "<row r=\"2\"><c r=\"B2\"><f t=\"shared\" ref=\"B2:B5\" si=\"0\">A20</f><v>0</v></c></row>";
    for (int r = 3; r <= 5; ++r)
        rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"B" + std::to_string(r) +
                "\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row>";
    rows += "<row r=\"7\"><c r=\"C7\"><f t=\"shared\" ref=\"C7:C8\" si=\"1\">$A$1+A7</f><v>0</v></c></row>"
            "<row r=\"8\"><c r=\"C8\"><f t=\"shared\" si=\"1\"/><v>0</v></c></row>";
    Sheet sheet(sheetXml(rows));
    sheet->insertRow(40, CopyOrigin::FromLeftOrAbove); // below everything either group reads
    sheet->insertRow(15, CopyOrigin::FromLeftOrAbove); // above A20: every reference moves alike
    EXPECT_NE(sheet->serialize({}).find("ref=\"B2:B5\""), std::string::npos);
    sheet->insertRow(23, CopyOrigin::FromLeftOrAbove); // A22 of the text is row 23 now
    auto after = formulasOf(*sheet);
    EXPECT_EQ(after["B2"], "A20");
    EXPECT_EQ(after["B5"], "A23");
    std::string xml = sheet->serialize({});
    EXPECT_EQ(xml.find("si=\"0\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<c r=\"B4\"><f>A22</f>"), std::string::npos) << xml;
    // The other group reads $A$1 and its own rows, which the row does not split.
    EXPECT_NE(xml.find("<f t=\"shared\" ref=\"C7:C8\" si=\"1\">$A$1+A7</f>"), std::string::npos) << xml;
}

// Many insertions and writes across block boundaries against a plain model of the sheet.
TEST(WorksheetPartInsert, ManyInsertionsAgreeWithASimpleModel) {
    std::string rows;
    std::vector<double> model(1, 0); // model[r]: the number in A<r>, 0 for none
    for (int r = 1; r <= 1500; ++r) {
        if (r % 7 == 0) {
            model.push_back(0);
            continue;
        }
        rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
                std::to_string(r) + "</v></c></row>";
        model.push_back(r);
    }
    Sheet sheet(sheetXml(rows));
    std::mt19937 random(7);
    for (int i = 0; i < 700; ++i) {
        auto row = static_cast<std::uint32_t>(random() % (model.size() + 5)) + 1;
        if (i % 3 == 0) {
            sheet->setNumber({row, 1}, -i - 1);
            if (row >= model.size()) model.resize(row + 1, 0);
            model[row] = -i - 1;
        } else {
            sheet->insertRow(row, i % 2 ? CopyOrigin::FromLeftOrAbove : CopyOrigin::FromRightOrBelow);
            if (row < model.size()) model.insert(model.begin() + row, 0.0);
        }
    }
    auto check = [&](WorksheetPart& part) {
        for (std::uint32_t r = 1; r < model.size() + 3; ++r) {
            double expected = r < model.size() ? model[r] : 0;
            std::string want = expected == 0 ? "-" : show(sheets::CellValue::ofNumber(expected));
            ASSERT_EQ(show(part, r, 1), want) << "row " << r;
        }
    };
    check(*sheet);
    check(*sheet.reopened());
}

std::map<std::string, std::string> readZip(const std::filesystem::path& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) throw std::runtime_error("cannot open " + path.string());
    std::map<std::string, std::string> entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string bytes(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!file || zip_fread(file, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
            throw std::runtime_error("cannot read " + std::string(stat.name));
        zip_fclose(file);
        entries[stat.name] = std::move(bytes);
    }
    zip_close(archive);
    return entries;
}

void writeZip(const std::filesystem::path& path, const std::map<std::string, std::string>& entries) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

struct CorpusBook {
    xlsx::Place place;
    std::map<std::string, std::string> entries;
    xlsx::SharedStrings strings;
    xlsx::Styles styles;
    bool date1904 = false;

    explicit CorpusBook(const std::filesystem::path& path) : place(path), entries(readZip(path)) {
        if (entries.count("xl/sharedStrings.xml"))
            strings =
                xlsx::SharedStrings(entries["xl/sharedStrings.xml"], place.withPart("xl/sharedStrings.xml"));
        if (entries.count("xl/styles.xml"))
            styles = xlsx::Styles(entries["xl/styles.xml"], place.withPart("xl/styles.xml"));
        date1904 = entries["xl/workbook.xml"].find("date1904=\"1\"") != std::string::npos;
    }
    std::vector<std::string> worksheets() const {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : entries)
            if (name.starts_with("xl/worksheets/") && name.ends_with(".xml") &&
                name.find("_rels") == std::string::npos)
                names.push_back(name);
        return names;
    }
};

std::vector<std::filesystem::path> corpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::corpusFolder()))
        if (entry.path().extension() == ".xlsx") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(WorksheetPartCorpus, EveryWorksheetSavesUnchangedToTheSameBytes) {
    TULVERKAN_NEEDS_CORPUS();
    auto files = corpusFiles();
    ASSERT_GE(files.size(), 90u);
    SaveHooks noChange;
    noChange.rewriteFormula = [](std::uint32_t, std::uint32_t, std::string_view) {
        return std::optional<std::string>();
    };
    noChange.dropCachedResult = [](std::uint32_t, std::uint32_t) { return false; };
    noChange.rewriteFrame = [](std::string_view) { return std::optional<std::string>(); };
    int sheetsSeen = 0;
    for (const auto& file : files) {
        CorpusBook book(file);
        for (const std::string& name : book.worksheets()) {
            SCOPED_TRACE(file.filename().string() + " " + name);
            const std::string& xml = book.entries[name];
            WorksheetPart part(xml, book.place.withPart(name), book.strings, book.styles, book.date1904);
            EXPECT_EQ(part.serialize({}), xml);
            EXPECT_EQ(part.serialize(noChange), xml);
            ++sheetsSeen;
        }
    }
    EXPECT_GE(sheetsSeen, 99);
}

TEST(WorksheetPartCorpus, AnInsertedRowMovesEveryCellOfEveryWorksheet) {
    TULVERKAN_NEEDS_CORPUS();
    for (const auto& file : corpusFiles()) {
        CorpusBook book(file);
        for (const std::string& name : book.worksheets()) {
            SCOPED_TRACE(file.filename().string() + " " + name);
            const std::string& xml = book.entries[name];
            WorksheetPart before(xml, book.place.withPart(name), book.strings, book.styles, book.date1904);
            WorksheetPart part(xml, book.place.withPart(name), book.strings, book.styles, book.date1904);
            std::string refused;
            try {
                part.insertRow(2, CopyOrigin::FromLeftOrAbove);
            } catch (const sheets::Error& error) {
                refused = error.what(); // an array formula through row 2
            }
            std::string saved = part.serialize({});
            pugi::xml_document document;
            ASSERT_TRUE(document.load_string(saved.c_str()));
            WorksheetPart after(saved, book.place.withPart(name), book.strings, book.styles, book.date1904);
            int shift = refused.empty() ? 1 : 0;
            for (std::uint32_t r = 1; r <= 60; ++r)
                for (std::uint32_t c = 1; c <= 12; ++c) {
                    std::uint32_t now = r >= 2 ? r + static_cast<std::uint32_t>(shift) : r;
                    ASSERT_EQ(show(after, now, c), show(before, r, c)) << xlsx::columnName(c) << r;
                }
        }
    }
}

TEST(WorksheetPartOpenpyxl, AnEditedSheetReadsBackInOpenpyxl) {
    TULVERKAN_NEEDS_CORPUS();
    testsupport::TempDir folder;
    CorpusBook book(testsupport::corpus("autofilter00.xlsx"));
    const std::string name = "xl/worksheets/sheet1.xml";
    ASSERT_TRUE(book.entries.count(name));
    WorksheetPart part(book.entries[name], book.place.withPart(name), book.strings, book.styles,
                       book.date1904);
    part.insertRow(2, CopyOrigin::FromRightOrBelow);
    part.setText({2, 1}, " ny linje\tmed _x0041_ og æøå");
    part.setNumber({2, 2}, 12.25);
    part.setText({2, 3}, "200");
    book.entries[name] = part.serialize({});
    book.entries["xl/sharedStrings.xml"] = book.strings.serialize();
    auto saved = folder / "edited.xlsx";
    writeZip(saved, book.entries);
    std::string dump = testsupport::openpyxlDump(saved);
    EXPECT_NE(dump.find("!A2:s: ny linje\tmed _x0041_ og æøå\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("!B2:n:12.25\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("!C2:s:200\n"), std::string::npos) << dump;
    WorksheetPart original(readZip(testsupport::corpus("autofilter00.xlsx"))[name], book.place.withPart(name),
                           book.strings, book.styles, false);
    std::string moved = show(original, 2, 1);
    ASSERT_EQ(moved.substr(0, 2), "s:");
    EXPECT_NE(dump.find("!A3:s:" + moved.substr(2) + "\n"), std::string::npos) << dump;
}

} // namespace
