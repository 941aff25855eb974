#pragma once

// xl/sharedStrings.xml. The strings read are kept in one buffer (no allocation per string); new strings
// are appended, and the part is written back as the original bytes with the new <si> added before
// </sst> and the uniqueCount attribute set.

#include "xml/Place.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace xlsx {

class SharedStrings {
public:
    SharedStrings() = default; // a workbook without the part
    // Throws sheets::Error on bad XML, naming `place` (the part's).
    SharedStrings(std::string xml, Place place);
    // The lookup index points into the strings' own storage: a copy or move builds its own.
    SharedStrings(const SharedStrings& other) { *this = other; }
    SharedStrings(SharedStrings&& other) noexcept { *this = std::move(other); }
    SharedStrings& operator=(const SharedStrings& other);
    SharedStrings& operator=(SharedStrings&& other) noexcept;

    std::size_t size() const { return m_offsets.size() + m_added.size(); }
    // The plain text of item `index`: rich-text runs joined, phonetic runs left out, _xHHHH_ decoded.
    // Throws sheets::Error for an index that is not there.
    std::string_view at(std::uint32_t index) const;

    // The index of `text`, appending it when new. Rich-text items are never reused for plain text.
    std::uint32_t add(std::string_view text);
    bool dirty() const { return !m_added.empty(); }
    // The whole part; a complete new part when the workbook had none.
    std::string serialize() const;

private:
    Place m_place;
    std::string m_xml;
    std::string m_buffer;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_offsets; // offset, length in m_buffer
    std::vector<bool> m_rich;
    std::deque<std::string> m_added; // a deque: the index keys point into its strings
    bool m_indexed = false;
    std::unordered_map<std::string_view, std::uint32_t> m_index; // built on first add()
};

} // namespace xlsx
