// ROUND and its kin, INT, MOD, CEILING, FLOOR and the other functions of one or two numbers.

#include "eval/Evaluation.h"

#include <cmath>
#include <numbers>

namespace xlsx::eval {

namespace {

// Decimal places as the application takes them: truncated, and far past a double's reach harmless.
double powerOfTen(double digits) {
    return std::pow(10.0, std::fabs(digits));
}

enum class Rounding { HalfAway, Up, Down };

// The scaled value is first taken to 15 significant digits, so that 1.005 rounds to 1.01 as it is
// written, not as the nearest double (1.00499999999999989...) would.
double roundTo(double value, double digits, Rounding mode) {
    digits = std::trunc(digits);
    if (digits > 308) return value;
    if (digits < -308) return 0;
    double scale = powerOfTen(digits);
    double scaled = digits >= 0 ? value * scale : value / scale;
    if (!std::isfinite(scaled)) return value;
    double snapped = round15(scaled);
    double whole = 0;
    switch (mode) {
    case Rounding::HalfAway:
        whole = std::round(snapped);
        break;
    case Rounding::Up:
        whole = snapped < 0 ? -std::ceil(-snapped) : std::ceil(snapped);
        break;
    case Rounding::Down:
        whole = std::trunc(snapped);
        break;
    }
    return digits >= 0 ? whole / scale : whole * scale;
}

Operand roundWith(Call& c, Rounding mode) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto digits = c.number(1);
    if (!digits) return Operand::ofError(*digits.error);
    return numberResult(roundTo(*value, *digits, mode));
}

Operand fnRound(Call& c) {
    return roundWith(c, Rounding::HalfAway);
}
Operand fnRoundUp(Call& c) {
    return roundWith(c, Rounding::Up);
}
Operand fnRoundDown(Call& c) {
    return roundWith(c, Rounding::Down);
}

Operand fnTrunc(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto digits = c.number(1, 0);
    if (!digits) return Operand::ofError(*digits.error);
    return numberResult(roundTo(*value, *digits, Rounding::Down));
}

Operand fnInt(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    return numberResult(std::floor(round15(*value)));
}

template <double (*F)(double)> Operand unaryMath(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    return numberResult(F(*value));
}

double absolute(double x) {
    return std::fabs(x);
}
double sign(double x) {
    return x > 0 ? 1 : (x < 0 ? -1 : 0);
}

Operand fnSqrt(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    if (*value < 0) return Operand::ofError(ErrorCode::Num);
    return numberResult(std::sqrt(*value));
}

Operand fnMod(Call& c) {
    auto a = c.number(0);
    if (!a) return Operand::ofError(*a.error);
    auto b = c.number(1);
    if (!b) return Operand::ofError(*b.error);
    if (*b == 0) return Operand::ofError(ErrorCode::Div0);
    double quotient = std::floor(round15(*a / *b));
    double result = approxAdd(*a, -*b * quotient);
    // The remainder takes the divisor's sign; a remainder of the divisor's size is none.
    if (result != 0 && (result < 0) != (*b < 0)) result += *b;
    if (approxEqual(result, *b)) result = 0;
    return numberResult(result);
}

Operand fnPower(Call& c) {
    return Operand::of(applyBinary(Op::Pow, c.value(0), c.value(1), c.ev.date1904()));
}

Operand fnCeiling(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto step = c.number(1);
    if (!step) return Operand::ofError(*step.error);
    if (*value == 0 || *step == 0) return Operand::ofNumber(0);
    if (*value > 0 && *step < 0) return Operand::ofError(ErrorCode::Num);
    // Negative numbers with a positive step go toward zero; with a negative step away from it.
    return numberResult(std::ceil(round15(*value / *step)) * *step);
}

Operand fnFloor(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto step = c.number(1);
    if (!step) return Operand::ofError(*step.error);
    if (*step == 0) return *value == 0 ? Operand::ofNumber(0) : Operand::ofError(ErrorCode::Div0);
    if (*value == 0) return Operand::ofNumber(0);
    if (*value > 0 && *step < 0) return Operand::ofError(ErrorCode::Num);
    return numberResult(std::floor(round15(*value / *step)) * *step);
}

Operand fnPi(Call&) {
    return Operand::ofNumber(std::numbers::pi);
}

} // namespace

const std::vector<FunctionDef>& mathFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"ROUND", 2, 2, "V", fnRound, true},
        {"ROUNDUP", 2, 2, "V", fnRoundUp, true},
        {"ROUNDDOWN", 2, 2, "V", fnRoundDown, true},
        {"TRUNC", 1, 2, "V", fnTrunc, true},
        {"INT", 1, 1, "V", fnInt, true},
        {"ABS", 1, 1, "V", unaryMath<absolute>, true},
        {"SIGN", 1, 1, "V", unaryMath<sign>, true},
        {"SQRT", 1, 1, "V", fnSqrt, true},
        {"MOD", 2, 2, "V", fnMod, true},
        {"POWER", 2, 2, "V", fnPower, true},
        {"CEILING", 2, 2, "V", fnCeiling, true},
        {"FLOOR", 2, 2, "V", fnFloor, true},
        {"PI", 0, 0, "V", fnPi, false},
    };
    return functions;
}

} // namespace xlsx::eval
