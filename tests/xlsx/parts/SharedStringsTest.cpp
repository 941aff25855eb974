#include "parts/SharedStrings.h"

#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zip.h>

#include <string>
#include <vector>

namespace {

const xlsx::Place kPlace("lager.xlsx");

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::vector<std::string> all(const xlsx::SharedStrings& strings) {
    std::vector<std::string> texts;
    for (std::uint32_t i = 0; i < strings.size(); ++i)
        texts.emplace_back(strings.at(i));
    return texts;
}

TEST(SharedStrings, ReadsPlainRichPhoneticAndEscapedItems) {
    xlsx::SharedStrings strings(
        "<?xml version=\"1.0\"?>\n<sst xmlns=\"" + kMain +
            "\" count=\"9\" uniqueCount=\"7\">"
            "<si><t>plain</t></si>"
            "<si><r><rPr><b/></rPr><t>fet</t></r><r><t xml:space=\"preserve\"> og "
            "</t></r><r><t>tynn</t></r></si>"
            "<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>かんじ</t></rPh><phoneticPr fontId=\"1\"/></si>"
            "<si><t>a &amp; b&#10;c_x000D__x0009_d_x005F_x0041_</t></si>"
            "<si><t xml:space=\"preserve\">  </t></si>"
            "<si><t/></si>"
            "<si><t><![CDATA[<cdata>]]></t></si>"
            "</sst>",
        kPlace.withPart("xl/sharedStrings.xml"));
    EXPECT_EQ(all(strings), (std::vector<std::string>{"plain", "fet og tynn", "漢字", "a & b\nc\r\td_x0041_",
                                                      "  ", "", "<cdata>"}));
}

TEST(SharedStrings, PrefixedPartTakesNewStringsInItsOwnPrefix) {
    std::string xml =
        "<x:sst xmlns:x=\"" + kMain + "\" uniqueCount='1' count='4'><x:si><x:t>en</x:t></x:si></x:sst>";
    xlsx::SharedStrings strings(xml, kPlace.withPart("xl/sharedStrings.xml"));
    EXPECT_EQ(strings.serialize(), xml);
    EXPECT_EQ(strings.add("en"), 0u);
    EXPECT_FALSE(strings.dirty());
    EXPECT_EQ(strings.add("to"), 1u);
    std::string saved = strings.serialize();
    EXPECT_EQ(saved, "<x:sst xmlns:x=\"" + kMain +
                         "\" uniqueCount='2'><x:si><x:t>en</x:t></x:si>"
                         "<x:si><x:t>to</x:t></x:si></x:sst>");
}

TEST(SharedStrings, AddedStringsReadBackWithCountsSet) {
    xlsx::SharedStrings strings("<sst xmlns=\"" + kMain +
                                    "\" count=\"3\" uniqueCount=\"2\"><si><t>a</t></si>"
                                    "<si><r><t>ri</t></r><r><t>k</t></r></si></sst>",
                                kPlace.withPart("xl/sharedStrings.xml"));
    std::vector<std::string> added{" blank foran",     "bak ",         "x<&>\"y",     "_x0041_",
                                   "kontroll\x01\x1f", "\r\n",         "rik",         "a",
                                   "tab\tinni",        "\xEF\xBF\xBE", "ugyldig \xC3"};
    std::vector<std::uint32_t> indexes;
    for (const auto& text : added)
        indexes.push_back(strings.add(text));
    // "a" is there already; "rik" is a rich item and gets a plain one of its own.
    EXPECT_EQ(indexes, (std::vector<std::uint32_t>{2, 3, 4, 5, 6, 7, 8, 0, 9, 10, 11}));
    EXPECT_EQ(strings.add(" blank foran"), 2u);
    EXPECT_EQ(strings.at(5), "_x0041_");
    std::string saved = strings.serialize();
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(saved.c_str())) << saved;
    EXPECT_STREQ(document.child("sst").attribute("uniqueCount").value(), "12");
    EXPECT_TRUE(document.child("sst").attribute("count").empty()); // not known here: dropped, not wrong
    EXPECT_NE(saved.find("<si><t xml:space=\"preserve\"> blank foran</t></si>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<si><t xml:space=\"preserve\">bak </t></si>"), std::string::npos) << saved;
    xlsx::SharedStrings again(saved, kPlace.withPart("xl/sharedStrings.xml"));
    std::vector<std::string> expected{"a", "rik"};
    for (const auto& text : added)
        if (text != "a") expected.push_back(text);
    // U+FFFE cannot stand in XML: it goes as _xFFFE_ and comes back as itself.
    expected[11] = "ugyldig \xEF\xBF\xBD"; // broken UTF-8 becomes U+FFFD rather than broken XML
    EXPECT_EQ(all(again), expected);
}

