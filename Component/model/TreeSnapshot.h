#pragma once
// A compact, exact copy of a node tree for undo snapshots.
//
// Each node's stored fields (not the computed values or the layout) are packed into one small
// byte record, and the records of a tree are kept in pre-order, each with its child count. Equal
// records are shared through a pool. A snapshot holds its records in chunks of consecutive
// positions, and a chunk whose records are all those of the previous capture at the same places
// is that capture's chunk again: consecutive snapshots of a large tree that differ in a few nodes
// cost a few chunks and one pointer per chunk. Restoring builds a new tree with the same ids,
// order and field values, bit for bit (null and empty strings stay apart, and so do 0 and -0).

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TDecTreeNode;
class TDecTreeDocument;

// One packed node, shared by every snapshot that holds an equal node.
struct TNodeRecord {
    uint32_t RefCount;
    uint32_t Size;
    uint64_t Hash;
    TNodeRecord* NextSameHash;
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

class TNodeRecordPool {
public:
    TNodeRecordPool() = default;
    ~TNodeRecordPool();
    TNodeRecordPool(const TNodeRecordPool&) = delete;
    TNodeRecordPool& operator=(const TNodeRecordPool&) = delete;

    // A counted reference to the record holding these bytes (made when none exists).
    TNodeRecord* Intern(const unsigned char* bytes, uint32_t size, uint64_t hash);
    // The counts as several threads may change them at once, while the pool itself is left alone:
    // ReleaseShared answers whether the record is no longer held, and then only Free (on the
    // pool's thread) may take it.
    static void AddRefShared(TNodeRecord* record)
    {
        std::atomic_ref<uint32_t>(record->RefCount).fetch_add(1, std::memory_order_relaxed);
    }
    static bool ReleaseShared(TNodeRecord* record)
    {
        return std::atomic_ref<uint32_t>(record->RefCount).fetch_sub(1, std::memory_order_acq_rel) == 1;
    }
    void Free(TNodeRecord* record);

    size_t RecordCount() const { return FRecordCount; }
    size_t ByteCount() const { return FByteCount; }

    // A chunk of count entries, held once; chunks are made and let go on any thread.
    TRecordChunk* NewChunk(uint32_t count);
    void FreeChunk(TRecordChunk* chunk);
    size_t ChunkCount() const { return FChunkCount.load(std::memory_order_relaxed); }
    // What the records and chunks take in memory, their headers included.
    size_t HeldBytes() const
    {
        return FByteCount + FRecordCount * sizeof(TNodeRecord) + FChunkBytes.load(std::memory_order_relaxed);
    }

private:
    std::unordered_map<uint64_t, TNodeRecord*> FByHash;
    size_t FRecordCount = 0;
    size_t FByteCount = 0;
    std::atomic<size_t> FChunkCount{0};
    std::atomic<size_t> FChunkBytes{0};
};

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
// changed, and whether nodes came, went or moved.
struct TTreeRestore {
    bool Structure = false;
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

    // Packs root and its subtree (nothing for a null root). When previous is given, records at the
    // same position that are unchanged are taken from it without a pool lookup.
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
    // their objects, places and everything computed in them. Where the shapes differ, the least
    // range of children that holds every difference is built anew; the nodes before and after it
    // stay. Should the snapshot prove damaged, the document is left as it was.
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
    const std::vector<TRecordChunk*>& Chunks() const { return FChunks; }
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
