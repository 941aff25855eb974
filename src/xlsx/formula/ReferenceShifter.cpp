#include "formula/ReferenceShifter.h"

#include "formula/CellRef.h"
#include "formula/FormulaTokenizer.h"
#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"

#include <algorithm>
#include <array>

namespace xlsx {

namespace {

constexpr std::string_view kRefError = "#REF!";

// Collects the result only from the first change on, so an untouched formula costs no copy.
class Rewriter {
public:
    explicit Rewriter(std::string_view source) : m_source(source) {}

    void replace(std::string_view part, std::string_view replacement) {
        copyUpTo(part);
        m_out.append(replacement);
    }
    // The reference `part` as prefix and area; #REF! for no area.
    void replace(std::string_view part, std::string_view prefix, const Area* area) {
        copyUpTo(part);
        m_out.append(prefix);
        if (area)
            appendArea(m_out, *area);
        else
            m_out.append(kRefError);
    }
    bool changed() const { return m_changed; }
    // The length of the result written so far.
    std::size_t size() const { return m_out.size(); }
    std::string finish() {
        m_out.append(m_source.substr(m_copied));
        return std::move(m_out);
    }

private:
    void copyUpTo(std::string_view part) {
        auto start = static_cast<std::size_t>(part.data() - m_source.data());
        if (!m_changed) m_out.reserve(m_source.size() + 8);
        m_out.append(m_source.substr(m_copied, start - m_copied));
        m_copied = start + part.size();
        m_changed = true;
    }

