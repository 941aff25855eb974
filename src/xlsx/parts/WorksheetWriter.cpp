#include "parts/WorksheetPart.h"

#include "containers/LargeBuffer.h"
#include "formula/CellRef.h"
#include "parts/WorksheetStore.h"
#include "sheets/Error.h"
#include "xml/XmlScan.h"
#include "xml/XmlText.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace xlsx {

namespace {

struct Attribute {
    std::string_view name, value;
    char quote;
};

const char* readTag(const char* p, const char* end, scan::StartTag& tag, std::vector<Attribute>& attributes) {
    attributes.clear();
    return scan::readStartTag(p, end, tag, [&](std::string_view name, std::string_view value, char quote) {
        attributes.push_back({name, value, quote});
    });
}

void appendAttribute(std::string& out, const Attribute& attribute) {
    out += ' ';
    out.append(attribute.name);
    out += '=';
    out += attribute.quote;
    out.append(attribute.value);
    out += attribute.quote;
}

void appendNumber(std::string& out, std::uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// The shortest text that reads back as the same double.
void appendDouble(std::string& out, double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// The start tag of the first element named `local` in `document` (searching no further than an element
// named `stop`): [begin, end) of the tag, or nullopt.
struct FoundTag {
    std::size_t begin, end;
    scan::StartTag tag;
};

std::optional<FoundTag> findStartTag(std::string_view document, std::string_view local,
                                     std::string_view stop) {
    const char* begin = document.data();
    const char* end = begin + document.size();
    const char* p = begin;
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (!lt || lt + 1 >= end) return std::nullopt;
        if (scan::isSpecial(lt, end)) {
            p = scan::skipSpecial(lt, end);
        } else if (lt[1] == '/') {
            std::string_view qname;
            p = scan::readEndTag(lt, end, qname);
        } else {
            scan::StartTag tag;
            p = scan::readStartTag(lt, end, tag);
            if (!p) return std::nullopt;
            std::string_view name = scan::localName(tag.qname);
            if (name == local)
                return FoundTag{static_cast<std::size_t>(lt - begin), static_cast<std::size_t>(p - begin),
                                tag};
            if (name == stop) return std::nullopt;
        }
        if (!p) return std::nullopt;
    }
    return std::nullopt;
}

class Writer {
public:
    Writer(const SheetStore& store, const SaveHooks& hooks) : m_store(store), m_hooks(hooks) {}

    std::string run() {
        const std::string& xml = m_store.xml;
        std::string frame = xml.substr(0, m_store.contentBegin);
        frame.append(xml, m_store.contentEnd);
        if (m_hooks.rewriteFrame)
            if (auto edited = m_hooks.rewriteFrame(frame)) frame = std::move(*edited);
        if (m_store.dirty) frame = withDimension(std::move(frame));

        auto sheetData = findStartTag(frame, "sheetData", {});
        if (!sheetData) m_store.place.fail(kCannotSave, "<sheetData> mangler i delen");
        std::string out;
        containers::reserveLarge(out, frame.size() + xml.size() + xml.size() / 16);
        if (sheetData->tag.selfClosing) {
            std::size_t slash = sheetData->end - 2;
            std::size_t mark = out.size();
            out.append(frame, 0, slash);
            out += '>';
            std::size_t content = out.size();
            writeRows(out);
            if (out.size() == content) {
                out.resize(mark);
                return frame;
            }
            out += "</";
            out.append(sheetData->tag.qname);
            out += '>';
        } else {
            out.append(frame, 0, sheetData->end);
            writeRows(out);
        }
        out.append(frame, sheetData->end);
        return out;
    }

private:
    struct Pending {
        std::uint32_t cell; // index in the block's cells
        std::optional<std::string> text;
        bool dropValue;
        const eval::Value* newResult; // a result computed in this run replaces the cached one
    };

    const SheetStore& m_store;
    const SaveHooks& m_hooks;
    std::vector<Pending> m_pending;
    std::vector<Attribute> m_attributes;

    std::string withDimension(std::string frame) {
        auto found = findStartTag(frame, "dimension", "sheetData");
        if (!found) return frame;
        std::string ref = usedRange();
        std::string tag = "<";
        tag.append(found->tag.qname);
        readTag(frame.data() + found->begin, frame.data() + found->end, found->tag, m_attributes);
        bool wrote = false;
        for (const Attribute& attribute : m_attributes) {
            if (attribute.name == "ref") {
                appendAttribute(tag, {attribute.name, ref, attribute.quote});
                wrote = true;
            } else
                appendAttribute(tag, attribute);
        }
        if (!wrote) appendAttribute(tag, {"ref", ref, '"'});
        tag += found->tag.selfClosing ? "/>" : ">";
        frame.replace(found->begin, found->end - found->begin, tag);
        return frame;
    }

    std::string usedRange() const {
        std::uint32_t top = 0, bottom = 0, left = kMaxColumn, right = 0;
        for (const Block& block : m_store.blocks)
            for (const StoredRow& row : block.rows) {
                if (row.cellCount == 0) continue;
                if (top == 0) top = block.number(row);
                bottom = block.number(row);
                left = std::min<std::uint32_t>(left, block.cells[row.firstCell].column);
                right = std::max<std::uint32_t>(right, block.cells[row.firstCell + row.cellCount - 1].column);
            }
        if (top == 0) return "A1";
        return areaName(top, left, bottom, right);
    }

    void writeRows(std::string& out) {
        const std::string& xml = m_store.xml;
        std::uint32_t previous = 0;
        for (const Block& block : m_store.blocks) {
            for (const StoredRow& row : block.rows) {
                std::uint32_t number = block.number(row);
                m_pending.clear();
                if (row.flags & StoredRow::kHasFormulas) collectFormulaEdits(block, row, number);
                if (row.original == 0) {
                    writeRow(out, block, row, number);
                } else if (number == row.original && !(row.flags & StoredRow::kChanged) &&
                           m_pending.empty() && (!(row.flags & StoredRow::kNoR) || previous + 1 == number)) {
                    out.append(xml, row.leadBegin, row.end - row.leadBegin);
                } else if (!(row.flags & StoredRow::kChanged) && writeMovedRow(out, block, row, number)) {
                } else {
                    out.append(xml, row.leadBegin, row.begin - row.leadBegin);
                    writeRow(out, block, row, number);
                }
                previous = number;
            }
        }
        out.append(xml, m_store.tailBegin, m_store.contentEnd - m_store.tailBegin);
    }

    // The position of the r attribute's value in the start tag at `begin`, or nullptr.
    std::string_view referenceIn(const char* begin, const char* end) const {
        std::string_view r;
        scan::StartTag tag;
        scan::readStartTag(begin, end, tag, [&](std::string_view name, std::string_view value, char) {
            if (name == "r") r = value;
        });
        return r;
    }

    // A row whose cells were not written: its bytes as they are, with the row number in its r and in
    // those of its cells, and the cells with formula edits written anew. Most rows of a sheet that got
    // rows inserted are such rows. False, writing nothing, when the row or a cell lacks an r to change.
    bool writeMovedRow(std::string& out, const Block& block, const StoredRow& row, std::uint32_t number) {
        const char* xml = m_store.xml.data();
        std::string_view rowR = referenceIn(xml + row.begin, xml + row.end);
        if (rowR.empty()) return false;
        for (std::uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i)
            if (block.cells[i].flags & (StoredCell::kNoR | StoredCell::kWritten) ||
                block.cells[i].length == 0)
                return false;
        const std::size_t mark = out.size();
        char digits[16];
        const auto numberEnd = std::to_chars(digits, digits + sizeof digits, number).ptr;
        const char* done = xml + row.leadBegin;
        auto replace = [&](std::string_view value, std::string_view letters) {
            out.append(done, static_cast<std::size_t>(value.data() - done));
            out.append(letters);
            out.append(digits, numberEnd);
            done = value.data() + value.size();
        };
        replace(rowR, {});
        for (std::uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i) {
            const StoredCell& cell = block.cells[i];
            const Pending* pending = pendingFor(i);
            // A shared or array formula's ref moves with it: that cell is written anew.
            if (pending || (cell.formula != kNone && m_store.formulas[cell.formula].hasRef)) {
                out.append(done, static_cast<std::size_t>(xml + cell.begin - done));
                writeCell(out, cell, number, number != row.original, pending);
                done = xml + cell.begin + cell.length;
                continue;
            }
            std::string_view cellR = referenceIn(xml + cell.begin, xml + cell.begin + cell.length);
            std::size_t letters = 0;
            if (cellR.empty() || !readColumnLetters(cellR, letters) || letters == cellR.size()) {
                out.resize(mark);
                return false;
            }
            replace(cellR, cellR.substr(0, letters));
        }
        out.append(done, static_cast<std::size_t>(xml + row.end - done));
        return true;
    }

    void collectFormulaEdits(const Block& block, const StoredRow& row, std::uint32_t number) {
        for (std::uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i) {
            const StoredCell& cell = block.cells[i];
            if (cell.formula == kNone) continue;
            const StoredFormula& formula = m_store.formulas[cell.formula];
            std::optional<std::string> text;
            if (m_hooks.rewriteFormula && formula.kind != StoredFormula::Kind::SharedChild)
                text = m_hooks.rewriteFormula(row.original, cell.column, m_store.formulaText(formula));
            bool drop = m_hooks.dropCachedResult && m_hooks.dropCachedResult(number, cell.column);
            const eval::Value* computed =
                !drop && m_hooks.computedResult ? m_hooks.computedResult(row.original, cell.column) : nullptr;
            if (text || (drop && cell.kind != ValueKind::Empty) || formula.rebuilt || computed)
                m_pending.push_back({i, std::move(text), drop, computed});
        }
    }

    const Pending* pendingFor(std::uint32_t cell) const {
        for (const Pending& pending : m_pending)
            if (pending.cell == cell) return &pending;
        return nullptr;
    }

    void writeRow(std::string& out, const Block& block, const StoredRow& row, std::uint32_t number) {
        const char* begin = m_store.xml.data() + row.begin;
        const char* end = m_store.xml.data() + row.end;
        scan::StartTag tag;
        const char* content = nullptr;
        std::string_view qname;
        std::string madeQname;
        out += '<';
        if (row.original != 0) {
            content = readTag(begin, end, tag, m_attributes);
            qname = tag.qname;
        } else {
            madeQname = m_store.prefix + "row";
            qname = madeQname;
            m_attributes.clear();
            if (row.attributes != kNone) {
                const std::string& made = m_store.rowAttributes[row.attributes];
                readTag(made.data(), made.data() + made.size(), tag, m_attributes);
            }
        }
        out.append(qname);
        std::string r = std::to_string(number);
        bool hasR = std::any_of(m_attributes.begin(), m_attributes.end(),
                                [](const Attribute& attribute) { return attribute.name == "r"; });
        if (!hasR) appendAttribute(out, {"r", r, '"'});
        for (const Attribute& attribute : m_attributes) {
            if (attribute.name == "r")
                appendAttribute(out, {attribute.name, r, attribute.quote});
            else if (attribute.name == "spans" && (row.flags & StoredRow::kChanged))
                continue; // a hint only, and a wrong one would be worse than none
            else
                appendAttribute(out, attribute);
        }
        std::size_t open = out.size();
        out += '>';
        bool moved = number != row.original;
        for (std::uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i)
            writeCell(out, block.cells[i], number, moved, pendingFor(i));
        // Whatever else the row held (extLst) stays after the cells, as the schema orders it.
        if (content && !tag.selfClosing) {
            const char* p = content;
            for (;;) {
                const char* lt =
                    static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
                if (!lt || lt[1] == '/') break;
                if (scan::isSpecial(lt, end)) {
                    p = scan::skipSpecial(lt, end);
                    continue;
                }
                scan::StartTag child;
                const char* after = scan::readStartTag(lt, end, child);
                p = scan::skipElementContent(after, end, child.selfClosing);
                if (scan::localName(child.qname) != "c") out.append(lt, static_cast<std::size_t>(p - lt));
            }
        }
        if (out.size() == open + 1) {
            out.resize(open);
            out += "/>";
        } else {
            out += "</";
            out.append(qname);
            out += '>';
        }
    }

    void writeMadeCell(std::string& out, const StoredCell& cell, std::uint32_t number) {
        out += '<';
        out += m_store.prefix;
        out += "c r=\"";
        out += cellName(number, cell.column);
        out += '"';
        if (cell.style != 0) {
            out += " s=\"";
            appendNumber(out, cell.style);
            out += '"';
        }
        if (cell.kind == ValueKind::Empty) {
            out += "/>";
            return;
        }
        if (cell.kind == ValueKind::SharedString) out += " t=\"s\"";
        out += "><";
        out += m_store.prefix;
        out += "v>";
        if (cell.kind == ValueKind::SharedString)
            appendNumber(out, cell.value.span[0]);
        else
            appendDouble(out, cell.value.number);
        out += "</";
        out += m_store.prefix;
        out += "v></";
        out += m_store.prefix;
        out += "c>";
    }

    void writeCell(std::string& out, const StoredCell& cell, std::uint32_t number, bool moved,
                   const Pending* pending) {
        if (cell.length == 0 || (cell.flags & StoredCell::kWritten)) {
            writeMadeCell(out, cell, number);
            return;
        }
        const char* begin = m_store.xml.data() + cell.begin;
        const char* end = begin + cell.length;
        if (!moved && !pending && !(cell.flags & StoredCell::kNoR)) {
            out.append(begin, cell.length);
            return;
        }
        const eval::Value* newResult = pending ? pending->newResult : nullptr;
        bool drop = (pending && pending->dropValue) || newResult;
        scan::StartTag tag;
        const char* p = readTag(begin, end, tag, m_attributes);
        out += '<';
        out.append(tag.qname);
        std::string r;
        r += cellName(number, cell.column);
        if (cell.flags & StoredCell::kNoR) appendAttribute(out, {"r", r, '"'});
        for (const Attribute& attribute : m_attributes) {
            if (attribute.name == "r")
                appendAttribute(out, {attribute.name, r, attribute.quote});
            else if (!(drop && attribute.name == "t"))
                appendAttribute(out, attribute);
        }
        if (newResult) appendResultType(out, *newResult);
        if (tag.selfClosing) {
            out += "/>";
            return;
        }
        out += '>';
        for (;;) {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
            out.append(p, static_cast<std::size_t>(lt - p));
            if (lt[1] == '/') break;
            if (scan::isSpecial(lt, end)) {
                p = scan::skipSpecial(lt, end);
                out.append(lt, static_cast<std::size_t>(p - lt));
                continue;
            }
            scan::StartTag child;
            const char* after = scan::readStartTag(lt, end, child);
            p = scan::skipElementContent(after, end, child.selfClosing);
            std::string_view local = scan::localName(child.qname);
            if (local == "v" && drop) continue;
            if (local == "f" && cell.formula != kNone) {
                writeFormula(out, lt, p, m_store.formulas[cell.formula], number, pending);
                if (newResult) appendResult(out, *newResult);
                continue;
            }
            out.append(lt, static_cast<std::size_t>(p - lt));
        }
        out += "</";
        out.append(tag.qname);
        out += '>';
    }

    // The t attribute of a computed result: none for a number, as the application writes them.
    static void appendResultType(std::string& out, const eval::Value& result) {
        switch (result.kind) {
        case eval::Value::Kind::Text:
            out += " t=\"str\"";
            break;
        case eval::Value::Kind::Boolean:
            out += " t=\"b\"";
            break;
        case eval::Value::Kind::Error:
            out += " t=\"e\"";
            break;
        default:
            break;
        }
    }

    void appendResult(std::string& out, const eval::Value& result) const {
        out += '<';
        out += m_store.prefix;
        out += "v>";
        switch (result.kind) {
        case eval::Value::Kind::Text:
            appendEscapedText(out, result.text);
            break;
        case eval::Value::Kind::Error:
            appendEscapedText(out, eval::errorLiteral(result.error));
            break;
        case eval::Value::Kind::Boolean:
            out += result.number != 0 ? '1' : '0';
            break;
        default:
            appendDouble(out, result.number);
        }
        out += "</";
        out += m_store.prefix;
        out += "v>";
    }

    void writeFormula(std::string& out, const char* begin, const char* end, const StoredFormula& formula,
                      std::uint32_t number, const Pending* pending) {
        bool newText = (pending && pending->text) || formula.text != kNone;
        if (!newText && !formula.rebuilt && !formula.hasRef) {
            out.append(begin, static_cast<std::size_t>(end - begin));
            return;
        }
        std::vector<Attribute> attributes;
        scan::StartTag tag;
        readTag(begin, end, tag, attributes);
        out += '<';
        out.append(tag.qname);
        for (const Attribute& attribute : attributes) {
            if (formula.rebuilt &&
                (attribute.name == "t" || attribute.name == "ref" || attribute.name == "si"))
                continue;
            if (attribute.name == "ref" && formula.hasRef) {
                std::string ref;
                auto top = static_cast<std::int64_t>(number) + formula.refTop;
                auto bottom = static_cast<std::int64_t>(number) + formula.refBottom;
                auto clamp = [](std::int64_t row) {
                    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(row, 1, kMaxRow));
                };
                ref += cellName(clamp(top), formula.refLeft);
                if (top != bottom || formula.refLeft != formula.refRight) {
                    // Appended piece by piece: GCC 12 reports a false overlap (-Wrestrict) for ":" + string.
                    ref += ':';
                    ref += cellName(clamp(bottom), formula.refRight);
                }
                appendAttribute(out, {attribute.name, ref, attribute.quote});
                continue;
            }
            appendAttribute(out, attribute);
        }
        std::string_view raw(m_store.xml.data() + formula.textBegin, formula.textLength);
        std::string text;
        if (pending && pending->text)
            appendEscapedText(text, *pending->text);
        else if (formula.text != kNone)
            appendEscapedText(text, m_store.formulaTexts[formula.text]);
        else
            text.assign(raw);
        if (text.empty()) {
            out += "/>";
            return;
        }
        out += '>';
        out += text;
        out += "</";
        out.append(tag.qname);
        out += '>';
    }
};

} // namespace

std::string WorksheetPart::serialize(const SaveHooks& hooks) const {
    if (!m_store->dirty && !hooks.rewriteFormula && !hooks.dropCachedResult && !hooks.computedResult &&
        !hooks.rewriteFrame)
        return m_store->xml;
    return Writer(*m_store, hooks).run();
}

} // namespace xlsx
