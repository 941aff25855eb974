#include "StockLines.h"

#include "StockSheet.h"
#include "sheets/CellText.h"
#include "sheets/StrToReal.h"

#include <algorithm>
#include <bit>

namespace stock {

namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t value) {
    h ^= value + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
    return h;
}

std::uint64_t textHash(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

} // namespace

StockLines::StockLines(sheets::Worksheet& sheet, const sheets::TextFormat& format, int Dim)
    : m_sheet(sheet), m_format(format), m_dim(Dim) {
    extend();
}

int StockLines::slotOf(int column) const {
    if (column >= StockColumn::Grade && column <= StockColumn::Overflate(m_dim))
        return column - StockColumn::Grade;
    if (column == StockColumn::Meter(m_dim)) return m_dim + 2;
    return -1;
}

std::string_view StockLines::text(int row, int column) {
    if (int slot = slotOf(column); slot >= 0 && cached(row)) {
        const Cell& cell = entryAt(row).cells[static_cast<std::size_t>(slot)];
        if (cell.size != kNone) return cellText(cell);
    }
    return sheets::cellText(m_sheet.cell(row, column), m_format, m_scratch);
}

double StockLines::number(int row, int column) {
    if (int slot = slotOf(column); slot >= 0 && cached(row)) {
        const Cell& cell = entryAt(row).cells[static_cast<std::size_t>(slot)];
        if (cell.size != kNone) return cell.number;
    }
    return sheets::StrToReal(text(row, column));
}