    std::string_view m_source;
    std::string m_out;
    std::size_t m_copied = 0;
    bool m_changed = false;
};

std::uint32_t mapRow(std::uint32_t row, const std::vector<const RowShift*>& shifts) {
    for (const RowShift* shift : shifts)
        row = shift->map(row);
    return row;
}

// The area after the insertions: its rows mapped corner by corner, which grows a range the
// insertion falls inside and moves one at or below it. False: unchanged; else `area` is moved, or
// `off` set when it is pushed off the sheet.
bool shiftArea(Area& area, const std::vector<const RowShift*>& shifts, bool& off) {
    off = false;
    if (area.kind == AreaKind::Columns) return false;
    AreaCorner& low = area.first.row <= area.last.row ? area.first : area.last;
    AreaCorner& high = area.first.row <= area.last.row ? area.last : area.first;
    std::uint32_t newLow = mapRow(low.row, shifts);
    std::uint32_t newHigh = area.kind == AreaKind::Cell ? newLow : mapRow(high.row, shifts);
    if (newLow > kMaxRow) {
        off = true;
        return true;
    }
    // A range whose end is pushed off keeps its start and ends at the last row.
    newHigh = std::min(newHigh, kMaxRow);
    if (newLow == low.row && newHigh == high.row) return false;
    low.row = newLow;
    high.row = newHigh;
    if (area.kind == AreaKind::Cell) area.last = area.first;
    return true;
}

// Every sheet a 3-D span covers, in workbook order; only its ends when the order does not know them.
void collectSpanShifts(const SheetSpan& span, const ShiftContext& context,
                       std::vector<const RowShift*>& shifts) {
    auto add = [&](std::string_view sheet) {
        if (const RowShift* shift = context.shiftFor(sheet); shift && !shift->empty())
            shifts.push_back(shift);
    };
    if (sheets::equalIgnoringAsciiCase(span.first, span.last)) return add(span.first);
    std::optional<std::size_t> first, last;
    if (context.sheetOrder) {
        const auto& order = *context.sheetOrder;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (!first && sheets::equalIgnoringAsciiCase(order[i], span.first)) first = i;
            if (!last && sheets::equalIgnoringAsciiCase(order[i], span.last)) last = i;
        }
    }
    if (!first || !last) {
        add(span.first);
        add(span.last);
        return;
    }
    for (std::size_t i = std::min(*first, *last); i <= std::max(*first, *last); ++i)
        add((*context.sheetOrder)[i]);
}

bool hasDigit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string withRefError(std::string_view prefix) {
    return std::string(prefix) + std::string(kRefError);
}

bool inSheet(std::int64_t value, std::uint32_t limit) {
    return value >= 1 && value <= limit;
}

// Moves the relative parts of a corner; false when it leaves the sheet.
bool translateCorner(AreaCorner& corner, AreaKind kind, int rowOffset, int columnOffset) {
    if (kind != AreaKind::Columns && !corner.absoluteRow) {
        std::int64_t row = std::int64_t{corner.row} + rowOffset;
        if (!inSheet(row, kMaxRow)) return false;
        corner.row = static_cast<std::uint32_t>(row);
    }
    if (kind != AreaKind::Rows && !corner.absoluteColumn) {
        std::int64_t column = std::int64_t{corner.column} + columnOffset;
        if (!inSheet(column, kMaxColumn)) return false;
        corner.column = static_cast<std::uint32_t>(column);
    }
    return true;
}

bool sameCorners(const Area& a, const Area& b) {
    return a.first.row == b.first.row && a.first.column == b.first.column && a.last.row == b.last.row &&
           a.last.column == b.last.column;
}

// The shift of the formula's own sheet, nullptr for none; `mayMove` false when no reference of the
// formula can move, which most formulas show without being read.
const RowShift* ownShift(std::string_view formula, const ShiftContext& context, bool& mayMove) {
    mayMove = false;
    // Every reference an insertion can move carries a row number, hence a digit.
    if (!context.shiftFor || !hasDigit(formula)) return nullptr;
    const RowShift* own = context.shiftFor(context.formulaSheet);
    if (own && own->empty()) own = nullptr;
    mayMove = own || formula.find('!') != std::string_view::npos;
    return own;
}

// Rewrites the references found in `formula`, leaving in `references` those of the result.
std::optional<std::string> shiftReferences(std::string_view formula, const ShiftContext& context,
                                           const RowShift* own, std::vector<FormulaReference>& references) {
    Rewriter rewriter(formula);
    thread_local std::vector<const RowShift*> shifts;
    std::size_t kept = 0;
    std::ptrdiff_t grown = 0; // what the rewriting so far added to the text before the reference
    bool anyOff = false;
    for (const FormulaReference& reference : references) {
        FormulaReference moved = reference;
        moved.begin = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(reference.begin) + grown);
        shifts.clear();
        std::string_view prefix = reference.prefix(formula);
        if (prefix.empty()) {
            if (own) shifts.push_back(own);
        } else if (auto span = parseSheetPrefix(prefix.substr(0, prefix.size() - 1)); !span.external) {
            collectSpanShifts(span, context, shifts);
        }
        bool off = false;
        if (!shifts.empty() && shiftArea(moved.area, shifts, off)) {
            rewriter.replace(reference.text(formula), prefix, off ? nullptr : &moved.area);
            moved.size = rewriter.size() - moved.begin;
            grown += static_cast<std::ptrdiff_t>(moved.size) - static_cast<std::ptrdiff_t>(reference.size);
            // Pushed off the sheet: an error literal in the result, no reference, and a boundary
            // where there was none, after which what stands before may read differently.
            if (off) anyOff = true;
        }
        references[kept++] = moved;
    }
    references.resize(kept);
    if (!rewriter.changed()) return std::nullopt;
    std::string result = rewriter.finish();
    if (anyOff) findReferences(result, references);
    return result;
}

} // namespace

std::optional<std::string> shiftFormula(std::string_view formula, const ShiftContext& context) {
    bool mayMove = false;
    const RowShift* own = ownShift(formula, context, mayMove);
    if (!mayMove) return std::nullopt;
    // Run for every formula of a sheet after an insertion: the references go into a buffer kept.
    thread_local std::vector<FormulaReference> references;
    findReferences(formula, references);
    return shiftReferences(formula, context, own, references);
}

std::optional<std::string> shiftFormula(std::string_view formula, const ShiftContext& context,
                                        std::vector<FormulaReference>& references) {
    bool mayMove = false;
    const RowShift* own = ownShift(formula, context, mayMove);
    findReferences(formula, references);
    if (!mayMove) return std::nullopt;
    return shiftReferences(formula, context, own, references);
}

std::optional<std::string> shiftAreaList(std::string_view areas, const RowShift& shift) {
    if (shift.empty()) return std::nullopt;
    const std::vector<const RowShift*> shifts{&shift};
    std::vector<std::string> kept;
    bool changed = false;
    std::size_t pos = 0;
    while (pos < areas.size()) {
        if (areas[pos] == ' ') {
            ++pos;
            continue;
        }
        std::size_t end = std::min(areas.find(' ', pos), areas.size());
        auto item = areas.substr(pos, end - pos);
        std::size_t parsed = 0;
        auto area = parseArea(item, parsed);
        bool off = false;
        if (area && parsed == item.size() && shiftArea(*area, shifts, off)) {
            changed = true;
            if (!off) kept.push_back(formatArea(*area));
        } else {
            kept.emplace_back(item); // not understood or not moved: as written
        }
        pos = end;
    }
    if (!changed) return std::nullopt;
    std::string out;
    for (const auto& item : kept) {
        if (!out.empty()) out += ' ';
        out += item;
    }
    return out;
}

