#include "shift/FrameShifter.h"

#include "ShiftTestSupport.h"
#include "formula/ReferenceSyntax.h"
#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <tuple>

namespace {

using sheets::CopyOrigin;
using shifttest::partOf;
using shifttest::values;
using xlsx::RowInsertion;

constexpr auto Above = CopyOrigin::FromLeftOrAbove;
constexpr auto Below = CopyOrigin::FromRightOrBelow;

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The frame as the cell store hands it over: the part with <sheetData> emptied.
std::string frameOf(const std::string& sheet) {
    auto begin = sheet.find("<sheetData");
    auto close = sheet.find("</sheetData>", begin);
    auto end = close == std::string::npos ? sheet.find("/>", begin) + 2 : close + 12;
    return sheet.substr(0, begin) + "<sheetData/>" + sheet.substr(end);
}

std::string corpusFrame(std::string_view file) {
    return frameOf(partOf(testsupport::corpus(file), "xl/worksheets/sheet1.xml"));
}

std::string fixtureFrame(std::string_view file, const std::string& entry = "xl/worksheets/sheet1.xml") {
    return frameOf(partOf(testsupport::fixture(file), entry));
}

std::string wrap(const std::string& body) {
    return std::string("<worksheet xmlns=\"") + kMain +
           "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheetData/>" +
           body + "</worksheet>";
}

// Insertions on the sheet `sheet`, and rows inserted on other sheets (for formulas that name them).
class Shifter {
public:
    explicit Shifter(std::vector<RowInsertion> insertions,
                     std::vector<std::pair<std::string, std::vector<std::uint32_t>>> others = {},
                     std::string sheet = "Ark1")
        : m_sheet(sheet), m_insertions(std::move(insertions)),
          m_sheets(withOwn(sheet, m_insertions, std::move(others))) {}

    std::optional<std::string> operator()(std::string_view frame) const {
        xlsx::FrameShiftInput input;
        input.insertions = m_insertions;
        if (auto own = m_sheets.shift(m_sheet)) input.shift = *own;
        input.formulas = m_sheets.context(m_sheet);
        return xlsx::shiftWorksheetFrame(frame, input, xlsx::Place("lager.xlsx").withSheet(m_sheet));
    }

private:
    static std::vector<std::pair<std::string, std::vector<std::uint32_t>>>
    withOwn(const std::string& sheet, const std::vector<RowInsertion>& insertions,
            std::vector<std::pair<std::string, std::vector<std::uint32_t>>> others) {
        std::vector<std::uint32_t> rows;
        for (const auto& insertion : insertions)
            rows.push_back(insertion.row);
        others.insert(others.begin(), {sheet, rows});
        return others;
    }