std::optional<std::uint32_t> StockLines::gradeId(std::string_view grade) const {
    if (grade.empty()) return kBlank;
    // An id outlives the rows that had its text when they are read again.
    auto it = m_gradeIds.find(grade);
    if (it == m_gradeIds.end() || m_gradeFirst[it->second] == kNone) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> StockLines::hId(std::string_view H) const {
    auto it = m_hIds.find(H);
    if (it == m_hIds.end()) return std::nullopt;
    return it->second;
}

int StockLines::firstRowOfGrade(std::uint32_t grade) const {
    return rowOf(m_gradeFirst[grade]);
}

std::uint64_t StockLines::keyHash(int Dim, std::string_view grade, std::string_view H, std::string_view B,
                                  std::string_view T, std::string_view Overflate, std::string_view Meter) {
    std::uint64_t h = mix(textHash(grade), textHash(H));
    if (Dim >= 2) h = mix(h, textHash(B));
    if (Dim == 3) h = mix(h, textHash(T));
    h = mix(h, textHash(Overflate));
    // -0 equals 0 as a number: adding +0 makes it +0, so both hash alike.
    if (auto length = sheets::parseReal(Meter)) return mix(h, std::bit_cast<std::uint64_t>(*length + 0.0));
    return mix(mix(h, 1), textHash(Meter));
}

bool StockLines::read(int row, std::uint32_t e) {
    Entry& entry = m_entries[e];
    const bool wasHazard = entry.hazard;
    entry.hazard = false;
    for (int slot = 0; slot < m_dim + 3; ++slot) {
        const int column = slot <= m_dim + 1 ? slot + StockColumn::Grade : StockColumn::Meter(m_dim);
        const auto value = m_sheet.cell(row, column);
        Cell& cell = entry.cells[static_cast<std::size_t>(slot)];
        if (value.kind == sheets::CellValue::Kind::Error) {
            // Converting it would throw here, where the scan might never have read it.
            cell = Cell{};
            entry.hazard = true;
            if (slot == 0) break;
            continue;
        }
        const auto text = sheets::cellText(value, m_format, m_scratch);
        cell.offset = static_cast<std::uint32_t>(m_arena.size());
        cell.size = static_cast<std::uint32_t>(text.size());
        // A whole number reads back from its text as itself; only other cells need the parse.
        const bool whole =
            value.kind == sheets::CellValue::Kind::Number && sheets::showsAsWholeNumber(value.number);
        cell.number = whole ? value.number : sheets::StrToReal(text);
        m_arena.append(text);
    }
    m_hazards += static_cast<int>(entry.hazard) - static_cast<int>(wasHazard);
    if (entry.cells[0].size == kNone) return false;

    entry.h = kNone;
    if (entry.cells[1].size != kNone)
        entry.h =
            m_hIds
                .try_emplace(std::string(cellText(entry.cells[1])), static_cast<std::uint32_t>(m_hIds.size()))
                .first->second;

    const auto grade = cellText(entry.cells[0]);
    if (grade.empty()) {
        entry.grade = kBlank;
    } else if (auto it = m_gradeIds.find(grade); it != m_gradeIds.end()) {
        entry.grade = it->second;
    } else {
        entry.grade = static_cast<std::uint32_t>(m_gradeFirst.size());
        m_gradeIds.emplace(grade, entry.grade);
        m_gradeFirst.push_back(kNone);
    }
    return true;
}

void StockLines::extend() {
    m_complete = false;
    if (!m_rows.empty() && blank(m_rows.size() - 1)) ++m_blankInside;
    for (int row = kFirstRow + static_cast<int>(m_rows.size()); row <= sheets::kMaxRow; ++row) {
        const auto e = static_cast<std::uint32_t>(m_entries.size());
        m_entries.emplace_back();
        if (!read(row, e)) {
            // Column 2 holds an error value: a scan that gets here fails, so nothing after it is needed.
            m_hazards -= static_cast<int>(m_entries.back().hazard);
            m_entries.pop_back();
            return;
        }
        m_rows.push_back(e);
        index(e);
        if (m_entries[e].grade == kBlank) {
            m_complete = true;
            return;
        }
    }
}

void StockLines::index(std::uint32_t e) {
    Entry& entry = m_entries[e];
    entry.next = kNone;
    if (entry.grade == kBlank) return;
    auto& first = m_gradeFirst[entry.grade];
    if (first == kNone || m_rows.positionOf(e) < m_rows.positionOf(first)) first = e;
    auto slot = [&](int s) {
        const Cell& cell = entry.cells[static_cast<std::size_t>(s)];
        return cell.size == kNone ? std::string_view() : cellText(cell);
    };
    const int d = m_dim;
    const auto hash =
        keyHash(d, slot(0), slot(1), d >= 2 ? slot(2) : "", d == 3 ? slot(3) : "", slot(d + 1), slot(d + 2));
    auto [head, added] = m_keyHead.try_emplace(hash, e);
    if (!added) {
        entry.next = head->second;
        head->second = e;
    }
}

void StockLines::rebuildIndex() {
    m_keyHead.clear();
    std::fill(m_gradeFirst.begin(), m_gradeFirst.end(), kNone);
    m_rows.forEach([this](std::uint32_t e) { index(e); });
}

void StockLines::truncate(int row) {
    const auto keep = static_cast<std::size_t>(std::max(row - kFirstRow, 0));
    for (std::size_t i = keep; i < m_rows.size(); ++i)
        m_hazards -= static_cast<int>(m_entries[m_rows.at(i)].hazard);
    m_rows.truncate(keep);
    m_complete = false;
    m_blankInside = 0;
    for (std::size_t i = 0; i + 1 < m_rows.size(); ++i)
        m_blankInside += static_cast<int>(blank(i));
    rebuildIndex();
}

void StockLines::rowInserted(int row) {
    if (row < kFirstRow) {
        // Everything moved: read it all again.
        truncate(kFirstRow);
        extend();
        return;
    }
    if (!cached(row)) return; // below the cached rows, which are read from the sheet anyway
    const auto at = static_cast<std::size_t>(row - kFirstRow);
    const auto e = static_cast<std::uint32_t>(m_entries.size());
    m_entries.emplace_back();
    m_rows.insert(at, e);
    if (!read(row, e)) {
        truncate(row);
        return;
    }
    m_blankInside += static_cast<int>(blank(at));
    index(e);
}

void StockLines::lineWritten(int row) {
    if (!cached(row)) return;
    const auto at = static_cast<std::size_t>(row - kFirstRow);
    const auto e = m_rows.at(at);
    const bool last = at + 1 == m_rows.size();
    const bool atEnd = m_complete && last;
    const bool wasIndexed = !blank(at);
    if (!read(row, e)) {
        truncate(row);
        return;
    }
    if (!last) m_blankInside += static_cast<int>(blank(at)) - static_cast<int>(!wasIndexed);
    // Only blank rows get new key cells in a booking; anything else is set right the slow way.
    if (wasIndexed)
        rebuildIndex();
    else
        index(e);
    if (atEnd && m_entries[e].grade != kBlank) extend();
}

} // namespace stock
