#include "OdsReader.h"

#include "DateText.h"
#include "ReadOnlyWorkbook.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace orders {

namespace {

using sheets::kMaxColumn;
using sheets::kMaxRow;

constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr const char* kCalcExtNs = "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";
constexpr const char* kConfigNs = "urn:oasis:names:tc:opendocument:xmlns:config:1.0";

// Element and attribute names with the prefixes the document binds to the namespaces, since
// pugixml compares names as written.
class Names {
public:
    explicit Names(pugi::xml_node root) {
        for (auto attribute : root.attributes()) {
            std::string_view name = attribute.name();
            if (!name.starts_with("xmlns:")) continue;
            const std::string prefix(name.substr(6));
            const std::string_view uri = attribute.value();
            if (uri == kOfficeNs)
                m_office = prefix;
            else if (uri == kTableNs)
                m_table = prefix;
            else if (uri == kTextNs)
                m_text = prefix;
            else if (uri == kCalcExtNs)
                m_calcext = prefix;
            else if (uri == kConfigNs)
                m_config = prefix;
        }
    }
    std::string office(const char* local) const { return m_office + ":" + local; }
    std::string table(const char* local) const { return m_table + ":" + local; }
    std::string text(const char* local) const { return m_text + ":" + local; }
    std::string calcext(const char* local) const { return m_calcext + ":" + local; }
    std::string config(const char* local) const { return m_config + ":" + local; }

private:
    std::string m_office = "office", m_table = "table", m_text = "text", m_calcext = "calcext",
                m_config = "config";
};

pugi::xml_document parse(const sheets::Place& place, const std::string& xml) {
    pugi::xml_document document;
    // Blank text between elements of a paragraph is text; pugixml drops it unless asked.
    const auto result =
        document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!result)
        place.fail(sheets::kCannotRead, "ugyldig XML (" + std::string(result.description()) + ", posisjon " +
                                            std::to_string(result.offset) + ")");
    return document;
}

int repeatOf(pugi::xml_attribute attribute) {
    const std::string_view text = attribute.value();
    long value = 1;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value < 1 ? 1 : value > kMaxRow ? kMaxRow : static_cast<int>(value);
}

class ContentReader {
public:
    ContentReader(ReadOnlyWorkbook& book, pugi::xml_node root)
        : m_book(book), m_names(root), m_tableTag(m_names.table("table")),
          m_rowTag(m_names.table("table-row")), m_cellTag(m_names.table("table-cell")),
          m_coveredTag(m_names.table("covered-table-cell")),
          m_rowsRepeated(m_names.table("number-rows-repeated")),
          m_columnsRepeated(m_names.table("number-columns-repeated")),
          m_valueType(m_names.office("value-type")), m_calcextType(m_names.calcext("value-type")),
          m_paragraph(m_names.text("p")), m_space(m_names.text("s")), m_spaceCount(m_names.text("c")),
          m_tab(m_names.text("tab")), m_lineBreak(m_names.text("line-break")),
          m_annotation(m_names.office("annotation")) {}

    void read(pugi::xml_node root) {
        auto spreadsheet =
            root.child(m_names.office("body").c_str()).child(m_names.office("spreadsheet").c_str());
        for (auto table : spreadsheet.children(m_tableTag.c_str())) {
            auto& sheet = m_book.addSheet(table.attribute(m_names.table("name").c_str()).value(),
                                          SheetKind::Worksheet, kMaxRow, kMaxColumn);
            int row = 1;
            readRows(table, sheet, row);
        }
    }

private:
    // Rows may sit in groups and header blocks, which nest.
    void readRows(pugi::xml_node parent, ReadOnlySheet& sheet, int& row) {
        for (auto child : parent.children()) {
            if (row > kMaxRow) return;
            if (m_rowTag == child.name()) {
                const int count = repeatOf(child.attribute(m_rowsRepeated.c_str()));
                const int last = std::min(kMaxRow, row + count - 1);
                sheet.addRows(row, last, readCells(child));
                row = last + 1;
            } else if (isRowContainer(child.name())) {
                readRows(child, sheet, row);
            }
        }
    }

    bool isRowContainer(std::string_view name) const {
        return name == m_names.table("table-row-group") || name == m_names.table("table-header-rows") ||
               name == m_names.table("table-rows");
    }

    std::vector<ColumnRun> readCells(pugi::xml_node row) {
        std::vector<ColumnRun> runs;
        int column = 1;
        for (auto cell : row.children()) {
            if (column > kMaxColumn) break;
            // A covered cell (under a merged one) takes its column and may keep a value of its own.
            if (m_cellTag != cell.name() && m_coveredTag != cell.name()) continue;
            const int count = repeatOf(cell.attribute(m_columnsRepeated.c_str()));
            const int last = std::min(kMaxColumn, column + count - 1);
            if (auto value = valueOf(cell); value.kind != sheets::CellValue::Kind::Empty)
                runs.push_back({column, last, value});
            column = last + 1;
        }
        return runs;
    }

