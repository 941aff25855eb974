// ISBLANK, ISNUMBER and the other IS functions, NA, N, T, TYPE, ERROR.TYPE, SHEET and SHEETS.

#include "eval/Evaluation.h"

#include <cmath>

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

bool nonText(const Value& v) {
    return !v.isText();
}

// ISEVEN and ISODD: of the number's whole part; a text that is no number is #VALUE!.
template <bool Even> Operand parity(Call& c) {
    Value v = c.value(0);
    if (v.isError()) return Operand::of(v);
    if (v.isBoolean()) return Operand::ofError(ErrorCode::Value);
    auto n = toNumber(v, c.ev.date1904());
    if (!n) return Operand::ofError(*n.error);
    bool even = std::fmod(std::trunc(std::fabs(*n)), 2) == 0;
    return Operand::ofBoolean(even == Even);
}

Operand fnIsRef(Call& c) {
    return Operand::ofBoolean(c.arg(0).isRef());
}

// ISFORMULA(ref): whether the reference's first cell holds a formula.
Operand fnIsFormula(Call& c) {
    const Operand& operand = c.arg(0);
    if (operand.isError()) return operand;
    if (!operand.isRef()) return Operand::ofError(ErrorCode::Value);
    const RefArea& at = operand.area;
    bool formula = false;
    c.ev.source().forEachCell(
        at.sheet, at.top, at.left, at.top, at.left, true,
        [&](std::uint32_t, std::uint32_t, const SourceCell& cell) { formula = cell.isFormula(); });
    return Operand::ofBoolean(formula);
}

// 1 number (and empty), 2 text, 4 boolean, 16 error, 64 an array or a range of several cells.
Operand fnType(Call& c) {
    const Operand& operand = c.arg(0);
    if (operand.isArray() || (operand.isRef() && !(operand.isSingleArea() && operand.area.isCell())))
        return Operand::ofNumber(operand.isRef() && !operand.isSingleArea() ? 16 : 64);
    Value v = operand.isRef() ? c.ev.cellValue(operand.area.sheet, operand.area.top, operand.area.left)
                              : operand.value;
    switch (v.kind) {
    case Value::Kind::Text:
        return Operand::ofNumber(2);
    case Value::Kind::Boolean:
        return Operand::ofNumber(4);
    case Value::Kind::Error:
        return Operand::ofNumber(16);
    default:
        return Operand::ofNumber(1);
    }
}

Operand fnErrorType(Call& c) {
    Value v = c.value(0);
    if (!v.isError()) return Operand::ofError(ErrorCode::NA);
    switch (v.error) {
    case ErrorCode::Null:
        return Operand::ofNumber(1);
    case ErrorCode::Div0:
        return Operand::ofNumber(2);
    case ErrorCode::Value:
        return Operand::ofNumber(3);
    case ErrorCode::Ref:
        return Operand::ofNumber(4);
    case ErrorCode::Name:
        return Operand::ofNumber(5);
    case ErrorCode::Num:
        return Operand::ofNumber(6);
    case ErrorCode::NA:
        return Operand::ofNumber(7);
    case ErrorCode::GettingData:
        return Operand::ofNumber(8);
    case ErrorCode::Spill:
        return Operand::ofNumber(9);
    case ErrorCode::Calc:
        return Operand::ofNumber(14);
    default:
        return Operand::ofError(ErrorCode::NA);
    }
}

// SHEET(): the formula's sheet, 1-based; SHEET(ref) the reference's, SHEET("name") the named one's.
Operand fnSheet(Call& c) {
    if (c.omitted(0)) return Operand::ofNumber(c.frame.sheet + 1);
    const Operand& operand = c.arg(0);
    if (operand.isRef()) return Operand::ofNumber(operand.area.sheet + 1);
    if (operand.isError()) return operand;
    Value v = c.ev.scalar(c.frame, operand);
    if (!v.isText()) return Operand::ofError(ErrorCode::NA);
    int index = c.ev.sheetIndex(v.text);
    if (index < 0) return Operand::ofError(ErrorCode::NA);
    return Operand::ofNumber(index + 1);
}

// SHEETS(): the workbook's sheets; SHEETS(ref) those a 3-D reference spans.
Operand fnSheets(Call& c) {
    if (c.omitted(0)) return Operand::ofNumber(c.ev.source().sheetCount());
    const Operand& operand = c.arg(0);
    if (operand.isError()) return operand;
    if (!operand.isRef()) return Operand::ofError(ErrorCode::NA);
    return Operand::ofNumber(operand.area.lastSheet - operand.area.sheet + 1);
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
        {"ISNONTEXT", 1, 1, "V", isFunction<nonText>, true},
        {"ISEVEN", 1, 1, "V", parity<true>, true},
        {"ISODD", 1, 1, "V", parity<false>, true},
        {"ISREF", 1, 1, "R", fnIsRef},
        {"ISFORMULA", 1, 1, "R", fnIsFormula},
        {"TYPE", 1, 1, "R", fnType},
        {"ERROR.TYPE", 1, 1, "V", fnErrorType, true},
        {"SHEET", 0, 1, "R", fnSheet},
        {"SHEETS", 0, 1, "R", fnSheets},
    };
    return functions;
}

} // namespace xlsx::eval
