#include "eval/FormulaValue.h"

#include <array>

namespace xlsx::eval {

namespace {

constexpr std::array<std::string_view, 15> kLiterals = {
    "#NULL!",  "#DIV/0!", "#VALUE!", "#REF!",     "#NAME?",    "#NUM!",     "#N/A",   "#GETTING_DATA",
    "#SPILL!", "#CALC!",  "#FIELD!", "#BLOCKED!", "#CONNECT!", "#UNKNOWN!", "#BUSY!",
};

bool sameFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

} // namespace

std::string_view errorLiteral(ErrorCode code) {
    return kLiterals[static_cast<std::size_t>(code)];
}

std::optional<ErrorCode> parseErrorLiteral(std::string_view literal) {
    for (std::size_t i = 0; i < kLiterals.size(); ++i)
        if (sameFolded(literal, kLiterals[i])) return static_cast<ErrorCode>(i);
    return std::nullopt;
}

} // namespace xlsx::eval
