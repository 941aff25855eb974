// ISBLANK, ISNUMBER and the other IS functions, NA, N and T.

#include "eval/Evaluation.h"

namespace xlsx::eval {

namespace {

template <bool (*Test)(const Value&)> Operand isFunction(Call& c) {
    return Operand::ofBoolean(Test(c.value(0)));
}

bool blank(const Value& v) {
    return v.isEmpty();
}
bool number(const Value& v) {
    return v.isNumber();
}
bool text(const Value& v) {
    return v.isText();
}
bool logical(const Value& v) {
    return v.isBoolean();
}
bool anyError(const Value& v) {
    return v.isError();
}
bool errorButNa(const Value& v) {
    return v.isError() && v.error != ErrorCode::NA;
}
bool na(const Value& v) {
    return v.isError() && v.error == ErrorCode::NA;
}

Operand fnNa(Call&) {
    return Operand::ofError(ErrorCode::NA);
}

Operand fnN(Call& c) {
    Value v = c.value(0);
    if (v.isError()) return Operand::of(v);
    if (v.isNumber() || v.isBoolean()) return Operand::ofNumber(v.number);
    return Operand::ofNumber(0);
}

Operand fnT(Call& c) {
    Value v = c.value(0);
    if (v.isError() || v.isText()) return Operand::of(v);
    return Operand::ofText("");
}

} // namespace

const std::vector<FunctionDef>& infoFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"ISBLANK", 1, 1, "V", isFunction<blank>, true},
        {"ISNUMBER", 1, 1, "V", isFunction<number>, true},
        {"ISTEXT", 1, 1, "V", isFunction<text>, true},
        {"ISLOGICAL", 1, 1, "V", isFunction<logical>, true},
        {"ISERROR", 1, 1, "V", isFunction<anyError>, true},
        {"ISERR", 1, 1, "V", isFunction<errorButNa>, true},
        {"ISNA", 1, 1, "V", isFunction<na>, true},
        {"NA", 0, 0, "V", fnNa},
        {"N", 1, 1, "V", fnN, true},
        {"T", 1, 1, "V", fnT, true},
    };
    return functions;
}

} // namespace xlsx::eval