TEST(SharedStrings, WorkbookWithoutThePartGetsANewOne) {
    xlsx::SharedStrings strings;
    EXPECT_EQ(strings.size(), 0u);
    EXPECT_EQ(strings.add("første"), 0u);
    EXPECT_EQ(strings.add("andre"), 1u);
    EXPECT_EQ(strings.add("første"), 0u);
    std::string saved = strings.serialize();
    xlsx::SharedStrings again(saved, kPlace.withPart("xl/sharedStrings.xml"));
    EXPECT_EQ(all(again), (std::vector<std::string>{"første", "andre"}));
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(saved.c_str()));
    EXPECT_STREQ(document.document_element().attribute("xmlns").value(), kMain.c_str());
}

TEST(SharedStrings, CopiesAndMovesKeepFindingTheirStrings) {
    xlsx::SharedStrings first("<sst xmlns=\"" + kMain + "\"><si><t>a</t></si></sst>",
                              kPlace.withPart("xl/sharedStrings.xml"));
    EXPECT_EQ(first.add("b"), 1u);
    xlsx::SharedStrings moved = std::move(first);
    EXPECT_EQ(moved.add("a"), 0u);
    EXPECT_EQ(moved.add("b"), 1u);
    xlsx::SharedStrings copy = moved;
    EXPECT_EQ(copy.add("c"), 2u);
    EXPECT_EQ(copy.add("b"), 1u);
    EXPECT_EQ(moved.size(), 2u);
    EXPECT_EQ(all(copy), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(SharedStrings, FaultsNameThePart) {
    xlsx::SharedStrings strings("<sst xmlns=\"" + kMain + "\"><si><t>a</t></si></sst>",
                                kPlace.withPart("xl/sharedStrings.xml"));
    try {
        strings.at(1);
        FAIL() << "no error";
    } catch (const sheets::Error& error) {
        EXPECT_STREQ(error.what(), "Kan ikke lese «xl/sharedStrings.xml» i «lager.xlsx»: delt tekst nummer 1 "
                                   "finnes ikke (delen har 1)");
    }
    EXPECT_THROW(xlsx::SharedStrings("<sst><si><t>a</si></sst>", kPlace.withPart("xl/sharedStrings.xml")),
                 sheets::Error);
}

TEST(SharedStrings, EveryCorpusPartReadsAndTakesANewString) {
    TULVERKAN_NEEDS_CORPUS();
    int parts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::corpusFolder())) {
        int error = 0;
        zip_t* archive = zip_open(entry.path().c_str(), ZIP_RDONLY, &error);
        ASSERT_NE(archive, nullptr) << entry.path();
        zip_stat_t stat;
        if (zip_stat(archive, "xl/sharedStrings.xml", 0, &stat) == 0) {
            std::string xml(stat.size, '\0');
            zip_file_t* file = zip_fopen(archive, "xl/sharedStrings.xml", 0);
            ASSERT_EQ(zip_fread(file, xml.data(), stat.size), static_cast<zip_int64_t>(stat.size));
            zip_fclose(file);
            SCOPED_TRACE(entry.path().filename().string());
            xlsx::SharedStrings strings(xml, kPlace.withPart("xl/sharedStrings.xml"));
            EXPECT_EQ(strings.serialize(), xml);
            auto before = all(strings);
            strings.add("ny tekst i boka");
            xlsx::SharedStrings again(strings.serialize(), kPlace.withPart("xl/sharedStrings.xml"));
            before.push_back("ny tekst i boka");
            EXPECT_EQ(all(again), before);
            ++parts;
        }
        zip_close(archive);
    }
    EXPECT_GE(parts, 30);
}

} // namespace
