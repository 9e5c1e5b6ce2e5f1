#pragma once
// Documents are indented two blanks per level, so most of a large file is whitespace between
// elements, which parsing drops. Leaving it out while the file is read keeps the bytes held in
// memory during parsing to a third.
//
// The filter drops exactly the whitespace-only text that the document parse options drop: every
// whitespace-only run between two pieces of markup, except one that is the only content of an
// element (kept there, as a text made of blanks may be a value). Comments, CDATA sections,
// processing instructions and quoted attribute values pass unchanged.

#include <cstddef>
#include <string>
#include <string_view>

class TBranchIndex;

class TXmlWhitespaceFilter {
public:
    // out must have room for every byte that will be fed. With an index, the filter tells it
    // where the branches of a document land in the output.
    explicit TXmlWhitespaceFilter(char* out, TBranchIndex* index = nullptr) : FOut(out), FIndex(index) {}

    // Answers false when the input has a form the filter does not follow (a document type
    // declaration, a UTF-16 or UTF-32 text); the caller then parses the bytes unfiltered.
    bool Feed(const char* data, size_t size);
    // Ends the input; answers the number of bytes written.
    size_t Finish();

private:
    enum TState { sText, sLt, sTag, sBang, sBangDash, sComment, sCData, sPI };

    void Put(char c) { FOut[FPos++] = c; }
    void StartText()
    {
        FState = sText;
        FSegmentStart = FPos;
        FSegmentBlank = true;
    }

    char* FOut;
    TBranchIndex* FIndex;
    size_t FPos = 0;
    size_t FTagStart = 0; // where the tag being written begins
    int FDepth = 0;       // elements open
    size_t FFed = 0;
    TState FState = sText;
    size_t FSegmentStart = 0;
    bool FSegmentBlank = true;
    // The element opened last has no child yet (comments and processing instructions do not
    // count: parsing does not keep them).
    bool FNoChildren = false;
    bool FEndTag = false;
    char FQuote = 0;
    char FPrev = 0;
    int FMatch = 0;
    bool FFailed = false;
};

// The filtered bytes, or the bytes unchanged where the filter does not apply.
std::string FilterXmlWhitespace(std::string_view bytes);
