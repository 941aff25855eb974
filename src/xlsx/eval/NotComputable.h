#pragma once

// Raised inside the evaluator when a value cannot be computed without guessing (a function it does
// not know, a reference to another workbook, a circular reference, a text that reads as a number only
// in some languages). It unwinds the computation of the cell and every cell waiting on it; the
// evaluator reports it to its caller as "not computable", which is not an error value.

#include <cstdint>
#include <exception>
#include <string>

namespace xlsx::eval {

class NotComputable : public std::exception {
public:
    explicit NotComputable(std::string what) : m_what(std::move(what)) {}
    const char* what() const noexcept override { return m_what.c_str(); }

    const std::string& problem() const { return m_what; }
    // The formula cell where it arose; set by the first cell it unwinds through.
    bool located = false;
    int sheet = 0;
    std::uint32_t row = 0, column = 0;

private:
    std::string m_what;
};

} // namespace xlsx::eval
