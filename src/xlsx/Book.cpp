#include "Book.h"

#include "sheets/AsciiCase.h"
#include "shift/PartShifter.h"

#include <system_error>
#include <utility>

namespace xlsx {

namespace {

const char* const kBinary =
    "arbeidsboken er lagret i binært format (.xlsb), som ikke kan leses eller skrives her; "
    "lagre den som .xlsx i regnearkprogrammet";

[[noreturn]] void failCorrupt(const Place& place, const std::string& cause) {
    place.fail(kCannotOpen, "arbeidsboken er skadet: " + cause);
}

} // namespace

Book::Book(const std::filesystem::path& path, sheets::OpenMode mode) : m_place{path}, m_mode(mode) {
    // What is no file gets the package's own words for it, and no lock file beside it.
    std::error_code error;
    if (mode == sheets::OpenMode::ReadWrite && std::filesystem::is_regular_file(path, error))
        m_hold = std::make_unique<InventoryHold>(path);
    load();
    // A save computes every formula of a workbook asking for a full calculation, so it reads every
    // sheet with formulas: parsing them ahead costs the main thread nothing.
    if (mode == sheets::OpenMode::ReadWrite && m_calculation->fullCalculation()) preloadSheets();
}

void Book::preloadSheets() {
    std::vector<std::size_t> worksheets;
    // Copied here: the worker must not read what the main thread may change.
    std::vector<std::pair<std::string, Place>> parts;
    for (const auto& sheet : m_sheets) {
        parts.emplace_back(sheet->partName(), sheet->place());
        if (sheet->kind() == SheetKind::Worksheet)
            worksheets.push_back(static_cast<std::size_t>(sheet->index()));
    }
    // The shared strings and styles are only pointed to while parsing, and the package's reads of the
    // file as opened are safe beside the main thread's calls.
    auto parse = [this, parts = std::move(parts), date1904 = m_workbook->date1904()](std::size_t sheet) {
        const auto& [name, place] = parts[sheet];
        return std::make_unique<WorksheetPart>(package().readAsOpened(name), place, m_sharedStrings, m_styles,
                                               date1904);
    };
    try {
        m_preloader = std::make_unique<SheetPreloader>(worksheets, std::move(parse));
    } catch (const std::system_error&) {
        // No thread to be had: every sheet is parsed when first used, as without a full calculation.
    }
}

void Book::load() {
    m_package = std::make_unique<Package>(m_place.file);
    m_sharedStrings = SharedStrings();
    m_sharedStringsPart.clear();
    m_styles = Styles();
    m_pivotAreas.clear();
    m_sheetBytes.clear();
    if (sheets::toLowerAscii(m_place.file.extension().string()) == ".xlsb")
        m_place.fail(kCannotOpen, kBinary);

    const std::string packageRelsPart = "_rels/.rels";
    Relationships packageRels("", package().contains(packageRelsPart) ? package().read(packageRelsPart) : "",
                              m_place.withPart(packageRelsPart));
    const Relationship* office = packageRels.byType("officeDocument");
    if (!office) m_place.fail(kCannotOpen, "filen er en zip-fil, men inneholder ingen arbeidsbok");
    std::string workbookPart = packageRels.resolve(*office);
    if (workbookPart.ends_with(".bin")) m_place.fail(kCannotOpen, kBinary);
    if (!package().contains(workbookPart))
        failCorrupt(m_place, "arbeidsbokdelen " + inQuotes(workbookPart) + " mangler");

    readWorkbookParts(workbookPart);
    m_calculation = std::make_unique<Calculation>(m_workbook->fullCalculationOnLoad());

    if (const auto* rel = m_workbookRels->byType("sharedStrings")) {
        m_sharedStringsPart = m_workbookRels->resolve(*rel);
        if (package().contains(m_sharedStringsPart))
            m_sharedStrings =
                SharedStrings(package().read(m_sharedStringsPart), m_place.withPart(m_sharedStringsPart));
    }
    if (const auto* rel = m_workbookRels->byType("styles")) {
        auto stylesPart = m_workbookRels->resolve(*rel);
        if (package().contains(stylesPart))
            m_styles = Styles(package().read(stylesPart), m_place.withPart(stylesPart));
    }

    if (!m_sheets.empty()) return; // reloaded after a save: the sheet objects stay, the caller holds them
    int index = 0;
    for (const auto& entry : m_workbook->sheets()) {
        const Relationship* rel = m_workbookRels->byId(entry.relationshipId);
        if (!rel) failCorrupt(m_place, "arket " + inQuotes(entry.name) + " peker ikke på noen del");
        // The application tells sheets apart by name, ignoring case; formulas could not say which is meant.
        for (const auto& name : m_sheetOrder)
            if (sheets::equalIgnoringAsciiCase(name, entry.name))
                failCorrupt(m_place,
                            "to ark har samme navn, " + inQuotes(name) + " og " + inQuotes(entry.name));
        auto part = m_workbookRels->resolve(*rel);
        auto kind = sheetKindOf(rel->type);
        if (kind == SheetKind::Worksheet && !package().contains(part))
            failCorrupt(m_place,
                        "delen " + inQuotes(part) + " for arket " + inQuotes(entry.name) + " mangler");
        SheetHost& host = *this;
        m_sheets.push_back(std::make_unique<Sheet>(host, index++, entry.name, kind, part));
        m_sheetOrder.push_back(entry.name);
    }
    if (m_sheets.empty()) failCorrupt(m_place, "den har ingen ark");
}

void Book::readWorkbookParts(const std::string& workbookPart) {
    m_workbook = std::make_unique<WorkbookPart>(package().read(workbookPart), m_place.withPart(workbookPart));
    auto relsPart = Relationships::partFor(workbookPart);
    m_workbookRels = std::make_unique<Relationships>(
        workbookPart, package().contains(relsPart) ? package().read(relsPart) : "",
        m_place.withPart(relsPart));
}

sheets::Worksheet& Book::sheet(int index) {
    if (index < 1 || index > sheetCount())
        m_place.fail(kCannotRead, "arbeidsboken har ikke noe ark nummer " + std::to_string(index));
    return *m_sheets[static_cast<std::size_t>(index - 1)];
}

sheets::Worksheet& Book::activeSheet() {
    return *m_sheets.at(static_cast<std::size_t>(m_workbook->activeTab()));
}

void Book::requireWritable(std::string_view action, const Place& where) const {
    if (m_mode != sheets::OpenMode::ReadWrite) where.fail(action, "arbeidsboken er åpnet bare for lesing");
}

void Book::refuseSplittingPivotTables(const Sheet& sheet, const RowShift& shift,
                                      std::string_view action) const {
    auto [found, added] = m_pivotAreas.try_emplace(sheet.index());
    auto& areas = found->second;
    if (added)
        for (const auto& part : sheetParts(sheet, "pivotTable"))
            areas.push_back(pivotTableLocation(package().read(part), sheet.place().withPart(part)));
    for (const auto& area : areas)
        if (insertsInside(shift, area)) sheet.place().fail(action, pivotTableSplit(area));
}

std::vector<std::string> Book::sheetParts(const Sheet& sheet, std::string_view type) const {
    std::vector<std::string> parts;
    auto relsPart = Relationships::partFor(sheet.partName());
    if (!package().contains(relsPart)) return parts;
    Relationships rels(sheet.partName(), package().read(relsPart), sheet.place().withPart(relsPart));
    for (const auto& rel : rels.all()) {
        std::string_view relType = rel.type;
        if (rel.external || relType.substr(relType.rfind('/') + 1) != type) continue;
        auto part = rels.resolve(rel);
        if (package().contains(part)) parts.push_back(std::move(part));
    }
    return parts;
}

std::unique_ptr<WorksheetPart> Book::loadWorksheet(const Sheet& sheet) {
    std::unique_ptr<WorksheetPart> part;
    if (m_preloader) part = m_preloader->take(static_cast<std::size_t>(sheet.index()));
    if (!part)
        part = std::make_unique<WorksheetPart>(package().read(sheet.partName()), sheet.place(),
                                               m_sharedStrings, m_styles, m_workbook->date1904());
    // A sheet parsed after the planner was made (it could not read what had changed) joins it now.
    if (m_planner && !m_inPlanner[static_cast<std::size_t>(sheet.index())]) {
        addToPlanner(sheet, *part);
        m_planner->index();
    }
    return part;
}

} // namespace xlsx
