#pragma once

#include "xml/Place.h"

#include <map>
#include <string>
#include <string_view>

namespace xlsx {

// [Content_Types].xml: only what the engine changes is modelled; everything else is kept as written.
// Part names compare case-insensitively, with or without the leading '/'.
class ContentTypes {
public:
    // `place` is the part's. Throws sheets::Error naming it on bad XML or a root that is not <Types>.
    ContentTypes(std::string_view xml, Place place);
    // Drops the Override for `partName` ("xl/calcChain.xml"); true when there was one.
    bool removeOverride(std::string_view partName);
    // Sets the Override for `partName` to `contentType`, appending one when there is none.
    void setOverride(std::string_view partName, const std::string& contentType);
    // The content type of a part: its Override, else the Default for its extension, else "".
    std::string typeOf(std::string_view partName) const;
    std::string serialize() const { return m_xml; }

private:
    Place m_place;
    std::string m_xml;
    std::map<std::string, std::string> m_overrides; // part key -> content type
    std::map<std::string, std::string> m_defaults;  // lower-cased extension -> content type
};

} // namespace xlsx
