// The style-state XML on arbitrary bytes, read on top of the built-in styles.
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"

#include <cstdint>
#include <pugixml.hpp>

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
    }
    return 0;
}
