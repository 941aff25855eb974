#pragma once

#include <string>
#include <string_view>

namespace xlsx {

// [Content_Types].xml: only what the engine changes is modelled; everything else is kept as written.
class ContentTypes {
public:
    explicit ContentTypes(std::string_view xml);
    // Drops the Override for `partName` ("xl/calcChain.xml"); true when there was one.
    bool removeOverride(std::string_view partName);
    // The content type of a part: its Override, else the Default for its extension, else "".
    std::string typeOf(std::string_view partName) const;
    std::string serialize() const;

private:
    std::string m_xml;
};

} // namespace xlsx
