#include "sheets/DateFormat.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

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

} // namespace
