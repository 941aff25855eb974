#include "OrderFixtures.h"

#include "orders/Opener.h"
#include "sheets/Error.h"
#include "support/ErrorOf.h"
#include "support/Python.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <deque>

namespace orderstest {
namespace {

using Kind = sheets::CellValue::Kind;

// Writers other than LibreOffice bind other prefixes and indent their XML; the reader must not care.
const std::string kNamespaces =
    "xmlns:o=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:t=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:x=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:c=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\"";

class OdsFile {
public:
    OdsFile(const std::string& tables, const std::string& settings = "", const std::string& manifest = "") {
        int code = 0;
        zip* archive = zip_open(path().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        add(archive, "mimetype", "application/vnd.oasis.opendocument.spreadsheet");
        add(archive, "content.xml",
            "<?xml version=\"1.0\"?>\n<o:document-content " + kNamespaces +
                ">\n <o:body>\n  <o:spreadsheet>\n" + tables +
                "\n  </o:spreadsheet>\n </o:body>\n</o:document-content>");
        if (!settings.empty()) add(archive, "settings.xml", settings);
        if (!manifest.empty()) add(archive, "META-INF/manifest.xml", manifest);
        zip_close(archive);
    }
    std::filesystem::path path() const { return m_dir / "bestilling.ods"; }
    std::unique_ptr<sheets::Workbook> open() const {
        return orders::openWorkbook(path(), sheets::OpenMode::ReadOnly);
    }

private:
    // Kept alive in the object: libzip reads the buffers at zip_close.
    void add(zip* archive, const char* name, const std::string& bytes) {
        const auto& kept = m_buffers.emplace_back(bytes);
        zip_file_add(archive, name, zip_source_buffer(archive, kept.data(), kept.size(), 0),
                     ZIP_FL_OVERWRITE);
    }
    testsupport::TempDir m_dir;
    std::deque<std::string> m_buffers;
};

std::string table(const std::string& name, const std::string& rows) {
    return "<t:table t:name=\"" + name + "\">\n" + rows + "\n</t:table>";
}

// A million repeated rows and a full row of repeated columns are runs: reading anywhere in them or
// just past them finds the run's value or nothing, not a neighbour's.
TEST(OdsReader, RepeatedRowsAndColumnsAreRuns) {
    OdsFile ods(table(
        "Ark1", "<t:table-row t:number-rows-repeated=\"3\"><t:table-cell t:number-columns-repeated=\"2\"/>"
                "<t:table-cell o:value-type=\"float\" o:value=\"7\" t:number-columns-repeated=\"3\"/>"
                "</t:table-row>"
                "<t:table-row t:number-rows-repeated=\"1000000\"><t:table-cell "
                "t:number-columns-repeated=\"16384\"/></t:table-row>"
                "<t:table-row-group><t:table-row><t:covered-table-cell t:number-columns-repeated=\"16383\"/>"
                "<t:table-cell o:value-type=\"string\"><x:p>sist</x:p></t:table-cell></t:table-row>"
                "</t:table-row-group>"));
    auto book = ods.open();
    const auto& sheet = book->sheet(1);
    for (int row : {1, 2, 3})
        for (int column : {3, 4, 5})
            EXPECT_EQ(sheet.cell(row, column).number, 7) << row << "," << column;
    EXPECT_EQ(sheet.cell(1, 2).kind, Kind::Empty);
    EXPECT_EQ(sheet.cell(1, 6).kind, Kind::Empty);
    EXPECT_EQ(sheet.cell(4, 3).kind, Kind::Empty);
    EXPECT_EQ(sheet.cell(500000, 9).kind, Kind::Empty);
    EXPECT_EQ(sheet.cell(1000004, 16384).text, "sist");
    EXPECT_EQ(sheet.cell(1000004, 16383).kind, Kind::Empty);
}

// The cells a merged cell covers keep their columns, and whatever value LibreOffice kept in them, as
// it writes them to .xlsx.
TEST(OdsReader, CoveredCellsTakeTheirColumns) {
    OdsFile ods(table("Ark1",
                      "<t:table-row><t:table-cell o:value-type=\"string\" t:number-columns-spanned=\"3\">"
                      "<x:p>flettet</x:p></t:table-cell><t:covered-table-cell o:value-type=\"float\" "
                      "o:value=\"3\"/><t:covered-table-cell/>"
                      "<t:table-cell o:value-type=\"string\"><x:p>etter</x:p></t:table-cell></t:table-row>"));
    auto book = ods.open();
    const auto& sheet = book->sheet(1);
    EXPECT_EQ(sheet.cell(1, 1).text, "flettet");
    EXPECT_EQ(sheet.cell(1, 2).number, 3);
    EXPECT_EQ(sheet.cell(1, 3).kind, Kind::Empty);
    EXPECT_EQ(sheet.cell(1, 4).text, "etter");
}

// Text as the paragraphs hold it: text:s spaces kept, text:tab and text:line-break as characters,
// paragraphs on lines of their own, blanks of the XML itself one space and none at the start of a
// paragraph, spans and links read through, annotations left out.
TEST(OdsReader, TextOfParagraphs) {
    OdsFile ods(table(
        "Ark1", "<t:table-row>"
                "<t:table-cell o:value-type=\"string\"><x:p><x:s/>to<x:s x:c=\"3\"/>mellom "
                "<x:s/>rom<x:s/></x:p></t:table-cell>"
                "<t:table-cell o:value-type=\"string\"><x:p>a<x:tab/>b<x:line-break/>c</x:p></t:table-cell>"
                "<t:table-cell o:value-type=\"string\"><x:p>linje 1</x:p><x:p>linje 2</x:p></t:table-cell>"
                "<t:table-cell o:value-type=\"string\"><o:annotation><x:p>notat</x:p></o:annotation>"
                "<x:p>\n   S235 \n <x:span>JR</x:span> <x:a>lenke</x:a> \n</x:p></t:table-cell>"
                "<t:table-cell o:value-type=\"string\" o:string-value=\"verdien\"><x:p>vist</x:p>"
                "</t:table-cell>"
                "</t:table-row>"));
    auto book = ods.open();
    const auto& sheet = book->sheet(1);
    EXPECT_EQ(sheet.cell(1, 1).text, " to   mellom  rom ");
    EXPECT_EQ(sheet.cell(1, 2).text, "a\tb\nc");
    EXPECT_EQ(sheet.cell(1, 3).text, "linje 1\nlinje 2");
    EXPECT_EQ(sheet.cell(1, 4).text, "S235 JR lenke ");
    EXPECT_EQ(sheet.cell(1, 5).text, "verdien");
}

TEST(OdsReader, ValuesByTheirType) {
    OdsFile ods(table(
        "Ark1", "<t:table-row>"
                "<t:table-cell o:value-type=\"percentage\" o:value=\"0.25\"><x:p>25%</x:p></t:table-cell>"
                "<t:table-cell o:value-type=\"currency\" o:value=\"-12.5\"/>"
                "<t:table-cell o:value-type=\"boolean\" o:boolean-value=\"true\"/>"
                "<t:table-cell o:value-type=\"date\" o:date-value=\"1900-02-28\"/>"
                "<t:table-cell o:value-type=\"time\" o:time-value=\"PT36H\"/>"
                "<t:table-cell t:formula=\"of:=1/0\" o:value-type=\"float\" o:value=\"0\" "
                "c:value-type=\"error\"><x:p>#DIV/0!</x:p></t:table-cell>"
                "<t:table-cell><x:p>uten type</x:p></t:table-cell>"
                "<t:table-cell o:value-type=\"date\" o:date-value=\"i morgen\"><x:p>i morgen</x:p>"
                "</t:table-cell>"
                "</t:table-row>"));
    auto book = ods.open();
    const auto& sheet = book->sheet(1);
    EXPECT_EQ(sheet.cell(1, 1).number, 0.25);
    EXPECT_EQ(sheet.cell(1, 2).number, -12.5);
    EXPECT_EQ(sheet.cell(1, 3).kind, Kind::Boolean);
    EXPECT_EQ(sheet.cell(1, 3).number, 1);
    EXPECT_EQ(sheet.cell(1, 4).kind, Kind::DateTime);
    EXPECT_EQ(sheet.cell(1, 4).number, 59);
    EXPECT_EQ(sheet.cell(1, 5).number, 1.5);
    EXPECT_EQ(sheet.cell(1, 6).kind, Kind::Error);
    EXPECT_EQ(sheet.cell(1, 6).text, "#DIV/0!");
    EXPECT_EQ(sheet.cell(1, 7).text, "uten type");
    EXPECT_EQ(sheet.cell(1, 8).kind, Kind::Text) << "a date that is none is not guessed";
}

TEST(OdsReader, ActiveSheetFromTheViewSettings) {
    const std::string settings =
        "<?xml version=\"1.0\"?><s:document-settings "
        "xmlns:s=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:k=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><s:settings>"
        "<k:config-item-set k:name=\"ooo:view-settings\"><k:config-item-map-indexed k:name=\"Views\">"
        "<k:config-item-map-entry><k:config-item k:name=\"ViewId\" k:type=\"string\">view1</k:config-item>"
        "<k:config-item k:name=\"ActiveTable\" k:type=\"string\">Bestilling</k:config-item>"
        "</k:config-item-map-entry></k:config-item-map-indexed></k:config-item-set></s:settings></"
        "s:document-settings>";
    const std::string tables = table("Forside", "") + table("Bestilling", "") + table("Arkiv", "");
    auto withSettings = OdsFile(tables, settings).open();
    EXPECT_EQ(withSettings->sheetCount(), 3);
    EXPECT_EQ(withSettings->activeSheet().name(), "Bestilling");
    EXPECT_EQ(OdsFile(tables).open()->activeSheet().name(), "Forside");
}

TEST(OdsReader, DamagedContentNamesTheFileAndThePart) {
    OdsFile ods("<t:table t:name=\"Ark1\"><t:table-row>");
    try {
        ods.open();
        ADD_FAILURE() << "opened";
    } catch (const sheets::Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("«" + ods.path().string() + "»"), std::string::npos) << message;
        EXPECT_NE(message.find("«content.xml» i «" + ods.path().string() + "»: ugyldig XML"),
                  std::string::npos)
            << message;
    }
}

// The entries are read with the limits and the name rule every zip-based workbook gets: an entry that
// inflates to gigabytes is refused before it is inflated, and names are compared as stored.
TEST(OdsReader, EntriesAreReadWithTheZipLimitsAndNamesAsStored) {
    testsupport::TempDir work;
    const auto bomb = work / "bombe.ods";
    const auto made =
        testsupport::runProcess({TULVERKAN_PYTHON, testsupport::fixture("package/make_fixtures.py").string(),
                                 "--ods-bomb", bomb.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    auto message = testsupport::errorOf([&] { orders::openWorkbook(bomb, sheets::OpenMode::ReadOnly); });
    EXPECT_EQ(
        message.rfind("Kan ikke lese «content.xml» i «" + bomb.string() + "»: delen er urimelig stor", 0), 0u)
        << message;

    const auto renamed = work / "omdøpt.ods";
    {
        int code = 0;
        zip* archive = zip_open(renamed.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        const std::string type = "application/vnd.oasis.opendocument.spreadsheet";
        const std::string content = "<o:document-content " + kNamespaces + "/>";
        zip_file_add(archive, "mimetype", zip_source_buffer(archive, type.data(), type.size(), 0), 0);
        zip_file_add(archive, "Content.xml", zip_source_buffer(archive, content.data(), content.size(), 0),
                     0);
        ASSERT_EQ(zip_close(archive), 0);
    }
    message = testsupport::errorOf([&] { orders::openWorkbook(renamed, sheets::OpenMode::ReadOnly); });
    EXPECT_EQ(message, "Kan ikke lese «content.xml» i «" + renamed.string() + "»: delen finnes ikke");
}

} // namespace
} // namespace orderstest
