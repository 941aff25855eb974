#include "Calculation.h"

namespace xlsx {

void Calculation::touch(int sheet) {
    auto index = static_cast<std::size_t>(sheet);
    if (m_touched.size() <= index) m_touched.resize(index + 1);
    m_touched[index] = true;
}

void Calculation::store(CellId id, eval::Value value) {
    if (value.isEmpty()) value = eval::Value::ofNumber(0);
    m_results.insert_or_assign(id.key(), std::move(value));
    m_stale.erase(id.key());
    m_dropped.erase(id.key());
    touch(id.sheet);
}

void Calculation::markStale(CellId id) {
    m_results.erase(id.key());
    m_stale.insert(id.key());
}

void Calculation::drop(CellId id) {
    m_results.erase(id.key());
    m_dropped.insert(id.key());
    touch(id.sheet);
}

} // namespace xlsx
