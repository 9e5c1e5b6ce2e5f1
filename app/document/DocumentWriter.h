#pragma once
// Writing a decision-tree document file: the tree, its view settings and its style states.

#include "app/document/XmlBinding.h"

#include <QString>
#include <memory>
#include <string>

class TDecTreeDocument;
class TDecTreeNode;
class TStyleStates;

// The fixed comment that opens every document file's Tree element.
extern const char* const DocumentComment;

// Fills branch from node and appends the node's children below it (not for a clone, whose
// children are rebuilt from its master). Walks the subtree with its own stack, so the depth of
// the tree is not limited by the call stack. Answers the number of levels written.
int WriteTreeNode(const TDecTreeNode& node, TXMLBranchType branch);

// Indentation grows with the square of the depth; a tree deeper than this is written without it.
constexpr int MaxIndentedDepth = 100;

// The whole document as an XML document in memory, through the typed binding, in the order of the file: comment, OutlineCodes, StatusDate,
// ShowPayoff, StyleStates, CurrencyDecimals, CurrencyPosFormat, CurrencyNegFormat,
// CurrencySymbol, Branch. Raises Exception for a value no file can hold (a probability that is
// not a finite number).
std::unique_ptr<TXMLTreeDocument> BuildTreeDocument(const TDecTreeDocument& document, const TStyleStates& styleStates);

// The bytes of the document file: exactly what BuildTreeDocument's XML document saves to, but
// written straight from the tree, which is several times faster and needs no memory beyond the
// bytes themselves.
std::string WriteDocumentToString(const TDecTreeDocument& document, const TStyleStates& styleStates);

// Writes the document file (as WriteDocumentToString, in pieces) atomically: the new content replaces the file only once it is written
// whole, so a failed save leaves any existing file of that name as it was. Answers true on
// success. On failure, *error (when given) receives the reason, the text that follows
// "Error saving file: " and two CRs in the message box; nothing else changes.
bool SaveDocument(const TDecTreeDocument& document, const TStyleStates& styleStates, const QString& fileName,
                  QString* error = nullptr);
