#include "xlsx/XlsxWorkbook.h"

#include "sheets/Error.h"
#include "xlsx/CellRef.h"
#include "xlsx/ContentTypes.h"
#include "xlsx/Package.h"
#include "xlsx/Relationships.h"
#include "xlsx/RowShift.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/Styles.h"
#include "xlsx/WorkbookPart.h"
#include "xlsx/WorksheetPart.h"

#include <algorithm>
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

std::string quoted(const std::filesystem::path& path) { return "«" + path.string() + "»"; }

bool hasExtension(const std::filesystem::path& path, std::string_view extension) {
    auto ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == extension;
}

class XlsxWorkbook;

class XlsxWorksheet final : public sheets::Worksheet {
public:
    XlsxWorksheet(XlsxWorkbook& book, int index, std::string name, SheetKind kind, std::string partName)
        : m_book(book), m_index(index), m_name(std::move(name)), m_kind(kind), m_partName(std::move(partName)) {}

    const std::string& name() const override { return m_name; }
    sheets::CellValue cell(int row, int column) const override;
    void setText(int row, int column, std::string_view text) override;
    void setNumber(int row, int column, double value) override;
    void insertRow(int row, sheets::CopyOrigin origin) override;

    SheetKind kind() const { return m_kind; }
    bool loaded() const { return m_part != nullptr; }
    // The parsed part; parsed on first use. Only for worksheets.
    WorksheetPart& part() const;
    const RowShift& shift() const { return m_shift; }

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
};

class XlsxWorkbook final : public sheets::Workbook {
public:
    XlsxWorkbook(const std::filesystem::path& path, sheets::OpenMode mode);

    const std::filesystem::path& path() const override { return m_path; }
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    sheets::Worksheet& sheet(int index) override;
    sheets::Worksheet& activeSheet() override { return *m_sheets.at(static_cast<std::size_t>(m_workbook->activeTab())); }
    void save() override;

    std::string fileName() const { return quoted(m_path); }
    void requireWritable() const;
    std::unique_ptr<WorksheetPart> loadWorksheet(const std::string& partName) const;
    void noteChange() { m_changed = true; }

private:
    std::filesystem::path m_path;
    sheets::OpenMode m_mode;
    mutable Package m_package;
    std::unique_ptr<Relationships> m_workbookRels;
    std::unique_ptr<WorkbookPart> m_workbook;
    mutable SharedStrings m_sharedStrings;
    std::string m_sharedStringsPart;
    Styles m_styles;
    std::vector<std::unique_ptr<XlsxWorksheet>> m_sheets;
    bool m_changed = false;
};

// --- XlsxWorksheet -------------------------------------------------------------------------------

void XlsxWorksheet::requireCells() const {
    if (m_kind == SheetKind::Worksheet) return;
    const char* what = m_kind == SheetKind::Chartsheet    ? "et diagramark"
                       : m_kind == SheetKind::Dialogsheet ? "et dialogark"
                       : m_kind == SheetKind::Macrosheet  ? "et makroark"
                                                          : "ikke et regneark";
    throw sheets::Error("Arket «" + m_name + "» i " + m_book.fileName() + " er " + what + " og har ingen celler");
}

void XlsxWorksheet::checkPosition(int row, int column) const {
    requireCells();
    if (row < 1 || row > static_cast<int>(kMaxRow) || column < 1 || column > static_cast<int>(kMaxColumn))
        throw sheets::Error("Ugyldig celle (rad " + std::to_string(row) + ", kolonne " + std::to_string(column) +
                            ") på arket «" + m_name + "» i " + m_book.fileName());
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
    m_book.noteChange();
}

void XlsxWorksheet::setNumber(int row, int column, double value) {
    m_book.requireWritable();
    checkPosition(row, column);
    part().setNumber(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), value);
    m_book.noteChange();
}

void XlsxWorksheet::insertRow(int row, sheets::CopyOrigin origin) {
    m_book.requireWritable();
    checkPosition(row, 1);
    part().insertRow(static_cast<std::uint32_t>(row), origin);
    m_shift.insert(static_cast<std::uint32_t>(row));
    m_book.noteChange();
}

// --- XlsxWorkbook --------------------------------------------------------------------------------

