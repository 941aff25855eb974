#include "Book.h"

#include "package/ContentTypes.h"
#include "package/LockFiles.h"
#include "package/ParallelDeflate.h"
#include "sheets/AsciiCase.h"
#include "shift/FrameShifter.h"
#include "shift/PartShifter.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

namespace xlsx {

namespace {

const std::string kContentTypes = "[Content_Types].xml";

} // namespace

const RowShift* Book::shiftOf(std::string_view sheetName) const {
    for (const auto& sheet : m_sheets)
        if (!sheet->shift().empty() && sheets::equalIgnoringAsciiCase(sheet->name(), sheetName))
            return &sheet->shift();
    return nullptr;
}

ShiftContext Book::shiftContext(std::string_view formulaSheet) const {
    return {formulaSheet, &m_sheetOrder, [this](std::string_view name) { return shiftOf(name); }};
}

void Book::rewritePart(const std::string& name,
                       const std::function<std::optional<std::string>(std::string_view)>& edit) {
    if (!package().contains(name)) return;
    if (auto edited = edit(package().read(name))) package().write(name, std::move(*edited));
}

void Book::writeChangedSheets(bool rowsInserted) {
    // Rows inserted on a sheet move references to it from every other sheet; a sheet whose bytes name
    // no other sheet has none, and an unparsed one without them stays unparsed.
    auto mayNameOtherSheets = [&](const Sheet& sheet) {
        return rowsInserted &&
               (sheet.parsed() ? sheet.part().mayReferToOtherSheets() : sheetBytes(sheet).namesOtherSheets);
    };
    for (const auto& sheet : m_sheets)
        if (sheet->kind() == SheetKind::Worksheet && mayNameOtherSheets(*sheet))
            sheet->part().expandSharedFormulasNamingOtherSheets();

    // Decided and prepared here, on this thread (taking a part may parse it); the serialising, which
    // reads only the part, the calculation state and this sheet's kept formulas, runs on every core.
    struct Job {
        Sheet* sheet;
        WorksheetPart* part;
        bool touched;
        ShiftContext context;
        SaveHooks hooks;
        std::string xml;
        std::optional<DeflatedPart> deflated;
        std::exception_ptr failure;
    };
    std::deque<Job> jobs; // the hooks point into their job: never moved
    for (const auto& sheet : m_sheets) {
        if (sheet->kind() != SheetKind::Worksheet) continue;
        const bool results = m_calculation->hasResultsOn(sheet->index());
        // A sheet nothing can have changed is left as it is, without writing it out to compare.
        if (!sheet->parsed() && !results && !mayNameOtherSheets(*sheet)) continue;
        auto& part = sheet->part();
        bool touched = part.dirty() || results;
        if (!touched && sheet->shift().empty() && !mayNameOtherSheets(*sheet)) continue;
        auto& job =
            jobs.emplace_back(Job{sheet.get(), &part, touched, shiftContext(sheet->name()), {}, {}, {}, {}});
        auto& hooks = job.hooks;
        const int index = sheet->index();
        if (results) {
            hooks.computedResult = [this, index](std::uint32_t originalRow, std::uint32_t column) {
                return m_calculation->result({index, originalRow, column});
            };
            hooks.dropCachedResult = [this, index, &sheet = *sheet](std::uint32_t row, std::uint32_t column) {
                return m_calculation->dropped({index, sheet.shift().original(row).first, column});
            };
        }
        if (rowsInserted) {
            hooks.rewriteFormula = [this, index, &job](std::uint32_t originalRow, std::uint32_t column,
                                                       std::string_view formula) {
                auto shifted = m_shiftedFormulas.take(index, originalRow, column, formula, job.context);
                job.touched = job.touched || shifted.has_value();
                return shifted;
            };
            hooks.rewriteFrame = [&job](std::string_view frame) {
                const Sheet& on = *job.sheet;
                auto shifted =
                    shiftWorksheetFrame(frame, {on.insertions(), on.shift(), job.context}, on.place());
                job.touched = job.touched || shifted.has_value();
                return shifted;
            };
        }
    }

    std::atomic<std::size_t> next{0};
    auto serialize = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            try {
                auto& job = jobs[i];
                job.xml = job.part->serialize(job.hooks);
                // Deflated here, where it was made, and its text dropped: the save then never holds
                // every sheet's text at once, and the next sheet's text takes the memory this one had.
                if (job.touched && job.xml.size() >= kParallelDeflateFrom) {
                    job.deflated = deflateParallel(job.xml, kPartDeflateLevel);
                    if (job.deflated) std::string().swap(job.xml);
                }
            } catch (...) {
                jobs[i].failure = std::current_exception();
            }
        }
    };
    {
        std::jthread helper;
        if (jobs.size() > 1) {
            try {
                helper = std::jthread(serialize);
            } catch (const std::system_error&) {
                // No second thread: this one serialises them all.
            }
        }
        serialize();
    }

    // In sheet order, as one after the other would: the first failure is the one a sheet-by-sheet save
    // meets first.
    for (auto& job : jobs) {
        if (job.failure) std::rethrow_exception(job.failure);
        m_shiftedFormulas.release(job.sheet->index());
        if (job.deflated)
            package().writeDeflated(job.sheet->partName(), std::move(*job.deflated));
        else if (job.touched)
            package().write(job.sheet->partName(), std::move(job.xml));
        if (!job.sheet->shift().empty()) shiftPartsOf(*job.sheet);
    }
}

