#include "Component/model/TreeSnapshot.h"

#include "Component/model/DecTreeDocument.h"
#include "Component/model/DecTreeNode.h"
#include "Component/model/SubtreeWork.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <utility>

namespace {

[[noreturn]] void Damaged()
{
    throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
}

// Flag bits of a record.
enum : uint16_t {
    fShowCaption = 1 << 0,
    fShowOwner = 1 << 1,
    fShowDueDate = 1 << 2,
    fShowFixed = 1 << 3,
    fShowBudget = 1 << 4,
    fShowInvestment = 1 << 5,
    fFixed = 1 << 6,
    fChildrenVisible = 1 << 7,
    fHasCloneMaster = 1 << 8,
    fHasDueDate = 1 << 9,
    fSmallProbability = 1 << 10, // the probability is a whole number 0 .. 2^32-1, stored compactly
};

class TWriter {
public:
    std::string Buffer;

    void Byte(uint8_t v) { Buffer.push_back(char(v)); }
    void Raw(const void* p, size_t n) { Buffer.append(static_cast<const char*>(p), n); }
    void VarUInt(uint64_t v)
    {
        while (v >= 0x80) {
            Byte(uint8_t(v) | 0x80);
            v >>= 7;
        }
        Byte(uint8_t(v));
    }
    void VarInt(int64_t v) { VarUInt((uint64_t(v) << 1) ^ uint64_t(v >> 63)); }
    // Length + 1 (0 for the null string), then the UTF-16 code units as they are.
    void String(const QString& s)
    {
        if (s.isNull()) {
            Byte(0);
            return;
        }
        VarUInt(uint64_t(s.size()) + 1);
        Raw(s.constData(), size_t(s.size()) * sizeof(QChar));
    }
};

class TReader {
public:
    TReader(const unsigned char* p, size_t n) : FPos(p), FEnd(p + n) {}

    uint8_t Byte()
    {
        Need(1);
        return *FPos++;
    }
    void Raw(void* to, size_t n)
    {
        Need(n);
        std::memcpy(to, FPos, n);
        FPos += n;
    }
    uint64_t VarUInt()
    {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = Byte();
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return v;
        }
        Damaged();
    }
    int64_t VarInt()
    {
        const uint64_t u = VarUInt();
        return int64_t(u >> 1) ^ -int64_t(u & 1);
    }
    QString String()
    {
        const uint64_t n = VarUInt();
        if (n == 0)
            return QString();
        const size_t units = size_t(n - 1);
        Need(units * sizeof(QChar));
        if (units == 0) {
            // One empty string serves them all: made anew, each would take a block of its own.
            static const QString empty = QString::fromUtf16(u"", 0);
            return empty;
        }
        QString s(qsizetype(units), Qt::Uninitialized);
        Raw(s.data(), units * sizeof(QChar));
        return s;
    }
    bool AtEnd() const { return FPos == FEnd; }

private:
    void Need(size_t n)
    {
        if (size_t(FEnd - FPos) < n)
            Damaged();
    }

    const unsigned char* FPos;
    const unsigned char* FEnd;
};