std::string translateFormula(std::string_view formula, int rowOffset, int columnOffset) {
    if (rowOffset == 0 && columnOffset == 0) return std::string(formula);
    Rewriter rewriter(formula);
    for (const Token& token : tokenizeFormula(formula)) {
        if (token.kind != TokenKind::Reference) continue;
        auto reference = parseReference(token.text);
        if (!reference) continue;
        Area area = reference->area;
        bool inside = translateCorner(area.first, area.kind, rowOffset, columnOffset) &&
                      translateCorner(area.last, area.kind, rowOffset, columnOffset);
        if (!inside) {
            rewriter.replace(token.text, withRefError(reference->prefix));
            continue;
        }
        if (!sameCorners(area, reference->area))
            rewriter.replace(token.text, std::string(reference->prefix) + formatArea(area));
    }
    return rewriter.changed() ? rewriter.finish() : std::string(formula);
}

bool isVolatileFunction(std::string_view name) {
    static constexpr std::array<std::string_view, 9> kVolatile = {
        "NOW", "TODAY", "RAND", "RANDBETWEEN", "RANDARRAY", "OFFSET", "INDIRECT", "CELL", "INFO",
    };
    if (name.size() > 6 && sheets::equalIgnoringAsciiCase(name.substr(0, 6), "_xlfn.")) name.remove_prefix(6);
    return std::any_of(kVolatile.begin(), kVolatile.end(),
                       [&](std::string_view known) { return sheets::equalIgnoringAsciiCase(name, known); });
}

FormulaDependencies analyzeFormula(std::string_view formula) {
    FormulaDependencies result;
    auto addName = [&](std::string_view name) {
        if (sheets::equalIgnoringAsciiCase(name, "TRUE") || sheets::equalIgnoringAsciiCase(name, "FALSE"))
            return;
        if (std::none_of(result.names.begin(), result.names.end(), [&](const std::string& known) {
                return sheets::equalIgnoringAsciiCase(known, name);
            }))
            result.names.emplace_back(name);
    };
    for (const Token& token : tokenizeFormula(formula)) {
        switch (token.kind) {
        case TokenKind::Reference: {
            auto reference = parseReference(token.text);
            if (!reference || reference->sheets.external) {
                result.opaque = true;
                break;
            }
            const Area& a = reference->area;
            FormulaArea area;
            area.firstSheet = reference->sheets.first;
            area.lastSheet = reference->sheets.last;
            area.firstRow = a.kind == AreaKind::Columns ? 1 : std::min(a.first.row, a.last.row);
            area.lastRow = a.kind == AreaKind::Columns ? kMaxRow : std::max(a.first.row, a.last.row);
            area.firstColumn = a.kind == AreaKind::Rows ? 1 : std::min(a.first.column, a.last.column);
            area.lastColumn = a.kind == AreaKind::Rows ? kMaxColumn : std::max(a.first.column, a.last.column);
            result.areas.push_back(std::move(area));
            break;
        }
        case TokenKind::Name: {
            auto bang = token.text.rfind('!');
            if (bang == std::string_view::npos) {
                addName(token.text);
                if (!sheets::equalIgnoringAsciiCase(token.text, "TRUE") &&
                    !sheets::equalIgnoringAsciiCase(token.text, "FALSE"))
                    result.valueNames.emplace_back(token.text);
            } else if (parseSheetPrefix(token.text.substr(0, bang)).external) {
                result.opaque = true;
            } else {
                addName(token.text.substr(bang + 1)); // a sheet-level name: any of that name may be it
            }
            break;
        }
        case TokenKind::Function: {
            addName(token.text); // a defined name may hold a LAMBDA and be called like a function
            if (isVolatileFunction(token.text)) result.isVolatile = true;
            break;
        }
        case TokenKind::Structured:
        case TokenKind::Other:
            result.opaque = true;
            break;
        default:
            break;
        }
    }
    return result;
}

} // namespace xlsx
