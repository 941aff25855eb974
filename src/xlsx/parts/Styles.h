#pragma once

// xl/styles.xml, read only: which cell formats show dates or times, and which lock their cells.

#include "xml/Place.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

class Styles {
public:
    Styles() = default; // a workbook without the part: every format is General
    // Throws sheets::Error on bad XML, naming `place` (the part's).
    Styles(std::string_view xml, const Place& place);

    // True when cell format (cellXfs index) `style` shows a number as a date or time: built-in number
    // formats 14-22 and 45-47, or a custom code with d, m, y, h or s outside quoted text, escapes and
    // [brackets] (but [h], [mm], [ss] elapsed-time brackets count).
    bool isDateTime(std::uint32_t style) const { return style < m_isDate.size() && m_isDate[style]; }

    // True when cell format `style` locks its cell (what a protected sheet refuses to change): its own
    // <protection locked>, else its cell style's, else locked, as every cell is by default.
    bool isLocked(std::uint32_t style) const { return style >= m_unlocked.size() || !m_unlocked[style]; }

private:
    std::vector<bool> m_isDate;
    std::vector<bool> m_unlocked;
};

} // namespace xlsx