void Encode(const TDecTreeNode& n, TWriter& w)
{
    uint16_t flags = 0;
    if (n.DecisionShowCaption) flags |= fShowCaption;
    if (n.DecisionShowOwner) flags |= fShowOwner;
    if (n.DecisionShowDueDate) flags |= fShowDueDate;
    if (n.DecisionShowFixed) flags |= fShowFixed;
    if (n.DecisionMultiShowBudget) flags |= fShowBudget;
    if (n.DecisionMultiShowInvestment) flags |= fShowInvestment;
    if (n.DecisionFixed) flags |= fFixed;
    if (n.ChildrenVisible) flags |= fChildrenVisible;
    if (!n.CloneMasterId.IsEmpty()) flags |= fHasCloneMaster;
    uint64_t dueBits;
    std::memcpy(&dueBits, &n.DecisionDueDate, sizeof dueBits);
    if (dueBits != 0) flags |= fHasDueDate;
    // Probabilities are mostly whole percentages; the compact form is used only when it gives
    // back the very same bits.
    const double p = n.Probability;
    uint32_t smallP = 0;
    if (p >= 0 && p <= 4294967295.0 && !std::signbit(p) && std::floor(p) == p) {
        smallP = uint32_t(p);
        flags |= fSmallProbability;
    }

    w.Raw(&n.Id, sizeof n.Id);
    w.Byte(uint8_t(flags));
    w.Byte(uint8_t(flags >> 8));
    w.Byte(uint8_t(n.NodeType));
    w.Byte(uint8_t(n.ChanceType));
    w.VarUInt(uint64_t(n.Children.Count()));
    if (flags & fSmallProbability)
        w.VarUInt(smallP);
    else
        w.Raw(&p, sizeof p);
    w.VarInt(n.Payoff);
    w.VarInt(n.DecisionMultiBudget);
    if (flags & fHasCloneMaster)
        w.Raw(&n.CloneMasterId, sizeof n.CloneMasterId);
    if (flags & fHasDueDate)
        w.Raw(&n.DecisionDueDate, sizeof n.DecisionDueDate);
    w.String(n.Caption);
    w.String(n.Comment);
    w.String(n.DecisionOwner);
    w.String(n.DecisionCaption);
    w.String(n.PayoffSource);
}

// A large tree is packed by several threads, each a range of whole chunks with a block of its own
// for the records it makes. Snapshots as large are let go the same way.
const size_t& CaptureParallelFrom = SubtreeWorkSettings().SnapshotFrom;

// Ranges of about equal size, several for each thread.
TSubtreePlan FlatRanges(size_t n, unsigned threads)
{
    TSubtreePlan plan;
    const size_t step = std::max<size_t>(1, n / (size_t(threads) * 8));
    for (size_t first = 0; first < n; first += step)
        plan.Subtrees.push_back({first, std::min(n, first + step)});
    return plan;
}

// f(first, end) over ranges of chunk indexes covering 0 .. chunks, shared out among threads when
// the snapshot holds many nodes.
template <class F>
void ForChunkRanges(size_t chunks, size_t nodes, F f)
{
    const unsigned threads = SubtreeThreadCount(nodes, CaptureParallelFrom);
    if (threads <= 1) {
        if (chunks > 0)
            f(size_t(0), chunks);
        return;
    }
    ForEachSubtree(FlatRanges(chunks, threads), threads, f);
}

} // namespace

TRecordBlock* TNodeRecordPool::NewBlock(size_t bytes, size_t records)
{
    const size_t total = sizeof(TRecordBlock) + bytes;
    auto* block = static_cast<TRecordBlock*>(::operator new(total));
    block->Live = uint32_t(records);
    block->Bytes = total;
    block->Pool = this;
    FRecordCount.fetch_add(records, std::memory_order_relaxed);
    FBlockBytes.fetch_add(total, std::memory_order_relaxed);
    return block;
}

