#include "app/document/BranchIndex.h"

#include <cstring>
#include <string_view>

namespace {

// The element name of a start tag: after the '<', up to a blank, '/' or '>'.
std::string_view NameOf(const char* tag, size_t size)
{
    size_t n = 1;
    while (n < size && tag[n] != ' ' && tag[n] != '\t' && tag[n] != '\r' && tag[n] != '\n' && tag[n] != '/' &&
           tag[n] != '>')
        ++n;
    return std::string_view(tag + 1, n - 1);
}

} // namespace

void TBranchIndex::Start(const char* tag, size_t size, uint64_t at, int depth, bool selfClosing)
{
    const std::string_view name = NameOf(tag, size);
    if (depth == 0) {
        // The document element; anything but Tree is refused by the whole parse.
        if (name != "Tree" || FTreeSeen) {
            FBroken = true;
            return;
        }
        FTreeSeen = true;
        if (!selfClosing)
            FOpen.push_back({TKind::Tree, depth, -1});
        return;
    }
    TOpen* parent = FOpen.empty() || FOpen.back().Depth != depth - 1 ? nullptr : &FOpen.back();
    if (!parent)
        return; // inside an element that holds no node
    if (name == "Branch") {
        int32_t parentBranch = -1;
        if (parent->Kind == TKind::Tree && FBranches.empty())
            parentBranch = -1;
        else if (parent->Kind == TKind::Branches)
            parentBranch = parent->Branch;
        else
            return;
        FBranches.push_back({at, selfClosing ? at + size : 0, parentBranch});
        if (!selfClosing)
            FOpen.push_back({TKind::Branch, depth, int32_t(FBranches.size() - 1)});
    } else if (name == "Branches" && parent->Kind == TKind::Branch && !parent->HasBranches) {
        parent->HasBranches = true;
        if (!selfClosing)
            FOpen.push_back({TKind::Branches, depth, parent->Branch});
    }
}

void TBranchIndex::End(uint64_t end)
{
    if (FOpen.empty())
        return;
    const TOpen open = FOpen.back();
    FOpen.pop_back();
    if (open.Kind == TKind::Branch)
        FBranches[size_t(open.Branch)].End = end;
}

bool TBranchIndex::Complete() const
{
    return !FBroken && FTreeSeen && FOpen.empty() && !FBranches.empty();
}
