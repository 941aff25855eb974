// ROUND and its kin, INT, MOD, the CEILING and FLOOR family, EVEN and ODD, and the integer
// functions: FACT, COMBIN, GCD, LCM, QUOTIENT.

#include "eval/Evaluation.h"
#include "eval/NumberArguments.h"

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

// Away from zero to the next even or odd integer.
template <bool Even> Operand toParity(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    double magnitude = std::ceil(round15(std::fabs(*value)));
    bool isEven = std::fmod(magnitude, 2) == 0;
    if (Even != isEven) magnitude += 1;
    if (!Even && magnitude == 0) magnitude = 1;
    return numberResult(*value < 0 ? -magnitude : magnitude);
}

Operand fnMround(Call& c) {
    auto value = c.number(0), step = c.number(1);
    if (!value) return Operand::ofError(*value.error);
    if (!step) return Operand::ofError(*step.error);
    if (*step == 0 || *value == 0) return Operand::ofNumber(0);
    if ((*value < 0) != (*step < 0)) return Operand::ofError(ErrorCode::Num);
    return numberResult(std::round(round15(*value / *step)) * *step);
}

Operand fnQuotient(Call& c) {
    auto a = c.number(0), b = c.number(1);
    if (!a) return Operand::ofError(*a.error);
    if (!b) return Operand::ofError(*b.error);
    if (*b == 0) return Operand::ofError(ErrorCode::Div0);
    return numberResult(std::trunc(round15(*a / *b)));
}

// CEILING.MATH and FLOOR.MATH: the step's sign does not count; `mode` sends negative numbers away
// from zero (CEILING.MATH) or toward it (FLOOR.MATH).
template <bool Up> Operand stepMath(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto step = c.number(1, 1);
    if (!step) return Operand::ofError(*step.error);
    auto mode = c.number(2, 0);
    if (!mode) return Operand::ofError(*mode.error);
    double s = std::fabs(*step);
    if (s == 0 || *value == 0) return Operand::ofNumber(0);
    double q = round15(*value / s);
    bool reversed = *value < 0 && *mode != 0;
    bool up = reversed ? !Up : Up;
    return numberResult((up ? std::ceil(q) : std::floor(q)) * s);
}

// CEILING.PRECISE, ISO.CEILING and FLOOR.PRECISE: toward +infinity or -infinity, whatever the signs.
template <bool Up> Operand stepPrecise(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto step = c.number(1, 1);
    if (!step) return Operand::ofError(*step.error);
    double s = std::fabs(*step);
    if (s == 0 || *value == 0) return Operand::ofNumber(0);
    double q = round15(*value / s);
    return numberResult((Up ? std::ceil(q) : std::floor(q)) * s);
}

template <int Step> Operand factorial(Call& c) {
    auto n = c.number(0);
    if (!n) return Operand::ofError(*n.error);
    // FACT takes the whole part below, FACTDOUBLE cuts the fraction off: -0.5 is #NUM! for the one
    // and 0 for the other.
    double whole = Step == 1 ? std::floor(*n) : std::trunc(*n);
    if (whole < 0) return Operand::ofError(ErrorCode::Num);
    double product = 1;
    for (double k = whole; k > 1 && std::isfinite(product); k -= Step)
        product *= k;
    return numberResult(product);
}

double binomial(double n, double k) {
    k = std::min(k, n - k);
    double result = 1;
    for (double i = 1; i <= k && std::isfinite(result); ++i)
        result = result * (n - k + i) / i;
    return std::round(result);
}

Operand fnCombin(Call& c) {
    auto n = c.integer(0), k = c.integer(1);
    if (!n) return Operand::ofError(*n.error);
    if (!k) return Operand::ofError(*k.error);
    if (*n < 0 || *k < 0 || *n < *k) return Operand::ofError(ErrorCode::Num);
    return numberResult(binomial(*n, *k));
}

// With repetitions: COMBIN(n + k - 1, k).
Operand fnCombina(Call& c) {
    auto n = c.integer(0), k = c.integer(1);
    if (!n) return Operand::ofError(*n.error);
    if (!k) return Operand::ofError(*k.error);
    if (*n < 0 || *k < 0 || *n < *k) return Operand::ofError(ErrorCode::Num);
    if (*n == 0 && *k == 0) return Operand::ofNumber(1);
    return numberResult(binomial(*n + *k - 1, *k));
}

// GCD and LCM take whole numbers (fractions cut off) from 0 to 2^53.
Got<std::vector<double>> wholeNumbers(Call& c) {
    auto numbers = collect(c, 0, Strictness::Propagate);
    if (numbers.error) return *numbers.error;
    for (double& v : numbers.values) {
        if (v < 0 || v >= 9007199254740992.0) return ErrorCode::Num;
        v = std::floor(v);
    }
    return std::move(numbers.values);
}

double gcd(double a, double b) {
    while (b != 0) {
        double r = std::fmod(a, b);
        a = b;
        b = r;
    }
    return a;
}

Operand fnGcd(Call& c) {
    auto values = wholeNumbers(c);
    if (!values) return Operand::ofError(*values.error);
    double result = 0;
    for (double v : *values)
        result = gcd(result, v);
    return numberResult(result);
}

Operand fnLcm(Call& c) {
    auto values = wholeNumbers(c);
    if (!values) return Operand::ofError(*values.error);
    double result = 1;
    for (double v : *values) {
        if (v == 0) return Operand::ofNumber(0);
        result = result / gcd(result, v) * v;
    }
    return numberResult(result);
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
        {"EVEN", 1, 1, "V", toParity<true>, true},
        {"ODD", 1, 1, "V", toParity<false>, true},
        {"MROUND", 2, 2, "V", fnMround, true},
        {"QUOTIENT", 2, 2, "V", fnQuotient, true},
        {"CEILING.MATH", 1, 3, "V", stepMath<true>, true},
        {"FLOOR.MATH", 1, 3, "V", stepMath<false>, true},
        {"CEILING.PRECISE", 1, 2, "V", stepPrecise<true>, true},
        {"ISO.CEILING", 1, 2, "V", stepPrecise<true>, true},
        {"FLOOR.PRECISE", 1, 2, "V", stepPrecise<false>, true},
        {"FACT", 1, 1, "V", factorial<1>, true},
        {"FACTDOUBLE", 1, 1, "V", factorial<2>, true},
        {"COMBIN", 2, 2, "V", fnCombin, true},
        {"COMBINA", 2, 2, "V", fnCombina, true},
        {"GCD", 1, 255, "R", fnGcd},
        {"LCM", 1, 255, "R", fnLcm},
    };
    return functions;
}

} // namespace xlsx::eval
