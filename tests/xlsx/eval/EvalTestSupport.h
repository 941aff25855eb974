#pragma once

// Computes formulas in a GridSource and shows results as short texts for table-driven tests:
// "n:4" number, "s:abc" text, "b:1" boolean, "e:#N/A" error, "?" not computable.

#include "GridSource.h"
#include "eval/Evaluator.h"

#include <string>
#include <vector>

namespace evaltest {

std::string shown(const xlsx::eval::EvalResult& result);

// Puts `formula` into a cell of `grid` (AZ1 of the first sheet unless told), computes it with a fresh
// evaluator and shows the result.
std::string evaluate(GridSource& grid, const std::string& formula, std::string_view cell = "AZ1",
                     int sheet = 0, bool array = false);

struct Case {
    std::string formula;
    std::string expected; // as shown() shows it
};

// Each formula computed in `grid` as evaluate() does, checked against its expected result.
void expectAll(GridSource& grid, const std::vector<Case>& cases);

} // namespace evaltest
