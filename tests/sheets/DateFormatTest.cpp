#include "sheets/DateFormat.h"

#include "support/Python.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

TEST(DateFormat, CodesWithDatePartsOutsideLiteralsAndBrackets) {
    const std::pair<std::string_view, bool> codes[] = {
        {"dd.mm.yyyy", true},  {"d/m/yy\\ h:mm", true}, {"hh:mm", true},
        {"[h]:mm", true},      {"[SS]", true},          {"mmm", true},
        {"General", false},    {"0.00 \"kr\"", false},  {"#,##0", false},
        {"\"days\" 0", false}, {"[Red]0.0", false},     {"[$-414]0", false},
        {"0\\d", false},       {"_m0", false},          {"* #,##0;*d0", false},
        {"\"unclosed", false}, {"[h", false},           {"", false},
    };
    for (const auto& [code, isDate] : codes)
        EXPECT_EQ(sheets::isDateTimeFormatCode(code), isDate) << code;
}

TEST(DateFormat, BuiltInDateAndTimeFormatsAreTheTwoRanges) {
    for (std::uint32_t id : {14u, 18u, 22u, 45u, 47u})
        EXPECT_TRUE(sheets::isBuiltInDateTimeFormat(id)) << id;
    for (std::uint32_t id : {0u, 13u, 23u, 44u, 48u, 164u})
        EXPECT_FALSE(sheets::isBuiltInDateTimeFormat(id)) << id;
}

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

TEST(DateFormat, CodesFromRealWorkbooks) {
    for (const auto& [code, isDate] : kCodes)
        EXPECT_EQ(sheets::isDateTimeFormatCode(code), isDate) << code;
    // A space the width of a letter and a fill character are layout, not date parts.
    EXPECT_FALSE(sheets::isDateTimeFormatCode("_m0"));
    EXPECT_FALSE(sheets::isDateTimeFormatCode("* #,##0;*d0"));
}

TEST(DateFormat, CodesAgreeWithOpenpyxl) {
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

} // namespace
