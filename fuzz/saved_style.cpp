// The saved-style file reader on arbitrary files: the file is parsed as the Styles menu opens
// it, its name and description read, and its style states read on top of the built-in ones.
#include "app/document/SavedStyle.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "fuzz/support/FuzzInputFile.h"

#include <cstdint>
#include <cstdlib>

namespace {
QString g_path;
}

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
    const pugi::xml_node root = document->document_element();
    (void)QString::fromUtf8(root.attribute("Name").value());
    (void)QString::fromUtf8(root.attribute("Description").value());
    const pugi::xml_node styleElement = std::string_view(root.name()) == "Tree" ? root.child("StyleStates") : root;
    static TStyleStates* styles = new TStyleStates;
    ResetDefaultStyles(*styles);
    try {
        LoadStyleStates(*styles, styleElement);
    } catch (const Exception&) {
    }
    return 0;
}
