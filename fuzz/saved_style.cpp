// The saved-style file reader and writer on arbitrary files: the file is parsed as the Styles
// menu opens it, its name and description read, and its style states read on top of the
// built-in ones; then it is written as an import copies it into the user's styles and read
// again, which must give the same name, description and styles, from a file never more than a
// small multiple of the one read.
#include "app/document/SavedStyle.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "fuzz/support/FuzzInputFile.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {
QString g_path;

// What the program takes from a style file: its name, description and style states.
std::string WhatIsUsed(const pugi::xml_document& document)
{
    const pugi::xml_node root = document.document_element();
    const pugi::xml_node styleElement = std::string_view(root.name()) == "Tree" ? root.child("StyleStates") : root;
    TStyleStates styles;
    ResetDefaultStyles(styles);
    try {
        LoadStyleStates(styles, styleElement);
    } catch (const Exception&) {
        return "unreadable";
    }
    pugi::xml_document xml;
    SaveStyleStates(styles, xml.append_child("StyleStates"));
    std::ostringstream out;
    out << root.attribute("Name").value() << '\n' << root.attribute("Description").value() << '\n';
    xml.save(out);
    return out.str();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_path = FuzzInputPath("style", "qdns");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WriteFuzzInput(g_path, data, size);
    std::unique_ptr<pugi::xml_document> document;
    try {
        document = LoadStyleDocument(g_path);
    } catch (const Exception& e) {
        if (e.Message().isEmpty())
            std::abort();
        return 0;
    }
    const std::string used = WhatIsUsed(*document);
    // Indented by two blanks a level (at most MaxStyleXmlDepth levels), escapes and a declaration
    // added: never more than some twenty times the input.
    const std::string written = StyleDocumentText(*document);
    if (written.size() > 24 * size + 4096)
        std::abort();
    WriteFuzzInput(g_path, reinterpret_cast<const uint8_t*>(written.data()), written.size());
    std::unique_ptr<pugi::xml_document> back;
    try {
        back = LoadStyleDocument(g_path);
    } catch (const Exception&) {
        std::abort();
    }
    if (WhatIsUsed(*back) != used)
        std::abort();
    return 0;
}