    std::string m_sheet;
    std::vector<RowInsertion> m_insertions;
    shifttest::Sheets m_sheets;
};

struct PlaceCase {
    const char* file;
    std::vector<RowInsertion> insertions;
    const char* element;
    const char* attribute;
    std::vector<std::string> expected;
};

TEST(FrameShifter, MovesThePlacesInExcelFrames) {
    TULVERKAN_NEEDS_CORPUS();
    const std::vector<PlaceCase> cases = {
        {"merge_range03.xlsx", {{1, Above}}, "mergeCell", "ref", {"B3:C3", "D3:E3", "F3:G3"}},
        {"merge_range03.xlsx", {{2, Below}}, "mergeCell", "ref", {"B3:C3", "D3:E3", "F3:G3"}},
        {"autofilter10.xlsx", {{1, Below}}, "autoFilter", "ref", {"A2:D52"}},
        {"autofilter10.xlsx", {{2, Above}}, "autoFilter", "ref", {"A1:D52"}},
        {"autofilter10.xlsx", {{51, Above}}, "autoFilter", "ref", {"A1:D52"}},
        {"autofilter10.xlsx", {{20, Above}, {20, Below}, {60, Above}}, "autoFilter", "ref", {"A1:D53"}},
        {"hyperlink18.xlsx", {{1, Above}}, "hyperlink", "ref", {"A2"}},
        {"ignore_error06.xlsx", {{2, Above}}, "ignoredError", "sqref", {"A3"}},
        {"ignore_error06.xlsx", {{1, Above}, {1, Above}}, "ignoredError", "sqref", {"A4"}},
        {"selection01.xlsx", {{5, Above}}, "selection", "activeCell", {"B4"}},
        {"selection01.xlsx", {{5, Above}}, "selection", "sqref", {"B4:C6"}},
        {"selection01.xlsx", {{4, Below}}, "selection", "activeCell", {"B5"}},
        {"selection01.xlsx", {{4, Below}}, "selection", "sqref", {"B5:C6"}},
        {"outline05.xlsx", {{3, Above}}, "selection", "activeCell", {"A15"}},
        // The conditional format on A1 goes with row 1's formats when they are copied from below.
        {"cond_format05.xlsx", {{1, Above}}, "conditionalFormatting", "sqref", {"A2"}},
        {"cond_format05.xlsx", {{1, Below}}, "conditionalFormatting", "sqref", {"A1:A2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.element + "@" + c.attribute);
        auto frame = corpusFrame(c.file);
        auto shifted = Shifter(c.insertions)(frame);
        ASSERT_TRUE(shifted);
        EXPECT_EQ(values(*shifted, c.element, c.attribute), c.expected);
    }
}

TEST(FrameShifter, ReturnsNothingWhenNoPlaceMoves) {
    TULVERKAN_NEEDS_CORPUS();
    const std::vector<std::pair<const char*, std::vector<RowInsertion>>> cases = {
        {"merge_range03.xlsx", {{3, Above}}},
        {"autofilter10.xlsx", {{52, Above}}},
        {"hyperlink18.xlsx", {{2, Below}}},
        {"selection01.xlsx", {{6, Below}}},
        {"ignore_error06.xlsx", {{3, Above}}},
        {"cond_format16.xlsx", {{2, Below}}},
        {"page_view03.xlsx", {{1, Above}}},
        {"print_options01.xlsx", {{1, Below}}},
        {"outline05.xlsx", {}},
    };
    for (const auto& [file, insertions] : cases) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(Shifter(insertions)(corpusFrame(file)));
    }
    EXPECT_FALSE(Shifter({{30, Above}}, {}, "Lager")(fixtureFrame("xlsxparts/xlsxwriter-frame.xlsx")));
}

// xlsxwriter's sheet has every kind of place: panes, validations, conditional formats with an extension
// data bar, page breaks, protected ranges, ignored errors, a sparkline, a merge and a hyperlink.
TEST(FrameShifter, MovesEveryPlaceOfAnXlsxwriterSheet) {
    auto frame = fixtureFrame("xlsxparts/xlsxwriter-frame.xlsx");
    auto shifted = Shifter({{5, Above}}, {}, "Lager")(frame);
    ASSERT_TRUE(shifted);
    const auto& xml = *shifted;
    EXPECT_EQ(values(xml, "pane", "topLeftCell"), std::vector<std::string>{"A3"});
    EXPECT_EQ(values(xml, "pane", "ySplit"), std::vector<std::string>{"2"});
    EXPECT_EQ(values(xml, "protectedRange", "sqref"), std::vector<std::string>{"A3:B13"});
    EXPECT_EQ(values(xml, "autoFilter", "ref"), std::vector<std::string>{"A2:G13"});
    EXPECT_EQ(values(xml, "mergeCell", "ref"), std::vector<std::string>{"A15:B16"});
    EXPECT_EQ(values(xml, "conditionalFormatting", "sqref"),
              (std::vector<std::string>{"E3:E13", "F3:F13", "G3:G13", ""}));
    EXPECT_EQ(values(xml, "formula"), (std::vector<std::string>{"$I$2", "F3>Koder!$B$1"}));
    EXPECT_EQ(values(xml, "dataValidation", "sqref"), (std::vector<std::string>{"C3:C13", "D3:D13"}));
    EXPECT_EQ(values(xml, "formula1"), (std::vector<std::string>{"Koder!$A$1:$A$3", "$I$1"}));
    EXPECT_EQ(values(xml, "hyperlink", "ref"), std::vector<std::string>{"A17"});
    EXPECT_EQ(values(xml, "brk", "id"), (std::vector<std::string>{"11", "21"}));
    EXPECT_EQ(values(xml, "ignoredError", "sqref"), std::vector<std::string>{"A3:A13"});
    // The extension data bar's range, then the sparkline's location (J3 stays) after its data.
    EXPECT_EQ(values(xml, "sqref"), (std::vector<std::string>{"G3:G13", "J3"}));
    EXPECT_EQ(values(xml, "f"), std::vector<std::string>{"Lager!B3:B13"});

    auto atTop = Shifter({{1, Below}}, {}, "Lager")(frame);
    ASSERT_TRUE(atTop);
    EXPECT_EQ(values(*atTop, "pane", "ySplit"), std::vector<std::string>{"3"});
    EXPECT_EQ(values(*atTop, "pane", "topLeftCell"), std::vector<std::string>{"A4"});
    EXPECT_EQ(values(*atTop, "brk", "id"), (std::vector<std::string>{"11", "21"}));
    EXPECT_EQ(values(*atTop, "formula"), (std::vector<std::string>{"$I$3", "F4>Koder!$B$1"}));
}

TEST(FrameShifter, RewritesFormulasNamingOtherSheetsWhenThisSheetGotNoRows) {
    auto frame = fixtureFrame("xlsxparts/xlsxwriter-frame.xlsx");
    auto shifted = Shifter({}, {{"Koder", {1}}}, "Lager")(frame);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "formula"), (std::vector<std::string>{"$I$2", "F3>Koder!$B$2"}));
    EXPECT_EQ(values(*shifted, "formula1"), (std::vector<std::string>{"Koder!$A$2:$A$4", "$I$1"}));
    EXPECT_EQ(values(*shifted, "conditionalFormatting", "sqref"),
              (std::vector<std::string>{"E3:E12", "F3:F12", "G3:G12", ""}));
    EXPECT_EQ(values(*shifted, "mergeCell", "ref"), std::vector<std::string>{"A14:B15"});

