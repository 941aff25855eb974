#pragma once

// What an expression gives before it is stored in a cell: a value, a reference to cells (resolved to
// sheets and rows, not yet read) or an array of values.

#include "eval/FormulaValue.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace xlsx::eval {

// A block of cells on one sheet, or on every sheet from `sheet` to `lastSheet` (a 3-D reference).
struct RefArea {
    int sheet = 0, lastSheet = 0;
    std::uint32_t top = 1, left = 1, bottom = 1, right = 1;

    std::uint32_t rows() const { return bottom - top + 1; }
    std::uint32_t columns() const { return right - left + 1; }
    bool isCell() const { return top == bottom && left == right && sheet == lastSheet; }
    bool is3d() const { return sheet != lastSheet; }
};

struct Matrix {
    std::uint32_t rows = 0, columns = 0;
    std::vector<Value> values; // row by row

    Matrix() = default;
    Matrix(std::uint32_t r, std::uint32_t c) : rows(r), columns(c), values(std::size_t{r} * c) {}
    Value& at(std::uint32_t r, std::uint32_t c) { return values[std::size_t{r} * columns + c]; }
    const Value& at(std::uint32_t r, std::uint32_t c) const { return values[std::size_t{r} * columns + c]; }
};

struct Operand {
    enum class Kind : std::uint8_t { Value, Ref, Array };

    Kind kind = Kind::Value;
    Value value;
    RefArea area;              // Ref: the (first) area
    std::vector<RefArea> more; // Ref: further areas of a union, (A1:B2,D4)
    std::shared_ptr<const Matrix> array;

    static Operand of(Value v) {
        Operand o;
        o.value = std::move(v);
        return o;
    }
    static Operand ofError(ErrorCode e) { return of(Value::ofError(e)); }
    static Operand ofNumber(double n) { return of(Value::ofNumber(n)); }
    static Operand ofBoolean(bool b) { return of(Value::ofBoolean(b)); }
    static Operand ofText(std::string t) { return of(Value::ofText(std::move(t))); }
    static Operand ofRef(const RefArea& a) {
        Operand o;
        o.kind = Kind::Ref;
        o.area = a;
        return o;
    }
    static Operand ofArray(Matrix m) {
        Operand o;
        o.kind = Kind::Array;
        o.array = std::make_shared<const Matrix>(std::move(m));
        return o;
    }

    bool isValue() const { return kind == Kind::Value; }
    bool isRef() const { return kind == Kind::Ref; }
    bool isArray() const { return kind == Kind::Array; }
    bool isError() const { return kind == Kind::Value && value.isError(); }
    // A reference to exactly one block on one sheet.
    bool isSingleArea() const { return kind == Kind::Ref && more.empty() && !area.is3d(); }
};

} // namespace xlsx::eval
