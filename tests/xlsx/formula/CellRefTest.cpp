#include "formula/CellRef.h"

#include "sheets/Error.h"

#include <gtest/gtest.h>

namespace {

using xlsx::CellRef;

TEST(CellRef, PositionsOutsideTheSheetAreRefusedWithOneMessage) {
    EXPECT_EQ(xlsx::outOfSheet(0, 1), "rad 0 er utenfor arket (gyldig er rad 1 til 1048576)");
    EXPECT_EQ(xlsx::outOfSheet(5, 16385), "kolonne 16385 er utenfor arket (gyldig er kolonne 1 til 16384)");
    EXPECT_EQ(xlsx::outOfSheet(-1, 0), "rad -1 og kolonne 0 er utenfor arket (gyldig er rad 1 til 1048576 og "
                                       "kolonne 1 til 16384)");
    for (auto [row, column] : {std::pair<std::int64_t, std::int64_t>{0, 1},
                               {1, 0},
                               {1048577, 1},
                               {1, 16385},
                               {-1, 1},
                               {std::int64_t{1} << 32, 1}}) {
        EXPECT_FALSE(CellRef::at(row, column)) << row << "," << column;
        try {
            CellRef ref(row, column);
            ADD_FAILURE() << row << "," << column;
        } catch (const sheets::Error& e) {
            EXPECT_EQ(e.what(), xlsx::outOfSheet(row, column));
        }
    }
    EXPECT_EQ(CellRef::at(1048576, 16384)->toString(), "XFD1048576");
}

TEST(CellRef, ColumnLettersReadOneWay) {
    struct Case {
        const char* text;
        bool anyCase;
        std::uint32_t column; // 0: refused
        std::size_t end;
    };
    const Case cases[] = {
        {"A1", false, 1, 1},    {"XFD1", false, 16384, 3}, {"XFE1", false, 0, 0},
        {"ABCD1", false, 0, 0}, {"ab1", false, 0, 0},      {"ab1", true, 28, 2},
        {"$A1", false, 0, 0},   {"", false, 0, 0},         {"Zz", true, 702, 2},
    };
    for (const auto& c : cases) {
        std::size_t pos = 0;
        auto column = xlsx::readColumnLetters(c.text, pos, c.anyCase);
        EXPECT_EQ(column.value_or(0), c.column) << c.text;
        EXPECT_EQ(pos, c.end) << c.text;
    }
    for (std::uint32_t column : {1u, 26u, 27u, 702u, 703u, 16384u}) {
        std::size_t pos = 0;
        EXPECT_EQ(xlsx::readColumnLetters(xlsx::columnName(column), pos), column);
    }
    EXPECT_EQ(CellRef::parse("B12"), CellRef(12, 2));
    for (const char* bad : {"b12", "B0", "B012", "B1048577", "B", "12", "B12 ", "$B$12"})
        EXPECT_FALSE(CellRef::parse(bad)) << bad;
    EXPECT_EQ(xlsx::areaName(2, 2, 5, 4), "B2:D5");
    EXPECT_EQ(xlsx::areaName(3, 1, 3, 1), "A3");
}

} // namespace