XlsxWorkbook::XlsxWorkbook(const std::filesystem::path& path, sheets::OpenMode mode)
    : m_path(path), m_mode(mode), m_package(path) {
    if (hasExtension(path, ".xlsb"))
        throw sheets::Error("Arbeidsboken " + fileName() +
                            " er lagret i binært format (.xlsb), som ikke kan leses eller skrives her; "
                            "lagre den som .xlsx i regnearkprogrammet");

    Relationships packageRels("", m_package.contains("_rels/.rels") ? m_package.read("_rels/.rels") : "",
                              "_rels/.rels");
    const Relationship* office = packageRels.byType("officeDocument");
    if (!office) throw sheets::Error(fileName() + " er en zip-fil, men inneholder ingen arbeidsbok");
    std::string workbookPart = packageRels.resolve(*office);
    if (workbookPart.ends_with(".bin"))
        throw sheets::Error("Arbeidsboken " + fileName() +
                            " er lagret i binært format (.xlsb), som ikke kan leses eller skrives her; "
                            "lagre den som .xlsx i regnearkprogrammet");
    if (!m_package.contains(workbookPart))
        throw sheets::Error(fileName() + " er skadet: arbeidsbokdelen " + workbookPart + " mangler");

    m_workbook = std::make_unique<WorkbookPart>(m_package.read(workbookPart), m_path.string(), workbookPart);
    auto relsPart = Relationships::partFor(workbookPart);
    m_workbookRels = std::make_unique<Relationships>(
        workbookPart, m_package.contains(relsPart) ? m_package.read(relsPart) : "", relsPart);

    if (const auto* rel = m_workbookRels->byType("sharedStrings")) {
        m_sharedStringsPart = m_workbookRels->resolve(*rel);
        if (m_package.contains(m_sharedStringsPart))
            m_sharedStrings = SharedStrings(m_package.read(m_sharedStringsPart), m_sharedStringsPart);
    }
    if (const auto* rel = m_workbookRels->byType("styles")) {
        auto stylesPart = m_workbookRels->resolve(*rel);
        if (m_package.contains(stylesPart)) m_styles = Styles(m_package.read(stylesPart), stylesPart);
    }

    int index = 0;
    for (const auto& entry : m_workbook->sheets()) {
        const Relationship* rel = m_workbookRels->byId(entry.relationshipId);
        if (!rel)
            throw sheets::Error(fileName() + " er skadet: arket «" + entry.name + "» peker ikke på noen del");
        auto part = m_workbookRels->resolve(*rel);
        auto kind = kindOf(rel->type);
        if (kind == SheetKind::Worksheet && !m_package.contains(part))
            throw sheets::Error(fileName() + " er skadet: delen " + part + " for arket «" + entry.name + "» mangler");
        m_sheets.push_back(std::make_unique<XlsxWorksheet>(*this, index++, entry.name, kind, part));
    }
    if (m_sheets.empty()) throw sheets::Error(fileName() + " er skadet: arbeidsboken har ingen ark");
}

sheets::Worksheet& XlsxWorkbook::sheet(int index) {
    if (index < 1 || index > sheetCount())
        throw sheets::Error("Arbeidsboken " + fileName() + " har ikke noe ark nummer " + std::to_string(index));
    return *m_sheets[static_cast<std::size_t>(index - 1)];
}

void XlsxWorkbook::requireWritable() const {
    if (m_mode != sheets::OpenMode::ReadWrite)
        throw sheets::Error("Arbeidsboken " + fileName() + " er åpnet bare for lesing og kan ikke endres");
}

std::unique_ptr<WorksheetPart> XlsxWorkbook::loadWorksheet(const std::string& partName) const {
    return std::make_unique<WorksheetPart>(m_package.read(partName), partName, m_sharedStrings, m_styles,
                                           m_workbook->date1904());
}

void XlsxWorkbook::save() {
    requireWritable();
    refuseIfLocked(m_path);
    if (m_changed) {
        // Until formula dependencies are traced, a changed workbook drops every cached formula result,
        // so that every application computes them anew on load.
        SaveHooks hooks;
        hooks.dropCachedResult = [](std::uint32_t, std::uint32_t) { return true; };
        for (auto& sheet : m_sheets) {
            if (sheet->kind() != SheetKind::Worksheet) continue;
            auto& part = sheet->part();
            bool hasFormula = false;
            part.forEachFormula([&](std::uint32_t, std::uint32_t, std::string_view) { hasFormula = true; });
            if (part.dirty() || hasFormula) m_package.write(part.partName(), part.serialize(hooks));
        }
        if (m_sharedStrings.dirty()) {
            if (m_sharedStringsPart.empty())
                throw sheets::Error("Arbeidsboken " + fileName() + " mangler delte tekster");
            m_package.write(m_sharedStringsPart, m_sharedStrings.serialize());
        }
        if (const auto* rel = m_workbookRels->byType("calcChain")) {
            auto calcChain = m_workbookRels->resolve(*rel);
            m_workbookRels->removeTarget(calcChain);
            m_package.remove(calcChain);
            m_package.write(Relationships::partFor(m_workbook->partName()), m_workbookRels->serialize());
            ContentTypes types(m_package.read("[Content_Types].xml"));
            if (types.removeOverride(calcChain)) m_package.write("[Content_Types].xml", types.serialize());
        }
        m_workbook->requestFullCalculationOnLoad();
        if (m_workbook->dirty()) m_package.write(m_workbook->partName(), m_workbook->serialize());
    }
    m_package.save();
    m_changed = false;
}

} // namespace

std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode) {
    return std::make_unique<XlsxWorkbook>(path, mode);
}

} // namespace xlsx
