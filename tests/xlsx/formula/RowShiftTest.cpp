#include "formula/RowShift.h"

#include "sheets/Error.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using xlsx::RowShift;

// The rows of the sheet as a list: entry i holds the original row now at row i + 1 (0: inserted).
class SimulatedSheet {
public:
    explicit SimulatedSheet(std::uint32_t rows) {
        for (std::uint32_t r = 1; r <= rows; ++r)
            m_rows.push_back(r);
    }
    void insert(std::uint32_t row) {
        if (row - 1 <= m_rows.size()) m_rows.insert(m_rows.begin() + (row - 1), 0);
    }
    std::uint32_t whereIs(std::uint32_t original) const {
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            if (m_rows[i] == original) return static_cast<std::uint32_t>(i + 1);
        return 0;
    }
    // The original row at `current`, or for an inserted row the original rows around it.
    std::pair<std::uint32_t, std::uint32_t> originalAt(std::uint32_t current) const {
        std::uint32_t above = 0;
        for (std::size_t i = 0; i < current && i < m_rows.size(); ++i)
            if (m_rows[i] != 0) above = m_rows[i];
        if (current <= m_rows.size() && m_rows[current - 1] != 0) return {above, above};
        return {above, above + 1};
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_rows.size()); }

private:
    std::vector<std::uint32_t> m_rows;
};

TEST(RowShift, ComposesInsertionsInCurrentNumbering) {
    struct Case {
        std::vector<std::uint32_t> inserts;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> expected; // original row -> row now
    };
    const std::vector<Case> cases = {
        {{}, {{1, 1}, {7, 7}}},
        {{5}, {{4, 4}, {5, 6}, {9, 10}}},
        {{5, 5, 3}, {{2, 2}, {3, 4}, {4, 5}, {5, 8}, {6, 9}}},
        // The second insertion at 7 lands below the row inserted at 5: original 6 is now at 7.
        {{5, 7}, {{4, 4}, {5, 6}, {6, 8}, {7, 9}}},
        {{1, 1, 1}, {{1, 4}, {1048576, 1048579}}},
        {{10, 2}, {{1, 1}, {2, 3}, {9, 10}, {10, 12}}},
    };
    for (const auto& c : cases) {
        RowShift shift;
        for (auto row : c.inserts)
            shift.insert(row);
        EXPECT_EQ(shift.empty(), c.inserts.empty());
        for (auto [original, now] : c.expected)
            EXPECT_EQ(shift.map(original), now)
                << "row " << original << " after " << c.inserts.size() << " inserts";
    }
}

TEST(RowShift, MatchesASimulatedSheetUnderRandomInsertions) {
    std::mt19937 random(20261209);
    for (int run = 0; run < 20; ++run) {
        SimulatedSheet sheet(40);
        RowShift shift;
        std::uniform_int_distribution<std::uint32_t> at(1, 45 + static_cast<std::uint32_t>(run));
        for (int i = 0; i < 300; ++i) {
            auto row = at(random);
            sheet.insert(row);
            shift.insert(row);
        }
        for (std::uint32_t original = 1; original <= 40; ++original)
            ASSERT_EQ(shift.map(original), sheet.whereIs(original)) << "run " << run << ", row " << original;
        for (std::uint32_t current = 1; current <= sheet.size(); ++current)
            ASSERT_EQ(shift.original(current), sheet.originalAt(current))
                << "run " << run << ", row " << current;
    }
}

TEST(RowShift, RefusesRowsOutsideTheSheet) {
    RowShift shift;
    EXPECT_THROW(shift.insert(0), sheets::Error);
    EXPECT_THROW(shift.insert(1048577), sheets::Error);
    EXPECT_TRUE(shift.empty());
    shift.insert(1048576);
    EXPECT_EQ(shift.map(1048576), 1048577u); // the caller turns this into #REF!
    EXPECT_EQ(shift.map(1048575), 1048575u);
}

} // namespace
