#pragma once

// Computes formulas as the spreadsheet application does, reading the workbook only through an
// EvalSource. A formula cell whose stored result is current gives that result; any other formula is
// computed and its result handed back to the source to keep. What cannot be computed without guessing
// is reported as such, never as a value.

#include "eval/EvalSource.h"
#include "eval/FormulaValue.h"

#include <cstdint>
#include <memory>
#include <string>

namespace xlsx::eval {

struct EvalResult {
    bool computed = false;
    // computed: the cell's current value. Empty only for a cell that holds nothing; a formula's
    // result is never empty (a reference to an empty cell gives 0).
    Value value;
    // Not computed: what stood in the way, in Norwegian ("funksjonen FOO", "en sirkulær referanse"),
    // and the formula cell where it arose (the cell asked for, or one it depends on).
    std::string problem;
    int sheet = 0;
    std::uint32_t row = 0, column = 0;
};

class Evaluator {
public:
    explicit Evaluator(EvalSource& source);
    ~Evaluator();
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // The current value of a cell (sheet 0-based, row and column 1-based).
    EvalResult value(int sheet, std::uint32_t row, std::uint32_t column);

    // After the workbook changed: what could not be computed may be computable now. Cheap.
    void forgetFailures();
    // Forgets everything read from the workbook beyond its cells: sheet names, formulas read.
    void forgetAll();

    // The moment NOW() and TODAY() give, as a serial of the 1900 date system; by default the local
    // time when the evaluator was made.
    void setNow(double serial1900);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace xlsx::eval
