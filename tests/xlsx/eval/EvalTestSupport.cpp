#include "EvalTestSupport.h"

#include "formula/CellRef.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace evaltest {

std::string shown(const xlsx::eval::EvalResult& result) {
    using Kind = xlsx::eval::Value::Kind;
    if (!result.computed) return "?";
    const auto& v = result.value;
    switch (v.kind) {
    case Kind::Empty:
        return "empty";
    case Kind::Number: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", v.number);
        return std::string("n:") + buffer;
    }
    case Kind::Text:
        return "s:" + v.text;
    case Kind::Boolean:
        return v.number != 0 ? "b:1" : "b:0";
    case Kind::Error:
        return "e:" + std::string(xlsx::eval::errorLiteral(v.error));
    }
    return "";
}

std::string evaluate(GridSource& grid, const std::string& formula, std::string_view cell, int sheet,
                     bool array) {
    grid.formula(sheet, cell, formula, array);
    xlsx::eval::Evaluator evaluator(grid);
    auto ref = xlsx::CellRef::parse(cell);
    return shown(evaluator.value(sheet, ref->row(), ref->column()));
}

void expectAll(GridSource& grid, const std::vector<Case>& cases) {
    for (const auto& c : cases)
        EXPECT_EQ(evaluate(grid, c.formula), c.expected) << c.formula;
}

} // namespace evaltest
