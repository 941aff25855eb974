#pragma once

// A relationships part (_rels/.rels, xl/_rels/workbook.xml.rels ...): parsed once, edited, written back.

#include "xml/Place.h"

#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

struct Relationship {
    std::string id;
    std::string type;      // full type URI as written
    std::string target;    // as written
    bool external = false; // TargetMode="External"
};

class Relationships {
public:
    // `sourcePart` is the part the relationships belong to ("xl/workbook.xml"; "" for the package);
    // `xml` the relationships part's bytes (empty when there is none); `place` the relationships
    // part's. Throws sheets::Error naming it on bad XML.
    Relationships(std::string sourcePart, std::string_view xml, Place place);

    const std::vector<Relationship>& all() const { return m_all; }
    const Relationship* byId(std::string_view id) const;
    // First relationship whose type ends with "/" + `typeSuffix` (works for transitional and strict URIs).
    const Relationship* byType(std::string_view typeSuffix) const;

    // The zip entry name a target refers to: relative targets resolved against the source part's
    // folder, absolute ones ("/xl/x.xml") from the root, "." and ".." folded, a "#fragment" left off
    // (a target that is only a fragment names the source part). External targets come back as written.
    std::string resolve(const Relationship& rel) const;

    // Removes every relationship whose resolved target is `partName`; true when one was removed.
    bool removeTarget(std::string_view partName);
    // Appends a relationship with a fresh id ("rId" + one more than the highest such number) and
    // returns the id. `target` is written as given (relative to the source part's folder, or absolute).
    std::string add(std::string type, std::string target, bool external = false);
    std::string serialize() const;

    // The relationships part name for a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
    static std::string partFor(std::string_view sourcePart);

private:
    std::string m_source;
    Place m_place;
    std::string m_xml; // original, kept for what is not modelled (namespace prefixes, order)
    std::vector<Relationship> m_all;
    std::vector<std::string> m_removedIds;
    std::vector<std::string> m_addedIds;
};

} // namespace xlsx