void TNodeRecordPool::Release(TNodeRecord* record)
{
    if (std::atomic_ref<uint32_t>(record->RefCount).fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    FRecordCount.fetch_sub(1, std::memory_order_relaxed);
    FByteCount.fetch_sub(record->Size, std::memory_order_relaxed);
    TRecordBlock* block = record->Block;
    if (std::atomic_ref<uint32_t>(block->Live).fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    FBlockBytes.fetch_sub(block->Bytes, std::memory_order_relaxed);
    ::operator delete(block);
}

TRecordChunk* TNodeRecordPool::NewChunk(uint32_t count)
{
    const size_t bytes = sizeof(TRecordChunk) + size_t(count) * sizeof(TNodeRecord*);
    auto* chunk = static_cast<TRecordChunk*>(::operator new(bytes));
    chunk->RefCount = 1;
    chunk->Count = count;
    std::fill_n(chunk->Items(), count, nullptr);
    FChunkBytes.fetch_add(bytes, std::memory_order_relaxed);
    return chunk;
}

void TNodeRecordPool::FreeChunk(TRecordChunk* chunk)
{
    FChunkBytes.fetch_sub(sizeof(TRecordChunk) + size_t(chunk->Count) * sizeof(TNodeRecord*),
                          std::memory_order_relaxed);
    ::operator delete(chunk);
}

TTreeSnapshot::~TTreeSnapshot() { ReleaseAll(); }

TTreeSnapshot::TTreeSnapshot(TTreeSnapshot&& other) noexcept
    : FPool(std::move(other.FPool)), FChunks(std::move(other.FChunks)), FCount(other.FCount)
{
    other.FChunks.clear();
    other.FCount = 0;
}

TTreeSnapshot& TTreeSnapshot::operator=(TTreeSnapshot&& other) noexcept
{
    if (this != &other) {
        ReleaseAll();
        FPool = std::move(other.FPool);
        FChunks = std::move(other.FChunks);
        FCount = other.FCount;
        other.FChunks.clear();
        other.FCount = 0;
    }
    return *this;
}

TTreeSnapshot TTreeSnapshot::Clone() const
{
    TTreeSnapshot copy;
    copy.FPool = FPool;
    copy.FChunks = FChunks;
    copy.FCount = FCount;
    for (TRecordChunk* chunk : copy.FChunks)
        std::atomic_ref<uint32_t>(chunk->RefCount).fetch_add(1, std::memory_order_relaxed);
    return copy;
}

void TTreeSnapshot::ReleaseAll()
{
    if (FPool) {
        // The chunks no snapshot holds any more let go of their records, on every thread.
        ForChunkRanges(FChunks.size(), FCount, [&](size_t first, size_t end) {
            for (size_t c = first; c < end; ++c) {
                TRecordChunk* chunk = FChunks[c];
                if (!chunk || std::atomic_ref<uint32_t>(chunk->RefCount).fetch_sub(1, std::memory_order_acq_rel) != 1)
                    continue;
                for (uint32_t k = 0; k < chunk->Count; ++k)
                    if (TNodeRecord* r = chunk->Items()[k])
                        FPool->Release(r);
                FPool->FreeChunk(chunk);
            }
        });
    }
    FChunks.clear();
    FCount = 0;
}

TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>& pool,
                                     const TDecTreeNode* root, const TTreeSnapshot* previous)
{
    std::vector<const TDecTreeNode*> order;
    if (root) {
        std::vector<const TDecTreeNode*> stack{root};
        while (!stack.empty()) {
            const TDecTreeNode* node = stack.back();
            stack.pop_back();
            order.push_back(node);
            for (int i = node->Children.Count() - 1; i >= 0; --i)
                stack.push_back(node->Children.Items(i));
        }
    }
    return Capture(pool, order, previous);
}

template <class Node>
TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>& pool, const std::vector<Node*>& order,
                                     const TTreeSnapshot* previous)
{
    TTreeSnapshot snapshot;
    snapshot.FPool = pool;
    if (previous && previous->FPool != pool)
        previous = nullptr;
    const size_t n = order.size();
    const size_t before = previous ? previous->FCount : 0;
    const size_t chunks = (n + ChunkSize - 1) / ChunkSize;
    snapshot.FChunks.assign(chunks, nullptr);
    snapshot.FCount = n;
    ForChunkRanges(chunks, n, [&](size_t firstChunk, size_t endChunk) {
        TWriter writer;
        writer.Buffer.reserve(256);
        // The records this share of the work makes: their positions, sizes and bytes.
        std::vector<size_t> positions;
        std::vector<uint32_t> sizes;
        std::string bytes;
        TNodeRecord* found[ChunkSize];
        auto same = [&](const TNodeRecord* r) {
            return r->Size == writer.Buffer.size() && std::memcmp(r->Bytes(), writer.Buffer.data(), r->Size) == 0;
        };
        for (size_t c = firstChunk; c < endChunk; ++c) {
            const size_t first = c * ChunkSize;
            const size_t end = std::min(n, first + ChunkSize);
            const TRecordChunk* old = previous && c < previous->FChunks.size() ? previous->FChunks[c] : nullptr;
            // The previous capture's chunk serves again when every record in it is still the same.
            bool whole = old && old->Count == end - first;
            for (size_t i = first; i < end; ++i) {
                const TDecTreeNode& node = *order[i];
                writer.Buffer.clear();
                Encode(node, writer);
                TNodeRecord* match = old && i - first < old->Count ? old->Items()[i - first] : nullptr;
                if (!match || !same(match)) {
                    whole = false;
                    // Nodes before this one came or went: its record is where it was captured.
                    const uint32_t was = node.SnapshotPosition;
                    match = was < before && was != i ? const_cast<TNodeRecord*>(previous->Record(was)) : nullptr;
                    if (match && !same(match))
                        match = nullptr;
                }
                node.SnapshotPosition = uint32_t(i);
                found[i - first] = match;
                if (!match) {
                    positions.push_back(i);
                    sizes.push_back(uint32_t(writer.Buffer.size()));
                    bytes += writer.Buffer;
                }
            }
            if (whole) {
                std::atomic_ref<uint32_t>(const_cast<TRecordChunk*>(old)->RefCount).fetch_add(1, std::memory_order_relaxed);
                snapshot.FChunks[c] = const_cast<TRecordChunk*>(old);
                continue;
            }
            TRecordChunk* chunk = pool->NewChunk(uint32_t(end - first));
            for (size_t k = 0; k < end - first; ++k)
                if (found[k]) {
                    TNodeRecordPool::AddRef(found[k]);
                    chunk->Items()[k] = found[k];
                }
            snapshot.FChunks[c] = chunk;
        }
        if (!sizes.empty())
            pool->MakeRecords(bytes, sizes, [&](size_t k, TNodeRecord* record) {
                snapshot.FChunks[positions[k] / ChunkSize]->Items()[positions[k] % ChunkSize] = record;
            });
    });
    return snapshot;
}

template TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>&,
                                              const std::vector<TDecTreeNode*>&, const TTreeSnapshot*);
template TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>&,
                                              const std::vector<const TDecTreeNode*>&, const TTreeSnapshot*);

namespace {

// The stored fields of one record.
struct TDecoded {
    TGuid Id;
    uint16_t Flags = 0;
    TNodeType NodeType = ntDecision;
    TChanceType ChanceType = ctAnySum;
    uint64_t ChildCount = 0;
    double Probability = 0;
    TCurrency Payoff = 0;
    int32_t Budget = 0;
    TGuid CloneMasterId;
    TDateTime DueDate = 0;
    QString Caption, Comment, Owner, DecisionCaption, PayoffSource;

    bool Flag(uint16_t bit) const { return (Flags & bit) != 0; }
};

TDecoded Decode(const TNodeRecord& record)
{
    TReader r(record.Bytes(), record.Size);
    TDecoded d;
    r.Raw(&d.Id, sizeof d.Id);
    d.Flags = r.Byte();
    d.Flags |= uint16_t(r.Byte()) << 8;
    d.NodeType = TNodeType(r.Byte());
    d.ChanceType = TChanceType(r.Byte());
    d.ChildCount = r.VarUInt();
    if (d.Flags & fSmallProbability)
        d.Probability = double(r.VarUInt());
    else
        r.Raw(&d.Probability, sizeof d.Probability);
    d.Payoff = r.VarInt();
    d.Budget = int32_t(r.VarInt());
    if (d.Flags & fHasCloneMaster)
        r.Raw(&d.CloneMasterId, sizeof d.CloneMasterId);
    if (d.Flags & fHasDueDate)
        r.Raw(&d.DueDate, sizeof d.DueDate);
    d.Caption = r.String();
    d.Comment = r.String();
    d.Owner = r.String();
    d.DecisionCaption = r.String();
    d.PayoffSource = r.String();
    return d;
}

// The child count of a record, read without the rest.
uint64_t ChildCountOf(const TNodeRecord& record)
{
    TReader r(record.Bytes(), record.Size);
    unsigned char skipped[sizeof(TGuid) + 4];
    r.Raw(skipped, sizeof skipped);
    return r.VarUInt();
}

const TGuid& IdOf(const TNodeRecord& record)
{
    if (record.Size < sizeof(TGuid))
        Damaged();
    return *reinterpret_cast<const TGuid*>(record.Bytes());
}

std::unique_ptr<TDecTreeNode> MakeNode(TDecoded& d, TDecTreeDocument* tree, TDecTreeNode* parent)
{
    return std::make_unique<TDecTreeNode>(
        tree, parent, d.Id, d.Caption, d.Comment, d.NodeType, d.ChanceType, d.Probability, d.Payoff,
        d.CloneMasterId, d.Flag(fChildrenVisible), d.Flag(fShowCaption), d.Flag(fShowOwner), d.Flag(fShowDueDate),
        d.Flag(fShowFixed), d.Flag(fShowBudget), d.Flag(fShowInvestment), d.Flag(fFixed), d.DecisionCaption, d.Owner,
        d.Budget, d.DueDate, d.PayoffSource);
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Null and empty strings are told apart.
bool SameText(const QString& a, const QString& b)
{
    return a.isNull() == b.isNull() && a == b;
}

// Writes the decoded fields (not the children) into node where they differ; answers the
// TRestoredField bits of those that did.
uint32_t Apply(TDecoded& d, TDecTreeNode& n)
{
    uint32_t changed = 0;
    auto text = [&](QString& field, QString& value, uint32_t bit) {
        if (!SameText(field, value)) {
            field = std::move(value);
            changed |= bit;
        }
    };
    auto flag = [&](bool& field, uint16_t bit) {
        if (field != d.Flag(bit)) {
            field = d.Flag(bit);
            changed |= rfFlags;
        }
    };
    if (n.Id != d.Id) {
        n.Id = d.Id;
        changed |= rfId;
    }
    if (n.CloneMasterId != d.CloneMasterId) {
        n.CloneMasterId = d.CloneMasterId;
        changed |= rfCloneMaster;
    }
    if (!SameBits(n.Probability, d.Probability)) {
        n.Probability = d.Probability;
        changed |= rfProbability;
    }
    if (n.Payoff != d.Payoff) {
        n.Payoff = d.Payoff;
        changed |= rfPayoff;
    }
    if (n.DecisionMultiBudget != d.Budget) {
        n.DecisionMultiBudget = d.Budget;
        changed |= rfBudget;
    }
    text(n.Caption, d.Caption, rfCaption);
    text(n.DecisionCaption, d.DecisionCaption, rfDecisionCaption);
    text(n.DecisionOwner, d.Owner, rfDecisionOwner);
    text(n.Comment, d.Comment, rfComment);
    text(n.PayoffSource, d.PayoffSource, rfPayoffSource);
    if (!SameBits(n.DecisionDueDate, d.DueDate)) {
        n.DecisionDueDate = d.DueDate;
        changed |= rfDueDate;
    }
    if (n.NodeType != d.NodeType || n.ChanceType != d.ChanceType) {
        n.NodeType = d.NodeType;
        n.ChanceType = d.ChanceType;
        changed |= rfType;
    }
    flag(n.ChildrenVisible, fChildrenVisible);
    flag(n.DecisionShowCaption, fShowCaption);
    flag(n.DecisionShowOwner, fShowOwner);
    flag(n.DecisionShowDueDate, fShowDueDate);
    flag(n.DecisionShowFixed, fShowFixed);
    flag(n.DecisionMultiShowBudget, fShowBudget);
    flag(n.DecisionMultiShowInvestment, fShowInvestment);
    flag(n.DecisionFixed, fFixed);
    return changed;
}

// For every position of a snapshot's records, the position of its parent (-1 for the root) and
// the size of its subtree; raises when the child counts do not make one tree.
void ShapeOf(const TTreeSnapshot& snapshot, std::vector<int64_t>& parents, std::vector<int64_t>& sizes)
{
    const size_t n = snapshot.NodeCount();
    parents.assign(n, -1);
    sizes.assign(n, 1);
    struct TOpen {
        size_t Position;
        uint64_t Remaining;
    };
    std::vector<TOpen> open;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && open.empty())
            Damaged();
        if (!open.empty()) {
            parents[i] = int64_t(open.back().Position);
            if (--open.back().Remaining == 0)
                open.pop_back();
        }
        if (const uint64_t children = ChildCountOf(*snapshot.Record(i)); children > 0)
            open.push_back({i, children});
    }
    if (!open.empty())
        Damaged();
    for (size_t i = n; i-- > 1;)
        sizes[size_t(parents[i])] += sizes[i];
}

} // namespace