    EXPECT_FALSE(Shifter({}, {{"Annet", {1}}}, "Lager")(frame));
}

struct OriginCase {
    const char* sqref;
    const char* formula;
    std::vector<RowInsertion> insertions;
    const char* expectedSqref;
    const char* expectedFormula;
};

// The new row takes the origin row's conditional formats and validations, insertion by insertion; rule
// formulas are written as seen from the first area's top-left cell, which may then be the new row.
TEST(FrameShifter, ConditionalFormatsAndValidationsFollowTheOriginRow) {
    const std::vector<OriginCase> cases = {
        {"H3:H12", "H3>0", {{3, Below}}, "H3:H13", "H3>0"},
        {"H3:H12", "H3>0", {{3, Above}}, "H4:H13", "H4>0"},
        {"H3:H12", "H3>$H$3", {{3, Below}}, "H3:H13", "H3>$H$4"},
        {"H3:H12", "H3>0", {{13, Above}}, "H3:H13", "H3>0"},
        {"H3:H12", "H3>0", {{13, Below}}, "H3:H12", "H3>0"},
        {"H3:H12", "H3>0", {{8, Below}}, "H3:H13", "H3>0"},
        {"H3:H12", "H3>0", {{3, Below}, {3, Below}}, "H3:H14", "H3>0"},
        {"H3:H12", "H3>0", {{2, Above}, {14, Above}}, "H4:H14", "H4>0"},
        {"H3:H12", "H3>0", {{14, Above}, {2, Above}}, "H4:H13", "H4>0"},
        {"A1 C5:D6", "A1>0", {{5, Below}}, "A1 C5:D7", "A1>0"},
        {"H3", "H3>0", {{3, Below}}, "H3:H4", "H3>0"},
        // Seen from the new corner H13, the origin row's comparison with Ark2!A13 is one row up.
        {"H13", "H13>Ark2!A13", {{13, Below}}, "H13:H14", "H13>Ark2!A12"},
        {"H1:H5", "H1>0", {{1, Above}}, "H2:H6", "H2>0"},
        {"A:A", "A5>0", {{3, Below}}, "A:A", "A6>0"},
    };
    for (const auto& c : cases) {
        for (bool validation : {false, true}) {
            SCOPED_TRACE(std::string(c.sqref) + " -> " + c.expectedSqref +
                         (validation ? " validation" : " format"));
            std::string sqref = c.sqref, formula = c.formula;
            auto frame =
                validation
                    ? wrap("<dataValidations count=\"1\"><dataValidation type=\"custom\" sqref=\"" + sqref +
                           "\"><formula1>" + formula + "</formula1></dataValidation></dataValidations>")
                    : wrap("<conditionalFormatting sqref=\"" + sqref +
                           "\"><cfRule type=\"expression\" priority=\"1\"><formula>" + formula +
                           "</formula></cfRule></conditionalFormatting>");
            auto shifted = Shifter(c.insertions)(frame);
            if (sqref == c.expectedSqref && formula == c.expectedFormula) {
                EXPECT_FALSE(shifted);
                continue;
            }
            ASSERT_TRUE(shifted);
            auto element = validation ? "dataValidation" : "conditionalFormatting";
            EXPECT_EQ(values(*shifted, element, "sqref"), std::vector<std::string>{c.expectedSqref});
            EXPECT_EQ(values(*shifted, validation ? "formula1" : "formula"),
                      std::vector<std::string>{c.expectedFormula});
        }
    }
}

