#pragma once
// A forward-only XML tokenizer over a buffer held in memory. Worksheets can hold millions of
// cells; building a document tree for them would take several times the size of the text,
// so the large parts of a workbook are scanned token by token instead, keeping nothing but
// the open elements. It checks what matters for not being misled (tags close in order, one
// root, attributes quoted, entities known) and refuses document type declarations, so
// entity expansion can never make a small file large.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

class TXmlScanner {
public:
    enum class TToken { StartElement, EndElement, Text, EndOfDocument, Error };

    TXmlScanner(const char* begin, const char* end);

    TToken Next();

    // Of the current start or end element: the name without its namespace prefix.
    std::string_view LocalName() const { return FLocalName; }
    // The raw value (entities not decoded) of the current start element's attribute with the
    // given local name; false when it has none.
    bool Attribute(std::string_view localName, std::string_view& rawValue) const;
    // The current text token: raw character data (entities not decoded) or a CDATA section's
    // content (IsCData), which needs no decoding.
    std::string_view RawText() const { return FText; }
    bool IsCData() const { return FCData; }
    int Depth() const { return int(FStack.size()); }
    const QString& ErrorText() const { return FError; }

    // Appends raw character data with its entity and character references resolved (UTF-8).
    static bool AppendDecoded(std::string_view raw, std::string& out);

private:
    TToken Fail(const QString& message);
    bool ParseStartTag();
    const char* FPos;
    const char* FEnd;
    std::vector<std::string_view> FStack;  // qualified names of the open elements
    std::vector<std::pair<std::string_view, std::string_view>> FAttributes;
    std::string_view FLocalName;
    std::string_view FText;
    bool FCData = false;
    bool FPendingEnd = false;  // a self-closing start element still owes its end token
    bool FRootSeen = false;
    QString FError;
};
