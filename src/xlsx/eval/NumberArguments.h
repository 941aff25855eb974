#pragma once

// The numbers of a function's arguments as SUM and its kin take them, shared by the aggregate and
// statistical functions.

#include "eval/Evaluation.h"

#include <functional>
#include <optional>
#include <vector>

namespace xlsx::eval {

struct Numbers {
    std::vector<double> values;
    std::optional<ErrorCode> error;
};

enum class Strictness {
    Propagate, // errors and texts given directly that are no numbers: the result
    Skip,      // ... left out (COUNT)
};

// From ranges and arrays only numbers (texts, booleans and empty cells left out); given directly,
// numbers, booleans and texts that read as numbers. Arguments from `first` on; `skip` leaves cells out.
Numbers collect(Call& c, std::size_t first, Strictness strictness,
                const std::function<bool(const CellSeen&)>& skip = {});

// As the *A functions take them (AVERAGEA, MAXA, STDEVA ...): in ranges texts count as 0 and booleans
// as 1 and 0 as well; given directly as collect() takes them.
Numbers collectAll(Call& c, std::size_t first);

// Added in order, as the application does: SUM(0.1,0.2,-0.3) is 5.55E-17 there, while 0.1+0.2-0.3 is 0.
double sum(const std::vector<double>& values);

// Variance of the numbers, of a sample or of the population; nullopt when too few.
std::optional<double> variance(const std::vector<double>& values, bool sample);

} // namespace xlsx::eval