std::vector<std::unique_ptr<TDecTreeNode>> TTreeSnapshot::BuildRange(TDecTreeDocument* tree, TDecTreeNode* parent,
                                                                     size_t first, size_t end) const
{
    struct TOpen {
        TDecTreeNode* Node;
        uint64_t Remaining;
    };
    std::vector<std::unique_ptr<TDecTreeNode>> built;
    std::vector<TOpen> open;
    for (size_t i = first; i < end; ++i) {
        TDecoded d = Decode(*Record(i));
        TDecTreeNode* above = open.empty() ? parent : open.back().Node;
        auto node = MakeNode(d, tree, above);
        TDecTreeNode* made = node.get();
        if (open.empty()) {
            built.push_back(std::move(node));
        } else {
            above->Children.Add(std::move(node));
            if (--open.back().Remaining == 0)
                open.pop_back();
        }
        if (d.ChildCount > 0)
            open.push_back({made, d.ChildCount});
    }
    if (!open.empty())
        Damaged();
    return built;
}

std::unique_ptr<TDecTreeNode> TTreeSnapshot::Restore(TDecTreeDocument* tree) const
{
    if (FCount == 0)
        return nullptr;
    std::vector<std::unique_ptr<TDecTreeNode>> built = BuildRange(tree, nullptr, 0, FCount);
    if (built.size() != 1)
        Damaged();
    return std::move(built.front());
}

