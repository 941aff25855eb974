#include "shift/PartShifter.h"

#include "ShiftTestSupport.h"
#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

// Where the part under test stands, for failures.
const xlsx::Place kPart = xlsx::Place("lager.xlsx").withSheet("Ark1").withPart("xl/part.xml");

using shifttest::partOf;
using shifttest::values;

std::string corpusPart(std::string_view file, const std::string& entry) {
    return partOf(testsupport::corpus(file), entry);
}

xlsx::RowShift shiftAt(std::initializer_list<std::uint32_t> rows) {
    xlsx::RowShift shift;
    for (auto row : rows)
        shift.insert(row);
    return shift;
}

using Values = std::vector<std::string>;

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

struct TableCase {
    const char* file;
    const char* entry;
    std::uint32_t row;
    const char* ref; // nullptr: nothing changes
};

TEST(PartShifter, TablesMoveAndGrowWithTheirAutofilter) {
    TULVERKAN_NEEDS_CORPUS();
    const std::vector<TableCase> cases = {
        {"table12.xlsx", "xl/tables/table1.xml", 1, "C3:F7"},
        {"table12.xlsx", "xl/tables/table1.xml", 2, "C3:F7"},
        {"table12.xlsx", "xl/tables/table1.xml", 3, "C2:F7"},
        {"table12.xlsx", "xl/tables/table1.xml", 6, "C2:F7"},
        {"table12.xlsx", "xl/tables/table1.xml", 7, nullptr},
        {"table02.xlsx", "xl/tables/table2.xml", 10, "G11:J17"},
        {"table02.xlsx", "xl/tables/table2.xml", 11, "G10:J17"},
        {"table02.xlsx", "xl/tables/table4.xml", 11, "I4:L12"},
        {"table34.xlsx", "xl/tables/table1.xml", 4, "C2:F7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.entry + " row " + std::to_string(c.row));
        auto xml = corpusPart(c.file, c.entry);
        auto shifted = xlsx::shiftTablePart(xml, shiftAt({c.row}), kPart);
        if (!c.ref) {
            EXPECT_FALSE(shifted);
            continue;
        }
        ASSERT_TRUE(shifted);
        EXPECT_EQ(values(*shifted, "table", "ref"), Values{c.ref});
        EXPECT_EQ(values(*shifted, "autoFilter", "ref"), Values{c.ref});
        EXPECT_EQ(values(*shifted, "calculatedColumnFormula"), values(xml, "calculatedColumnFormula"));
    }

    std::string sorted =
        "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" "
        "name=\"T\" displayName=\"T\" ref=\"A1:B9\" totalsRowCount=\"1\"><autoFilter ref=\"A1:B8\">"
        "<sortState ref=\"A2:B8\"><sortCondition ref=\"B2:B8\"/></sortState></autoFilter>"
        "<tableColumns count=\"2\"><tableColumn id=\"1\" name=\"a\"/><tableColumn id=\"2\" "
        "name=\"b\" totalsRowFunction=\"sum\"/></tableColumns></table>";
    // A row inserted at the totals row is a new last data row.
    auto shifted = xlsx::shiftTablePart(sorted, shiftAt({9}), kPart);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "table", "ref"), Values{"A1:B10"});
    EXPECT_EQ(values(*shifted, "autoFilter", "ref"), Values{"A1:B8"});
    // Column formulas: structured references stay, plain ones without a sheet name are the table's sheet.
    auto formulas = replaced(replaced(sorted, "name=\"a\"/>",
                                      "name=\"a\"><calculatedColumnFormula>T[[#This Row],[b]]*$H$2"
                                      "</calculatedColumnFormula></tableColumn>"),
                             "totalsRowFunction=\"sum\"/>",
                             "totalsRowFunction=\"custom\"><totalsRowFormula>SUM(B2:B8)+Koder!$A$9"
                             "</totalsRowFormula></tableColumn>");
    shifted = xlsx::shiftTablePart(formulas, shiftAt({2}), kPart);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "calculatedColumnFormula"), Values{"T[[#This Row],[b]]*$H$3"});
    EXPECT_EQ(values(*shifted, "totalsRowFormula"), Values{"SUM(B3:B9)+Koder!$A$9"});

    shifted = xlsx::shiftTablePart(sorted, shiftAt({5}), kPart);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "sortState", "ref"), Values{"A2:B9"});
    EXPECT_EQ(values(*shifted, "sortCondition", "ref"), Values{"B2:B9"});
}

