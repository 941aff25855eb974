#include "sheets/Place.h"

#include "sheets/Error.h"

#include <gtest/gtest.h>

namespace {

using sheets::Place;

TEST(Place, NamesFileSheetPartAndCellInTheUsersWords) {
    const Place file{"/data/Tulverkan.xlsx"};
    EXPECT_EQ(file.describe(), "«/data/Tulverkan.xlsx»");
    EXPECT_EQ(file.withSheet("HEA").describe(), "arket «HEA» i «/data/Tulverkan.xlsx»");
    EXPECT_EQ(file.withPart("xl/styles.xml").describe(), "«xl/styles.xml» i «/data/Tulverkan.xlsx»");
    EXPECT_EQ(file.withSheet("HEA").withPart("xl/tables/table1.xml").describe(),
              "«xl/tables/table1.xml» på arket «HEA» i «/data/Tulverkan.xlsx»");
    EXPECT_EQ(file.withSheet("HEA").message(sheets::kCannotRead, "ugyldig tall «x»", "B3"),
              "Kan ikke lese arket «HEA» i «/data/Tulverkan.xlsx», celle B3: ugyldig tall «x»");
    // A derived place leaves the one it came from as it was.
    EXPECT_TRUE(file.sheet.empty());
    EXPECT_TRUE(file.part.empty());
}

TEST(Place, FailThrowsTheMessage) {
    try {
        Place{"/a.ods"}.withPart("content.xml").fail(sheets::kCannotRead, "ugyldig XML");
        FAIL() << "no throw";
    } catch (const sheets::Error& e) {
        EXPECT_STREQ(e.what(), "Kan ikke lese «content.xml» i «/a.ods»: ugyldig XML");
    }
}

TEST(Place, OutOfSheetNamesWhatIsWrongAndTheLimits) {
    EXPECT_EQ(sheets::outOfSheet(0, 1, 65536, 256), "rad 0 er utenfor arket (gyldig er rad 1 til 65536)");
    EXPECT_EQ(sheets::outOfSheet(3, 257, 65536, 256),
              "kolonne 257 er utenfor arket (gyldig er kolonne 1 til 256)");
    EXPECT_EQ(sheets::outOfSheet(65537, 0, 65536, 256),
              "rad 65537 og kolonne 0 er utenfor arket (gyldig er rad 1 til 65536 og kolonne 1 til 256)");
}

} // namespace
