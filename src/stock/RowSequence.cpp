#include "RowSequence.h"

#include <algorithm>

namespace stock {

namespace {

// Filled to kBlock when appended, split at twice that when insertions grow a block.
constexpr std::size_t kBlock = 256;

} // namespace

std::size_t RowSequence::rankAt(std::size_t position) const {
    // The last block starting at or before the position.
    const auto after =
        std::upper_bound(m_order.begin(), m_order.end(), position,
                         [&](std::size_t p, std::uint32_t id) { return p < m_blocks[id].start; });
    return static_cast<std::size_t>(after - m_order.begin()) - 1;
}

std::uint32_t RowSequence::atOtherBlock(std::size_t position) const {
    const Block& block = m_blocks[m_order[rankAt(position)]];
    m_hintEntries = block.entries.data();
    m_hintStart = block.start;
    m_hintSize = block.entries.size();
    return block.entries[position - block.start];
}

void RowSequence::place(std::uint32_t id, std::size_t from) {
    const auto& entries = m_blocks[id].entries;
    for (std::size_t i = from; i < entries.size(); ++i) {
        if (entries[i] >= m_where.size()) m_where.resize(entries[i] + std::size_t{1});
        m_where[entries[i]] = {id, static_cast<std::uint32_t>(i)};
    }
}

std::uint32_t RowSequence::newBlockAt(std::size_t rank, std::size_t start) {
    const auto id = static_cast<std::uint32_t>(m_blocks.size());
    m_blocks.emplace_back().start = start;
    m_order.insert(m_order.begin() + static_cast<std::ptrdiff_t>(rank), id);
    return id;
}

void RowSequence::push_back(std::uint32_t entry) {
    forgetHint();
    if (m_order.empty() || m_blocks[m_order.back()].entries.size() >= kBlock)
        newBlockAt(m_order.size(), m_size);
    const std::uint32_t id = m_order.back();
    m_blocks[id].entries.push_back(entry);
    ++m_size;
    place(id, m_blocks[id].entries.size() - 1);
}

void RowSequence::insert(std::size_t position, std::uint32_t entry) {
    forgetHint();
    if (position >= m_size) {
        push_back(entry);
        return;
    }
    const std::size_t rank = rankAt(position);
    const std::uint32_t id = m_order[rank];
    Block& block = m_blocks[id];
    const std::size_t offset = position - block.start;
    block.entries.insert(block.entries.begin() + static_cast<std::ptrdiff_t>(offset), entry);
    ++m_size;
    for (std::size_t r = rank + 1; r < m_order.size(); ++r)
        ++m_blocks[m_order[r]].start;
    if (block.entries.size() < 2 * kBlock) {
        place(id, offset);
        return;
    }
    // Split: the second half becomes a block of its own right after this one.
    const std::size_t start = block.start + kBlock;
    std::vector<std::uint32_t> tail(block.entries.begin() + kBlock, block.entries.end());
    block.entries.resize(kBlock);
    place(id, offset);
    const std::uint32_t second = newBlockAt(rank + 1, start); // `block` is invalid from here
    m_blocks[second].entries = std::move(tail);
    place(second, 0);
}

void RowSequence::truncate(std::size_t count) {
    forgetHint();
    if (count >= m_size) return;
    std::size_t rank = rankAt(count);
    Block& block = m_blocks[m_order[rank]];
    block.entries.resize(count - block.start);
    if (!block.entries.empty()) ++rank;
    for (std::size_t r = rank; r < m_order.size(); ++r)
        std::vector<std::uint32_t>().swap(m_blocks[m_order[r]].entries);
    m_order.resize(rank);
    m_size = count;
}

} // namespace stock
