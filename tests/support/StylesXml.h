#pragma once
// Style states as the XML text they are saved as, to compare two states whole.

#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"

#include <pugixml.hpp>

#include <sstream>
#include <string>

inline std::string StylesXml(const TStyleStates& states, const char* indent = "\t")
{
    pugi::xml_document doc;
    SaveStyleStates(states, doc.append_child("StyleStates"));
    std::ostringstream out;
    doc.save(out, indent);
    return out.str();
}
