#include "parts/Styles.h"

#include "sheets/Error.h"
#include "support/Python.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const xlsx::Place kPlace("lager.xlsx");

const std::vector<std::pair<std::string, bool>> kCodes = {
    {"d/m/yyyy", true},
    {"[h]:mm", true},
    {"hh:mm:ss", true},
    {"mmm", true},
    {"yyyy\\-mm", true},
    {"[$-414]dd.mm.yyyy", true},
    {"[mm]:ss", true},
    {"[ss]", true},
    {"mm:ss.0", true},
    {"h AM/PM", true},
    {"dd/mm/yyyy;@", true},
    {"[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy", true},
    {"0.00", false},
    {"\"d\"0", false},
    {"0\" dager\"", false},
    {"[Red]0.0", false},
    {"[Blue]General", false},
    {"General", false},
    {"#,##0 \"kr\"", false},
    {"0.00E+00", false},
    {"\\d0", false},
    {"[>=100]0;0", false},
    {"@", false},
    {"[$€-414] #,##0.00", false},
    {"#,##0;[Red]-#,##0", false},
    {"0%", false},
    {"# ?/?", false},
    {"", false},
};

TEST(Styles, DateAndTimeFormatCodes) {
    for (const auto& [code, isDate] : kCodes)
        EXPECT_EQ(xlsx::isDateTimeFormatCode(code), isDate) << code;
    // A space the width of a letter and a fill character are layout, not date parts.
    EXPECT_FALSE(xlsx::isDateTimeFormatCode("_m0"));
    EXPECT_FALSE(xlsx::isDateTimeFormatCode("* #,##0;*d0"));
}

TEST(Styles, CodesAgreeWithOpenpyxl) {
    std::string script = "import sys\nfrom openpyxl.styles.numbers import is_date_format\n"
                         "for line in sys.argv[1:]: print(int(is_date_format(line)))\n";
    std::vector<std::string> argv{"/usr/bin/python3", "-c", script};
    for (const auto& entry : kCodes)
        argv.push_back(entry.first);
    auto result = testsupport::runProcess(argv);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected;
    for (const auto& entry : kCodes)
        expected += entry.second ? "1\n" : "0\n";
    EXPECT_EQ(result.out, expected);
}

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
