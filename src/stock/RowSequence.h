#pragma once

// The entries of consecutive rows in row order, where an inserted row moves every row after it down
// one. Kept in blocks of a few hundred, each knowing the position it starts at: an insertion renumbers
// its own block and moves the starts of the blocks after it, instead of every later entry, so that a
// run's insertions cost a few hundred steps each on a sheet of any length.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace stock {

class RowSequence {
public:
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // The entry at `position` (< size()).
    std::uint32_t at(std::size_t position) const {
        // Reads go row after row: the block of the last one answers most of them.
        if (position - m_hintStart < m_hintSize) return m_hintEntries[position - m_hintStart];
        return atOtherBlock(position);
    }
    // The position of an entry in the sequence, which it must be in.
    std::size_t positionOf(std::uint32_t entry) const {
        const Where& where = m_where[entry];
        return m_blocks[where.block].start + where.offset;
    }

    void push_back(std::uint32_t entry);
    // Entries from `position` (<= size()) on move one on.
    void insert(std::size_t position, std::uint32_t entry);
    // Keeps the first `count` entries.
    void truncate(std::size_t count);

    template <class Visit> void forEach(Visit visit) const {
        for (std::uint32_t id : m_order)
            for (std::uint32_t entry : m_blocks[id].entries)
                visit(entry);
    }

private:
    struct Block {
        std::vector<std::uint32_t> entries;
        std::size_t start = 0;
    };
    struct Where {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
    };

    // The rank in m_order of the block holding `position` (< size()).
    std::size_t rankAt(std::size_t position) const;
    std::uint32_t atOtherBlock(std::size_t position) const;
    void forgetHint() const { m_hintSize = 0; }
    // Records where the block's entries from `from` on are.
    void place(std::uint32_t id, std::size_t from);
    // An empty block at `rank` in row order, starting at `start`; returns its id.
    std::uint32_t newBlockAt(std::size_t rank, std::size_t start);

    std::vector<Block> m_blocks;        // by id, which never changes; blocks dropped stay empty
    std::vector<std::uint32_t> m_order; // block ids in row order
    std::vector<Where> m_where;         // by entry
    std::size_t m_size = 0;
    // The block of the last read: its entries and the positions they stand for. Any change forgets it.
    mutable const std::uint32_t* m_hintEntries = nullptr;
    mutable std::size_t m_hintStart = 0;
    mutable std::size_t m_hintSize = 0;
};

} // namespace stock
