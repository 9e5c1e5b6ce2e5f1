#pragma once
// A compact, exact copy of a node tree for undo snapshots.
//
// Each node's stored fields (not the computed values or the layout) are packed into one small
// byte record, and the records of a tree are kept in pre-order, each with its child count. A
// snapshot holds its records in chunks of consecutive positions. A capture compares each node with
// the previous capture at the same place, or where the node itself was captured last (the node
// remembers), and takes the record from there when it is still the same; a chunk whose records are
// all those of the previous capture at the same places is that capture's chunk again. So
// consecutive snapshots of a large tree that differ in a few nodes cost a few chunks and one
// pointer per chunk. The new records of a capture are made together, a block for each share of
// the work. Restoring builds a new tree with the same ids, order and field values, bit for bit
// (null and empty strings stay apart, and so do 0 and -0).

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class TDecTreeNode;
class TDecTreeDocument;
struct TRecordBlock;

// One packed node, shared by every snapshot that holds it.
struct TNodeRecord {
    uint32_t RefCount;
    uint32_t Size;
    TRecordBlock* Block; // the block it was made in
    const unsigned char* Bytes() const { return reinterpret_cast<const unsigned char*>(this + 1); }
    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(this + 1); }
};

// Consecutive record pointers of a snapshot, shared by the snapshots whose records are the same
// at those positions. The entries follow the header.
struct TRecordChunk {
    uint32_t RefCount;
    uint32_t Count;
    TNodeRecord* const* Items() const { return reinterpret_cast<TNodeRecord* const*>(this + 1); }
    TNodeRecord** Items() { return reinterpret_cast<TNodeRecord**>(this + 1); }
};

// Where the records and chunks of a family of snapshots are made and counted. Everything here may
// be called on several threads at once: a block of records is freed when the last of its records
// is let go, a chunk when the last snapshot holding it is.
class TNodeRecordPool {
public:
    TNodeRecordPool() = default;
    TNodeRecordPool(const TNodeRecordPool&) = delete;
    TNodeRecordPool& operator=(const TNodeRecordPool&) = delete;

    // Records of the given sizes, their bytes one after the other in bytes, made in one block;
    // each is handed to made(index, record) with one reference.
    template <class Made>
    void MakeRecords(const std::string& bytes, const std::vector<uint32_t>& sizes, Made made);
    static void AddRef(TNodeRecord* record)
    {
        std::atomic_ref<uint32_t>(record->RefCount).fetch_add(1, std::memory_order_relaxed);
    }
    void Release(TNodeRecord* record);

    // Records in use (each counted once, however many snapshots hold it), and their bytes.
    size_t RecordCount() const { return FRecordCount.load(std::memory_order_relaxed); }
    size_t ByteCount() const { return FByteCount.load(std::memory_order_relaxed); }

    // A chunk of count entries, held once.
    TRecordChunk* NewChunk(uint32_t count);
    void FreeChunk(TRecordChunk* chunk);
    // The memory the blocks of records and the chunks take, their headers included.
    size_t HeldBytes() const
    {
        return FBlockBytes.load(std::memory_order_relaxed) + FChunkBytes.load(std::memory_order_relaxed);
    }

private:
    TRecordBlock* NewBlock(size_t bytes, size_t records);

    std::atomic<size_t> FRecordCount{0};
    std::atomic<size_t> FByteCount{0};
    std::atomic<size_t> FBlockBytes{0};
    std::atomic<size_t> FChunkBytes{0};
};

// A block of records made together, freed with the last of them.
struct TRecordBlock {
    uint32_t Live; // records not yet let go
    size_t Bytes;
    TNodeRecordPool* Pool;
};

template <class Made>
void TNodeRecordPool::MakeRecords(const std::string& bytes, const std::vector<uint32_t>& sizes, Made made)
{
    // Each record at an 8-byte boundary.
    auto space = [](uint32_t size) { return (sizeof(TNodeRecord) + size + 7) & ~size_t(7); };
    size_t total = 0;
    for (uint32_t size : sizes)
        total += space(size);
    TRecordBlock* block = NewBlock(total, sizes.size());
    auto* at = reinterpret_cast<unsigned char*>(block + 1);
    const char* from = bytes.data();
    for (size_t k = 0; k < sizes.size(); ++k) {
        auto* record = reinterpret_cast<TNodeRecord*>(at);
        record->RefCount = 1;
        record->Size = sizes[k];
        record->Block = block;
        std::memcpy(record->Bytes(), from, sizes[k]);
        from += sizes[k];
        at += space(sizes[k]);
        made(k, record);
    }
    FByteCount.fetch_add(bytes.size(), std::memory_order_relaxed);
}