TEST(PartShifter, CommentsFollowTheirCells) {
    TULVERKAN_NEEDS_CORPUS();
    auto excel = corpusPart("comment10.xlsx", "xl/comments1.xml");
    EXPECT_EQ(values(xlsx::shiftCommentsPart(excel, shiftAt({2}), kPart).value_or(""), "comment", "ref"),
              Values{"B3"});
    EXPECT_EQ(values(xlsx::shiftCommentsPart(excel, shiftAt({1, 1}), kPart).value_or(""), "comment", "ref"),
              Values{"B4"});
    EXPECT_FALSE(xlsx::shiftCommentsPart(excel, shiftAt({3}), kPart));

    auto openpyxl =
        partOf(testsupport::fixture("xlsxparts/openpyxl-anchors.xlsx"), "xl/comments/comment1.xml");
    EXPECT_EQ(values(xlsx::shiftCommentsPart(openpyxl, shiftAt({1}), kPart).value_or(""), "comment", "ref"),
              Values{"B4"});

    std::string threaded = "<ThreadedComments xmlns=\"http://schemas.microsoft.com/office/spreadsheetml/2018/"
                           "threadedcomments\"><threadedComment ref=\"C7\" dT=\"2024-01-01T10:00:00.00\" "
                           "personId=\"{1}\" id=\"{2}\"><text>Ok</text></threadedComment></ThreadedComments>";
    EXPECT_EQ(
        values(xlsx::shiftCommentsPart(threaded, shiftAt({7}), kPart).value_or(""), "threadedComment", "ref"),
        Values{"C8"});
}

TEST(PartShifter, RefusesToPushANoteOffTheSheet) {
    std::string xml =
        "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors>"
        "<author>a</author></authors><commentList><comment ref=\"A1048576\" authorId=\"0\"><text><t>x"
        "</t></text></comment></commentList></comments>";
    try {
        xlsx::shiftCommentsPart(xml, shiftAt({10}), kPart);
        FAIL() << "no error";
    } catch (const sheets::Error& error) {
        EXPECT_STREQ(error.what(), "Kan ikke sette inn rader i arket «Ark1» i «lager.xlsx», celle A1048576: "
                                   "merknaden ville bli skjøvet ut av arket");
    }
}

TEST(PartShifter, NoteShapesGoWithTheirCellAsText) {
    TULVERKAN_NEEDS_CORPUS();
    auto excel = corpusPart("comment10.xlsx", "xl/drawings/vmlDrawing1.vml");
    auto moved = replaced(replaced(excel, "<x:Row>1</x:Row>", "<x:Row>2</x:Row>"),
                          "<x:Anchor>2, 15, 0, 10, 4, 15, 4, 4</x:Anchor>",
                          "<x:Anchor>2, 15, 1, 10, 4, 15, 5, 4</x:Anchor>");
    EXPECT_EQ(xlsx::shiftVmlDrawing(excel, shiftAt({1})), moved);
    EXPECT_EQ(xlsx::shiftVmlDrawing(excel, shiftAt({2})), moved);
    EXPECT_FALSE(xlsx::shiftVmlDrawing(excel, shiftAt({3})));

    auto openpyxl =
        partOf(testsupport::fixture("xlsxparts/openpyxl-anchors.xlsx"), "xl/drawings/commentsDrawing1.vml");
    EXPECT_EQ(xlsx::shiftVmlDrawing(openpyxl, shiftAt({3, 3})),
              replaced(openpyxl, "<ns2:Row>2</ns2:Row>", "<ns2:Row>4</ns2:Row>"));
}

struct VmlCase {
    const char* flags;
    std::uint32_t row;
    const char* anchor; // nullptr: nothing changes
};

