#include "TextOrder.h"

#include <gtest/gtest.h>

namespace {

using stock::textLess;

TEST(TextOrder, OrdinalByUtf16CodeUnits) {
    // Each pair: first sorts strictly before second.
    const std::pair<const char*, const char*> ascending[] = {
        {"", "A"},
        {"S235", "S355"},
        {"S355", "S355J2"},   // a proper prefix first
        {"Z", "a"},           // capitals before small letters
        {"a", "\u00C5"},      // a before Å
        {"\u00C5", "\u00C6"}, // Å before Æ
        {"\u00C6", "\u00D8"}, // Æ before Ø
        {"10", "9"},          // digits as text
        {"\u00FF", "\u0100"}, // two-byte against two-byte
        {"\u07FF", "\u0800"}, // two-byte against three-byte
        {"\uD7FB", "\U00010000"},
        // Beyond U+FFFF the first code unit is a surrogate (D800..DBFF), below U+E000: byte order
        // would say the opposite.
        {"\U0001F600", "\uE000"},
        {"x\U0001F600", "x\uFFFD"},
        {"\U00010000", "\U0010FFFF"},
    };
    for (const auto& [low, high] : ascending) {
        EXPECT_TRUE(textLess(low, high)) << low << " < " << high;
        EXPECT_FALSE(textLess(high, low)) << high << " < " << low;
    }
    for (const char* same : {"", "S235", "\u00D8", "\U0001F600"})
        EXPECT_FALSE(textLess(same, same)) << same;
}

} // namespace
