#include "DateText.h"

#include <gtest/gtest.h>

namespace {

using orders::serialOfDateTimeText;
using orders::serialOfDuration;

TEST(DateText, DateAndTimeTexts) {
    EXPECT_EQ(serialOfDateTimeText("2024-03-14"), 45365);
    EXPECT_DOUBLE_EQ(*serialOfDateTimeText("2024-03-14T06:15:00"), 45365 + 6.25 / 24);
    EXPECT_DOUBLE_EQ(*serialOfDateTimeText("2024-03-14 18:00:30.5"), 45365 + (64800 + 30.5) / 86400);
    EXPECT_DOUBLE_EQ(*serialOfDateTimeText("2024-03-14T12:00:00+02:00"), 45365.5); // no zones
    EXPECT_DOUBLE_EQ(*serialOfDateTimeText("12:30:00"), 0.5 + 1.0 / 48);
    for (const char* bad : {"", "2024-13-01", "2024-03", "14.03.2024", "2024-03-14T", "2024-03-14x"})
        EXPECT_FALSE(serialOfDateTimeText(bad)) << bad;
}

TEST(DateText, Durations) {
    EXPECT_DOUBLE_EQ(*serialOfDuration("PT12H00M00S"), 0.5);
    EXPECT_DOUBLE_EQ(*serialOfDuration("PT42H"), 1.75);
    EXPECT_DOUBLE_EQ(*serialOfDuration("P1DT6H"), 1.25);
    EXPECT_DOUBLE_EQ(*serialOfDuration("PT0.5S"), 0.5 / 86400);
    EXPECT_DOUBLE_EQ(*serialOfDuration("-PT6H"), -0.25);
    for (const char* bad : {"", "P", "PT", "12H", "P1Y", "PT5X", "PT1H2"})
        EXPECT_FALSE(serialOfDuration(bad)) << bad;
}

} // namespace
