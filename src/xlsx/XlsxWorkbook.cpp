#include "xlsx/XlsxWorkbook.h"

#include "formula/CellRef.h"
#include "formula/RecalcPlanner.h"
#include "formula/ReferenceShifter.h"
#include "formula/ReferenceSyntax.h"
#include "formula/RowShift.h"
#include "package/ContentTypes.h"
#include "package/Package.h"
#include "package/Relationships.h"
#include "parts/SharedStrings.h"
#include "parts/Styles.h"
#include "parts/WorkbookPart.h"
#include "parts/WorksheetPart.h"
#include "sheets/Error.h"
#include "shift/FrameShifter.h"
#include "shift/PartShifter.h"
#include "shift/RowInsertion.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

namespace xlsx {

namespace {

enum class SheetKind { Worksheet, Chartsheet, Dialogsheet, Macrosheet, Other };

SheetKind kindOf(std::string_view relationshipType) {
    auto last = relationshipType.substr(relationshipType.rfind('/') + 1);
    if (last == "worksheet") return SheetKind::Worksheet;
    if (last == "chartsheet") return SheetKind::Chartsheet;
    if (last == "dialogsheet") return SheetKind::Dialogsheet;
    if (last == "xlMacrosheet" || last == "xlIntlMacrosheet") return SheetKind::Macrosheet;
    return SheetKind::Other;
}

std::string quoted(const std::filesystem::path& path) {
    return "«" + path.string() + "»";
}

bool hasExtension(const std::filesystem::path& path, std::string_view extension) {
    auto ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == extension;
}

class XlsxWorkbook;

class XlsxWorksheet final : public sheets::Worksheet {
public:
    XlsxWorksheet(XlsxWorkbook& book, int index, std::string name, SheetKind kind, std::string partName)
        : m_book(book), m_index(index), m_name(std::move(name)), m_kind(kind),
          m_partName(std::move(partName)) {}

    const std::string& name() const override { return m_name; }
    sheets::CellValue cell(int row, int column) const override;
    void setText(int row, int column, std::string_view text) override;
    void setNumber(int row, int column, double value) override;
    void insertRow(int row, sheets::CopyOrigin origin) override;

    SheetKind kind() const { return m_kind; }
    bool loaded() const { return m_part != nullptr; }
    // The parsed part; parsed on first use. Only for worksheets.
    WorksheetPart& part() const;
    int index() const { return m_index; }
    const std::string& partName() const { return m_partName; }
    const RowShift& shift() const { return m_shift; }
    void reset() {
        m_part.reset();
        m_shift = {};
        m_insertions.clear();
        m_written.clear();
    }
    const std::vector<RowInsertion>& insertions() const { return m_insertions; }
    // Cells written since opening, in the current numbering.
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& written() const { return m_written; }

private:
    void checkPosition(int row, int column) const;
    void requireCells() const;

    XlsxWorkbook& m_book;
    int m_index;
    std::string m_name;
    SheetKind m_kind;
    std::string m_partName;
    mutable std::unique_ptr<WorksheetPart> m_part;
    RowShift m_shift;
    std::vector<RowInsertion> m_insertions;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_written;
};

class XlsxWorkbook final : public sheets::Workbook {
public:
    XlsxWorkbook(const std::filesystem::path& path, sheets::OpenMode mode);

    const std::filesystem::path& path() const override { return m_path; }
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    sheets::Worksheet& sheet(int index) override;
    sheets::Worksheet& activeSheet() override {
        return *m_sheets.at(static_cast<std::size_t>(m_workbook->activeTab()));
    }
    void save() override;

