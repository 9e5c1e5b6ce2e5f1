// The style-state XML on arbitrary bytes, read on top of the built-in styles, written, and read
// again: the second reading gives the same styles as the first.
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"

#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <sstream>

namespace {

std::string Written(const TStyleStates& styles)
{
    pugi::xml_document xml;
    SaveStyleStates(styles, xml.append_child("StyleStates"));
    std::ostringstream out;
    xml.save(out);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pugi::xml_document xml;
    if (!xml.load_buffer(data, size, StyleXmlParseOptions))
        return 0;
    TStyleStates styles;
    ResetDefaultStyles(styles);
    try {
        LoadStyleStates(styles, xml.document_element());
    } catch (const Exception&) {
        return 0;
    }
    const std::string written = Written(styles);
    pugi::xml_document back;
    if (!back.load_string(written.c_str(), StyleXmlParseOptions))
        std::abort();
    TStyleStates again;
    ResetDefaultStyles(again);
    LoadStyleStates(again, back.document_element());
    if (Written(again) != written)
        std::abort();
    return 0;
}