// Other shapes (buttons, form controls) follow their own placement flags; without them they stay.
TEST(PartShifter, OtherVmlShapesFollowTheirPlacement) {
    TULVERKAN_NEEDS_CORPUS();
    const std::vector<VmlCase> cases = {
        {"<x:MoveWithCells/><x:SizeWithCells/>", 1, "1, 0, 3, 0, 3, 0, 7, 0"},
        {"<x:MoveWithCells/><x:SizeWithCells/>", 5, "1, 0, 2, 0, 3, 0, 7, 0"},
        {"<x:MoveWithCells/><x:SizeWithCells/>", 7, nullptr},
        {"<x:MoveWithCells/>", 1, "1, 0, 3, 0, 3, 0, 7, 0"},
        {"<x:MoveWithCells/>", 5, nullptr},
        {"<x:MoveWithCells>False</x:MoveWithCells>", 1, nullptr},
        {"", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.flags) + " row " + std::to_string(c.row));
        std::string xml = std::string("<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
                                      "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><v:shape id=\"b\">"
                                      "<x:ClientData ObjectType=\"Button\">") +
                          c.flags +
                          "<x:Anchor>\n    1, 0, 2, 0, 3, 0, 6, 0</x:Anchor></x:ClientData></v:shape></xml>";
        auto shifted = xlsx::shiftVmlDrawing(xml, shiftAt({c.row}));
        if (!c.anchor)
            EXPECT_FALSE(shifted);
        else
            EXPECT_EQ(shifted, replaced(xml, "1, 0, 2, 0, 3, 0, 6, 0", c.anchor));
    }
    auto button = corpusPart("button04.xlsx", "xl/drawings/vmlDrawing1.vml");
    EXPECT_FALSE(xlsx::shiftVmlDrawing(button, shiftAt({1})));
}

TEST(PartShifter, FormControlLinksInVmlFollowTheirCells) {
    std::string xml =
        "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:x=\"urn:schemas-microsoft-com:office:excel\">"
        "<v:shape id=\"c\"><x:ClientData ObjectType=\"Drop\"><x:Anchor>1, 0, 0, 0, 2, 0, 1, 0</x:Anchor>"
        "<x:FmlaLink>$C$3</x:FmlaLink><x:FmlaRange>Koder!$A$1:$A$9</x:FmlaRange></x:ClientData></v:shape>"
        "<v:shape id=\"d\"><x:ClientData ObjectType=\"Checkbox\"><x:FmlaLink>D2</x:FmlaLink></x:ClientData>"
        "</v:shape></xml>";
    EXPECT_EQ(xlsx::shiftVmlDrawing(xml, shiftAt({3})), replaced(xml, "$C$3", "$C$4"));
    EXPECT_EQ(xlsx::shiftVmlDrawing(xml, shiftAt({2})),
              replaced(replaced(xml, "$C$3", "$C$4"), "<x:FmlaLink>D2<", "<x:FmlaLink>D3<"));
    EXPECT_FALSE(xlsx::shiftVmlDrawing(xml, shiftAt({4})));
}

struct DrawingCase {
    const char* file;
    std::uint32_t row;
    Values rows; // from and to rows (0-based) afterwards; empty: nothing changes
};

