#include "sheets/CellText.h"

#include "sheets/Error.h"
#include "sheets/StrToReal.h"
#include "support/CommaLocale.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

using sheets::CellValue;

const sheets::TextFormat kNorwegian{",", "dd.MM.yyyy"};
const sheets::TextFormat kPoint{".", "dd.MM.yyyy"};

std::string text(const CellValue& value, const sheets::TextFormat& format = kNorwegian) {
    return sheets::cellText(value, format);
}

std::string printfG15(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return buffer;
}

TEST(CellText, TrimsControlCodeUnitsAtBothEndsOnly) {
    struct Case {
        std::string raw;
        std::string trimmed;
    };
    const Case cases[] = {
        {"  12,50 \t\r\n", "12,50"},
        {"\x01\x1F"
         "a b\x20",
         "a b"},
        {"a \t b", "a \t b"},
        {"\u00A0x\u00A0", "\u00A0x\u00A0"}, // no-break space is not trimmed
        {std::string("ab\0cd", 5), "ab"},
        {std::string(" x \0 y", 6), "x"},
        {std::string("\0abc", 4), ""},
        {" \t ", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(CellValue::ofText(c.raw)), c.trimmed) << c.raw;
}

TEST(CellText, TextIsServedWithoutCopy) {
    std::string stored = "  S355J2 ";
    std::string scratch;
    auto view = sheets::cellText(CellValue::ofText(stored), kNorwegian, scratch);
    EXPECT_EQ(view, "S355J2");
    EXPECT_EQ(view.data(), stored.data() + 2);
}

TEST(CellText, OtherKinds) {
    EXPECT_EQ(text(CellValue::empty()), "");
    EXPECT_EQ(text(CellValue::ofBoolean(true)), "-1");
    EXPECT_EQ(text(CellValue::ofBoolean(false)), "0");
    EXPECT_EQ(sheets::StrToReal(text(CellValue::ofBoolean(true))), -1.0);
}

TEST(CellText, ErrorValuesCannotBeMadeText) {
    for (const char* literal : {"#N/A", "#DIV/0!", "#REF!"}) {
        try {
            text(CellValue::ofError(literal));
            ADD_FAILURE() << literal << " gave text";
        } catch (const sheets::Error& e) {
            EXPECT_STREQ(e.what(), "Could not convert variant of type (Dispatch) into type (OleStr)");
        }
    }
}

TEST(CellText, NumbersAsFifteenSignificantDigitsWithTheLocaleSeparator) {
    struct Case {
        double value;
        const char* comma;
    };
    const Case cases[] = {
        {12.5, "12,5"},
        {0.1 + 0.2, "0,3"},
        {200, "200"},
        {-3, "-3"},
        {0, "0"},
        {-0.0, "-0"},
        {6.50, "6,5"},
        {1e15, "1E+15"},
        {1e14, "100000000000000"},
        {123456789012345, "123456789012345"},
        {1234567890123456, "1,23456789012346E+15"},
        {1000000000000005, "1E+15"}, // an exact tie rounds to even, as printf does
        {1e-5, "1E-05"},
        {0.0001, "0,0001"},
        {0.000123456, "0,000123456"},
        {-2.5e-7, "-2,5E-07"},
        {1e100, "1E+100"},
        {1.7976931348623157e308, "1,79769313486232E+308"},
        {4.9e-324, "4,94065645841247E-324"},
        {999999999999999.9, "1E+15"},
        {99999999999999.99, "100000000000000"},
        {std::numeric_limits<double>::infinity(), "INF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(CellValue::ofNumber(c.value)), c.comma) << printfG15(c.value);
    sheets::TextFormat odd{"<>", "dd.MM.yyyy"};
    EXPECT_EQ(text(CellValue::ofNumber(-1.25), odd), "-1<>25");
}

TEST(CellText, NumbersAgreeWithPrintfOverManyValues) {
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::vector<double> values;
    for (int i = 0; i < 20000; ++i) {
        values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
        values.push_back(std::bit_cast<double>(random() & 0x7FEF'FFFF'FFFF'FFFFULL)); // any finite double
        values.push_back(static_cast<double>(random() % 100000) / 100.0);
        // Whole numbers take a shorter path; on both sides of 15 digits it must print alike.
        values.push_back(static_cast<double>(static_cast<long long>(random() % 4'000'000'000'000'000) -
                                             2'000'000'000'000'000));
        values.push_back(static_cast<double>(static_cast<long long>(random() % 20001) - 10000));
    }
    for (double edge : {1e15 - 1, 1e15, 1e15 + 1, 9007199254740992.0, -1e15 + 1, -1e15})
        values.push_back(edge);
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    for (double v : values) {
        std::string ours;
        sheets::appendNumberText(v, kPoint, ours);
        ASSERT_EQ(ours, printfG15(v)) << std::hexfloat << v;
    }
}

TEST(CellText, DatesAndTimes) {
    struct Case {
        double serial;
        const char* pattern;
        const char* text;
    };
    const Case cases[] = {
        {46365, "dd.MM.yyyy", "09.12.2026"},
        {46365 + 14.5 / 24, "dd.MM.yyyy", "09.12.2026 14:30:00"},
        {14.5 / 24, "dd.MM.yyyy", "14:30:00"},
        {0, "dd.MM.yyyy", "00:00:00"},
        {0.25 + 1.0 / 86400, "dd.MM.yyyy", "06:00:01"},
        // Rounded to the second, carrying into the next day.
        {46365.9999999, "dd.MM.yyyy", "10.12.2026"},
        // The spreadsheet's 1900 days, its 29 February included; from 61 on the platform agrees.
        {1, "dd.MM.yyyy", "01.01.1900"},
        {59, "dd.MM.yyyy", "28.02.1900"},
        {60, "dd.MM.yyyy", "29.02.1900"},
        {61, "dd.MM.yyyy", "01.03.1900"},
        {2958465, "dd.MM.yyyy", "31.12.9999"},
        // The last second of 9999 rounds into a day the spreadsheet has no serial for.
        {2958465.99999999, "dd.MM.yyyy", "01.01.10000"},
        // Before day 1 the platform's count stands: day 0 is 1899-12-30.
        {-1.5, "dd.MM.yyyy", "29.12.1899 12:00:00"},
        {46365, "yyyy-MM-dd", "2026-12-09"},
        {46365, "d/M/yy", "9/12/26"},
        // Outside the platform's dates the number is shown instead.
        {1e7, "dd.MM.yyyy", "10000000"},
    };
    for (const auto& c : cases) {
        sheets::TextFormat format{",", c.pattern};
        EXPECT_EQ(text(CellValue::ofDateTime(c.serial), format), c.text) << c.serial;
    }
}

// A process locale with a comma decimal point (as a Qt program may set it) must not change our text
// or our parsing. Uses an installed Norwegian or German locale, or compiles one into a temporary
// folder.
TEST(CellText, IndependentOfTheProcessLocale) {
    testsupport::CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a comma decimal point can be had here";
    EXPECT_EQ(printfG15(12.5), "12,5"); // the locale is in force
    std::string ours;
    sheets::appendNumberText(12.5, kPoint, ours);
    EXPECT_EQ(ours, "12.5");
    EXPECT_EQ(text(CellValue::ofNumber(1234.5)), "1234,5");
    EXPECT_EQ(sheets::StrToReal("1.5"), 1.5);
    EXPECT_EQ(sheets::StrToReal("1,5"), 1.5);
}

} // namespace
