#pragma once

// The workbook's calculation state for one run: the formula results computed since it was opened or
// last saved, the formulas whose results went stale, and those that could not be computed. Reading a
// cell never changes a sheet's part: results live here, and the save writes them as cached results.

#include "eval/FormulaValue.h"
#include "formula/CellId.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace xlsx {

class Calculation {
public:
    // fullCalculation: the workbook asks for every formula to be calculated on load, so no result the
    // file holds is current.
    explicit Calculation(bool fullCalculation) : m_full(fullCalculation) {}

    bool fullCalculation() const { return m_full; }
    // Whether the formula's result may be used as it is: computed here and not stale since, or held by
    // the file (storedResult) and neither stale nor distrusted by a full calculation.
    bool current(CellId id, bool storedResult) const {
        if (m_results.count(id.key())) return true;
        return storedResult && !m_full && !m_stale.count(id.key());
    }
    // The result computed here while it is current; nullptr otherwise.
    const eval::Value* result(CellId id) const {
        auto found = m_results.find(id.key());
        return found == m_results.end() ? nullptr : &found->second;
    }
    // Whether some result is current, which a change could make stale.
    bool anyCurrent() const { return !m_full || !m_results.empty(); }

    // Keeps a computed result (never empty: an empty one counts as 0) as the formula's current value.
    void store(CellId id, eval::Value value);
    // Something the formula reads changed: its result must be computed again before it is used.
    void markStale(CellId id);
    // It could not be computed: the save leaves its cached result out for the application to compute.
    void drop(CellId id);
    bool dropped(CellId id) const { return m_dropped.count(id.key()) != 0; }
    // Whether the save has a result to write, or one to leave out, on the sheet.
    bool hasResultsOn(int sheet) const {
        return static_cast<std::size_t>(sheet) < m_touched.size() &&
               m_touched[static_cast<std::size_t>(sheet)];
    }

private:
    void touch(int sheet);

    bool m_full;
    std::unordered_map<std::uint64_t, eval::Value> m_results;
    std::unordered_set<std::uint64_t> m_stale;
    std::unordered_set<std::uint64_t> m_dropped;
    std::vector<bool> m_touched; // per sheet: a result stored or dropped
};

} // namespace xlsx