TEST(PartShifter, DrawingAnchorsMoveAndStretchByTheirKind) {
    TULVERKAN_NEEDS_CORPUS();
    const std::string entry = "xl/drawings/drawing1.xml";
    const std::vector<DrawingCase> cases = {
        // twoCell, rows 8 to 22 (with an offset into row 22)
        {"chart_area03.xlsx", 1, {"9", "23"}},
        {"chart_area03.xlsx", 9, {"9", "23"}},
        {"chart_area03.xlsx", 10, {"8", "23"}},
        {"chart_area03.xlsx", 23, {"8", "23"}},
        {"chart_area03.xlsx", 24, {}},
        // twoCell ending exactly on the top edge of row 14: a row inserted there is below it
        {"textbox15.xlsx", 14, {"8", "15"}},
        {"textbox15.xlsx", 15, {}},
        // oneCell, rows 1 to 5: moves with its top-left cell and keeps its size
        {"image10.xlsx", 1, {"2", "6"}},
        {"image10.xlsx", 2, {"2", "6"}},
        {"image10.xlsx", 4, {}},
        {"chart_bar13.xlsx", 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " row " + std::to_string(c.row));
        auto xml = corpusPart(c.file, entry);
        auto shifted = xlsx::shiftDrawingPart(xml, shiftAt({c.row}), kPart);
        if (c.rows.empty()) {
            EXPECT_FALSE(shifted);
            continue;
        }
        ASSERT_TRUE(shifted);
        EXPECT_EQ(values(*shifted, "row"), c.rows);
        EXPECT_EQ(values(*shifted, "rowOff"), values(xml, "rowOff"));
        EXPECT_EQ(values(*shifted, "col"), values(xml, "col"));
    }

    auto openpyxl = partOf(testsupport::fixture("xlsxparts/openpyxl-anchors.xlsx"), entry);
    EXPECT_EQ(values(xlsx::shiftDrawingPart(openpyxl, shiftAt({4}), kPart).value_or(""), "row"), Values{"4"});
    EXPECT_FALSE(xlsx::shiftDrawingPart(openpyxl, shiftAt({5}), kPart));

    std::string absolute =
        "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\">"
        "<xdr:twoCellAnchor editAs=\"absolute\"><xdr:from><xdr:col>1</xdr:col><xdr:colOff>0"
        "</xdr:colOff><xdr:row>3</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>4"
        "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>9</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>"
        "<xdr:clientData/></xdr:twoCellAnchor></xdr:wsDr>";
    EXPECT_FALSE(xlsx::shiftDrawingPart(absolute, shiftAt({1}), kPart));

    // A line of no height on the top edge of row 3 (0-based) moves down as a whole.
    auto flat = replaced(replaced(absolute, " editAs=\"absolute\"", ""), "<xdr:row>9</xdr:row>",
                         "<xdr:row>3</xdr:row>");
    EXPECT_EQ(values(xlsx::shiftDrawingPart(flat, shiftAt({4}), kPart).value_or(""), "row"),
              (Values{"4", "4"}));
}

TEST(PartShifter, ChartSeriesFollowTheSheetsTheyName) {
    TULVERKAN_NEEDS_CORPUS();
    shifttest::Sheets sheet1({{"Sheet1", {3}}, {"Other", {1}}});
    auto area = corpusPart("chart_area03.xlsx", "xl/charts/chart1.xml");
    auto shifted = xlsx::shiftChartPart(area, sheet1.context(), kPart);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "f"),
              (Values{"Sheet1!$A$1:$A$6", "Sheet1!$B$1:$B$6", "Sheet1!$A$1:$A$6", "Sheet1!$C$1:$C$6"}));
    EXPECT_EQ(values(*shifted, "v"), values(area, "v"));

    shifttest::Sheets below({{"Sheet1", {6}}});
    EXPECT_FALSE(xlsx::shiftChartPart(area, below.context(), kPart));
    shifttest::Sheets other({{"Sheet1", {}}, {"Other", {1}}});
    EXPECT_FALSE(xlsx::shiftChartPart(area, other.context(), kPart));

    shifttest::Sheets dotted({{"Sh.eet.1", {1}}});
    EXPECT_EQ(values(xlsx::shiftChartPart(corpusPart("quote_name10.xlsx", "xl/charts/chart1.xml"),
                                          dotted.context(), kPart)
                         .value_or(""),
                     "f"),
              (Values{"Sh.eet.1!$A$2:$A$6", "Sh.eet.1!$B$2:$B$6", "Sh.eet.1!$C$2:$C$6"}));

    shifttest::Sheets data({{"Data", {5}}});
    auto openpyxl = partOf(testsupport::fixture("xlsxparts/openpyxl-anchors.xlsx"), "xl/charts/chart1.xml");
    EXPECT_EQ(values(xlsx::shiftChartPart(openpyxl, data.context(), kPart).value_or(""), "f"),
              Values{"'Data'!$A$1:$A$6"});

    std::string extensions =
        "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
        "xmlns:c15=\"http://schemas.microsoft.com/office/drawing/2012/"
        "chart\"><c:chart><c:plotArea><c:barChart><c:ser>"
        "<c:val><c:numRef><c:extLst><c:ext "
        "uri=\"{02D57815-91ED-43cb-92C2-25804820EDAC}\"><c15:fullRef><c15:sqref>"
        "Sheet1!$B$1:$B$9</c15:sqref></c15:fullRef></c:ext></c:extLst><c:f>Sheet1!$B$1:$B$5</c:f></"
        "c:numRef></c:val>"
        "<c:extLst><c:ext "
        "uri=\"{02D57815-91ED-43cb-92C2-25804820EDAC}\"><c15:datalabelsRange><c15:f>Sheet1!$D$1:$D$5"
        "</c15:f></c15:datalabelsRange></c:ext></c:extLst></c:ser></c:barChart></c:plotArea></c:chart></"
        "c:chartSpace>";
    shifted = xlsx::shiftChartPart(extensions, sheet1.context(), kPart);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(values(*shifted, "sqref"), Values{"Sheet1!$B$1:$B$10"});
    EXPECT_EQ(values(*shifted, "f"), (Values{"Sheet1!$B$1:$B$6", "Sheet1!$D$1:$D$6"}));
}