// The rows a one-column area list covers.
std::set<std::uint32_t> coveredRows(const std::string& list) {
    std::set<std::uint32_t> rows;
    std::size_t pos = 0;
    while (pos < list.size()) {
        if (list[pos] == ' ') {
            ++pos;
            continue;
        }
        auto area = xlsx::parseArea(list, pos);
        EXPECT_TRUE(area) << list;
        if (!area) break;
        auto [top, bottom] = std::minmax(area->first.row, area->last.row);
        for (auto row = top; row <= bottom; ++row)
            rows.insert(row);
    }
    return rows;
}

// Against a plain simulation of the rule on a set of rows: rows at or below the insertion move down,
// and the new row is covered when its origin row is.
TEST(FrameShifter, OriginRuleMatchesARowByRowSimulation) {
    std::mt19937 random(20240101);
    for (int round = 0; round < 200; ++round) {
        std::set<std::uint32_t> expected;
        std::string sqref;
        for (std::uint32_t top = 1 + random() % 6; top < 40; top += 2 + random() % 8) {
            auto bottom = top + random() % 5;
            for (auto row = top; row <= bottom; ++row)
                expected.insert(row);
            // Appended piece by piece: GCC 12 reports a false overlap (-Wrestrict) for "B" + string.
            if (!sqref.empty()) sqref += ' ';
            sqref += 'B';
            sqref += std::to_string(top);
            if (bottom > top) {
                sqref += ":B";
                sqref += std::to_string(bottom);
            }
            top = bottom;
        }
        std::vector<RowInsertion> insertions;
        for (int i = 0, count = 1 + static_cast<int>(random() % 12); i < count; ++i) {
            RowInsertion insertion{1 + static_cast<std::uint32_t>(random() % 60),
                                   random() % 2 ? Above : Below};
            insertions.push_back(insertion);
            std::set<std::uint32_t> moved;
            for (auto row : expected)
                moved.insert(row >= insertion.row ? row + 1 : row);
            if (moved.count(insertion.originRow())) moved.insert(insertion.row);
            expected = std::move(moved);
        }
        SCOPED_TRACE(sqref + " round " + std::to_string(round));
        auto frame = wrap("<conditionalFormatting sqref=\"" + sqref +
                          "\"><cfRule type=\"expression\" priority=\"1\"><formula>1</formula></cfRule>"
                          "</conditionalFormatting>");
        auto shifted = Shifter(insertions)(frame).value_or(frame);
        EXPECT_EQ(coveredRows(values(shifted, "conditionalFormatting", "sqref").at(0)), expected);
    }
}

TEST(FrameShifter, ExtensionValidationsAndFormatsFollowTheOriginRowToo) {
    auto frame = wrap(
        "<extLst><ext uri=\"{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:dataValidations "
        "count=\"1\" "
        "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><x14:dataValidation type=\"list\" "
        "allowBlank=\"1\"><x14:formula1><xm:f>Koder!$A$1:$A$3</xm:f></x14:formula1><xm:sqref>C3:C12</"
        "xm:sqref>"
        "</x14:dataValidation></x14:dataValidations></ext><ext "
        "uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/"
        "main\"><x14:conditionalFormattings>"
        "<x14:conditionalFormatting "
        "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><x14:cfRule "
        "type=\"expression\" priority=\"2\" "
        "id=\"{1}\"><xm:f>D3&gt;Koder!$B$1</xm:f></x14:cfRule><xm:sqref>D3:D12"
        "</xm:sqref></x14:conditionalFormatting></x14:conditionalFormattings></ext></extLst>");
    auto shifted = Shifter({{3, Below}}, {{"Koder", {1}}})(frame);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "sqref"), (std::vector<std::string>{"C3:C13", "D3:D13"}));
    EXPECT_EQ(values(*shifted, "f"), (std::vector<std::string>{"Koder!$A$2:$A$4", "D3>Koder!$B$2"}));
}

