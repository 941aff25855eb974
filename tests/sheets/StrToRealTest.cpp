#include "sheets/StrToReal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct Parsed {
    const char* text;
    double value;
};

class StrToRealValid : public ::testing::TestWithParam<Parsed> {};

TEST_P(StrToRealValid, ParsesToTheCorrectlyRoundedValue) {
    const auto& c = GetParam();
    EXPECT_TRUE(sheets::isNumberText(c.text)) << c.text;
    EXPECT_EQ(sheets::StrToReal(c.text), c.value) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, StrToRealValid,
    ::testing::Values(Parsed{"12,50", 12.5}, Parsed{"12.50", 12.5}, Parsed{"-3", -3}, Parsed{"2e3", 2000},
                      Parsed{"2E+3", 2000}, Parsed{"25e-1", 2.5}, Parsed{"5.", 5}, Parsed{".5", 0.5},
                      Parsed{",5", 0.5}, Parsed{"-,5", -0.5}, Parsed{"+4", 4}, Parsed{"   7", 7},
                      Parsed{"  -0,25", -0.25}, Parsed{"007", 7}, Parsed{"0,1", 0.1}, Parsed{"5,e2", 500},
                      // Halfway between two doubles: rounds to even, not truncated.
                      Parsed{"9007199254740993", 9007199254740992.0},
                      Parsed{"0.1000000000000000055511151231257827", 0.1},
                      Parsed{"1.7976931348623157e308", 1.7976931348623157e308}, Parsed{"4.9e-324", 4.9e-324},
                      // Too small for a double: the correctly rounded value is zero.
                      Parsed{"1e-400", 0.0}, Parsed{"0,000000000000000000000001e-380", 0.0}));

class StrToRealInvalid : public ::testing::TestWithParam<const char*> {};

TEST_P(StrToRealInvalid, GivesZeroAndIsNoNumber) {
    EXPECT_FALSE(sheets::isNumberText(GetParam())) << GetParam();
    EXPECT_EQ(sheets::StrToReal(GetParam()), 0.0) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Grammar, StrToRealInvalid,
                         ::testing::Values("", "   ", "-", "+", ".", ",", "-.", "1,5,5", "1.5,5", "1,5.5",
                                           "1..5", "1 000", "5 ", "\t5", "\u00A05", "1e", "1e+", "e5", ".e5",
                                           "+-1", "12 stk", "3stk", "0x10", "inf", "nan", "\u22123", "1e400",
                                           "-1e400", "1_000", "1'000"));

TEST(StrToReal, UnderflowKeepsTheSign) {
    EXPECT_TRUE(std::signbit(sheets::StrToReal("-1e-400")));
    EXPECT_TRUE(sheets::isNumberText("-1e-400"));
}

TEST(StrToReal, LongTextsWithACommaAreRead) {
    std::string longText = "1," + std::string(300, '5');
    EXPECT_EQ(sheets::StrToReal(longText), 14.0 / 9.0);
    EXPECT_EQ(sheets::StrToReal(longText + ","), 0.0);
}

} // namespace