TEST(PartShifter, PivotCachesFollowTheirSourceSheet) {
    auto cache = [](const std::string& source) {
        return "<pivotCacheDefinition xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
               "r:id=\"rId1\" "
               "refreshOnLoad=\"1\" recordCount=\"4\"><cacheSource type=\"worksheet\">" +
               source + "</cacheSource><cacheFields count=\"0\"/></pivotCacheDefinition>";
    };
    shifttest::Sheets data({{"Lager", {}}, {"Data Ark", {3}}});
    auto shifted = xlsx::shiftPivotCacheDefinition(
        cache("<worksheetSource ref=\"A1:C5\" sheet=\"Data Ark\"/>"), data.context(), kPart);
    EXPECT_EQ(values(shifted.value_or(""), "worksheetSource", "ref"), Values{"A1:C6"});
    EXPECT_EQ(values(shifted.value_or(""), "worksheetSource", "sheet"), Values{"Data Ark"});

    // Sheet names compare with a-z folded.
    shifted = xlsx::shiftPivotCacheDefinition(cache("<worksheetSource ref=\"A6:C9\" sheet=\"data ark\"/>"),
                                              data.context(), kPart);
    EXPECT_EQ(values(shifted.value_or(""), "worksheetSource", "ref"), Values{"A7:C10"});

    for (const char* unchanged :
         {"<worksheetSource ref=\"A1:C5\" sheet=\"Lager\"/>", "<worksheetSource name=\"Beholdning\"/>",
          "<worksheetSource ref=\"A1:C5\" sheet=\"Data Ark\" r:id=\"rId2\"/>"}) {
        SCOPED_TRACE(unchanged);
        EXPECT_FALSE(xlsx::shiftPivotCacheDefinition(cache(unchanged), data.context(), kPart));
    }
}

TEST(PartShifter, PivotTablesMoveWithTheirSheet) {
    std::string table =
        "<pivotTableDefinition xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "name=\"Pivot1\" cacheId=\"1\" dataCaption=\"Verdier\"><location ref=\"A3:C20\" "
        "firstHeaderRow=\"1\" firstDataRow=\"1\" firstDataCol=\"1\"/><pivotFields count=\"0\"/>"
        "</pivotTableDefinition>";
    EXPECT_EQ(
        values(xlsx::shiftPivotTablePart(table, shiftAt({1, 2}), kPart).value_or(""), "location", "ref"),
        Values{"A5:C22"});
    EXPECT_EQ(values(xlsx::shiftPivotTablePart(table, shiftAt({2}), kPart).value_or(""), "location",
                     "firstHeaderRow"),
              Values{"1"});
    EXPECT_FALSE(xlsx::shiftPivotTablePart(table, shiftAt({21}), kPart));
}

TEST(PartShifter, RefusesXmlThatCannotBeParsed) {
    try {
        xlsx::shiftTablePart("<table ref=\"A1:B2\">", shiftAt({1}), kPart);
        ADD_FAILURE() << "no error";
    } catch (const sheets::Error& error) {
        EXPECT_EQ(std::string(error.what())
                      .rfind("Kan ikke lese «xl/part.xml» på arket «Ark1» i «lager.xlsx»: "
                             "ugyldig XML (",
                             0),
                  0u)
            << error.what();
    }
    EXPECT_THROW(xlsx::shiftDrawingPart("<wsDr><oneCellAnchor></wsDr>", shiftAt({1}), kPart), sheets::Error);
}

} // namespace
