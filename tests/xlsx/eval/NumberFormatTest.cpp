// Number format codes read into sections and written by each kind of section's writer: what a code
// is read as, and the cases the LibreOffice comparison cannot settle.

#include "eval/NumberFormat.h"
#include "eval/NotComputable.h"

#include <gtest/gtest.h>

namespace {

using xlsx::eval::FormatSection;
using xlsx::eval::NumberFormat;
using xlsx::eval::parseFormatCode;
using Kind = FormatSection::Kind;

std::string text(double value, std::string_view code, bool date1904 = false) {
    auto formatted = NumberFormat(code).format(value, date1904);
    if (!formatted) return "error";
    return *formatted;
}

TEST(NumberFormat, CodesAreReadIntoSectionsOfOneKindEach) {
    auto sections = parseFormatCode("[Blue]#,##0.00_);[Red](#,##0.00);\"-\";@\" stk\"");
    ASSERT_EQ(sections.size(), 4u);
    EXPECT_EQ(sections[0].kind, Kind::Number);
    EXPECT_TRUE(sections[0].layout.grouping);
    EXPECT_EQ(sections[0].layout.fractionDigits, 2);
    EXPECT_EQ(sections[1].kind, Kind::Number);
    EXPECT_EQ(sections[2].kind, Kind::Literal);
    EXPECT_EQ(sections[3].kind, Kind::Text);
    EXPECT_EQ(parseFormatCode("[Red]General")[0].kind, Kind::General);
    EXPECT_EQ(parseFormatCode("dd.mm.yyyy")[0].kind, Kind::DateTime);
    auto scaled = parseFormatCode("0.0,,\"M\"")[0].layout;
    EXPECT_EQ(scaled.scaling, 2);
    EXPECT_FALSE(scaled.grouping);
    auto conditional = parseFormatCode("[>=1000]0,\"k\";0");
    ASSERT_TRUE(conditional[0].condition);
    EXPECT_TRUE(conditional[0].condition->holds(1000));
    EXPECT_FALSE(conditional[0].condition->holds(999.5));
    EXPECT_FALSE(conditional[1].condition);
}

TEST(NumberFormat, EachKindOfSectionWritesItsOwnWay) {
    EXPECT_EQ(text(-1234.5, "#,##0.00_);(#,##0.00)"), "(1,234.50)");
    EXPECT_EQ(text(1234.5, "#,##0.00_);(#,##0.00)"), "1,234.50 ");
    EXPECT_EQ(text(12345678, "0.0,,\"M\""), "12.3M");
    EXPECT_EQ(text(12345, "##0.0E+0"), "12.3E+3");
    EXPECT_EQ(text(0, "0;-0;\"ingen\""), "ingen");
    EXPECT_EQ(text(-3, "\"minus\""), "-minus"); // one section of literals keeps the sign
    EXPECT_EQ(text(2.5, "General\" m\""), "2.5 m");
    EXPECT_EQ(text(100.25, "[h]:mm"), "2406:00");
    EXPECT_EQ(text(1500, "[>=1000]0.0,\"k\";0"), "1.5k");
    EXPECT_EQ(text(999, "[>=1000]0.0,\"k\";0"), "999");
    EXPECT_EQ(text(5, "[>100]\"stor\";[>10]\"middels\";\"liten\""), "liten");
    EXPECT_EQ(text(50, "[>100]\"stor\";[>10]\"middels\";\"liten\""), "middels");
    EXPECT_EQ(NumberFormat("0.00;0;0;\"tekst: \"@").format(std::string("abc")), "tekst: abc");
    EXPECT_EQ(NumberFormat("0.00").format(std::string("abc")), "abc");
}

TEST(NumberFormat, DigitsPastFifteenAreZerosAsTheApplicationShowsThem) {
    EXPECT_EQ(text(12345678.9, "0.0000000000"), "12345678.9000000000");
    EXPECT_EQ(text(0.1 + 0.2, "0.00000000000000000000"), "0.30000000000000000000");
    EXPECT_EQ(text(1e20, "0"), "100000000000000000000");
    EXPECT_EQ(text(1.005, "0.00"), "1.01"); // rounded as written
    EXPECT_EQ(text(999999.996, "#,##0.00"), "1,000,000.00");
}

TEST(NumberFormat, WhatWouldBeAGuessIsRefused) {
    EXPECT_THROW(text(0.5, "# ?/?"), xlsx::eval::NotComputable);   // fractions
    EXPECT_THROW(text(1, "[DBNum1]0"), xlsx::eval::NotComputable); // a script of digits
    EXPECT_THROW(text(-5, "[>=0]0;0"), xlsx::eval::NotComputable); // the sign of a conditional section
    EXPECT_EQ(text(-1, "yyyy"), "error");                          // a date before the first
}

} // namespace
