#include "sheets/AsciiCase.h"

#include <gtest/gtest.h>

namespace {

// Sheet names, part names and extensions fold a-z alone; bytes of other characters stay as they are.
TEST(AsciiCase, FoldsOnlyAToZ) {
    EXPECT_TRUE(sheets::equalIgnoringAsciiCase("hea", "HEA"));
    EXPECT_TRUE(sheets::equalIgnoringAsciiCase("Kranbane skinner", "KRANBANE SKINNER"));
    EXPECT_FALSE(sheets::equalIgnoringAsciiCase("\u00F8", "\u00D8")); // ø is not Ø
    EXPECT_FALSE(sheets::equalIgnoringAsciiCase("Bl\u00E5", "BL\u00C5"));
    EXPECT_FALSE(sheets::equalIgnoringAsciiCase("HEA", "HEA "));
    EXPECT_FALSE(sheets::equalIgnoringAsciiCase("HEA", "HE"));
    EXPECT_FALSE(sheets::equalIgnoringAsciiCase("[", "{")); // only letters move
    EXPECT_EQ(sheets::toLowerAscii("Bok.XLSB \u00C6I"), "bok.xlsb \u00C6i");
    EXPECT_EQ(sheets::toUpperAscii("_xlfn.now\u00E5"), "_XLFN.NOW\u00E5");
}

} // namespace