    std::string fileName() const { return quoted(m_path); }
    void requireWritable() const;
    [[noreturn]] void refuseBinary() const {
        throw sheets::Error("Arbeidsboken " + fileName() +
                            " er lagret i binært format (.xlsb), som ikke kan leses eller skrives her; "
                            "lagre den som .xlsx i regnearkprogrammet");
    }
    std::unique_ptr<WorksheetPart> loadWorksheet(const std::string& partName) const;
    void noteChange() { m_changed = true; }

private:
    const RowShift* shiftOf(std::string_view sheetName) const;
    ShiftContext shiftContext(std::string_view formulaSheet) const;
    void writeChangedSheets(bool rowsInserted);
    void shiftPartsOf(const XlsxWorksheet& sheet);
    void shiftWorkbookParts();
    void rewritePart(const std::string& name,
                     const std::function<std::optional<std::string>(std::string_view)>& edit);
    void dropCalcChain();
    void addSharedStringsPart();

    std::filesystem::path m_path;
    sheets::OpenMode m_mode;
    mutable std::unique_ptr<Package> m_packagePtr;
    Package& package() const { return *m_packagePtr; }
    // Reads the package's workbook-level parts; the sheets are parsed on first use.
    void load();
    std::unique_ptr<Relationships> m_workbookRels;
    std::unique_ptr<WorkbookPart> m_workbook;
    mutable SharedStrings m_sharedStrings;
    std::string m_sharedStringsPart;
    Styles m_styles;
    std::vector<std::unique_ptr<XlsxWorksheet>> m_sheets;
    std::vector<std::string> m_sheetOrder;
    bool m_changed = false;
};

// --- XlsxWorksheet -------------------------------------------------------------------------------

void XlsxWorksheet::requireCells() const {
    if (m_kind == SheetKind::Worksheet) return;
    const char* what = m_kind == SheetKind::Chartsheet    ? "et diagramark"
                       : m_kind == SheetKind::Dialogsheet ? "et dialogark"
                       : m_kind == SheetKind::Macrosheet  ? "et makroark"
                                                          : "ikke et regneark";
    throw sheets::Error("Arket «" + m_name + "» i " + m_book.fileName() + " er " + what +
                        " og har ingen celler");
}

void XlsxWorksheet::checkPosition(int row, int column) const {
    requireCells();
    if (row < 1 || row > static_cast<int>(kMaxRow) || column < 1 || column > static_cast<int>(kMaxColumn))
        throw sheets::Error("Ugyldig celle (rad " + std::to_string(row) + ", kolonne " +
                            std::to_string(column) + ") på arket «" + m_name + "» i " + m_book.fileName());
}

WorksheetPart& XlsxWorksheet::part() const {
    if (!m_part) m_part = m_book.loadWorksheet(m_partName);
    return *m_part;
}

sheets::CellValue XlsxWorksheet::cell(int row, int column) const {
    checkPosition(row, column);
    return part().cell(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column));
}

void XlsxWorksheet::setText(int row, int column, std::string_view text) {
    m_book.requireWritable();
    checkPosition(row, column);
    part().setText(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), text);
    m_written.emplace_back(row, column);
    m_book.noteChange();
}

void XlsxWorksheet::setNumber(int row, int column, double value) {
    m_book.requireWritable();
    checkPosition(row, column);
    part().setNumber(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), value);
    m_written.emplace_back(row, column);
    m_book.noteChange();
}

void XlsxWorksheet::insertRow(int row, sheets::CopyOrigin origin) {
    m_book.requireWritable();
    checkPosition(row, 1);
    auto at = static_cast<std::uint32_t>(row);
    part().insertRow(at, origin);
    m_shift.insert(at);
    m_insertions.push_back({at, origin});
    for (auto& cell : m_written)
        if (cell.first >= at) ++cell.first;
    m_book.noteChange();
}

// --- XlsxWorkbook --------------------------------------------------------------------------------

XlsxWorkbook::XlsxWorkbook(const std::filesystem::path& path, sheets::OpenMode mode)
    : m_path(path), m_mode(mode) {
    load();
}

