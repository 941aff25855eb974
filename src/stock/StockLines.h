#pragma once

// The key cells of one stock sheet's lines, held for the run so that finding and placing a line does
// not read the sheet row by row for every order line.

#include "RowSequence.h"
#include "sheets/TextFormat.h"
#include "sheets/Workbook.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace stock {

// For rows 3 to the list end (the first row whose column 2 is blank, included) the texts CellStr2
// gives for columns 2, 3, 4 and 5 (as far as Dim has them), Dim+3 and Dim+5, and the numbers
// CellReal2 gives for them. Built from the sheet when constructed and kept in step with the changes
// the run makes (rowInserted, lineWritten); nothing else changes a workbook during a run.
//
// Whatever cannot be cached is read from the sheet when asked for, so it fails where a row-by-row
// scan would: a cell holding an error value, and rows from a column-2 error value or the sheet's last
// row on (the list then has no end here, and indexed() is false).
class StockLines {
public:
    StockLines(sheets::Worksheet& sheet, const sheets::TextFormat& format, int Dim);

    int Dim() const { return m_dim; }

    // CellStr2 / CellReal2 of (row, column); the view lasts until the next text() or change.
    std::string_view text(int row, int column);
    double number(int row, int column);

    // Whether the list end was found, every cached row before it has a grade and none holds an error
    // value: only then do the key index, the grade rows and endRow() answer.
    bool indexed() const { return m_complete && m_hazards == 0 && m_blankInside == 0; }
    int endRow() const { return kFirstRow + static_cast<int>(m_rows.size()) - 1; }

    // Grade ids stand for column-2 texts: equal ids, equal texts; kBlank is the blank text of the
    // list end. nullopt: no cached row has the text.
    static constexpr std::uint32_t kBlank = UINT32_MAX;
    std::optional<std::uint32_t> gradeId(std::string_view grade) const;
    std::uint32_t gradeIdAt(int row) const { return entryAt(row).grade; }
    // The first row whose column 2 is the grade.
    int firstRowOfGrade(std::uint32_t grade) const;
    // H ids stand for column-3 texts as grade ids do for column 2: a placement walks a long grade by
    // them. nullopt: no row read so far has the text.
    std::optional<std::uint32_t> hId(std::string_view H) const;
    std::uint32_t hIdAt(int row) const { return entryAt(row).h; }

    // Rows before the list end whose key hashes as keyHash(...) does: every row whose key cells are
    // equal to those texts by the booking's rules is among them, in no particular order.
    template <class Visit> void forEachCandidate(std::uint64_t hash, Visit visit) const {
        auto it = m_keyHead.find(hash);
        for (auto e = it == m_keyHead.end() ? kNone : it->second; e != kNone; e = m_entries[e].next)
            visit(rowOf(e));
    }
    // Lengths hash by value when they are numbers, so "6,50" and the number 6.5 hash alike; dimensions
    // the sheet does not have (B below Dim 2, T below Dim 3) are left out.
    static std::uint64_t keyHash(int Dim, std::string_view grade, std::string_view H, std::string_view B,
                                 std::string_view T, std::string_view Overflate, std::string_view Meter);

    // A row was inserted into the sheet at `row`: rows from there move down one.
    void rowInserted(int row);
    // The run wrote key cells of `row`: read them again; a line written into the list end extends
    // the list to the next blank column-2 row.
    void lineWritten(int row);

    static constexpr int kFirstRow = 3;

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    static constexpr int kSlots = 6;

    struct Cell {
        std::uint32_t offset = 0;
        std::uint32_t size = kNone; // kNone: an error value, read from the sheet
        double number = 0;
    };
    struct Entry {
        std::array<Cell, kSlots> cells;
        std::uint32_t grade = kBlank;
        std::uint32_t h = kNone;
        std::uint32_t next = kNone; // next entry of the same key hash
        bool hazard = false;        // a key cell holds an error value
    };

    int slotOf(int column) const;
    std::string_view cellText(const Cell& cell) const { return {m_arena.data() + cell.offset, cell.size}; }
    const Entry& entryAt(int row) const {
        return m_entries[m_rows.at(static_cast<std::size_t>(row - kFirstRow))];
    }
    int rowOf(std::uint32_t e) const { return kFirstRow + static_cast<int>(m_rows.positionOf(e)); }
    bool blank(std::size_t i) const { return m_entries[m_rows.at(i)].grade == kBlank; }
    bool cached(int row) const {
        return row >= kFirstRow && row - kFirstRow < static_cast<int>(m_rows.size());
    }
    // Reads the key cells of `row` into entry e; false when column 2 holds an error value.
    bool read(int row, std::uint32_t e);
    // Appends rows from the first uncached one until the list end or a row that cannot be cached.
    void extend();
    void rebuildIndex();
    void index(std::uint32_t e);
    // Rows from `row` on are no longer cached: they are read from the sheet.
    void truncate(int row);

    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };

    sheets::Worksheet& m_sheet;
    const sheets::TextFormat m_format;
    int m_dim;
    std::string m_arena; // texts of the cached cells; rewritten cells leave their old text behind
    std::string m_scratch;
    std::deque<Entry> m_entries; // stable ids; a deque grows without moving them
    RowSequence m_rows;          // entry of row kFirstRow + i
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> m_gradeIds;
    std::vector<std::uint32_t> m_gradeFirst; // first entry of each grade id
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> m_hIds;
    std::unordered_map<std::uint64_t, std::uint32_t> m_keyHead;
    int m_hazards = 0;     // cached rows with an error value in a key cell
    int m_blankInside = 0; // cached rows before the last with a blank column 2 (an inserted row)
    bool m_complete = false;
};

} // namespace stock
