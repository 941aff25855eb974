#pragma once

// The cell store behind WorksheetPart, shared by its reader, its writer and its editing operations.
// Rows live in blocks of a few hundred, each block with a base row number: an insertion renumbers the
// rest of its own block and moves the base of the blocks after it, nothing more.

#include "containers/LargeBuffer.h"
#include "formula/RowShift.h"
#include "parts/WorksheetPart.h"
#include "xml/Place.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace xlsx {

inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

enum class ValueKind : std::uint8_t { Empty, Number, Date, Boolean, SharedString, Text, Error };

struct StoredCell {
    union Value {
        double number;
        std::uint32_t span[2]; // text and error: offset and length (part or arena); shared string: index
    } value{0.0};
    std::uint32_t begin = 0;  // the <c> element in the part
    std::uint32_t length = 0; // 0: no original bytes (made here)
    std::uint32_t style = 0;
    std::uint32_t formula = kNone; // index into SheetStore::formulas
    std::uint16_t column = 0;
    ValueKind kind = ValueKind::Empty;
    std::uint8_t flags = 0;

    static constexpr std::uint8_t kInArena = 1; // the text span points into SheetStore::arena
    static constexpr std::uint8_t kWritten = 2; // value written here: generate the element
    static constexpr std::uint8_t kNoR = 4;     // the original element has no r attribute
};

struct StoredRow {
    std::int32_t offset = 0;     // row number = block base + offset
    std::uint32_t original = 0;  // number when read; 0 for a row made here
    std::uint32_t leadBegin = 0; // [leadBegin, begin): what stood before the element (whitespace)
    std::uint32_t begin = 0, end = 0;
    std::uint32_t firstCell = 0, cellCount = 0; // in the block's cells
    std::uint32_t attributes = kNone;           // made here: index into SheetStore::rowAttributes
    std::uint8_t flags = 0;

    static constexpr std::uint8_t kChanged = 1;     // cells added or written
    static constexpr std::uint8_t kHasFormulas = 2; // some cell has an <f>
    static constexpr std::uint8_t kNoR = 4;
};

// Cells of a large part come from its arena (huge pages), those of a small one from the heap.
template <class T> struct ArenaAllocator {
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    containers::LargeArena* arena = nullptr;

    ArenaAllocator() = default;
    explicit ArenaAllocator(containers::LargeArena* a) : arena(a) {}
    template <class U> ArenaAllocator(const ArenaAllocator<U>& other) : arena(other.arena) {}

    T* allocate(std::size_t n) {
        return arena ? static_cast<T*>(arena->allocate(n * sizeof(T), alignof(T)))
                     : std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) {
        if (arena)
            arena->release(p, n * sizeof(T));
        else
            std::allocator<T>().deallocate(p, n);
    }
    template <class U> friend bool operator==(const ArenaAllocator& a, const ArenaAllocator<U>& b) {
        return a.arena == b.arena;
    }
};

using CellVector = std::vector<StoredCell, ArenaAllocator<StoredCell>>;

struct Block {
    std::uint32_t base = 0;
    std::vector<StoredRow> rows;
    CellVector cells;

    std::uint32_t number(const StoredRow& row) const {
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(base) + row.offset);
    }
    std::uint32_t firstRow() const { return number(rows.front()); }
    std::uint32_t lastRow() const { return number(rows.back()); }
};

struct StoredFormula {
    enum class Kind : std::uint8_t { Normal, SharedMaster, SharedChild, Array, DataTable };
    Kind kind = Kind::Normal;
    bool rebuilt = false; // write a plain <f> from the text (a shared group expanded here)
    bool hasRef = false;
    std::uint32_t si = 0;
    std::uint32_t textBegin = 0, textLength = 0; // raw content of <f> in the part
    std::uint32_t text = kNone;                  // index into SheetStore::formulaTexts: text set here
    // The ref area of masters: rows relative to the master cell, so that it moves with it.
    std::int32_t refTop = 0, refBottom = 0;
    std::uint16_t refLeft = 0, refRight = 0;
    std::uint16_t column = 0;
    std::uint32_t row = 0; // current row, kept up to date for tracked groups only
};

