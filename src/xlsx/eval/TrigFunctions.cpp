// Trigonometric and hyperbolic functions, their inverses, angles, exponent and logarithms.

#include "eval/Evaluation.h"

#include <cmath>
#include <numbers>

namespace xlsx::eval {

namespace {

// Functions of one number, with the application's domain: outside it #NUM!, at a pole #DIV/0!.
using Fn = Got<double> (*)(double);

template <Fn F> Operand oneNumber(Call& c) {
    auto x = c.number(0);
    if (!x) return Operand::ofError(*x.error);
    auto result = F(*x);
    if (!result) return Operand::ofError(*result.error);
    return numberResult(*result);
}

// Sines of angles this large have no digit left that means anything; the application refuses them.
constexpr double kMaxAngle = 134217728; // 2^27

Got<double> sine(double x) {
    if (std::fabs(x) >= kMaxAngle) return ErrorCode::Num;
    return std::sin(x);
}
Got<double> cosine(double x) {
    if (std::fabs(x) >= kMaxAngle) return ErrorCode::Num;
    return std::cos(x);
}
Got<double> tangent(double x) {
    if (std::fabs(x) >= kMaxAngle) return ErrorCode::Num;
    return std::tan(x);
}
Got<double> cotangent(double x) {
    if (std::fabs(x) >= kMaxAngle) return ErrorCode::Num;
    if (x == 0) return ErrorCode::Div0;
    return 1 / std::tan(x);
}
Got<double> cosecant(double x) {
    if (std::fabs(x) >= kMaxAngle) return ErrorCode::Num;
    if (x == 0) return ErrorCode::Div0;
    return 1 / std::sin(x);
}
Got<double> secant(double x) {
    if (std::fabs(x) >= kMaxAngle) return ErrorCode::Num;
    return 1 / std::cos(x);
}
Got<double> arcsine(double x) {
    if (x < -1 || x > 1) return ErrorCode::Num;
    return std::asin(x);
}
Got<double> arccosine(double x) {
    if (x < -1 || x > 1) return ErrorCode::Num;
    return std::acos(x);
}
Got<double> arctangent(double x) {
    return std::atan(x);
}
Got<double> arccotangent(double x) {
    return std::numbers::pi / 2 - std::atan(x);
}
Got<double> hypSine(double x) {
    return std::sinh(x);
}
Got<double> hypCosine(double x) {
    return std::cosh(x);
}
Got<double> hypTangent(double x) {
    return std::tanh(x);
}
Got<double> hypCotangent(double x) {
    if (x == 0) return ErrorCode::Div0;
    return 1 / std::tanh(x);
}
Got<double> hypCosecant(double x) {
    if (x == 0) return ErrorCode::Div0;
    return 1 / std::sinh(x);
}
Got<double> hypSecant(double x) {
    return 1 / std::cosh(x);
}
Got<double> hypArcsine(double x) {
    return std::asinh(x);
}
Got<double> hypArccosine(double x) {
    if (x < 1) return ErrorCode::Num;
    return std::acosh(x);
}
Got<double> hypArctangent(double x) {
    if (x <= -1 || x >= 1) return ErrorCode::Num;
    return std::atanh(x);
}
Got<double> hypArccotangent(double x) {
    if (x >= -1 && x <= 1) return ErrorCode::Num;
    return 0.5 * std::log((x + 1) / (x - 1));
}
Got<double> degrees(double x) {
    return x * 180 / std::numbers::pi;
}
Got<double> radians(double x) {
    return x * std::numbers::pi / 180;
}
Got<double> exponent(double x) {
    return std::exp(x);
}
Got<double> naturalLog(double x) {
    if (x <= 0) return ErrorCode::Num;
    return std::log(x);
}
Got<double> log10(double x) {
    if (x <= 0) return ErrorCode::Num;
    return std::log10(x);
}
Got<double> sqrtPi(double x) {
    if (x < 0) return ErrorCode::Num;
    return std::sqrt(x * std::numbers::pi);
}

Operand fnLog(Call& c) {
    auto x = c.number(0);
    if (!x) return Operand::ofError(*x.error);
    auto base = c.number(1, 10);
    if (!base) return Operand::ofError(*base.error);
    if (*x <= 0 || *base <= 0) return Operand::ofError(ErrorCode::Num);
    if (*base == 1) return Operand::ofError(ErrorCode::Div0);
    // Exact powers of ten stay exact: LOG(1000) is 3, not 2.9999999999999996.
    if (*base == 10) return numberResult(std::log10(*x));
    return numberResult(std::log(*x) / std::log(*base));
}

// ATAN2(x, y): the angle of the point (x, y), as the application orders the arguments.
Operand fnAtan2(Call& c) {
    auto x = c.number(0), y = c.number(1);
    if (!x) return Operand::ofError(*x.error);
    if (!y) return Operand::ofError(*y.error);
    if (*x == 0 && *y == 0) return Operand::ofError(ErrorCode::Div0);
    return numberResult(std::atan2(*y, *x));
}

} // namespace

const std::vector<FunctionDef>& trigFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"SIN", 1, 1, "V", oneNumber<sine>, true},
        {"COS", 1, 1, "V", oneNumber<cosine>, true},
        {"TAN", 1, 1, "V", oneNumber<tangent>, true},
        {"COT", 1, 1, "V", oneNumber<cotangent>, true},
        {"CSC", 1, 1, "V", oneNumber<cosecant>, true},
        {"SEC", 1, 1, "V", oneNumber<secant>, true},
        {"ASIN", 1, 1, "V", oneNumber<arcsine>, true},
        {"ACOS", 1, 1, "V", oneNumber<arccosine>, true},
        {"ATAN", 1, 1, "V", oneNumber<arctangent>, true},
        {"ACOT", 1, 1, "V", oneNumber<arccotangent>, true},
        {"ATAN2", 2, 2, "V", fnAtan2, true},
        {"SINH", 1, 1, "V", oneNumber<hypSine>, true},
        {"COSH", 1, 1, "V", oneNumber<hypCosine>, true},
        {"TANH", 1, 1, "V", oneNumber<hypTangent>, true},
        {"COTH", 1, 1, "V", oneNumber<hypCotangent>, true},
        {"CSCH", 1, 1, "V", oneNumber<hypCosecant>, true},
        {"SECH", 1, 1, "V", oneNumber<hypSecant>, true},
        {"ASINH", 1, 1, "V", oneNumber<hypArcsine>, true},
        {"ACOSH", 1, 1, "V", oneNumber<hypArccosine>, true},
        {"ATANH", 1, 1, "V", oneNumber<hypArctangent>, true},
        {"ACOTH", 1, 1, "V", oneNumber<hypArccotangent>, true},
        {"DEGREES", 1, 1, "V", oneNumber<degrees>, true},
        {"RADIANS", 1, 1, "V", oneNumber<radians>, true},
        {"EXP", 1, 1, "V", oneNumber<exponent>, true},
        {"LN", 1, 1, "V", oneNumber<naturalLog>, true},
        {"LOG10", 1, 1, "V", oneNumber<log10>, true},
        {"LOG", 1, 2, "V", fnLog, true},
        {"SQRTPI", 1, 1, "V", oneNumber<sqrtPi>, true},
    };
    return functions;
}

} // namespace xlsx::eval
