#include "xml/XmlScan.h"

#include <gtest/gtest.h>

#include <map>

namespace {

namespace scan = xlsx::scan;

struct Tag {
    scan::StartTag tag;
    std::map<std::string, std::string> attributes;
    std::string rest; // what follows the tag; "<malformed>" when it was not read
};

Tag startTag(std::string_view xml) {
    Tag out;
    const char* end = xml.data() + xml.size();
    const char* after = scan::readStartTag(xml.data(), end, out.tag, [&](auto name, auto value, char) {
        out.attributes[std::string(name)] = std::string(value);
    });
    out.rest = after ? std::string(after, end) : "<malformed>";
    return out;
}

TEST(XmlScan, StartTagsWithAnyQuotingAndPrefix) {
    auto row = startTag("<x:row r=\"12\" spans='1:3' x14ac:dyDescent = \"0.25\" ><x:c/>");
    EXPECT_EQ(row.tag.qname, "x:row");
    EXPECT_FALSE(row.tag.selfClosing);
    EXPECT_EQ(row.attributes, (std::map<std::string, std::string>{
                                  {"r", "12"}, {"spans", "1:3"}, {"x14ac:dyDescent", "0.25"}}));
    EXPECT_EQ(row.rest, "<x:c/>");

    auto cell = startTag("<c r=\"A1\" s='a>b\"c'/>tail");
    EXPECT_TRUE(cell.tag.selfClosing);
    EXPECT_EQ(cell.attributes["s"], "a>b\"c"); // a '>' or the other quote inside a value is text
    EXPECT_EQ(cell.rest, "tail");

    EXPECT_EQ(startTag("<v>").tag.qname, "v");
    for (const char* bad : {"<", "<row r=\"1\"", "<row r=1>", "<row r>", "<row =\"1\">", "<row r=\"1>",
                            "<row/ >", "<row r=\"1\" /"})
        EXPECT_EQ(startTag(bad).rest, "<malformed>") << bad;
}

TEST(XmlScan, NamesWithoutTheirPrefix) {
    EXPECT_EQ(scan::localName("x:row"), "row");
    EXPECT_EQ(scan::localName("row"), "row");
    EXPECT_EQ(scan::prefixOf("x:row"), "x:");
    EXPECT_EQ(scan::prefixOf("row"), "");
    std::string_view qname;
    const std::string end = "</x:sheetData >rest";
    EXPECT_EQ(std::string(scan::readEndTag(end.data(), end.data() + end.size(), qname)), "rest");
    EXPECT_EQ(qname, "x:sheetData");
    const std::string open = "</x:sheetData";
    EXPECT_EQ(scan::readEndTag(open.data(), open.data() + open.size(), qname), nullptr);
}

TEST(XmlScan, NumbersAndBooleansAsAttributesWriteThem) {
    EXPECT_EQ(scan::parseUnsigned(" 42\n"), 42u);
    EXPECT_EQ(scan::parseUnsigned("4294967295"), 4294967295u);
    for (const char* bad : {"", " ", "-1", "+1", "4294967296", "12a", "1 2", "0x10"})
        EXPECT_FALSE(scan::parseUnsigned(bad)) << bad;
    EXPECT_TRUE(scan::isTrue("1"));
    EXPECT_TRUE(scan::isTrue("true"));
    for (const char* no : {"0", "false", "", "TRUE", "yes"})
        EXPECT_FALSE(scan::isTrue(no)) << no;
    EXPECT_EQ(scan::trimmed(" \t\r\nx y\n"), "x y");
}

// The position after what was skipped, "<malformed>" when it does not end.
std::string afterSpecial(std::string_view xml) {
    const char* end = xml.data() + xml.size();
    const char* after = scan::skipSpecial(xml.data(), end);
    return after ? std::string(after, end) : "<malformed>";
}

TEST(XmlScan, SkipsCommentsSectionsAndDeclarationsWhole) {
    EXPECT_EQ(afterSpecial("<!-- <row> --> --><c/>"), " --><c/>");
    EXPECT_EQ(afterSpecial("<![CDATA[ a > b ]]><c/>"), "<c/>");
    EXPECT_EQ(afterSpecial("<?xml version=\"1.0\"?><c/>"), "<c/>");
    EXPECT_EQ(afterSpecial("<!DOCTYPE x><c/>"), "<c/>");
    for (const char* open : {"<!-- x", "<![CDATA[ x ]]", "<?pi", "<!DOCTYPE"})
        EXPECT_EQ(afterSpecial(open), "<malformed>") << open;
}

TEST(XmlScan, TextContentUpToItsEndTag) {
    auto read = [](std::string_view xml, std::string_view& content) -> std::string {
        const char* end = xml.data() + xml.size();
        const char* after = scan::readTextContent(xml.data(), end, content);
        return after ? std::string(after, end) : "<malformed>";
    };
    std::string_view content;
    EXPECT_EQ(read("12.5</v><f/>", content), "<f/>");
    EXPECT_EQ(content, "12.5");
    EXPECT_EQ(read("a<!-- </v> --><![CDATA[<b>]]>c</x:t>", content), "");
    EXPECT_EQ(content, "a<!-- </v> --><![CDATA[<b>]]>c");
    EXPECT_EQ(read("a<r>b</r></t>", content), "<malformed>"); // a child element is no text
    EXPECT_EQ(read("no end", content), "<malformed>");
}

TEST(XmlScan, SkipsElementsWithNestedChildrenOfTheSameName) {
    auto skip = [](std::string_view afterStart, bool selfClosing) -> std::string {
        const char* end = afterStart.data() + afterStart.size();
        const char* after = scan::skipElementContent(afterStart.data(), end, selfClosing);
        return after ? std::string(after, end) : "<malformed>";
    };
    EXPECT_EQ(skip("<ext><ext a='>'/><ext>x</ext></ext><!-- </ext> --></ext><next/>", false), "<next/>");
    EXPECT_EQ(skip("<next/>", true), "<next/>");
    EXPECT_EQ(skip("<ext></ext>", false), "<malformed>");
    EXPECT_EQ(skip("<ext a=\"1></ext></ext>", false), "<malformed>");
}

} // namespace