// What leaves the sheet is dropped with its element, containers left empty go, counts follow.
TEST(FrameShifter, DropsWhatIsPushedPastTheLastRow) {
    auto frame = wrap(
        "<mergeCells count=\"2\"><mergeCell ref=\"A1:B2\"/><mergeCell "
        "ref=\"A1048576:B1048576\"/></mergeCells>"
        "<conditionalFormatting sqref=\"D1048576\"><cfRule type=\"expression\" "
        "priority=\"1\"><formula>D1048576&gt;0"
        "</formula></cfRule></conditionalFormatting><dataValidations count=\"2\"><dataValidation "
        "type=\"whole\" "
        "sqref=\"C2\"><formula1>0</formula1></dataValidation><dataValidation type=\"whole\" "
        "sqref=\"C1048576\">"
        "<formula1>0</formula1></dataValidation></dataValidations><hyperlinks><hyperlink ref=\"F1048576\" "
        "r:id=\"rId1\"/></hyperlinks><rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"5\" "
        "max=\"16383\" "
        "man=\"1\"/><brk id=\"1048575\" max=\"16383\" man=\"1\"/></rowBreaks><extLst><ext "
        "uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/"
        "main\"><x14:conditionalFormattings>"
        "<x14:conditionalFormatting "
        "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><x14:cfRule "
        "type=\"dataBar\" id=\"{1}\"/><xm:sqref>E1048576</xm:sqref></x14:conditionalFormatting>"
        "</x14:conditionalFormattings></ext></extLst>");
    auto expected =
        wrap("<mergeCells count=\"1\"><mergeCell ref=\"A2:B3\"/></mergeCells><dataValidations count=\"1\">"
             "<dataValidation type=\"whole\" sqref=\"C3\"><formula1>0</formula1></dataValidation>"
             "</dataValidations><rowBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"6\" "
             "max=\"16383\" man=\"1\"/></rowBreaks>");
    EXPECT_EQ(Shifter({{1, Above}})(frame), expected);
}

TEST(FrameShifter, KeepsEverythingElseByteForByte) {
    std::string frame = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                        "<x:worksheet xmlns:x=\"" +
                        std::string(kMain) +
                        "\"><!-- kept -->\n  <x:sheetData/>\n  <x:mergeCells count=\"1\"><x:mergeCell "
                        "ref=\"A2:B3\"/></x:mergeCells>\n  <x:headerFooter><x:oddHeader>&amp;L Lager &amp;R "
                        "&lt;side&gt;</x:oddHeader></x:headerFooter><?app keep?>\n</x:worksheet>\r\n";
    auto expected = frame;
    expected.replace(expected.find("A2:B3"), 5, "A3:B4");
    EXPECT_EQ(Shifter({{1, Above}})(frame), expected);
}

struct PaneCase {
    const char* pane;
    std::uint32_t row;
    const char* ySplit;
    const char* topLeftCell;
};

