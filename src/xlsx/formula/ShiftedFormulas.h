#pragma once

// Formula texts moved to the current rows, kept from the computation to the save. After insertions a
// formula is moved once so that the evaluator can compute it and the save would move it again for
// writing; the text and the shifts are the same both times, so the second move is looked up instead.

#include "formula/ReferenceShifter.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xlsx {

class ShiftedFormulas {
public:
    // `formula` of sheet `sheet` (its index; the context names the same sheet) moved by the insertions
    // made so far: nullopt when no reference moves. Kept until taken or forgotten.
    const std::optional<std::string>& shifted(int sheet, std::string_view formula,
                                              const ShiftContext& context);
    // The same, handed over: a formula moved before is not kept longer, one never moved is moved now.
    std::optional<std::string> take(int sheet, std::string_view formula, const ShiftContext& context);
    // Rows were inserted (or the shifts started again): every kept text is out of date.
    void forget() { m_bySheet.clear(); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Texts = std::unordered_map<std::string, std::optional<std::string>, Hash, std::equal_to<>>;
    std::vector<Texts> m_bySheet;
};

} // namespace xlsx
