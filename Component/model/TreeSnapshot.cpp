#include "Component/model/TreeSnapshot.h"

#include "Component/model/DecTreeNode.h"
#include "Component/model/SubtreeWork.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace {

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
        Corrupt();
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
        if (units == 0)
            return QString::fromUtf16(u"", 0);
        QString s(qsizetype(units), Qt::Uninitialized);
        Raw(s.data(), units * sizeof(QChar));
        return s;
    }
    bool AtEnd() const { return FPos == FEnd; }

private:
    void Need(size_t n)
    {
        if (size_t(FEnd - FPos) < n)
            Corrupt();
    }
    [[noreturn]] static void Corrupt()
    {
        throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
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

uint64_t HashBytes(const unsigned char* p, size_t n)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t k;
        std::memcpy(&k, p + i, 8);
        h = (h ^ k) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p + i, n - i);
    h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
}


// A large tree is packed by several threads, each a range of whole chunks: the records of the
// previous capture that still match are counted there at once, the others set aside for the pool,
// which only the calling thread touches. Snapshots as large are let go the same way.
constexpr size_t CaptureParallelFrom = 50000;

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

TNodeRecordPool::~TNodeRecordPool()
{
    // Snapshots keep the pool alive while they hold records, so none are left here; free any
    // that are, to be safe.
    for (auto& [hash, record] : FByHash) {
        while (record) {
            TNodeRecord* next = record->NextSameHash;
            ::operator delete(record);
            record = next;
        }
    }
}

TNodeRecord* TNodeRecordPool::Intern(const unsigned char* bytes, uint32_t size, uint64_t hash)
{
    TNodeRecord*& head = FByHash[hash];
    for (TNodeRecord* r = head; r; r = r->NextSameHash)
        if (r->Size == size && std::memcmp(r->Bytes(), bytes, size) == 0) {
            ++r->RefCount;
            return r;
        }
    auto* record = static_cast<TNodeRecord*>(::operator new(sizeof(TNodeRecord) + size));
    record->RefCount = 1;
    record->Size = size;
    record->Hash = hash;
    record->NextSameHash = head;
    std::memcpy(record->Bytes(), bytes, size);
    head = record;
    ++FRecordCount;
    FByteCount += size;
    return record;
}

void TNodeRecordPool::Free(TNodeRecord* record)
{
    auto it = FByHash.find(record->Hash);
    TNodeRecord** link = &it->second;
    while (*link != record)
        link = &(*link)->NextSameHash;
    *link = record->NextSameHash;
    if (!it->second)
        FByHash.erase(it);
    --FRecordCount;
    FByteCount -= record->Size;
    ::operator delete(record);
}

TRecordChunk* TNodeRecordPool::NewChunk(uint32_t count)
{
    const size_t bytes = sizeof(TRecordChunk) + size_t(count) * sizeof(TNodeRecord*);
    auto* chunk = static_cast<TRecordChunk*>(::operator new(bytes));
    chunk->RefCount = 1;
    chunk->Count = count;
    std::fill_n(chunk->Items(), count, nullptr);
    FChunkCount.fetch_add(1, std::memory_order_relaxed);
    FChunkBytes.fetch_add(bytes, std::memory_order_relaxed);
    return chunk;
}

