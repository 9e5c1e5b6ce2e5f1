// The document reader on arbitrary bytes: every input either loads whole or fails with a
// message, and a failed load leaves the open document exactly as it was.
#include "app/document/DocumentReader.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One document for the whole run, as the program keeps its one window's document: each load
    // replaces what the last one left or leaves it alone.
    static TDecTreeDocument* document = [] {
        auto* made = new TDecTreeDocument;
        made->NewRoot();
        return made;
    }();
    static TStyleStates* styles = [] {
        auto* made = new TStyleStates;
        ResetDefaultStyles(*made);
        return made;
    }();
    const TDecTreeNode* before = document->Root();
    TLoadResult result =
        LoadDocumentFromBytes(std::string_view(reinterpret_cast<const char*>(data), size), *document, *styles);
    if (!result.Loaded() && (document->Root() != before || result.ErrorText.isEmpty()))
        std::abort();
    if (result.Loaded())
        document->Root()->RefreshClones(); // what the first recalculation does with the file's clones
    return 0;
}
