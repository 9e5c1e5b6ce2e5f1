#pragma once
// Reading a decision-tree document file into a document and its style states.
//
// A load either takes the whole file or changes nothing: the file is read into new objects, and
// only when all of it has been read are they handed to the caller's document.

#include "app/document/XmlBinding.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>

class TDecTreeDocument;
class TDecTreeNode;
class TPrivateArrayList;
class TStyleStates;

// Deeper trees are refused; nothing an edit can make comes near.
constexpr int MaxDocumentDepth = 10000;
// The largest legacy integer identity older files can hold.
constexpr int MaxLegacyId = 100000;

enum class TLoadStatus {
    Loaded,      // the document holds the file's tree, options and styles
    FileMissing, // no file of that name: nothing changed; ErrorText holds the notice
    Failed,      // the file could not be read: nothing changed; ErrorText holds the reason
};

struct TLoadResult {
    TLoadStatus Status = TLoadStatus::Failed;
    // FileMissing: "File '<name>' does not exist."; Failed: the reason, which the caller shows
    // after "Error opening file: ", the file name and two CRs. Empty when Loaded.
    QString ErrorText;
    // Loaded: some node has a payoff imported from a workbook; the caller offers to read it again.
    bool HasExternalData = false;
    // Loaded: clone links that could not stand and were dropped (their nodes are plain nodes).
    int RemovedCloneReferences = 0;
    // Loaded: nodes that shared an id with an earlier node and got a new one.
    int RepairedIds = 0;

    bool Loaded() const { return Status == TLoadStatus::Loaded; }
};

// Reads the file into document and styleStates: the root (nodes get the document as their
// tree), the view settings, the selection (the root alone) and the style states (the defaults,
// then the file's own and its legacy font). Does not recalculate. On FileMissing and Failed both
// are left exactly as they were.
TLoadResult LoadDocument(const QString& fileName, TDecTreeDocument& document, TStyleStates& styleStates);

struct TReadDocument;

// A document file read into objects of its own, not yet handed to any document. The reading
// touches nothing else, so it may run on another thread (a file named at start-up is read while
// the window is being made); the handing over runs on the document's.
class TPreparedDocument {
public:
    TPreparedDocument();
    ~TPreparedDocument();
    TPreparedDocument(const TPreparedDocument&) = delete;
    TPreparedDocument& operator=(const TPreparedDocument&) = delete;

private:
    friend std::unique_ptr<TPreparedDocument> PrepareDocument(const QString& fileName);
    friend TLoadResult LoadDocument(std::unique_ptr<TPreparedDocument> prepared, TDecTreeDocument& document,
                                    TStyleStates& styleStates);
    TLoadResult FResult;
    std::unique_ptr<TReadDocument> FRead;
};

// The first half of LoadDocument: the file read, with the outcome kept for the second.
std::unique_ptr<TPreparedDocument> PrepareDocument(const QString& fileName);
// The second: what was read handed to document and styleStates, or the failure reported, exactly
// as LoadDocument of the same file would.
TLoadResult LoadDocument(std::unique_ptr<TPreparedDocument> prepared, TDecTreeDocument& document,
                         TStyleStates& styleStates);
// A document is parsed and read a piece of at most this many (filtered) bytes at a time, each
// piece read while its parsed form is fresh in memory; 0 parses and reads it whole. Both give
// the same result. When a piece fails, the document is read whole, so every error is the whole
// parse's (without wholeOnFailure, the piece's own error is reported instead).
constexpr uint64_t DocumentPieceBytes = 256 * 1024;

// The same for the bytes of a file in memory (never FileMissing).
TLoadResult LoadDocumentFromBytes(std::string_view bytes, TDecTreeDocument& document, TStyleStates& styleStates,
                                  uint64_t pieceBytes = DocumentPieceBytes, bool wholeOnFailure = true);

// One node from a Branch element, without its children, created with parent as its parent and
// no tree. legacyIds maps legacy integer identities to the GUIDs given to them in this file.
// Raises Exception with the reader's message for any value it cannot take.
std::unique_ptr<TDecTreeNode> ReadBranchNode(TDecTreeNode* parent, TXMLBranchType branch, TPrivateArrayList& legacyIds);
// The node of branch with its whole subtree, walked with its own stack. Raises as ReadBranchNode,
// and for a subtree nested deeper than MaxDocumentDepth levels. With releaseRead, every Branch
// element below branch is removed from its XML document once it is read, which keeps the memory
// of a large file's XML and its tree from adding up.
std::unique_ptr<TDecTreeNode> ReadBranchTree(TXMLBranchType branch, bool releaseRead);