// The stored fields of a node that a restore changed in place.
enum TRestoredField : uint32_t {
    rfId = 1 << 0,
    rfCloneMaster = 1 << 1,
    rfProbability = 1 << 2,
    rfPayoff = 1 << 3,
    rfBudget = 1 << 4,
    rfCaption = 1 << 5,
    rfDecisionCaption = 1 << 6,
    rfDecisionOwner = 1 << 7,
    rfComment = 1 << 8,
    rfPayoffSource = 1 << 9,
    rfDueDate = 1 << 10,
    rfType = 1 << 11,  // the node type or the chance type
    rfFlags = 1 << 12, // a show flag, the fixed mark or whether the children are shown
};

// What a restore onto a live tree did: the nodes it changed in place, each with the fields it
// changed, whether nodes came, went or moved, and whether a collapsed node kept for one made anew
// lost the path values it still held from a time it was an end node (it is sized by them).
struct TTreeRestore {
    bool Structure = false;
    bool Resized = false;
    struct TChanged {
        TDecTreeNode* Node;
        uint32_t Fields; // TRestoredField bits
    };
    std::vector<TChanged> Changed;
};

class TTreeSnapshot {
public:
    TTreeSnapshot() = default;
    ~TTreeSnapshot();
    TTreeSnapshot(const TTreeSnapshot&) = delete;
    TTreeSnapshot& operator=(const TTreeSnapshot&) = delete;
    TTreeSnapshot(TTreeSnapshot&& other) noexcept;
    TTreeSnapshot& operator=(TTreeSnapshot&& other) noexcept;

    // Packs root and its subtree (nothing for a null root). When previous is given (from the same
    // pool), the records of nodes that are unchanged since it are taken from it, and its chunks
    // where all of them are. Notes in each node its place in the new snapshot.
    static TTreeSnapshot Capture(const std::shared_ptr<TNodeRecordPool>& pool, const TDecTreeNode* root,
                                 const TTreeSnapshot* previous = nullptr);
    // The same from the tree's nodes in depth-first pre-order (a document's cached order); a large
    // tree is packed by several threads.
    template <class Node>
    static TTreeSnapshot Capture(const std::shared_ptr<TNodeRecordPool>& pool, const std::vector<Node*>& preOrder,
                                 const TTreeSnapshot* previous = nullptr);
    // A new tree equal to the captured one, its nodes belonging to tree; null for an empty snapshot.
    std::unique_ptr<TDecTreeNode> Restore(TDecTreeDocument* tree) const;
    // Makes the document's tree equal to the captured one, given that it is equal to present now
    // (a capture of it from the same pool, taken since its last change). Records the two share
    // are the same nodes, so only the nodes whose records differ are written, and the others keep
    // their objects, places and everything computed in them. Where the shapes differ, only the
    // children between the first and the last difference below a node are built anew, and not
    // even those that are matched by id and made alike on their own. Should the snapshot prove
    // damaged, the document is left as it was.
    TTreeRestore RestoreOnto(TDecTreeDocument& tree, const TTreeSnapshot& present) const;

    // Another reference to the same records.
    TTreeSnapshot Clone() const;

    // Positions per chunk; every chunk but the last is full.
    static constexpr size_t ChunkSize = 256;

    size_t NodeCount() const { return FCount; }
    const TNodeRecord* Record(size_t position) const
    {
        return FChunks[position / ChunkSize]->Items()[position % ChunkSize];
    }
    // The memory of the snapshot's own list of chunks (the chunks and records are the pool's).
    size_t TableBytes() const { return FChunks.capacity() * sizeof(TRecordChunk*); }

private:
    void ReleaseAll();
    // The nodes at positions first .. end of this snapshot, which must be whole subtrees, as new
    // children of parent in their order.
    std::vector<std::unique_ptr<TDecTreeNode>> BuildRange(TDecTreeDocument* tree, TDecTreeNode* parent, size_t first,
                                                          size_t end) const;

    std::shared_ptr<TNodeRecordPool> FPool;
    std::vector<TRecordChunk*> FChunks;
    size_t FCount = 0;
};
