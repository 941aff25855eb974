#include "parts/Styles.h"

#include "sheets/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const xlsx::Place kPlace("lager.xlsx");

TEST(Styles, CellFormatsFromBuiltInAndCustomNumberFormats) {
    xlsx::Styles styles(
        "<x:styleSheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:numFmts count=\"3\"><x:numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\"/>"
        "<x:numFmt numFmtId=\"165\" formatCode=\"&quot;m&quot;0.0\"/><x:numFmt numFmtId=\"14\" "
        "formatCode=\"0.0\"/>"
        "</x:numFmts><x:cellStyleXfs count=\"1\"><x:xf numFmtId=\"22\"/></x:cellStyleXfs><x:cellXfs "
        "count=\"9\">"
        "<x:xf numFmtId=\"0\"/><x:xf numFmtId=\"14\"/><x:xf numFmtId=\"22\"/><x:xf numFmtId=\"45\"/>"
        "<x:xf numFmtId=\"47\"/><x:xf numFmtId=\"164\"/><x:xf numFmtId=\"165\"/><x:xf numFmtId=\"2\"/>"
        "<x:xf/></x:cellXfs></x:styleSheet>",
        kPlace.withPart("xl/styles.xml"));
    std::vector<bool> dates;
    for (std::uint32_t style = 0; style < 10; ++style)
        dates.push_back(styles.isDateTime(style));
    // Id 14 redefined as "0.0" in this part is no date; cellStyleXfs are not cell formats.
    EXPECT_EQ(dates, (std::vector<bool>{false, false, true, true, true, true, false, false, false, false}));
    EXPECT_FALSE(xlsx::Styles().isDateTime(1));
}

TEST(Styles, BuiltInDateIdsWithoutCustomFormats) {
    std::string xml =
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cellXfs>";
    for (int id = 0; id <= 50; ++id)
        xml += "<xf numFmtId=\"" + std::to_string(id) + "\"/>";
    xml += "</cellXfs></styleSheet>";
    xlsx::Styles styles(xml, kPlace.withPart("xl/styles.xml"));
    for (std::uint32_t id = 0; id <= 50; ++id)
        EXPECT_EQ(styles.isDateTime(id), (id >= 14 && id <= 22) || (id >= 45 && id <= 47)) << id;
}

TEST(Styles, BadXmlNamesThePart) {
    try {
        xlsx::Styles("<styleSheet><cellXfs></styleSheet>", kPlace.withPart("xl/styles.xml"));
        FAIL() << "no error";
    } catch (const sheets::Error& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("Kan ikke lese «xl/styles.xml» i «lager.xlsx»: ugyldig XML (", 0), 0u)
            << message;
        EXPECT_EQ(message.back(), ')') << message;
    }
}

} // namespace