TTreeRestore TTreeSnapshot::RestoreOnto(TDecTreeDocument& tree, const TTreeSnapshot& present) const
{
    TTreeRestore result;
    const std::vector<TDecTreeNode*>& nodes = tree.PreOrder();
    const size_t nT = FCount;
    const size_t nP = present.FCount;
    if (present.FPool != FPool || nodes.size() != nP || nT == 0 || nP == 0) {
        std::unique_ptr<TDecTreeNode> root = Restore(&tree);
        tree.SetRoot(std::move(root));
        result.Structure = true;
        return result;
    }
    // (The document's order stays as it is until the plan is carried out at the end.)
    const std::vector<int32_t>& sizeP = tree.SubtreeSizes();
    const std::vector<int32_t>& parentP = tree.ParentPositions();
    std::vector<int64_t> parentT, sizeT; // made when the shapes prove to differ
    auto targetSize = [&](size_t t) {
        if (sizeT.empty())
            ShapeOf(*this, parentT, sizeT);
        return size_t(sizeT[t]);
    };

    // The plan: the nodes whose records differ but keep their child counts, with what they take,
    // and the ranges of children to build anew. Everything that can fail happens while it is
    // made; the tree changes only once it is whole.
    struct TWrite {
        size_t Position; // in the present tree
        TDecoded Fields;
    };
    struct TReplace {
        TDecTreeNode* Parent;
        int Index, Count;
        std::vector<std::unique_ptr<TDecTreeNode>> Built;
    };
    std::vector<TWrite> writes;
    std::vector<TReplace> replaces;
    // The copies inside clones get new ids whenever they are refreshed: there the places alone
    // tell which node is which.
    std::vector<char> insideClone;
    auto isInsideClone = [&](size_t p) {
        if (insideClone.empty()) {
            insideClone.assign(nP, 0);
            for (size_t q = 1; q < nP; ++q) {
                const size_t up = size_t(parentP[q]);
                insideClone[q] = insideClone[up] || nodes[up]->IsClone();
            }
        }
        return insideClone[p] != 0;
    };
    // Whether the node at p (present) stands for the one at t (this): the same child count, and
    // the same id but inside clones. When their records differ, what the present node is to take
    // is noted in found.
    auto sameNode = [&](size_t p, size_t t, std::vector<TWrite>& found) {
        const TNodeRecord* mine = Record(t);
        if (mine == present.Record(p))
            return true;
        TDecoded d = Decode(*mine);
        if (d.ChildCount != uint64_t(nodes[p]->Children.Count()) || (d.Id != nodes[p]->Id && !isInsideClone(p)))
            return false;
        found.push_back({p, std::move(d)});
        return true;
    };

    // The present subtree at p becomes this snapshot's subtree at t. As long as the nodes agree
    // from either end, the two have the same shape node for node; in between, the deepest
    // node whose subtree holds every difference keeps the children before and after them, and the
    // children between are made alike in turn where their ids agree, or built anew.
    std::vector<std::pair<size_t, size_t>> pending{{0, 0}};
    while (!pending.empty()) {
        const size_t p = pending.back().first;
        const size_t t = pending.back().second;
        pending.pop_back();
        const size_t lenP = size_t(sizeP[p]);
        const size_t lenT = p == 0 ? nT : targetSize(t);
        const size_t common = std::min(lenP, lenT);
        std::vector<TWrite> found;
        size_t i = 0;
        while (i < common) {
            // Whole chunks the two share are passed over at once.
            if ((p + i) % ChunkSize == 0 && (t + i) % ChunkSize == 0 && i + ChunkSize <= common &&
                FChunks[(t + i) / ChunkSize] == present.FChunks[(p + i) / ChunkSize]) {
                i += ChunkSize;
                continue;
            }
            if (!sameNode(p + i, t + i, found))
                break;
            ++i;
        }
        if (i == common && lenP == lenT) {
            std::move(found.begin(), found.end(), std::back_inserter(writes));
            continue;
        }
        size_t j = 0;
        while (i < common && j < common - i && sameNode(p + lenP - 1 - j, t + lenT - 1 - j, found))
            ++j;

        // The deepest node above the first difference whose subtree holds the rest of it in both.
        const size_t a = p + i;
        const int64_t shift = int64_t(lenT) - int64_t(lenP);
        auto holds = [&](size_t x) {
            const size_t xt = x - p + t;
            return x + size_t(sizeP[x]) >= p + lenP - j && xt + targetSize(xt) >= t + lenT - j &&
                   int64_t(targetSize(xt)) - int64_t(sizeP[x]) == shift;
        };
        size_t x = p;
        if (i > 0 && i < common) {
            x = a;
            if (!(nodes[a]->Id == IdOf(*Record(t + i)) && holds(a)))
                do
                    x = size_t(parentP[x]);
                while (x != p && !holds(x));
        }
        const size_t xt = x - p + t;
        if (x == a && Record(xt) != present.Record(x))
            found.push_back({x, Decode(*Record(xt))});

        // Its children: those before the first difference and after the last stay as they are.
        std::vector<size_t> childrenP, childrenT;
        for (size_t c = x + 1; c < x + size_t(sizeP[x]); c += size_t(sizeP[c]))
            childrenP.push_back(c);
        for (size_t c = xt + 1; c < xt + targetSize(xt); c += targetSize(c))
            childrenT.push_back(c);
        const size_t k = childrenP.size(), m = childrenT.size();
        size_t lo = 0;
        while (lo < k && lo < m && childrenT[lo] - t == childrenP[lo] - p && childrenP[lo] + size_t(sizeP[childrenP[lo]]) <= a &&
               size_t(sizeP[childrenP[lo]]) == targetSize(childrenT[lo]))
            ++lo;
        size_t hi = 0;
        while (hi < k - lo && hi < m - lo) {
            const size_t cp = childrenP[k - 1 - hi];
            const size_t ct = childrenT[m - 1 - hi];
            // (The subtrees of the node end at the same place in both, so children of the same
            // sizes from the end stand at the same places.)
            if (cp < p + lenP - j || size_t(sizeP[cp]) != targetSize(ct))
                break;
            ++hi;
        }
        // What lies between is taken up again below; the writes found there are not kept.
        const size_t endP = hi > 0 ? childrenP[k - hi] : x + size_t(sizeP[x]);
        const size_t firstP = lo < k - hi ? childrenP[lo] : endP;
        for (TWrite& w : found)
            if (w.Position < firstP || w.Position >= endP)
                writes.push_back(std::move(w));
        // The children between: pairs with the same id from either end are made alike on their
        // own; the rest are built anew.
        size_t front = lo, backP = k - hi, backT = m - hi;
        while (front < backP && front < backT && nodes[childrenP[front]]->Id == IdOf(*Record(childrenT[front]))) {
            pending.push_back({childrenP[front], childrenT[front]});
            ++front;
        }
        while (backP > front && backT > front && nodes[childrenP[backP - 1]]->Id == IdOf(*Record(childrenT[backT - 1]))) {
            --backP;
            --backT;
            pending.push_back({childrenP[backP], childrenT[backT]});
        }
        if (front < backP || front < backT) {
            const size_t firstT = front < backT ? childrenT[front] : 0;
            const size_t endT = backT < m ? childrenT[backT] : xt + targetSize(xt);
            replaces.push_back({nodes[x], int(front), int(backP - front),
                                BuildRange(&tree, nodes[x], front < backT ? firstT : endT, endT)});
        }
    }

    for (TWrite& w : writes)
        if (const uint32_t changed = Apply(w.Fields, *nodes[w.Position])) {
            result.Changed.push_back({nodes[w.Position], changed});
            // Whatever finds nodes by their ids or knows where the clones are looks again.
            if (changed & (rfId | rfCloneMaster))
                result.Structure = true;
        }
    for (TReplace& r : replaces)
        r.Parent->Children.Replace(r.Index, r.Count, std::move(r.Built));
    if (!replaces.empty())
        result.Structure = true;
    else if (result.Structure)
        tree.StructureChanged();
    // Only end nodes get path values, yet a collapsed node is sized by its own: the nodes kept
    // hold none, as nodes made anew from the snapshot would.
    const std::vector<TDecTreeNode*>& order = tree.PreOrder();
    const std::vector<int32_t>& sizes = tree.SubtreeSizes();
    for (size_t i = 0; i < order.size(); ++i) {
        TDecTreeNode& n = *order[i];
        if (sizes[i] > 1 && (std::bit_cast<uint64_t>(n.PathProbability) | std::bit_cast<uint64_t>(n.PathPayoff))) {
            n.PathProbability = 0;
            n.PathPayoff = 0;
            result.Resized = result.Resized || !n.ChildrenVisible;
        }
    }
    return result;
}
