#include "parts/WorksheetStore.h"

#include "formula/CellRef.h"
#include "sheets/DateSerial.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"
#include "xml/XmlText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace xlsx {

namespace {

using scan::trimmed;

constexpr std::size_t kArenaFrom = std::size_t{8} << 20;
constexpr std::size_t kArenaChunk = std::size_t{16} << 20;

// Reads an unsigned attribute into `value`; false (value unchanged) when it is no number.
template <class T> bool parseUnsigned(std::string_view text, T& value) {
    auto parsed = scan::parseUnsigned<T>(text);
    if (parsed) value = *parsed;
    return parsed.has_value();
}

// Every lexical form of xsd:double: 1, -1.5, 1E3, .5, +2, INF, NaN.
bool parseDouble(std::string_view text, double& value) {
    text = trimmed(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool readDigits(std::string_view& text, std::size_t count, unsigned& value) {
    if (text.size() < count) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

bool readTime(std::string_view& text, double& fraction) {
    unsigned h = 0, m = 0, s = 0;
    if (!readDigits(text, 2, h) || text.empty() || text[0] != ':') return false;
    text.remove_prefix(1);
    if (!readDigits(text, 2, m)) return false;
    double seconds = 0;
    if (!text.empty() && text[0] == ':') {
        text.remove_prefix(1);
        if (!readDigits(text, 2, s)) return false;
        seconds = s;
        if (!text.empty() && text[0] == '.') {
            std::size_t digits = 1;
            while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
                ++digits;
            double part = 0;
            std::from_chars(text.data(), text.data() + digits, part);
            seconds += part;
            text.remove_prefix(digits);
        }
    }
    if (h > 24 || m > 59 || seconds >= 61) return false;
    fraction = (h * 3600.0 + m * 60.0 + seconds) / 86400.0;
    // A zone designator is accepted and ignored: the workbook shows wall-clock time.
    if (!text.empty() && text[0] == 'Z')
        text.remove_prefix(1);
    else if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        unsigned zh = 0, zm = 0;
        text.remove_prefix(1);
        if (!readDigits(text, 2, zh) || text.empty() || text[0] != ':') return false;
        text.remove_prefix(1);
        if (!readDigits(text, 2, zm)) return false;
    }
    return true;
}

// An ISO 8601 date, date-time or time (t="d") as a serial day number of the 1900 date system.
bool parseIsoDate(std::string_view text, double& serial) {
    text = trimmed(text);
    double fraction = 0;
    if (text.size() >= 3 && text[2] == ':') {
        serial = 0;
        return readTime(text, fraction) && text.empty() && ((serial = fraction), true);
    }
    unsigned y = 0, m = 0, d = 0;
    if (!readDigits(text, 4, y) || text.empty() || text[0] != '-') return false;
    text.remove_prefix(1);
    if (!readDigits(text, 2, m) || text.empty() || text[0] != '-') return false;
    text.remove_prefix(1);
    if (!readDigits(text, 2, d) || m < 1 || m > 12 || d < 1 || d > 31) return false;
    if (!text.empty()) {
        if (text[0] != 'T' && text[0] != ' ') return false;
        text.remove_prefix(1);
        if (!readTime(text, fraction) || !text.empty()) return false;
    }
    serial = sheets::serialOfDate(y, m, d) + fraction;
    return true;
}

class Reader {
public:
    explicit Reader(SheetStore& store)
        : m_store(store), m_begin(store.xml.data()), m_end(store.xml.data() + store.xml.size()) {}

    void run() {
        const char* p = readFrame();
        if (p) readRows(p);
        readProtection(m_begin + m_store.tailBegin);
    }

private:
    SheetStore& m_store;
    const char* m_begin;
    const char* m_end;
    std::uint32_t m_row = 0;
    std::uint32_t m_column = 0;
    bool m_inCell = false;
    std::string m_scratch;

    std::uint32_t offsetOf(const char* p) const { return static_cast<std::uint32_t>(p - m_begin); }

    // Inside a cell the failure names it.
    [[noreturn]] void fail(const char* at, std::string_view cause) const {
        m_store.failRead(static_cast<std::size_t>(at - m_begin), cause,
                         m_inCell ? cellName(m_row, m_column) : std::string());
    }

    // The next start or end tag from `p`, comments and processing instructions skipped.
    const char* nextTag(const char* p, const char* inside) const {
        for (;;) {
            const char* lt =
                static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(m_end - p)));
            if (!lt || lt + 1 >= m_end) fail(p, std::string("dokumentet slutter inne i ") + inside);
            if (!scan::isSpecial(lt, m_end)) return lt;
            p = scan::skipSpecial(lt, m_end);
            if (!p) fail(lt, "uavsluttet kommentar eller instruksjon");
        }
    }

    // The end tag at `lt`, which must close `local`; the position after it.
    const char* endTag(const char* lt, std::string_view local) const {
        std::string_view qname;
        const char* p = scan::readEndTag(lt, m_end, qname);
        if (!p || scan::localName(qname) != local) fail(lt, "ventet </" + std::string(local) + ">");
        return p;
    }

    // Up to <sheetData>: collects the column styles. Returns the position after its start tag, or
    // nullptr for an empty <sheetData/>.
    const char* readFrame() {
        const char* p = m_begin;
        for (;;) {
            const char* lt =
                static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(m_end - p)));
            if (!lt || lt + 1 >= m_end) fail(m_end, "fant ikke <sheetData>");
            if (scan::isSpecial(lt, m_end)) {
                p = scan::skipSpecial(lt, m_end);
                if (!p) fail(lt, "uavsluttet kommentar eller instruksjon");
                continue;
            }
            if (lt[1] == '/') {
                std::string_view qname;
                p = scan::readEndTag(lt, m_end, qname);
                if (!p) fail(lt, "ugyldig slutt-tagg");
                continue;
            }
            scan::StartTag tag;
            std::uint32_t min = 0, max = 0, style = 0;
            p = scan::readStartTag(lt, m_end, tag, [&](std::string_view name, std::string_view value, char) {
                if (name == "min")
                    parseUnsigned(value, min);
                else if (name == "max")
                    parseUnsigned(value, max);
                else if (name == "style")
                    parseUnsigned(value, style);
            });
            if (!p) fail(lt, "ugyldig tagg");
            std::string_view local = scan::localName(tag.qname);
            if (local == "col" && style != 0 && min >= 1 && max >= min)
                m_store.columnStyles.push_back({min, std::min(max, kMaxColumn), style});
            if (local == "sheetData") {
                m_store.prefix = std::string(scan::prefixOf(tag.qname));
                m_store.contentBegin = m_store.contentEnd = m_store.tailBegin = offsetOf(p);
                return tag.selfClosing ? nullptr : p;
            }
        }
    }

    // After the rows: <sheetProtection>, whose absent insertRows means inserting rows is protected.
    void readProtection(const char* p) {
        while (p && p < m_end) {
            const char* lt =
                static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(m_end - p)));
            if (!lt || lt + 1 >= m_end) return;
            if (scan::isSpecial(lt, m_end) || lt[1] == '/') {
                p = scan::isSpecial(lt, m_end) ? scan::skipSpecial(lt, m_end)
                                               : static_cast<const char*>(std::memchr(
                                                     lt, '>', static_cast<std::size_t>(m_end - lt)));
                continue;
            }
            scan::StartTag tag;
            bool sheet = false, insertRowsProtected = true;
            p = scan::readStartTag(lt, m_end, tag, [&](std::string_view name, std::string_view value, char) {
                if (name == "sheet")
                    sheet = scan::isTrue(value);
                else if (name == "insertRows")
                    insertRowsProtected = scan::isTrue(value);
            });
            if (p && scan::localName(tag.qname) == "sheetProtection") {
                m_store.sheetProtected = sheet;
                m_store.insertRowsAllowed = !insertRowsProtected;
                return;
            }
        }
    }

    void readRows(const char* p) {
        const char* lead = p;
        for (;;) {
            const char* lt = nextTag(p, "<sheetData>");
            if (lt[1] == '/') {
                p = endTag(lt, "sheetData");
                m_store.contentEnd = offsetOf(lt);
                m_store.tailBegin = offsetOf(lead);
                return;
            }
            scan::StartTag tag;
            std::string_view r;
            p = scan::readStartTag(lt, m_end, tag, [&](std::string_view name, std::string_view value, char) {
                if (name == "r") r = value;
            });
            if (!p) fail(lt, "ugyldig tagg");
            if (scan::localName(tag.qname) == "row") {
                p = readRow(lt, p, tag.selfClosing, r, lead);
                lead = p;
            } else {
                p = scan::skipElementContent(p, m_end, tag.selfClosing);
                if (!p) fail(lt, "uavsluttet element");
            }
        }
    }

    Block& blockFor(std::uint32_t number) {
        auto& blocks = m_store.blocks;
        if (blocks.empty() || blocks.back().rows.size() >= SheetStore::kBlockRows) {
            // Sized like the block before: growing the cell vectors would copy every cell twice.
            std::size_t cells =
                blocks.empty() ? 0 : blocks.back().cells.size() + blocks.back().cells.size() / 8;
            blocks.emplace_back();
            blocks.back().cells = CellVector(ArenaAllocator<StoredCell>(m_store.cellArena.get()));
            blocks.back().base = number;
            blocks.back().rows.reserve(SheetStore::kBlockRows);
            blocks.back().cells.reserve(cells);
        }
        return blocks.back();
    }

    const char* readRow(const char* begin, const char* p, bool selfClosing, std::string_view r,
                        const char* lead) {
        std::uint32_t number = m_row + 1;
        if (!r.empty() && !parseUnsigned(r, number)) fail(begin, "ugyldig radnummer " + inQuotes(r));
        if (number <= m_row)
            fail(begin, "rad " + std::to_string(number) + " står etter rad " + std::to_string(m_row));
        if (number > kMaxRow) fail(begin, outOfSheet(number, 1));
        m_row = number;
        m_column = 0;
        Block& block = blockFor(number);
        StoredRow row;
        row.offset = static_cast<std::int32_t>(number - block.base);
        row.original = number;
        row.leadBegin = offsetOf(lead);
        row.begin = offsetOf(begin);
        row.firstCell = static_cast<std::uint32_t>(block.cells.size());
        if (r.empty()) row.flags |= StoredRow::kNoR;
        while (!selfClosing) {
            const char* lt = nextTag(p, "<row>");
            if (lt[1] == '/') {
                p = endTag(lt, "row");
                break;
            }
            scan::StartTag tag;
            std::string_view cr, cs, ct;
            p = scan::readStartTag(lt, m_end, tag, [&](std::string_view name, std::string_view value, char) {
                if (name.size() == 1) {
                    if (name[0] == 'r')
                        cr = value;
                    else if (name[0] == 's')
                        cs = value;
                    else if (name[0] == 't')
                        ct = value;
                }
            });
            if (!p) fail(lt, "ugyldig tagg");
            std::string_view local = scan::localName(tag.qname);
            if (local == "c") {
                p = readCell(lt, p, tag.selfClosing, cr, cs, ct, block, row);
            } else {
                p = scan::skipElementContent(p, m_end, tag.selfClosing);
                if (!p) fail(lt, "uavsluttet element");
            }
        }
        row.end = offsetOf(p);
        row.cellCount = static_cast<std::uint32_t>(block.cells.size()) - row.firstCell;
        block.rows.push_back(row);
        return p;
    }

    // The text of a run of raw pieces: a span into the part when it is one piece needing no decoding,
    // otherwise decoded into the arena.
    struct TextBuilder {
        Reader& reader;
        std::uint32_t offset = 0, length = 0;
        int pieces = 0;
        bool inArena = false;

        void add(std::string_view raw, const char* at) {
            ++pieces;
            if (pieces == 1 && !needsDecoding(raw)) {
                offset = reader.offsetOf(raw.data());
                length = static_cast<std::uint32_t>(raw.size());
                return;
            }
            std::string& arena = reader.m_store.arena;
            if (!inArena) {
                std::size_t start = arena.size();
                if (pieces > 1) arena.append(reader.m_begin + offset, length);
                offset = static_cast<std::uint32_t>(start);
                inArena = true;
            }
            if (!appendDecodedText(arena, raw, true)) reader.fail(at, "ugyldig tekst");
            length = static_cast<std::uint32_t>(arena.size() - offset);
        }
        void store(StoredCell& cell) const {
            cell.value.span[0] = offset;
            cell.value.span[1] = length;
            if (inArena) cell.flags |= StoredCell::kInArena;
        }
    };

    std::string_view decodedValue(std::string_view raw, const char* at) {
        if (!needsDecoding(raw)) return raw;
        m_scratch.clear();
        if (!appendDecodedText(m_scratch, raw, false)) fail(at, "ugyldig verdi");
        return m_scratch;
    }

    const char* readInlineString(const char* p, TextBuilder& text) {
        int depth = 0; // inside <r>
        for (;;) {
            const char* lt = nextTag(p, "<is>");
            if (lt[1] == '/') {
                std::string_view qname;
                p = scan::readEndTag(lt, m_end, qname);
                if (!p) fail(lt, "ugyldig slutt-tagg");
                if (depth == 0) return p;
                --depth;
                continue;
            }
            scan::StartTag tag;
            p = scan::readStartTag(lt, m_end, tag);
            if (!p) fail(lt, "ugyldig tagg");
            std::string_view local = scan::localName(tag.qname);
            if (local == "t") {
                std::string_view raw(p, 0);
                if (!tag.selfClosing && !(p = scan::readTextContent(p, m_end, raw))) fail(lt, "ugyldig <t>");
                text.add(raw, lt);
            } else if (local == "r" && depth == 0 && !tag.selfClosing) {
                ++depth;
            } else {
                // Run properties, phonetic runs and their properties are not part of the value.
                p = scan::skipElementContent(p, m_end, tag.selfClosing);
                if (!p) fail(lt, "uavsluttet element");
            }
        }
    }

    bool parseRef(std::string_view ref, StoredFormula& formula) {
        ref = trimmed(ref);
        std::size_t colon = ref.find(':');
        auto first = CellRef::parse(ref.substr(0, colon));
        auto last = colon == std::string_view::npos ? first : CellRef::parse(ref.substr(colon + 1));
        if (!first || !last || last->row() < first->row() || last->column() < first->column()) return false;
        formula.refTop = static_cast<std::int32_t>(first->row()) - static_cast<std::int32_t>(m_row);
        formula.refBottom = static_cast<std::int32_t>(last->row()) - static_cast<std::int32_t>(m_row);
        formula.refLeft = static_cast<std::uint16_t>(first->column());
        formula.refRight = static_cast<std::uint16_t>(last->column());
        formula.hasRef = true;
        return true;
    }

    const char* readCell(const char* begin, const char* p, bool selfClosing, std::string_view r,
                         std::string_view s, std::string_view t, Block& block, StoredRow& row) {
        StoredCell cell;
        std::uint32_t column = m_column + 1;
        if (r.empty()) {
            cell.flags |= StoredCell::kNoR;
        } else {
            // Only the letters count: the row is the row element's.
            std::size_t letters = 0;
            auto parsed = readColumnLetters(r, letters);
            if (!parsed || (letters < r.size() && (r[letters] < '0' || r[letters] > '9')))
                fail(begin, "ugyldig cellereferanse " + inQuotes(r));
            column = *parsed;
        }
        if (column <= m_column)
            fail(begin, "celle " + cellName(m_row, column) + " står etter " + cellName(m_row, m_column));
        if (column > kMaxColumn) fail(begin, outOfSheet(m_row, column));
        m_column = column;
        m_inCell = true;
        cell.column = static_cast<std::uint16_t>(column);
        cell.begin = offsetOf(begin);
        if (!s.empty() && !parseUnsigned(s, cell.style)) fail(begin, "ugyldig stil " + inQuotes(s));

        bool hasValue = false, hasInline = false;
        std::string_view value;
        TextBuilder text{*this};
        while (!selfClosing) {
            const char* lt = nextTag(p, "<c>");
            if (lt[1] == '/') {
                p = m_end - lt >= 4 && lt[2] == 'c' && lt[3] == '>' ? lt + 4 : endTag(lt, "c");
                break;
            }
            // The common <v>number</v> without prefix or attributes, read without the general machinery.
            if (lt[1] == 'v' && lt[2] == '>') {
                const char* text = lt + 3;
                const char* close =
                    static_cast<const char*>(std::memchr(text, '<', static_cast<std::size_t>(m_end - text)));
                if (close && m_end - close >= 4 && close[1] == '/' && close[2] == 'v' && close[3] == '>') {
                    hasValue = true;
                    value = std::string_view(text, static_cast<std::size_t>(close - text));
                    p = close + 4;
                    continue;
                }
            }
            scan::StartTag tag;
            std::string_view ft, ref, si;
            p = scan::readStartTag(lt, m_end, tag, [&](std::string_view name, std::string_view v, char) {
                if (name == "t")
                    ft = v;
                else if (name == "ref")
                    ref = v;
                else if (name == "si")
                    si = v;
            });
            if (!p) fail(lt, "ugyldig tagg");
            std::string_view local = scan::localName(tag.qname);
            if (local == "v") {
                hasValue = true;
                value = std::string_view(p, 0);
                if (!tag.selfClosing && !(p = scan::readTextContent(p, m_end, value)))
                    fail(lt, "ugyldig <v>");
            } else if (local == "f") {
                std::string_view raw(p, 0);
                if (!tag.selfClosing && !(p = scan::readTextContent(p, m_end, raw))) fail(lt, "ugyldig <f>");
                readFormula(lt, raw, ft, ref, si, cell, row);
            } else if (local == "is") {
                hasInline = true;
                if (!tag.selfClosing) p = readInlineString(p, text);
            } else {
                p = scan::skipElementContent(p, m_end, tag.selfClosing);
                if (!p) fail(lt, "uavsluttet element");
            }
        }
        cell.length = offsetOf(p) - cell.begin;
        setValue(begin, cell, t, hasValue, value, hasInline, text);
        block.cells.push_back(cell);
        m_inCell = false;
        return p;
    }

    void readFormula(const char* at, std::string_view raw, std::string_view t, std::string_view ref,
                     std::string_view si, StoredCell& cell, StoredRow& row) {
        if (needsDecoding(raw)) {
            m_scratch.clear();
            if (!appendDecodedText(m_scratch, raw, true)) fail(at, "ugyldig formeltekst");
        }
        StoredFormula formula;
        formula.textBegin = offsetOf(raw.data());
        formula.textLength = static_cast<std::uint32_t>(raw.size());
        formula.column = cell.column;
        formula.row = m_row;
        if (t == "shared") {
            if (!parseUnsigned(si, formula.si)) fail(at, "delt formel uten gyldig si");
            formula.kind = !ref.empty() && parseRef(ref, formula) ? StoredFormula::Kind::SharedMaster
                                                                  : StoredFormula::Kind::SharedChild;
        } else if (t == "array" || t == "dataTable") {
            formula.kind = t == "array" ? StoredFormula::Kind::Array : StoredFormula::Kind::DataTable;
            if (!parseRef(ref.empty() ? std::string_view(cellName(m_row, cell.column)) : ref, formula))
                fail(at, "ugyldig område " + inQuotes(ref) + " for formel");
        }
        auto index = static_cast<std::uint32_t>(m_store.formulas.size());
        if (formula.hasRef && (formula.refTop != formula.refBottom || formula.refLeft != formula.refRight))
            m_store.trackedGroups.push_back(index);
        m_store.formulas.push_back(formula);
        cell.formula = index;
        row.flags |= StoredRow::kHasFormulas;
    }

    void setValue(const char* at, StoredCell& cell, std::string_view t, bool hasValue, std::string_view raw,
                  bool hasInline, TextBuilder& text) {
        if (t == "inlineStr" || t == "str") {
            if (!hasInline && hasValue) text.add(raw, at);
            if (hasInline || hasValue) {
                cell.kind = ValueKind::Text;
                text.store(cell);
            }
            return;
        }
        if (!hasValue) return; // a formula without a cached result, or a cell with a style only
        if (t == "e") {
            text.add(raw, at);
            cell.kind = ValueKind::Error;
            text.store(cell);
            return;
        }
        std::string_view value = trimmed(decodedValue(raw, at));
        if (value.empty()) return;
        if (t == "s") {
            if (!parseUnsigned(value, cell.value.span[0]))
                fail(at, "ugyldig indeks " + inQuotes(value) + " til delte tekster");
            cell.kind = ValueKind::SharedString;
        } else if (t == "b") {
            if (value != "0" && value != "1" && value != "true" && value != "false")
                fail(at, "ugyldig sannhetsverdi " + inQuotes(value));
            cell.kind = ValueKind::Boolean;
            cell.value.number = value == "1" || value == "true" ? 1 : 0;
        } else if (t == "d") {
            if (!parseIsoDate(value, cell.value.number)) fail(at, "ugyldig dato " + inQuotes(value));
            cell.kind = ValueKind::Date;
        } else {
            if (!parseDouble(value, cell.value.number)) fail(at, "ugyldig tall " + inQuotes(value));
            cell.kind = ValueKind::Number;
        }
    }
};

} // namespace

void readWorksheet(SheetStore& store) {
    if (store.xml.size() >= std::numeric_limits<std::uint32_t>::max())
        store.place.fail(kCannotRead, "delen er for stor");
    dom::refuseDocumentType(store.xml, store.place);
    // A cell takes about as many bytes in the store as in the XML: a large sheet's cells get an arena.
    if (store.xml.size() >= kArenaFrom)
        store.cellArena = std::make_unique<containers::LargeArena>(kArenaChunk);
    Reader(store).run();
}

} // namespace xlsx