void XlsxWorkbook::load() {
    m_packagePtr = std::make_unique<Package>(m_path);
    m_sharedStrings = SharedStrings();
    m_sharedStringsPart.clear();
    m_styles = Styles();
    if (hasExtension(m_path, ".xlsb")) refuseBinary();

    Relationships packageRels("", package().contains("_rels/.rels") ? package().read("_rels/.rels") : "",
                              "_rels/.rels");
    const Relationship* office = packageRels.byType("officeDocument");
    if (!office) throw sheets::Error(fileName() + " er en zip-fil, men inneholder ingen arbeidsbok");
    std::string workbookPart = packageRels.resolve(*office);
    if (workbookPart.ends_with(".bin")) refuseBinary();
    if (!package().contains(workbookPart))
        throw sheets::Error(fileName() + " er skadet: arbeidsbokdelen " + workbookPart + " mangler");

    m_workbook = std::make_unique<WorkbookPart>(package().read(workbookPart), m_path.string(), workbookPart);
    auto relsPart = Relationships::partFor(workbookPart);
    m_workbookRels = std::make_unique<Relationships>(
        workbookPart, package().contains(relsPart) ? package().read(relsPart) : "", relsPart);

    if (const auto* rel = m_workbookRels->byType("sharedStrings")) {
        m_sharedStringsPart = m_workbookRels->resolve(*rel);
        if (package().contains(m_sharedStringsPart))
            m_sharedStrings = SharedStrings(package().read(m_sharedStringsPart), m_sharedStringsPart);
    }
    if (const auto* rel = m_workbookRels->byType("styles")) {
        auto stylesPart = m_workbookRels->resolve(*rel);
        if (package().contains(stylesPart)) m_styles = Styles(package().read(stylesPart), stylesPart);
    }

    if (!m_sheets.empty()) return; // reloaded after a save: the sheet objects stay, the caller holds them
    int index = 0;
    for (const auto& entry : m_workbook->sheets()) {
        const Relationship* rel = m_workbookRels->byId(entry.relationshipId);
        if (!rel)
            throw sheets::Error(fileName() + " er skadet: arket «" + entry.name + "» peker ikke på noen del");
        auto part = m_workbookRels->resolve(*rel);
        auto kind = kindOf(rel->type);
        if (kind == SheetKind::Worksheet && !package().contains(part))
            throw sheets::Error(fileName() + " er skadet: delen " + part + " for arket «" + entry.name +
                                "» mangler");
        m_sheets.push_back(std::make_unique<XlsxWorksheet>(*this, index++, entry.name, kind, part));
        m_sheetOrder.push_back(entry.name);
    }
    if (m_sheets.empty()) throw sheets::Error(fileName() + " er skadet: arbeidsboken har ingen ark");
}

sheets::Worksheet& XlsxWorkbook::sheet(int index) {
    if (index < 1 || index > sheetCount())
        throw sheets::Error("Arbeidsboken " + fileName() + " har ikke noe ark nummer " +
                            std::to_string(index));
    return *m_sheets[static_cast<std::size_t>(index - 1)];
}

void XlsxWorkbook::requireWritable() const {
    if (m_mode != sheets::OpenMode::ReadWrite)
        throw sheets::Error("Arbeidsboken " + fileName() + " er åpnet bare for lesing og kan ikke endres");
}

std::unique_ptr<WorksheetPart> XlsxWorkbook::loadWorksheet(const std::string& partName) const {
    return std::make_unique<WorksheetPart>(package().read(partName), partName, m_sharedStrings, m_styles,
                                           m_workbook->date1904());
}

const RowShift* XlsxWorkbook::shiftOf(std::string_view sheetName) const {
    for (const auto& sheet : m_sheets)
        if (!sheet->shift().empty() && sameSheetName(sheet->name(), sheetName)) return &sheet->shift();
    return nullptr;
}

ShiftContext XlsxWorkbook::shiftContext(std::string_view formulaSheet) const {
    return {formulaSheet, &m_sheetOrder, [this](std::string_view name) { return shiftOf(name); }};
}

void XlsxWorkbook::rewritePart(const std::string& name,
                               const std::function<std::optional<std::string>(std::string_view)>& edit) {
    if (!package().contains(name)) return;
    if (auto edited = edit(package().read(name))) package().write(name, std::move(*edited));
}