void Book::shiftPartsOf(const Sheet& sheet) {
    auto relsPart = Relationships::partFor(sheet.partName());
    if (!package().contains(relsPart)) return;
    const Place place = sheet.place();
    Relationships rels(sheet.partName(), package().read(relsPart), place.withPart(relsPart));
    const auto& shift = sheet.shift();
    for (const auto& rel : rels.all()) {
        if (rel.external) continue;
        auto type = std::string_view(rel.type).substr(rel.type.rfind('/') + 1);
        auto part = rels.resolve(rel);
        if (type == "table")
            rewritePart(
                part, [&](std::string_view xml) { return shiftTablePart(xml, shift, place.withPart(part)); });
        else if (type == "pivotTable")
            rewritePart(part, [&](std::string_view xml) {
                return shiftPivotTablePart(xml, shift, place.withPart(part));
            });
        else if (type == "comments" || type == "threadedComment")
            rewritePart(part, [&](std::string_view xml) {
                return shiftCommentsPart(xml, shift, place.withPart(part));
            });
        else if (type == "vmlDrawing")
            rewritePart(part, [&](std::string_view xml) { return shiftVmlDrawing(xml, shift); });
        else if (type == "drawing")
            rewritePart(part, [&](std::string_view xml) {
                return shiftDrawingPart(xml, shift, place.withPart(part));
            });
    }
}

// Charts anywhere and pivot caches may refer to any sheet that got rows.
void Book::shiftWorkbookParts() {
    auto context = shiftContext("");
    for (const auto& name : package().partNames()) {
        if (name.starts_with("xl/charts/chart") && name.ends_with(".xml"))
            rewritePart(name, [&](std::string_view xml) {
                return shiftChartPart(xml, context, m_place.withPart(name));
            });
        else if (name.starts_with("xl/pivotCache/pivotCacheDefinition") && name.ends_with(".xml"))
            rewritePart(name, [&](std::string_view xml) {
                return shiftPivotCacheDefinition(xml, context, m_place.withPart(name));
            });
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

void Book::dropCalcChain() {
    const auto* rel = m_workbookRels->byType("calcChain");
    if (!rel) return;
    auto calcChain = m_workbookRels->resolve(*rel);
    m_workbookRels->removeTarget(calcChain);
    package().remove(calcChain);
    package().write(Relationships::partFor(m_workbook->partName()), m_workbookRels->serialize());
    ContentTypes types(package().read(kContentTypes), m_place.withPart(kContentTypes));
    if (types.removeOverride(calcChain)) package().write(kContentTypes, types.serialize());
}

// Writers that use inline strings only (openpyxl, streaming writers) leave the part out; the texts
// we write go where the application keeps them.
void Book::addSharedStringsPart() {
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
    ContentTypes types(package().read(kContentTypes), m_place.withPart(kContentTypes));
    types.setOverride("/" + m_sharedStringsPart,
                      "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
    package().write(kContentTypes, types.serialize());
}

void Book::stageChanges(bool allComputed) {
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
    // With every result computed the workbook is as the application leaves one it has just
    // calculated; otherwise the application is asked to compute what was left out.
    if (allComputed)
        m_workbook->clearFullCalculationOnLoad();
    else
        m_workbook->requestFullCalculationOnLoad();
    if (m_workbook->dirty()) package().write(m_workbook->partName(), m_workbook->serialize());
}

void Book::save() {
    requireWritable(kCannotSave, m_place);
    refuseIfLocked(m_place.file);
    if (m_changed) {
        // Refused before the work of the save when the file has changed already.
        if (m_hold) m_hold->requireUnchanged();
        // Computed before the workbook-level parts are read afresh below: the evaluator reads the
        // names as this run has them. A save tried again computes the same results again.
        const bool allComputed = computeResults();
        // The workbook-level parts are edited as fresh copies read from the file's bytes, and the
        // package keeps the parts written beside its own entries until the file is replaced. A save
        // that fails drops both, so that trying again starts where this attempt started: shifting a
        // defined name twice, or finding its own calculation chain gone, would corrupt the next save.
        auto workbook = std::move(m_workbook);
        auto workbookRels = std::move(m_workbookRels);
        const auto sharedStringsPart = m_sharedStringsPart;
        try {
            readWorkbookParts(workbook->partName());
            stageChanges(allComputed);
            // The save replaces the file the worker reads; every sheet the save needed is parsed.
            m_preloader.reset();
            // Checked again at the last moment: the file may have changed while this save worked.
            package().save([this] {
                if (m_hold) m_hold->requireUnchanged();
            });
            if (m_hold) m_hold->noteSaved();
        } catch (...) {
            package().discardChanges();
            m_workbook = std::move(workbook);
            m_workbookRels = std::move(workbookRels);
            m_sharedStringsPart = sharedStringsPart;
            throw;
        }
    }
    // Everything recorded so far is in the file now: start again from it, so that a further change and
    // save never applies the same insertions twice.
    m_changed = false;
    m_evaluator.reset();
    m_cells.reset();
    m_shiftedFormulas.forget();
    m_planner.reset();
    m_inPlanner.clear();
    m_preloader.reset(); // its parts are of the file as it was
    load();
    for (auto& sheet : m_sheets)
        sheet->reset();
}

} // namespace xlsx