TEST(FrameShifter, PanesKeepTheirFrozenRows) {
    const std::vector<PaneCase> cases = {
        {R"(ySplit="2" topLeftCell="A3" activePane="bottomLeft" state="frozen")", 1, "3", "A4"},
        {R"(ySplit="2" topLeftCell="A3" activePane="bottomLeft" state="frozen")", 2, "3", "A4"},
        {R"(ySplit="2" topLeftCell="A3" activePane="bottomLeft" state="frozen")", 3, "2", "A3"},
        {R"(ySplit="2" topLeftCell="A20" activePane="bottomLeft" state="frozen")", 5, "2", "A21"},
        {R"(xSplit="1" ySplit="1" topLeftCell="B2" activePane="bottomRight" state="frozenSplit")", 1, "2",
         "B3"},
        {R"(ySplit="1200" topLeftCell="A10" activePane="bottomLeft")", 5, "1200", "A11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pane) + " row " + std::to_string(c.row));
        auto frame = std::string("<worksheet xmlns=\"") + kMain +
                     "\"><sheetViews><sheetView workbookViewId=\"0\"><pane " + c.pane +
                     "/></sheetView></sheetViews><sheetData/></worksheet>";
        auto shifted = Shifter({{c.row, Above}})(frame).value_or(frame);
        EXPECT_EQ(values(shifted, "pane", "ySplit"), std::vector<std::string>{c.ySplit});
        EXPECT_EQ(values(shifted, "pane", "topLeftCell"), std::vector<std::string>{c.topLeftCell});
    }
}

// brk id counts rows from 0 and names the row below the break; the break moves with that row.
TEST(FrameShifter, RowBreaksMoveWithTheRowBelowThem) {
    const std::vector<std::pair<std::uint32_t, const char*>> cases = {
        {1, "11"}, {10, "11"}, {11, "11"}, {12, "10"}};
    auto frame =
        wrap("<rowBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"10\" max=\"16383\" man=\"1\"/>"
             "</rowBreaks><colBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"3\" max=\"1048575\" "
             "man=\"1\"/></colBreaks>");
    for (const auto& [row, id] : cases) {
        SCOPED_TRACE(row);
        auto shifted = Shifter({{row, Below}})(frame).value_or(frame);
        EXPECT_EQ(values(shifted, "brk", "id"), (std::vector<std::string>{id, "3"}));
        EXPECT_EQ(values(shifted, "brk", "max"), (std::vector<std::string>{"16383", "1048575"}));
    }
}

// Form controls and embedded objects keep an anchor in the sheet beside their VML shape.
TEST(FrameShifter, ObjectAnchorsFollowTheirPlacement) {
    auto control = [](const std::string& flags) {
        return wrap(
            "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
            "<mc:Choice Requires=\"x14\"><controls xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/"
            "2006/spreadsheetDrawing\"><control shapeId=\"1025\" r:id=\"rId3\" name=\"Knapp\"><controlPr "
            "defaultSize=\"0\"><anchor " +
            flags +
            "><from><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>2</xdr:row><xdr:rowOff>0"
            "</xdr:rowOff></from><to><xdr:col>3</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>6</xdr:row>"
            "<xdr:rowOff>9525</xdr:rowOff></to></anchor></controlPr></control></controls></mc:Choice>"
            "</mc:AlternateContent>");
    };
    const std::vector<std::tuple<const char*, std::uint32_t, std::vector<std::string>>> cases = {
        {"moveWithCells=\"1\" sizeWithCells=\"1\"", 1, {"3", "7"}},
        {"moveWithCells=\"1\" sizeWithCells=\"1\"", 5, {"2", "7"}},
        {"moveWithCells=\"1\"", 5, {"2", "6"}},
        {"moveWithCells=\"true\"", 2, {"3", "7"}},
        {"", 1, {"2", "6"}},
    };
    auto linked = wrap("<controls><control shapeId=\"1026\" r:id=\"rId4\"><controlPr linkedCell=\"$C$3\" "
                       "listFillRange=\"Koder!$A$1:$A$9\"/></control></controls>");
    auto shifted = Shifter({{3, Above}}, {{"Koder", {2}}})(linked);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "controlPr", "linkedCell"), std::vector<std::string>{"$C$4"});
    EXPECT_EQ(values(*shifted, "controlPr", "listFillRange"), std::vector<std::string>{"Koder!$A$1:$A$10"});

    for (const auto& [flags, row, rows] : cases) {
        SCOPED_TRACE(std::string(flags) + " row " + std::to_string(row));
        auto frame = control(flags);
        EXPECT_EQ(values(Shifter({{row, Above}})(frame).value_or(frame), "row"), rows);
    }
}

TEST(FrameShifter, RefusesXmlThatCannotBeParsed) {
    EXPECT_THROW(Shifter({{1, Above}})("<worksheet><mergeCells></worksheet>"), sheets::Error);
}

} // namespace
