#pragma once

// xl/workbook.xml: the sheet list, the active tab, the date system, defined names and calculation
// properties. Parsed once with pugixml; written back only when edited.

#include "xml/Place.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

struct SheetEntry {
    std::string name;
    std::string relationshipId;
};

struct DefinedName {
    std::string name;
    std::string formula;
    int localSheet = -1; // 0-based sheet index for a sheet-scoped name, -1 for the workbook
};

class WorkbookPart {
public:
    // `place` is the part's. Throws sheets::Error naming it on bad XML or another root element.
    WorkbookPart(std::string_view xml, Place place);
    ~WorkbookPart();

    const std::string& partName() const { return m_place.part; }
    const std::vector<SheetEntry>& sheets() const { return m_sheets; }
    // 0-based index of the workbook view's active tab (0 when absent or out of range).
    int activeTab() const { return m_activeTab; }
    bool date1904() const { return m_date1904; }
    const std::vector<DefinedName>& definedNames() const { return m_definedNames; }

    // Replaces the formula of defined name `index` (in definedNames() order).
    void setDefinedNameFormula(std::size_t index, std::string formula);
    // Asks the application to recalculate every formula when the file is opened.
    void requestFullCalculationOnLoad();
    // Whether the workbook asks for that (as read, or as set here); and taking the request back.
    bool fullCalculationOnLoad() const { return m_fullCalculation; }
    void clearFullCalculationOnLoad();

    bool dirty() const { return m_dirty; }
    std::string serialize() const;

private:
    struct Document;
    Place m_place;
    std::unique_ptr<Document> m_doc;
    std::vector<SheetEntry> m_sheets;
    std::vector<DefinedName> m_definedNames;
    int m_activeTab = 0;
    bool m_date1904 = false;
    bool m_fullCalculation = false;
    bool m_dirty = false;
};

} // namespace xlsx