void XlsxWorkbook::writeChangedSheets(bool rowsInserted) {
    RecalcPlanner planner(m_sheetOrder);
    std::vector<const RowShift*> shifts;
    for (const auto& sheet : m_sheets)
        shifts.push_back(&sheet->shift());
    planner.setShifts(std::move(shifts));
    for (const auto& name : m_workbook->definedNames())
        planner.addDefinedName(name.name, name.localSheet, name.formula);
    for (const auto& sheet : m_sheets) {
        if (sheet->kind() != SheetKind::Worksheet) continue;
        if (rowsInserted && sheet->part().mayReferToOtherSheets())
            sheet->part().expandSharedFormulasNamingOtherSheets();
        sheet->part().forEachFormula([&](std::uint32_t row, std::uint32_t column, std::string_view formula) {
            planner.addFormula(sheet->index(), row, column, formula);
        });
        for (auto [row, column] : sheet->written())
            planner.markWritten(sheet->index(), row, column);
        // Inserted rows in the final numbering: each later insertion at or above one moves it down.
        const auto& insertions = sheet->insertions();
        for (std::size_t i = 0; i < insertions.size(); ++i) {
            auto row = insertions[i].row;
            for (std::size_t later = i + 1; later < insertions.size(); ++later)
                if (insertions[later].row <= row) ++row;
            planner.markInsertedRow(sheet->index(), row);
        }
    }
    planner.plan();

    for (const auto& sheet : m_sheets) {
        if (sheet->kind() != SheetKind::Worksheet) continue;
        auto& part = sheet->part();
        bool touched = part.dirty();
        // A sheet nothing can have changed is left as it is, without writing it out to compare.
        if (!touched && !planner.dropsOn(sheet->index()) && sheet->shift().empty() &&
            (!rowsInserted || !part.mayReferToOtherSheets()))
            continue;
        auto context = shiftContext(sheet->name());
        SaveHooks hooks;
        hooks.dropCachedResult = [&](std::uint32_t row, std::uint32_t column) {
            bool drop = planner.mustDrop(sheet->index(), row, column);
            touched = touched || drop;
            return drop;
        };
        if (rowsInserted) {
            hooks.rewriteFormula = [&](std::string_view formula) {
                auto shifted = shiftFormula(formula, context);
                touched = touched || shifted.has_value();
                return shifted;
            };
            hooks.rewriteFrame = [&](std::string_view frame) {
                auto shifted = shiftWorksheetFrame(frame, {sheet->insertions(), sheet->shift(), context});
                touched = touched || shifted.has_value();
                return shifted;
            };
        }
        auto xml = part.serialize(hooks);
        if (touched) package().write(part.partName(), std::move(xml));
        if (!sheet->shift().empty()) shiftPartsOf(*sheet);
    }
}

void XlsxWorkbook::shiftPartsOf(const XlsxWorksheet& sheet) {
    auto relsPart = Relationships::partFor(sheet.partName());
    if (!package().contains(relsPart)) return;
    Relationships rels(sheet.partName(), package().read(relsPart), relsPart);
    const auto& shift = sheet.shift();
    for (const auto& rel : rels.all()) {
        if (rel.external) continue;
        auto type = std::string_view(rel.type).substr(rel.type.rfind('/') + 1);
        auto part = rels.resolve(rel);
        if (type == "table")
            rewritePart(part, [&](std::string_view xml) { return shiftTablePart(xml, shift); });
        else if (type == "pivotTable")
            rewritePart(part, [&](std::string_view xml) { return shiftPivotTablePart(xml, shift); });
        else if (type == "comments" || type == "threadedComment")
            rewritePart(part, [&](std::string_view xml) { return shiftCommentsPart(xml, shift); });
        else if (type == "vmlDrawing")
            rewritePart(part, [&](std::string_view xml) { return shiftVmlDrawing(xml, shift); });
        else if (type == "drawing")
            rewritePart(part, [&](std::string_view xml) { return shiftDrawingPart(xml, shift); });
    }
}

