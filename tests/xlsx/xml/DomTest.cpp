#include "xml/Dom.h"

#include "sheets/Error.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

namespace {

namespace dom = xlsx::dom;
using testsupport::errorOf;

const xlsx::Place kPart = xlsx::Place{"/data/Tulverkan.xlsx"}.withPart("xl/workbook.xml");

TEST(Dom, DocumentTypeDeclarationsAreRefusedBeforeParsing) {
    const std::string dtd = "<!DOCTYPE workbook [<!ENTITY a \"aaaaaaaaaa\">]>";
    for (const std::string& xml : {dtd + "<workbook/>", "<?xml version=\"1.0\"?>\n<!-- made by hand -->\n" +
                                                            dtd + "<workbook>&a;</workbook>"}) {
        pugi::xml_document document;
        const auto message = errorOf([&] { dom::parse(document, xml, kPart); });
        EXPECT_EQ(message.rfind("Kan ikke lese «xl/workbook.xml» i «/data/Tulverkan.xlsx»: ", 0), 0u)
            << message;
        EXPECT_NE(message.find("DTD"), std::string::npos) << message;
    }
    // Text that merely looks like one, inside the root, is text.
    pugi::xml_document document;
    dom::parse(document, "<workbook><t><![CDATA[<!DOCTYPE x>]]></t></workbook>", kPart);
    EXPECT_STREQ(document.child("workbook").child("t").text().get(), "<!DOCTYPE x>");
}

TEST(Dom, MalformedXmlAndWrongRootsNameThePart) {
    pugi::xml_document document;
    auto message = errorOf([&] { dom::parse(document, "<workbook><sheets></workbook>", kPart); });
    EXPECT_EQ(message.rfind("Kan ikke lese «xl/workbook.xml» i «/data/Tulverkan.xlsx»: ugyldig XML (", 0), 0u)
        << message;
    EXPECT_NE(message.find("posisjon "), std::string::npos) << message;
    message = errorOf([&] { dom::parseRoot(document, "<worksheet/>", kPart, "workbook", "en arbeidsbok"); });
    EXPECT_EQ(message,
              "Kan ikke lese «xl/workbook.xml» i «/data/Tulverkan.xlsx»: delen er ikke en arbeidsbok");
}

// Real files prefix the main namespace (x:), or use the strict one; both read as the default does.
TEST(Dom, ElementsAndAttributesAreFoundByLocalName) {
    const std::string xml = "<x:workbook xmlns:x=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" "
                            "xmlns:r=\"urn:r\"><x:sheets><x:sheet name=\"HEA\" r:id=\"rId1\"/></x:sheets>"
                            "<sheets xmlns=\"urn:other\"/></x:workbook>";
    pugi::xml_document document;
    auto root = dom::parseRoot(document, xml, kPart, "workbook", "en arbeidsbok");
    auto sheet = dom::child(dom::child(root, "sheets"), "sheet");
    EXPECT_TRUE(dom::isElement(sheet, "sheet"));
    EXPECT_STREQ(dom::attribute(sheet, "id").value(), "rId1");
    EXPECT_STREQ(dom::attribute(sheet, "name").value(), "HEA");
    EXPECT_FALSE(dom::attribute(sheet, "nam"));
    EXPECT_EQ(dom::namespaceUri(sheet), "http://purl.oclc.org/ooxml/spreadsheetml/main");
    EXPECT_EQ(dom::namespaceUri(root.last_child()), "urn:other");

    // New elements land in the parent's namespace, prefix and all.
    auto added = dom::appendChild(dom::child(root, "sheets"), "sheet");
    EXPECT_STREQ(added.name(), "x:sheet");
    EXPECT_EQ(dom::qualifiedName(root.last_child(), "ext"), "ext");
}

TEST(Dom, ParsingKeepsWhatCanBeWrittenBackAndNormalizesValues) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                            "<!-- kept --><sst><si><t xml:space=\"preserve\"> </t></si>"
                            "<si><t>a\r\nb</t></si><si a=\"x\ty\"/><?pi kept?></sst>\n";
    pugi::xml_document document;
    dom::parse(document, xml, kPart);
    auto sst = document.child("sst");
    EXPECT_STREQ(sst.first_child().child("t").text().get(), " "); // blank text is text
    EXPECT_STREQ(sst.first_child().next_sibling().child_value("t"), "a\nb");
    EXPECT_STREQ(sst.child("si").next_sibling().next_sibling().attribute("a").value(), "x y");
    // The prolog and the blanks after the root stay byte for byte; the body is written raw.
    auto written = dom::writeKeepingProlog(document, xml);
    EXPECT_EQ(written, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<!-- kept -->"
                       "<sst><si><t xml:space=\"preserve\"> </t></si><si><t>a\nb</t></si><si a=\"x y\"/>"
                       "<?pi kept?></sst>\n");
}

TEST(Dom, ConvertedEncodingsAreWrittenAsUtf8WithTheirDeclarationMended) {
    std::string utf16 = "\xFF\xFE";
    for (unsigned char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><t>\xC5</t>")) {
        utf16 += static_cast<char>(c);
        utf16 += '\0';
    }
    pugi::xml_document document;
    dom::parse(document, utf16, kPart);
    EXPECT_STREQ(document.child("t").text().get(), "Å");
    const std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>Å</t>";
    EXPECT_EQ(dom::writeKeepingProlog(document, utf16), expected);
    EXPECT_EQ(dom::write(document), expected);
}

TEST(Dom, RemoveChildrenDropsExactlyTheMatchingOnes) {
    pugi::xml_document document;
    dom::parse(document, "<r><a/><b/><a/><a/><c/></r>", kPart);
    dom::removeChildren(document.child("r"), [](pugi::xml_node node) { return dom::isElement(node, "a"); });
    EXPECT_EQ(dom::write(document), "<r><b/><c/></r>");
}

} // namespace