    sheets::CellValue valueOf(pugi::xml_node cell) {
        const std::string_view type = cell.attribute(m_valueType.c_str()).value();
        if (std::string_view(cell.attribute(m_calcextType.c_str()).value()) == "error")
            return sheets::CellValue::ofError(m_book.keep(paragraphs(cell)));
        if (type == "float" || type == "percentage" || type == "currency")
            return sheets::CellValue::ofNumber(
                number(cell.attribute(m_names.office("value").c_str()).value()));
        if (type == "date") {
            if (auto serial =
                    serialOfDateTimeText(cell.attribute(m_names.office("date-value").c_str()).value()))
                return sheets::CellValue::ofDateTime(*serial);
            return text(cell);
        }
        if (type == "time") {
            if (auto serial = serialOfDuration(cell.attribute(m_names.office("time-value").c_str()).value()))
                return sheets::CellValue::ofDateTime(*serial);
            return text(cell);
        }
        if (type == "boolean")
            return sheets::CellValue::ofBoolean(
                std::string_view(cell.attribute(m_names.office("boolean-value").c_str()).value()) == "true");
        if (type == "string") {
            if (auto value = cell.attribute(m_names.office("string-value").c_str()))
                return textValue(value.value());
            return text(cell);
        }
        // No type: what a writer put in the paragraphs is all there is.
        return cell.child(m_paragraph.c_str()) ? text(cell) : sheets::CellValue::empty();
    }

    sheets::CellValue text(pugi::xml_node cell) { return textValue(paragraphs(cell)); }

    // An empty text reads as an empty cell, as the engine reads one from .xlsx.
    sheets::CellValue textValue(std::string text) {
        return text.empty() ? sheets::CellValue::empty()
                            : sheets::CellValue::ofText(m_book.keep(std::move(text)));
    }

    static double number(const char* text) {
        double value = 0;
        std::from_chars(text, text + std::strlen(text), value);
        return value;
    }

    // Paragraphs joined by line breaks. Blanks of the XML text collapse to one space, none at the
    // start of a paragraph; one at its end is kept, since LibreOffice writes a single trailing blank
    // so and reads it back. text:s stands for spaces that are kept, text:tab and text:line-break for
    // their characters.
    std::string paragraphs(pugi::xml_node cell) const {
        std::string out;
        bool first = true;
        for (auto paragraph : cell.children(m_paragraph.c_str())) {
            if (!first) out += '\n';
            first = false;
            Blanks blanks;
            appendText(paragraph, out, blanks);
            blanks.flush(out);
        }
        return out;
    }

    // A collapsed space is written when something follows it, and not at the start.
    struct Blanks {
        bool atStart = true;
        bool pending = false;
        void flush(std::string& out) {
            if (pending && !atStart) out += ' ';
            pending = false;
            atStart = false;
        }
    };

    void appendText(pugi::xml_node node, std::string& out, Blanks& blanks) const {
        for (auto child : node.children()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
                for (const char* c = child.value(); *c; ++c) {
                    if (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\r') {
                        blanks.pending = true;
                    } else {
                        blanks.flush(out);
                        out += *c;
                    }
                }
            } else if (child.type() == pugi::node_element) {
                if (m_space == child.name()) {
                    blanks.flush(out);
                    out.append(static_cast<std::size_t>(repeatOf(child.attribute(m_spaceCount.c_str()))),
                               ' ');
                } else if (m_tab == child.name()) {
                    blanks.flush(out);
                    out += '\t';
                } else if (m_lineBreak == child.name()) {
                    blanks.flush(out);
                    out += '\n';
                } else if (m_annotation != child.name()) {
                    appendText(child, out, blanks); // spans, links, fields
                }
            }
        }
    }

    ReadOnlyWorkbook& m_book;
    Names m_names;
    const std::string m_tableTag, m_rowTag, m_cellTag, m_coveredTag, m_rowsRepeated, m_columnsRepeated,
        m_valueType, m_calcextType, m_paragraph, m_space, m_spaceCount, m_tab, m_lineBreak, m_annotation;
};

// The name of the sheet the view showed last: config:config-item "ActiveTable" of a view.
std::string activeTable(pugi::xml_node root) {
    const Names names(root);
    const auto item = names.config("config-item");
    const auto name = names.config("name");
    std::string found;
    auto search = [&](auto& self, pugi::xml_node node) -> bool {
        for (auto child : node.children()) {
            if (child.type() != pugi::node_element) continue;
            if (item == child.name() &&
                std::string_view(child.attribute(name.c_str()).value()) == "ActiveTable") {
                found = child.child_value();
                return true;
            }
            if (self(self, child)) return true;
        }
        return false;
    };
    search(search, root);
    return found;
}

} // namespace

std::unique_ptr<sheets::Workbook> readOds(const containers::ZipReader& zip) {
    const auto& place = zip.place();
    // Workbooks saved with a password list encryption data in their manifest.
    if (auto manifest = zip.read("META-INF/manifest.xml");
        manifest && manifest->find(":encryption-data") != std::string::npos)
        place.fail(sheets::kCannotOpen, "arbeidsboken er beskyttet med passord; fjern passordet i "
                                        "regnearkprogrammet og lagre den på nytt");
    auto content = zip.read("content.xml");
    if (!content) place.withPart("content.xml").fail(sheets::kCannotRead, "delen finnes ikke");
    auto book = std::make_unique<ReadOnlyWorkbook>(place.file, ".ods");
    {
        auto document = parse(place.withPart("content.xml"), *content);
        content.reset();
        auto root = document.document_element();
        ContentReader(*book, root).read(root);
    }
    if (book->sheetCount() == 0) place.fail(sheets::kCannotRead, "arbeidsboken har ingen ark");
    if (auto settings = zip.read("settings.xml")) {
        auto document = parse(place.withPart("settings.xml"), *settings);
        const auto active = activeTable(document.document_element());
        for (int index = 1; index <= book->sheetCount(); ++index)
            if (book->sheet(index).name() == active)
                book->setActiveSheet(static_cast<std::size_t>(index - 1));
    }
    return book;
}

} // namespace orders
