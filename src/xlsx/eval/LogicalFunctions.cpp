// IF and its kin, AND, OR, XOR, NOT, CHOOSE and SWITCH. Branches are computed only when taken.

#include "eval/Evaluation.h"
#include "eval/NotComputable.h"

namespace xlsx::eval {

namespace {

// A taken branch; an empty one (IF(x,,1)) gives 0.
Operand branch(Call& c, std::size_t i) {
    if (c.omitted(i)) return Operand::ofNumber(0);
    return c.arg(i);
}

Operand fnIf(Call& c) {
    auto condition = c.boolean(0);
    if (!condition) return Operand::ofError(*condition.error);
    if (*condition) return branch(c, 1);
    if (c.count() < 3) return Operand::ofBoolean(false);
    return branch(c, 2);
}

Operand fnIfs(Call& c) {
    if (c.count() % 2 != 0) throw NotComputable("funksjonen IFS med et ulikt antall argumenter");
    for (std::size_t i = 0; i + 1 < c.count(); i += 2) {
        auto condition = c.boolean(i);
        if (!condition) return Operand::ofError(*condition.error);
        if (*condition) return branch(c, i + 1);
    }
    return Operand::ofError(ErrorCode::NA);
}

Operand fnIfError(Call& c) {
    Value value = c.value(0);
    if (value.isError()) return branch(c, 1);
    return Operand::of(std::move(value));
}

Operand fnIfNa(Call& c) {
    Value value = c.value(0);
    if (value.isError() && value.error == ErrorCode::NA) return branch(c, 1);
    return Operand::of(std::move(value));
}

enum class Logic { And, Or, Xor };

// Booleans and numbers of ranges count, their texts and empty cells do not; a text given directly
// must read TRUE or FALSE. With nothing to go on the result is #VALUE!.
Operand logic(Call& c, Logic kind) {
    int seen = 0, trues = 0;
    std::optional<ErrorCode> error;
    for (std::size_t i = 0; i < c.count() && !error; ++i) {
        if (c.omitted(i)) {
            ++seen;
            continue;
        }
        c.ev.forEachCell(c.arg(i), [&](const CellSeen& cell) {
            if (error) return;
            const Value& v = cell.value;
            if (v.isError()) {
                error = v.error;
            } else if (v.isNumber() || v.isBoolean()) {
                ++seen;
                trues += v.number != 0;
            } else if (cell.direct && v.isText()) {
                auto b = toBoolean(v);
                if (!b) {
                    error = *b.error;
                    return;
                }
                ++seen;
                trues += *b;
            }
        });
    }
    if (error) return Operand::ofError(*error);
    if (seen == 0) return Operand::ofError(ErrorCode::Value);
    switch (kind) {
    case Logic::And:
        return Operand::ofBoolean(trues == seen);
    case Logic::Or:
        return Operand::ofBoolean(trues > 0);
    case Logic::Xor:
        return Operand::ofBoolean(trues % 2 == 1);
    }
    return Operand::ofError(ErrorCode::Value);
}

Operand fnAnd(Call& c) {
    return logic(c, Logic::And);
}
Operand fnOr(Call& c) {
    return logic(c, Logic::Or);
}
Operand fnXor(Call& c) {
    return logic(c, Logic::Xor);
}

Operand fnNot(Call& c) {
    auto value = c.boolean(0);
    if (!value) return Operand::ofError(*value.error);
    return Operand::ofBoolean(!*value);
}

Operand fnTrue(Call&) {
    return Operand::ofBoolean(true);
}
Operand fnFalse(Call&) {
    return Operand::ofBoolean(false);
}

Operand fnChoose(Call& c) {
    auto index = c.integer(0);
    if (!index) return Operand::ofError(*index.error);
    if (*index < 1 || *index >= static_cast<double>(c.count())) return Operand::ofError(ErrorCode::Value);
    return branch(c, static_cast<std::size_t>(*index));
}

Operand fnSwitch(Call& c) {
    Value subject = c.value(0);
    if (subject.isError()) return Operand::of(subject);
    std::size_t i = 1;
    for (; i + 1 < c.count(); i += 2) {
        Value candidate = c.value(i);
        if (candidate.isError()) return Operand::of(candidate);
        if (subject.kind == candidate.kind && equalValues(subject, candidate)) return branch(c, i + 1);
    }
    if (i < c.count()) return branch(c, i); // the default
    return Operand::ofError(ErrorCode::NA);
}

} // namespace

const std::vector<FunctionDef>& logicalFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"IF", 2, 3, "VRR", fnIf, true},
        {"IFS", 2, 254, "|VR", fnIfs, true},
        {"IFERROR", 2, 2, "VR", fnIfError, true},
        {"IFNA", 2, 2, "VR", fnIfNa, true},
        {"AND", 1, 255, "R", fnAnd},
        {"OR", 1, 255, "R", fnOr},
        {"XOR", 1, 255, "R", fnXor},
        {"NOT", 1, 1, "V", fnNot, true},
        {"TRUE", 0, 0, "V", fnTrue},
        {"FALSE", 0, 0, "V", fnFalse},
        {"CHOOSE", 2, 255, "VR", fnChoose, true},
        {"SWITCH", 3, 255, "V|VR", fnSwitch, true},
    };
    return functions;
}

} // namespace xlsx::eval
