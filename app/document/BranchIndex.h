#pragma once
// Where the branches of a document file lie in its filtered bytes, noted while the whitespace
// filter writes them: each Branch element that the reader takes as a node (the Tree's first
// Branch, and every Branch of the first Branches element of such a branch), with its parent. The
// reader then parses the file a branch at a time, reading each while its parsed form is fresh in
// memory, instead of parsing the whole file before reading any of it.
//
// The filter reports only the tags that matter (start tags whose name may be Tree, Branch or
// Branches, and the end tags of elements the index holds open), with the number of elements open
// around them. The index does not check that the file is well-formed: the pieces it gives are
// parsed, and any that does not parse makes the reader parse the whole file.

#include <cstddef>
#include <cstdint>
#include <vector>

class TBranchIndex {
public:
    struct TBranch {
        uint64_t Start = 0; // the '<' of its start tag
        uint64_t End = 0;   // one past the '>' of its end tag
        int32_t Parent = -1; // index of the parent branch; -1 for the root
    };

    // A start tag of `size` bytes written at offset `at`, inside `depth` open elements.
    void Start(const char* tag, size_t size, uint64_t at, int depth, bool selfClosing);
    // The end tag of the element open at depth, ending one before offset `end`.
    void End(uint64_t end);
    // The depth of the innermost element the index holds open; End is due when it closes.
    int OpenDepth() const { return FOpen.empty() ? -1 : FOpen.back().Depth; }

    // After the last byte: whether the branches can be read a piece at a time.
    bool Complete() const;
    // In document order, the root first.
    const std::vector<TBranch>& Branches() const { return FBranches; }

private:
    enum class TKind : uint8_t { Tree, Branch, Branches };
    struct TOpen {
        TKind Kind;
        int Depth;
        int32_t Branch; // the branch itself, or the one whose children a Branches element holds
        bool HasBranches = false;
    };

    std::vector<TOpen> FOpen;
    std::vector<TBranch> FBranches;
    bool FTreeSeen = false;
    bool FBroken = false;
};
