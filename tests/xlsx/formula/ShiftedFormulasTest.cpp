#include "formula/ShiftedFormulas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Shifts {
    std::vector<std::string> order{"Ark1", "Ark2"};
    xlsx::RowShift ark1;
    xlsx::ShiftContext context() const {
        return {"Ark1", &order, [this](std::string_view name) -> const xlsx::RowShift* {
                    return name == "Ark1" ? &ark1 : nullptr;
                }};
    }
};

} // namespace

// What the save takes is what moving the formula then gives, however often and in whatever order the
// cells were computed and taken.
TEST(ShiftedFormulas, TakenTextsAreTheFormulasMovedByTheInsertionsMadeBeforeThem) {
    Shifts shifts;
    shifts.ark1.insert(3);
    xlsx::ShiftedFormulas kept;
    kept.startKeeping();
    EXPECT_EQ(kept.shift(0, 5, 2, "A5*2", shifts.context()), "A6*2");
    EXPECT_EQ(kept.shift(0, 1, 2, "A1*2", shifts.context()), std::nullopt); // above the new row
    EXPECT_EQ(kept.shift(0, 4, 2, "SUM(A1:A4)", shifts.context()), "SUM(A1:A5)");

    EXPECT_EQ(kept.take(0, 1, 2, "A1*2", shifts.context()), std::nullopt);
    EXPECT_EQ(kept.take(0, 4, 2, "SUM(A1:A4)", shifts.context()), "SUM(A1:A5)");
    EXPECT_EQ(kept.take(0, 5, 2, "A5*2", shifts.context()), "A6*2");
    // A save tried again takes the same cell a second time; a cell whose formula is not the one kept,
    // and a cell never kept, are moved now.
    EXPECT_EQ(kept.take(0, 5, 2, "A5*2", shifts.context()), "A6*2");
    EXPECT_EQ(kept.take(0, 4, 2, "A4+1", shifts.context()), "A5+1");
    EXPECT_EQ(kept.take(0, 7, 1, "A7", shifts.context()), "A8");

    // Let go or forgotten: moved by the insertions as they are then.
    kept.shift(0, 9, 1, "A9", shifts.context());
    kept.release(0);
    shifts.ark1.insert(1);
    EXPECT_EQ(kept.take(0, 9, 1, "A9", shifts.context()), "A11");
    kept.forget();
    EXPECT_EQ(kept.shift(0, 9, 1, "A9", shifts.context()), "A11");
    shifts.ark1.insert(1);
    EXPECT_EQ(kept.take(0, 9, 1, "A9", shifts.context()), "A12"); // not kept after forget()
}