// Charts anywhere and pivot caches may refer to any sheet that got rows.
void XlsxWorkbook::shiftWorkbookParts() {
    auto context = shiftContext("");
    for (const auto& name : package().partNames()) {
        if (name.starts_with("xl/charts/chart") && name.ends_with(".xml"))
            rewritePart(name, [&](std::string_view xml) { return shiftChartPart(xml, context); });
        else if (name.starts_with("xl/pivotCache/pivotCacheDefinition") && name.ends_with(".xml"))
            rewritePart(name, [&](std::string_view xml) { return shiftPivotCacheDefinition(xml, context); });
    }
    const auto& names = m_workbook->definedNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view scope;
        if (names[i].localSheet >= 0 && names[i].localSheet < sheetCount())
            scope = m_sheetOrder[static_cast<std::size_t>(names[i].localSheet)];
        if (auto shifted = shiftFormula(names[i].formula, shiftContext(scope)))
            m_workbook->setDefinedNameFormula(i, std::move(*shifted));
    }
}

void XlsxWorkbook::dropCalcChain() {
    const auto* rel = m_workbookRels->byType("calcChain");
    if (!rel) return;
    auto calcChain = m_workbookRels->resolve(*rel);
    m_workbookRels->removeTarget(calcChain);
    package().remove(calcChain);
    package().write(Relationships::partFor(m_workbook->partName()), m_workbookRels->serialize());
    ContentTypes types(package().read("[Content_Types].xml"));
    if (types.removeOverride(calcChain)) package().write("[Content_Types].xml", types.serialize());
}

// Writers that use inline strings only (openpyxl, streaming writers) leave the part out; the texts
// we write go where the application keeps them.
void XlsxWorkbook::addSharedStringsPart() {
    const auto& workbookPart = m_workbook->partName();
    auto folder = workbookPart.substr(0, workbookPart.rfind('/') + 1);
    std::string name = "sharedStrings.xml";
    for (int n = 2; package().contains(folder + name); ++n)
        name = "sharedStrings" + std::to_string(n) + ".xml";
    m_sharedStringsPart = folder + name;
    // Keep the package's flavour: a strict workbook gets the strict relationship type.
    std::string typeBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    if (!m_workbookRels->all().empty()) {
        const auto& any = m_workbookRels->all().front().type;
        typeBase = any.substr(0, any.rfind('/') + 1);
    }
    m_workbookRels->add(typeBase + "sharedStrings", name);
    package().write(Relationships::partFor(workbookPart), m_workbookRels->serialize());
    ContentTypes types(package().read("[Content_Types].xml"));
    types.setOverride("/" + m_sharedStringsPart,
                      "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
    package().write("[Content_Types].xml", types.serialize());
}

void XlsxWorkbook::save() {
    requireWritable();
    refuseIfLocked(m_path);
    if (m_changed) {
        bool rowsInserted = std::any_of(m_sheets.begin(), m_sheets.end(),
                                        [](const auto& sheet) { return !sheet->shift().empty(); });
        writeChangedSheets(rowsInserted);
        if (rowsInserted) shiftWorkbookParts();
        if (m_sharedStrings.dirty()) {
            if (m_sharedStringsPart.empty()) addSharedStringsPart();
            package().write(m_sharedStringsPart, m_sharedStrings.serialize());
        }
        // The calculation chain lists formula cells by position; the application rebuilds it.
        dropCalcChain();
        m_workbook->requestFullCalculationOnLoad();
        if (m_workbook->dirty()) package().write(m_workbook->partName(), m_workbook->serialize());
    }
    package().save();
    // Everything recorded so far is in the file now: start again from it, so that a further change and
    // save never applies the same insertions twice.
    m_changed = false;
    load();
    for (auto& sheet : m_sheets)
        sheet->reset();
}

} // namespace

std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode) {
    return std::make_unique<XlsxWorkbook>(path, mode);
}

} // namespace xlsx