void TNodeRecordPool::FreeChunk(TRecordChunk* chunk)
{
    FChunkCount.fetch_sub(1, std::memory_order_relaxed);
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
        // The counts drop on every thread, and so do the chunks no snapshot holds any more; the
        // records no chunk holds any more leave the pool on this thread.
        std::mutex lock;
        std::vector<TNodeRecord*> unused;
        ForChunkRanges(FChunks.size(), FCount, [&](size_t first, size_t end) {
            std::vector<TNodeRecord*> mine;
            for (size_t c = first; c < end; ++c) {
                TRecordChunk* chunk = FChunks[c];
                if (!chunk || std::atomic_ref<uint32_t>(chunk->RefCount).fetch_sub(1, std::memory_order_acq_rel) != 1)
                    continue;
                for (uint32_t k = 0; k < chunk->Count; ++k)
                    if (TNodeRecord* r = chunk->Items()[k]; r && TNodeRecordPool::ReleaseShared(r))
                        mine.push_back(r);
                FPool->FreeChunk(chunk);
            }
            if (!mine.empty()) {
                std::lock_guard<std::mutex> hold(lock);
                unused.insert(unused.end(), mine.begin(), mine.end());
            }
        });
        for (TNodeRecord* r : unused)
            FPool->Free(r);
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
    const size_t chunks = (n + ChunkSize - 1) / ChunkSize;
    snapshot.FChunks.assign(chunks, nullptr);
    snapshot.FCount = n;
    struct TSetAside {
        std::string Bytes;
        std::vector<std::pair<size_t, uint32_t>> Records; // position, size
    };
    // One list of set-aside records per range, found by the range's first chunk.
    std::vector<TSetAside> setAside(chunks);
    ForChunkRanges(chunks, n, [&](size_t firstChunk, size_t endChunk) {
        TSetAside& mine = setAside[firstChunk];
        TWriter writer;
        writer.Buffer.reserve(256);
        TNodeRecord* found[ChunkSize];
        for (size_t c = firstChunk; c < endChunk; ++c) {
            const size_t first = c * ChunkSize;
            const size_t end = std::min(n, first + ChunkSize);
            const TRecordChunk* before = previous && c < previous->FChunks.size() ? previous->FChunks[c] : nullptr;
            // The previous capture's chunk serves again when every record in it is still the same.
            bool same = before && before->Count == end - first;
            for (size_t i = first; i < end; ++i) {
                writer.Buffer.clear();
                Encode(*order[i], writer);
                const auto size = uint32_t(writer.Buffer.size());
                TNodeRecord* match = before && i - first < before->Count ? before->Items()[i - first] : nullptr;
                if (match && match->Size == size && std::memcmp(match->Bytes(), writer.Buffer.data(), size) == 0) {
                    found[i - first] = match;
                    continue;
                }
                found[i - first] = nullptr;
                same = false;
                mine.Records.push_back({i, size});
                mine.Bytes += writer.Buffer;
            }
            if (same) {
                std::atomic_ref<uint32_t>(const_cast<TRecordChunk*>(before)->RefCount)
                    .fetch_add(1, std::memory_order_relaxed);
                snapshot.FChunks[c] = const_cast<TRecordChunk*>(before);
                continue;
            }
            TRecordChunk* chunk = pool->NewChunk(uint32_t(end - first));
            for (size_t k = 0; k < end - first; ++k)
                if (found[k]) {
                    TNodeRecordPool::AddRefShared(found[k]);
                    chunk->Items()[k] = found[k];
                }
            snapshot.FChunks[c] = chunk;
        }
    });
    for (const TSetAside& part : setAside) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(part.Bytes.data());
        for (const auto& [i, size] : part.Records) {
            snapshot.FChunks[i / ChunkSize]->Items()[i % ChunkSize] = pool->Intern(bytes, size, HashBytes(bytes, size));
            bytes += size;
        }
    }
    return snapshot;
}

template TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>&,
                                              const std::vector<TDecTreeNode*>&, const TTreeSnapshot*);
template TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>&,
                                              const std::vector<const TDecTreeNode*>&, const TTreeSnapshot*);

std::unique_ptr<TDecTreeNode> TTreeSnapshot::Restore(TDecTreeDocument* tree) const
{
    if (FCount == 0)
        return nullptr;
    struct TOpen {
        TDecTreeNode* Node;
        uint64_t Remaining;
    };
    std::unique_ptr<TDecTreeNode> root;
    std::vector<TOpen> open;
    for (size_t i = 0; i < FCount; ++i) {
        if (i > 0 && open.empty())
            throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
        const TNodeRecord* record = Record(i);
        TReader r(record->Bytes(), record->Size);
        TGuid id;
        r.Raw(&id, sizeof id);
        uint16_t flags = r.Byte();
        flags |= uint16_t(r.Byte()) << 8;
        const auto nodeType = TNodeType(r.Byte());
        const auto chanceType = TChanceType(r.Byte());
        const uint64_t childCount = r.VarUInt();
        double probability;
        if (flags & fSmallProbability)
            probability = double(r.VarUInt());
        else
            r.Raw(&probability, sizeof probability);
        const TCurrency payoff = r.VarInt();
        const auto budget = int32_t(r.VarInt());
        TGuid cloneMasterId;
        if (flags & fHasCloneMaster)
            r.Raw(&cloneMasterId, sizeof cloneMasterId);
        TDateTime dueDate = 0;
        if (flags & fHasDueDate)
            r.Raw(&dueDate, sizeof dueDate);
        const QString caption = r.String();
        const QString comment = r.String();
        const QString owner = r.String();
        const QString decisionCaption = r.String();
        const QString payoffSource = r.String();

        TDecTreeNode* parent = open.empty() ? nullptr : open.back().Node;
        auto node = std::make_unique<TDecTreeNode>(
            tree, parent, id, caption, comment, nodeType, chanceType, probability, payoff, cloneMasterId,
            (flags & fChildrenVisible) != 0, (flags & fShowCaption) != 0, (flags & fShowOwner) != 0,
            (flags & fShowDueDate) != 0, (flags & fShowFixed) != 0, (flags & fShowBudget) != 0,
            (flags & fShowInvestment) != 0, (flags & fFixed) != 0, decisionCaption, owner, budget, dueDate,
            payoffSource);
        TDecTreeNode* created = node.get();
        if (parent) {
            parent->Children.Add(std::move(node));
            if (--open.back().Remaining == 0)
                open.pop_back();
        } else {
            root = std::move(node);
        }
        if (childCount > 0)
            open.push_back({created, childCount});
    }
    if (!open.empty())
        throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
    return root;
}
