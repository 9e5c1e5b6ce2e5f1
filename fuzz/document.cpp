// The document reader and writer on arbitrary bytes: every input either loads whole or fails with
// a message, a failed load leaves the open document exactly as it was, and a loaded document
// goes through the writer and the reader again: what the writer makes is read back to the same
// document, and is never more than a small multiple of what was read.
#include "app/document/DocumentReader.h"
#include "app/document/DocumentWriter.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleStates.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// The bytes the writer makes of the file bytes once read; empty when they do not load.
std::string Rewritten(std::string_view bytes)
{
    TDecTreeDocument document;
    TStyleStates styles;
    ResetDefaultStyles(styles);
    return LoadDocumentFromBytes(bytes, document, styles).Loaded() ? WriteDocumentToString(document, styles) : std::string();
}

} // namespace

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
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    TLoadResult result = LoadDocumentFromBytes(input, *document, *styles);
    if (!result.Loaded() && (document->Root() != before || result.ErrorText.isEmpty()))
        std::abort();
    if (!result.Loaded())
        return 0;
    // Every field is written, and indented while the tree is not too deep: a few times the
    // input's size at most, plus the style states a file may leave out.
    const std::string written = WriteDocumentToString(*document, *styles);
    if (written.size() > 32 * size + 64 * 1024)
        std::abort();
    // The first reading settles what the format does not keep (new identities for legacy ones,
    // line-break forms); from then on reading and writing change nothing.
    const std::string again = Rewritten(written);
    if (again.empty() || Rewritten(again) != again)
        std::abort();
    document->Root()->RefreshClones(); // what the first recalculation does with the file's clones
    return 0;
}
