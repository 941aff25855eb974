#include "formula/ShiftedFormulas.h"

namespace xlsx {

const std::optional<std::string>& ShiftedFormulas::shifted(int sheet, std::string_view formula,
                                                           const ShiftContext& context) {
    auto index = static_cast<std::size_t>(sheet);
    if (m_bySheet.size() <= index) m_bySheet.resize(index + 1);
    auto& texts = m_bySheet[index];
    auto found = texts.find(formula);
    if (found == texts.end())
        found = texts.emplace(std::string(formula), shiftFormula(formula, context)).first;
    return found->second;
}

std::optional<std::string> ShiftedFormulas::take(int sheet, std::string_view formula,
                                                 const ShiftContext& context) {
    auto index = static_cast<std::size_t>(sheet);
    if (index < m_bySheet.size()) {
        auto& texts = m_bySheet[index];
        if (auto found = texts.find(formula); found != texts.end()) {
            auto result = std::move(found->second);
            texts.erase(found);
            return result;
        }
    }
    return shiftFormula(formula, context);
}

} // namespace xlsx