struct ColumnStyle {
    std::uint32_t first, last, style;
};

// The cells of one worksheet part and what was read around them. The reader fills the data, the
// part edits it; what is worked out on first use and kept (the caches) is private and answered by
// the methods below, which forget it when cells change.
class SheetStore {
public:
    // Before the blocks, which give their cells back to it.
    std::unique_ptr<containers::LargeArena> cellArena;
    std::string xml;
    Place place;
    SharedStrings* sharedStrings = nullptr;
    const Styles* styles = nullptr;
    bool date1904 = false;

    std::uint32_t contentBegin = 0, contentEnd = 0; // inside <sheetData>
    std::uint32_t tailBegin = 0;                    // after the last row
    std::string prefix;                             // namespace prefix of the sheet elements ("x:")

    std::vector<Block> blocks;
    std::string arena; // texts decoded while reading
    std::vector<StoredFormula> formulas;
    std::vector<std::string> formulaTexts;
    std::vector<std::uint32_t> trackedGroups; // masters whose ref spans more than one cell: row kept current
    std::vector<std::string> rowAttributes;
    std::vector<ColumnStyle> columnStyles;
    RowShift shift; // the insertions made: formula texts are in the numbering before them
    bool dirty = false;
    // <sheetProtection>: the sheet is protected, and whether inserting rows is among what it allows.
    bool sheetProtected = false;
    bool insertRowsAllowed = false;

    // Blocks grow to this size before they split.
    static constexpr std::size_t kBlockRows = 256;

    struct RowPosition {
        std::size_t block = 0, row = 0;
        bool found = false;
    };
    // The row with `number`, or where it would go.
    RowPosition findRow(std::uint32_t number) const;
    const StoredCell* findCell(std::uint32_t row, std::uint32_t column) const;
    // Forgets where the previous lookup ended: blocks were removed.
    void forgetLastBlock() { m_lastBlock = 0; }

    std::string_view span(const StoredCell& cell) const {
        const std::string& bytes = (cell.flags & StoredCell::kInArena) ? arena : xml;
        return std::string_view(bytes).substr(cell.value.span[0], cell.value.span[1]);
    }
    // The decoded text of a formula as written in its own cell (empty for shared children).
    std::string formulaText(const StoredFormula& formula) const;
    // The same as a view: kept decoded when set here, else the part's bytes, decoded when they need it
    // (valid until the next call).
    std::string_view formulaView(const StoredFormula& formula) const;
    // The master formula of shared group `si`; kNone when the group has none.
    std::uint32_t masterOf(std::uint32_t si) const;
    // The row spans a shared master's formula reads (whole columns left out).
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& groupReads(std::uint32_t master) const;

    // The last row and column holding a cell; grown by writes, moved by insertions.
    std::pair<std::uint32_t, std::uint32_t> extent() const;
    void extentGrows(std::uint32_t row, std::uint32_t column);
    void rowInserted(std::uint32_t row);
    // The first row of an active filter, 0 when none.
    std::uint32_t filterTop() const;

    // Fails reading the part at byte `at`, naming the cell where there is one.
    [[noreturn]] void failRead(std::size_t at, std::string_view cause, std::string_view cell = {}) const;

private:
    mutable std::size_t m_lastBlock = 0; // where the previous lookup ended: the walk reads row after row
    mutable std::string m_scratch;
    mutable std::unordered_map<std::uint32_t, std::uint32_t> m_masterOfGroup; // si -> formula index
    mutable std::unordered_map<std::uint32_t, std::vector<std::pair<std::uint32_t, std::uint32_t>>>
        m_groupReads;
    mutable std::optional<std::pair<std::uint32_t, std::uint32_t>> m_extent;
    mutable std::optional<std::uint32_t> m_filterTop;
};

struct WorksheetPart::Store : SheetStore {};

// Reads the part into the store (sheetData by hand, the frame for <cols>). Throws sheets::Error.
void readWorksheet(SheetStore& store);

} // namespace xlsx
